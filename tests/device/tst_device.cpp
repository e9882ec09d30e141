// The link's receiving side: frames "s" <body> "e" cut out of the byte stream, and the line speed
// the program asks for reaching the terminal.
#include "buffer.h"
#include "ptypair.h"
#include "thread.h"
#include "zrvcom.h"

#include <QtTest>
#include <asm/termbits.h>
#include <cstring>
#include <sys/ioctl.h>

class TestDevice : public QObject {
    Q_OBJECT
private slots:
    void init() { std::memset(&target, 0, sizeof target); }
    void cutsTheNewestFrame_data();
    void cutsTheNewestFrame();
    void accumulatorIsCapped_data();
    void accumulatorIsCapped();
    void oversizedBodyIsDropped();
    void lineSpeed_data();
    void lineSpeed();

private:
    Buffer target;
};

// chunks: what arrives before each cut; bodies: the frame body after each cut ("-" for none);
// rest: what the accumulator holds at the end.
void TestDevice::cutsTheNewestFrame_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("bodies");
    QTest::addColumn<QByteArray>("rest");
    using L = QList<QByteArray>;
    QTest::newRow("garbage before") << L{"xxs12e"} << L{"12"} << QByteArray("e");
    QTest::newRow("empty frame") << L{"se"} << L{""} << QByteArray("e");
    QTest::newRow("split body") << L{"s123", "45e"} << L{"-", "12345"} << QByteArray("e");
    QTest::newRow("leading e1 dropped") << L{"e1s2e"} << L{"2"} << QByteArray("e");
    QTest::newRow("two frames in one read: the second") << L{"sAAesBBe"} << L{"BB"} << QByteArray("e");
    QTest::newRow("partial frame left for later")
        << L{"sAAesBB", "Be"} << L{"AA", "BBB"} << QByteArray("e");
    QTest::newRow("stray s and e in garbage, then a good frame")
        << L{"e\x01sSss\xFF" "ex", "e", "s\x07\x08" "e"} << L{"Sss\xFF", "-", "\x07\x08"}
        << QByteArray("e");
    QTest::newRow("s inside body") << L{"ss1e"} << L{"s1"} << QByteArray("e");
    const QByteArray scope(scopeFrameBytes, '\x11'), logic(logicFrameBytes, '\x22');
    QTest::newRow("noise leaves an s open, then a whole scope frame")
        << L{"e\x01s\x02", "s" + scope + "e"} << L{"-", scope} << QByteArray("e");
    QTest::newRow("noise leaves an s open, then a whole logic frame")
        << L{"s" + QByteArray(3000, 'n') + "s" + logic + "e"} << L{logic} << QByteArray("e");
    QTest::newRow("no e keeps all") << L{"xs12"} << L{"-"} << QByteArray("xs12");
    QTest::newRow("100000 bytes of garbage, then a good frame")
        << L{QByteArray(100000, 'x'), "s" + scope + "e"} << L{"-", scope} << QByteArray("e");
}

void TestDevice::cutsTheNewestFrame() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, bodies);
    QByteArray rx;
    for (int k = 0; k < chunks.size(); ++k) {
        rx.append(chunks[k]);
        QCOMPARE(Thread::cutFrames(rx, &target), bodies[k] != "-");
        if (bodies[k] != "-")
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(target.data), target.length),
                     bodies[k]);
    }
    QTEST(rx, "rest");
}

void TestDevice::accumulatorIsCapped_data() {
    QTest::addColumn<QByteArray>("fill");
    QTest::newRow("garbage without s") << QByteArray(200000, 'x');
    QTest::newRow("frame without e") << "s" + QByteArray(200000, 'x');
}

void TestDevice::accumulatorIsCapped() {
    QFETCH(QByteArray, fill);
    QByteArray rx;
    for (int k = 0; k < fill.size(); k += 4096) {
        rx.append(fill.mid(k, 4096));
        QVERIFY(!Thread::cutFrames(rx, &target));
        QVERIFY(rx.size() <= Thread::rxCap);
    }
    QVERIFY(rx.size() >= Thread::rxCap - 4096);
    QCOMPARE(rx, fill.right(rx.size())); // the newest bytes are the ones kept
}

void TestDevice::oversizedBodyIsDropped() {
    target.length = 7;
    QByteArray rx = "s" + QByteArray(Buffer::capacity + 1, 'z') + "e";
    QVERIFY(!Thread::cutFrames(rx, &target));
    QCOMPARE(target.length, 7);
    // The largest body that fits is kept whole.
    rx.append("s" + QByteArray(Buffer::capacity, 'm') + "e");
    QVERIFY(Thread::cutFrames(rx, &target));
    QCOMPARE(target.length, Buffer::capacity);
}

void TestDevice::lineSpeed_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("baud");
    QTest::newRow("19200") << 14 << 19200;
    QTest::newRow("115200") << 19 << 115200;
    QTest::newRow("921600") << 24 << 921600;
    QTest::newRow("2500000") << 22 << 2500000;
    QTest::newRow("unknown code") << 27 << 115200;
}

// The terminal's own settings show the speed the program asked for, fast rates included.
void TestDevice::lineSpeed() {
    QFETCH(int, code);
    QFETCH(int, baud);
    PtyPair pty;
    ZRVCom com;
    QCOMPARE(com.Open(pty.slavePath(), code, &buff), 1);
    termios2 tio{};
    QCOMPARE(ioctl(pty.masterFd(), TCGETS2, &tio), 0);
    QCOMPARE(int(tio.c_ospeed), baud);
}

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"

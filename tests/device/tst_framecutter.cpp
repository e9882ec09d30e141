// Cutting frames "s" <body> "e" out of the received byte stream.
#include "buffer.h"
#include "ptypair.h"
#include "thread.h"
#include "zrvcom.h"

#include <QtTest>
#include <cstring>

class TestFrameCutter : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cutsTheNewestFrame_data();
    void cutsTheNewestFrame();
    void olderBytesStayPastLength();
    void accumulatorIsCapped_data();
    void accumulatorIsCapped();
    void goodFrameAfterGarbageIsWhole();
    void oversizedBodyIsDropped();
    void maximalBodyIsKept();
    void framesArriveThroughTheLine_data();
    void framesArriveThroughTheLine();

private:
    Buffer target;
};

void TestFrameCutter::init() {
    std::memset(&target, 0, sizeof target);
}

// chunks: what arrives before each call, in order; bodies: the frame body after each call ("-"
// for no frame); rest: what the accumulator holds at the end.
void TestFrameCutter::cutsTheNewestFrame_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("bodies");
    QTest::addColumn<QByteArray>("rest");
    using L = QList<QByteArray>;
    QTest::newRow("garbage before") << L{"xxs12e"} << L{"12"} << QByteArray("e");
    QTest::newRow("empty frame") << L{"se"} << L{""} << QByteArray("e");
    QTest::newRow("split body") << L{"s123", "45e"} << L{"-", "12345"} << QByteArray("e");
    QTest::newRow("leading e1 dropped") << L{"e1s2e"} << L{"2"} << QByteArray("e");
    QTest::newRow("two frames, the newest kept") << L{"sAAesBBe"} << L{"BB"} << QByteArray("e");
    QTest::newRow("partial frame left for later")
        << L{"sAAesBB", "Be"} << L{"AA", "BBB"} << QByteArray("e");
    QTest::newRow("stray s and e in garbage, then a good frame")
        << L{"e\x01sSss\xFF"
             "ex",
             "e",
             "s\x07\x08"
             "e"}
        << L{"Sss\xFF", "-", "\x07\x08"} << QByteArray("e");
    QTest::newRow("s inside body") << L{"ss1e"} << L{"s1"} << QByteArray("e");
    const QByteArray scope(scopeFrameBytes, '\x11'), logic(logicFrameBytes, '\x22');
    QTest::newRow("noise leaves an s open, then a whole scope frame")
        << L{"e\x01s\x02", "s" + scope + "e"} << L{"-", scope} << QByteArray("e");
    QTest::newRow("noise leaves an s open, then a whole logic frame")
        << L{"s" + QByteArray(3000, 'n') + "s" + logic + "e"} << L{logic} << QByteArray("e");
    QTest::newRow("no s keeps all") << L{"abc"} << L{"-"} << QByteArray("abc");
    QTest::newRow("no e keeps all") << L{"xs12"} << L{"-"} << QByteArray("xs12");
}

void TestFrameCutter::cutsTheNewestFrame() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, bodies);
    QFETCH(QByteArray, rest);
    QByteArray rx;
    for (int k = 0; k < chunks.size(); ++k) {
        rx.append(chunks[k]);
        const bool cut = Thread::cutFrames(rx, &target);
        QCOMPARE(cut, bodies[k] != "-");
        if (cut) {
            QCOMPARE(target.length, bodies[k].size());
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(target.data), target.length),
                     bodies[k]);
            QCOMPARE(target.frameSize, 2048);
        }
    }
    QCOMPARE(rx, rest);
}

void TestFrameCutter::olderBytesStayPastLength() {
    QByteArray rx = "s" + QByteArray(2048, 'A') + "e";
    QVERIFY(Thread::cutFrames(rx, &target));
    rx.append("s" + QByteArray(10, 'B') + "e");
    QVERIFY(Thread::cutFrames(rx, &target));
    QCOMPARE(target.length, 10);
    QCOMPARE(target.data[9], uint8_t('B'));
    QCOMPARE(target.data[10], uint8_t('A'));
    QCOMPARE(target.data[2047], uint8_t('A'));
}

void TestFrameCutter::accumulatorIsCapped_data() {
    QTest::addColumn<QByteArray>("fill");
    QTest::newRow("garbage without s") << QByteArray(200000, 'x');
    QTest::newRow("frame without e") << "s" + QByteArray(200000, 'x');
}

void TestFrameCutter::accumulatorIsCapped() {
    QFETCH(QByteArray, fill);
    QByteArray rx;
    for (int k = 0; k < fill.size(); k += 4096) {
        rx.append(fill.mid(k, 4096));
        QVERIFY(!Thread::cutFrames(rx, &target));
        QVERIFY(rx.size() <= Thread::rxCap);
    }
    // The newest bytes are the ones kept.
    QCOMPARE(rx, fill.right(rx.size()));
}

void TestFrameCutter::goodFrameAfterGarbageIsWhole() {
    QByteArray rx(100000, 'x');
    QVERIFY(!Thread::cutFrames(rx, &target));
    QByteArray body(2048, '\x11');
    rx.append("s" + body + "e");
    QVERIFY(Thread::cutFrames(rx, &target));
    QCOMPARE(target.length, 2048);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(target.data), 2048), body);
}

void TestFrameCutter::oversizedBodyIsDropped() {
    target.length = 7;
    QByteArray rx = "s" + QByteArray(Buffer::capacity + 1, 'z') + "e";
    QVERIFY(!Thread::cutFrames(rx, &target));
    QCOMPARE(target.length, 7);
    // An oversized newest frame leaves the older one that fits as the frame shown.
    rx.append("sOKe" + QByteArray("s") + QByteArray(Buffer::capacity + 1, 'z') + "e");
    QVERIFY(Thread::cutFrames(rx, &target));
    QCOMPARE(target.length, 2);
    QCOMPARE(target.data[0], uint8_t('O'));
}

void TestFrameCutter::maximalBodyIsKept() {
    QByteArray rx = "s" + QByteArray(Buffer::capacity, 'm') + "e";
    QVERIFY(Thread::cutFrames(rx, &target));
    QCOMPARE(target.length, Buffer::capacity);
}

void TestFrameCutter::framesArriveThroughTheLine_data() {
    QTest::addColumn<QList<int>>("splits");
    QTest::newRow("one write") << QList<int>{};
    QTest::newRow("three writes") << QList<int>{1, 700, 2049};
    QTest::newRow("delimiters alone") << QList<int>{1, 2049};
}

// The whole path: device bytes on the line -> readyRead -> buff and bufReady.
void TestFrameCutter::framesArriveThroughTheLine() {
    QFETCH(QList<int>, splits);
    PtyPair pty;
    ZRVCom com;
    QCOMPARE(com.Open(pty.slavePath(), 24, &buff), 1);
    com.Start();
    bufReady = false;
    buff.length = 0;
    QByteArray frame = "s";
    for (int i = 0; i < 1024; ++i) {
        const int16_t sample = int16_t(i * 3 - 1500);
        frame.append(char(sample & 0xFF)).append(char((sample >> 8) & 0xFF));
    }
    frame.replace('e', 'f').append('e');
    int from = 0;
    for (int cut : splits) {
        QVERIFY(pty.write(frame.mid(from, cut - from)));
        from = cut;
        QTest::qWait(0);
    }
    QVERIFY(pty.write(frame.mid(from)));
    QTRY_VERIFY_WITH_TIMEOUT(bufReady, 10000);
    QCOMPARE(buff.length, 2048);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buff.data), 2048), frame.mid(1, 2048));
    com.Close();
}

QTEST_GUILESS_MAIN(TestFrameCutter)
#include "tst_framecutter.moc"

// The link's receiving side: frames "s" <body> "e" cut out of the byte stream. (The accumulator's
// cap: the frame_cutter corpus.)
#include "device/buffer.h"
#include "device/thread.h"

#include <QtTest>
#include <cstring>

class TestDevice : public QObject {
    Q_OBJECT
private slots:
    void init() { std::memset(&target, 0, sizeof target); }
    void cutsTheNewestFrame_data();
    void cutsTheNewestFrame();

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
    QTest::newRow("two frames in one read: the second")
        << L{"sAAesBBe"} << L{"BB"} << QByteArray("e");
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

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"

// The link's receiving side: every frame "s" <body> "e" cut out of the byte stream, in order and
// stamped with its arrival, and the gate that tells a page's frames from those of settings it no
// longer has. (The cutting rules and the accumulator's cap: the frame_cutter corpus.)
#include "device/clock.h"
#include "device/framegate.h"
#include "device/thread.h"

#include <QtTest>
#include <cstring>
#include <memory>

namespace {
// A port whose bytes the test hands over one read at a time.
class ChunkPort : public QIODevice {
public:
    ChunkPort() { open(QIODevice::ReadOnly); }
    QByteArray next;

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = std::min<qint64>(max, next.size());
        std::memcpy(data, next.constData(), size_t(n));
        next.remove(0, int(n));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
    qint64 bytesAvailable() const override { return next.size() + QIODevice::bytesAvailable(); }
};

constexpr qint64 ms = Clock::ms;

Frame frameAt(qint64 firstMs, qint64 lastMs) {
    Frame f;
    f.firstByteNs = firstMs * ms;
    f.lastByteNs = lastMs * ms;
    return f;
}
} // namespace

class TestDevice : public QObject {
    Q_OBJECT
private slots:
    // The bytes thrown away, counted (which frames are cut: the frame_cutter corpus, against rules
    // written out on their own). chunks: what arrives before each cut; bodies: the frame bodies
    // each cut delivers, in order; rest: what the accumulator holds at the end; noise: bytes thrown
    // away.
    void cutsEveryFrame_data() {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QList<QByteArray>>>("bodies");
        QTest::addColumn<QByteArray>("rest");
        QTest::addColumn<int>("noise");
        using L = QList<QByteArray>;
        using LL = QList<L>;
        const QByteArray scope(scopeFrameBytes, '\x11');
        QTest::newRow("garbage before") << L{"xxs12e"} << LL{{"12"}} << QByteArray() << 2;
        QTest::newRow("leading e1 dropped") << L{"e1s2e"} << LL{{"2"}} << QByteArray() << 2;
        QTest::newRow("stray s and e in garbage, then a good frame")
            << L{"e\x01sSss\xFF"
                 "ex",
                 "e",
                 "s\x07\x08"
                 "e"}
            << LL{{"Sss\xFF"}, {}, {"\x07\x08"}} << QByteArray() << 4;
        QTest::newRow("a body longer than the buffer is passed over")
            << L{"s" + QByteArray(40000, 'n') + "e" + "sOKe"} << LL{{"OK"}} << QByteArray()
            << 40000;
        QTest::newRow("no e keeps all") << L{"xs12"} << LL{{}} << QByteArray("xs12") << 0;
        QTest::newRow("100000 bytes of garbage, then a good frame")
            << L{QByteArray(100000, 'x'), "s" + scope + "e"} << LL{{}, {scope}} << QByteArray()
            << 100000;
    }

    void cutsEveryFrame() {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<QList<QByteArray>>, bodies);
        QByteArray rx;
        qint64 noise = 0;
        for (int k = 0; k < chunks.size(); ++k) {
            rx.append(chunks[k]);
            QList<QByteArray> cut;
            const int n = Thread::cutFrames(
                rx, [&](int start, int length) { cut << rx.mid(start, length); }, &noise);
            QCOMPARE(n, cut.size());
            QCOMPARE(cut, bodies[k]);
        }
        QTEST(rx, "rest");
        QTEST(int(noise), "noise");
    }

    // Through a port: a frame split over two reads carries the time of the read that brought its
    // "s" and of the one that brought its "e"; the frames of one read come one after another, each
    // in the link's buffer while it is delivered, even when a receiver reads the port meanwhile.
    void deliversInOrderWithArrivalTimes() {
        ChunkPort port;
        auto last = std::make_unique<Buffer>();
        Thread cutter(&port, last.get(), nullptr);
        QStringList seen;    // body, the link's buffer meanwhile, number, call depth
        QList<qint64> times; // first and last byte of each frame, in turn
        int depth = 0;
        const auto text = [](const uint8_t* data, int length) {
            return QString::fromLatin1(reinterpret_cast<const char*>(data), length);
        };
        connect(&cutter, &Thread::frameReceived, [&](const Frame& f) {
            ++depth;
            seen << QString("%1 %2 #%3 depth %4")
                        .arg(text(f.data, f.length), text(last->data, last->length))
                        .arg(f.number)
                        .arg(depth);
            times << f.firstByteNs << f.lastByteNs;
            if (f.number == 2) { // a receiver that reads the port while it has a frame
                port.next = "sDDe";
                cutter.onReadyRead();
            }
            --depth;
        });
        port.next = "sAA";
        cutter.onReadyRead();
        const qint64 between = Clock::nowNs();
        port.next = "AesBBesCCe";
        cutter.onReadyRead();
        QCOMPARE(seen, QStringList({"AAA AAA #1 depth 1", "BB BB #2 depth 1", "CC CC #3 depth 1",
                                    "DD DD #4 depth 1"}));
        QVERIFY(std::is_sorted(times.begin(), times.end()));
        QVERIFY(times[0] <= between && between <= times[1]);
        QCOMPARE(cutter.framesReceived(), quint64(4));
        QVERIFY(cutter.pending().isEmpty());
    }

    // A command at 1000 ms; the new settings' frames take 100 ms of samples and 20 ms on the line.
    void gate_data() {
        QTest::addColumn<qint64>("captureMs");
        QTest::addColumn<QVector<qint64>>("frames"); // first and last byte, ms, in pairs
        QTest::addColumn<QVector<bool>>("taken");
        using T = QVector<qint64>;
        using B = QVector<bool>;
        QTest::newRow("began before the command") << qint64(100) << T{990, 1200} << B{false};
        QTest::newRow("on the line at the command, its s read after it")
            << qint64(100) << T{1001, 1015} << B{false};
        QTest::newRow("the first frame of the new settings")
            << qint64(100) << T{1100, 1121} << B{true};
        QTest::newRow("a little early: a device clock 1 % fast")
            << qint64(100) << T{1100, 1119} << B{true};
        QTest::newRow("early by more than the margin") << qint64(100) << T{1090, 1110} << B{false};
        QTest::newRow("after one is taken, the next need not wait")
            << qint64(100) << T{1100, 1121, 1121, 1125} << B{true, true};
        QTest::newRow("early ones are dropped until one could be new")
            << qint64(100) << T{1001, 1010, 1010, 1030, 1100, 1130} << B{false, false, true};
        // A short capture: a frame that left within its line time and a reader's latency of the
        // command is never taken as new.
        QTest::newRow("short capture: within line time and latency")
            << qint64(1) << T{1002, 1029} << B{false};
        QTest::newRow("short capture: after them") << qint64(1) << T{1002, 1031} << B{true};
    }

    void gate() {
        QFETCH(qint64, captureMs);
        QFETCH(QVector<qint64>, frames);
        QFETCH(QVector<bool>, taken);
        FrameGate gate;
        FrameTiming timing;
        timing.captureNs = captureMs * ms;
        timing.lineNs = 20 * ms;
        gate.start(0, timing);
        QVERIFY(gate.accept(frameAt(100, 200))); // a frame of the settings at the start
        gate.changed(1000 * ms, timing);
        for (int k = 0; k < taken.size(); ++k)
            QVERIFY2(gate.accept(frameAt(frames[2 * k], frames[2 * k + 1])) == taken[k],
                     qPrintable(QString("frame %1").arg(k)));
        QVERIFY(gate.hasFrame());
    }

    // Silent after max(2 s, twice the frame time) without a frame; a frame ends it; a stopped gate
    // takes nothing and is never silent.
    void silence() {
        FrameGate gate;
        FrameTiming slow; // 100ms/dz: 3.2 s of samples
        slow.captureNs = 3200 * ms;
        slow.lineNs = 180 * ms;
        gate.start(0, slow);
        QVERIFY(!gate.hasFrame());
        QVERIFY(!gate.silent(6700 * ms) && gate.silent(6800 * ms));
        QVERIFY(gate.accept(frameAt(3300, 3400)));
        QVERIFY(!gate.silent(10000 * ms) && gate.silent(10200 * ms));
        FrameTiming fast = slow;
        fast.captureNs = 1 * ms;
        gate.changed(10000 * ms, fast);
        QVERIFY(!gate.silent(11900 * ms) && gate.silent(12100 * ms));
        gate.stop();
        QVERIFY(!gate.silent(20000 * ms));
        QVERIFY(!gate.accept(frameAt(20000, 20500)));
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"

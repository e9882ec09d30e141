// A misbehaving device through the real window: for each kind of damage zrv-emu can do to the
// stream, the program keeps running, its receive accumulator stays within its cap, a good frame
// is shown again afterwards, and after the device vanished the port opens again.
#include "buffer.h"
#include "emuprocess.h"
#include "mainwindow.h"
#include "status.h"
#include "thread.h"
#include "zrvcom.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <algorithm>
#include <cstring>
#include <memory>

namespace {
int sampleAt(int i) {
    return int16_t(buff.data[2 * i] | (buff.data[2 * i + 1] << 8));
}

// The emulator's noiseless 1 kHz, 1 V sine at 2.5 V/div: 1024 samples of +-102 counts, 12.5 us
// apart, so neighbours differ by at most 2 pi 102 * 0.0125 ~ 8 counts. A frame stitched from
// damaged pieces fails one of these.
bool showsGoodFrame() {
    if (buff.length != 2048)
        return false;
    int high = -32768, low = 32767;
    for (int i = 0; i < 1024; ++i) {
        const int s = sampleAt(i);
        high = std::max(high, s);
        low = std::min(low, s);
        if (i > 0 && std::abs(s - sampleAt(i - 1)) > 10)
            return false;
    }
    return high == 102 && low == -102;
}

void forgetFrame() {
    buff.length = 0;
    std::memset(buff.data, 0x11, sizeof buff.data);
}
} // namespace

class TestEmulatorFaults : public QObject {
    Q_OBJECT

private slots:
    void init();
    void streamFaults_data();
    void streamFaults();
    void vanishedDeviceOpensAgain();

private:
    std::unique_ptr<EmuProcess> startEmulator(const QStringList& faultArgs);
    // Notes the accumulator's size; true while the window still holds the port.
    bool watch(const MainWindow& w);
    int faultsSeen(EmuProcess& emu, const QString& kind);

    int maxPending = 0;
};

void TestEmulatorFaults::init() {
    forgetFrame();
    bufReady = false;
    sts.clear();
    maxPending = 0;
}

// The top line rate (entry 6, 921 600 bit/s), so the emulator paces its frames fast.
std::unique_ptr<EmuProcess> TestEmulatorFaults::startEmulator(const QStringList& faultArgs) {
    return startEmuSession(emuLinkPath(QStringLiteral("fault-port")),
                           QStringList{"--trace", "--noise", "0"} + faultArgs, 6);
}

bool TestEmulatorFaults::watch(const MainWindow& w) {
    if (w.device())
        maxPending = std::max(maxPending, w.device()->pendingBytes());
    return w.isConnected();
}

int TestEmulatorFaults::faultsSeen(EmuProcess& emu, const QString& kind) {
    emu.collect();
    return int(emu.trace().filter(QRegularExpression("^fault " + kind + " ")).size());
}

void TestEmulatorFaults::streamFaults_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("extra");
    QTest::newRow("garbage between frames") << "garbage" << QStringList{"--garbage-bytes", "3000"};
    QTest::newRow("truncated frames") << "truncate" << QStringList{};
    QTest::newRow("body longer than the buffer")
        << "oversize" << QStringList{"--oversize-bytes", "40000"};
    // Longer than the accumulator's cap: the frame's "s" is gone before its "e" arrives.
    QTest::newRow("body longer than the accumulator")
        << "oversize" << QStringList{"--oversize-bytes", "100000"};
    // 1.5 s at 921 600 bit/s: 138 240 bytes, twice the cap.
    QTest::newRow("no end for a long time") << "no-end" << QStringList{"--no-end-ms", "1500"};
    // 40 frames at once: 82 000 bytes, more than the cap.
    QTest::newRow("bursts faster than the line") << "burst" << QStringList{"--burst-frames", "40"};
}

void TestEmulatorFaults::streamFaults() {
    QFETCH(QString, kind);
    QFETCH(QStringList, extra);
    auto emu = startEmulator(QStringList{"--fault", kind, "--fault-every", "2"} + extra);
    QVERIFY(emu);
    MainWindow w;
    w.show();
    w.portToggle()->click();
    QTRY_COMPARE(w.status()->text(), QStringLiteral("Open"));

    // Twice over: let faults hit the stream, then a good frame must be shown again.
    for (int round = 1; round <= 2; ++round) {
        const int before = faultsSeen(*emu, kind);
        QTRY_VERIFY_WITH_TIMEOUT(watch(w) && faultsSeen(*emu, kind) >= before + 2, 20000);
        forgetFrame();
        QTRY_VERIFY_WITH_TIMEOUT(watch(w) && showsGoodFrame(), 20000);
    }
    QVERIFY2(maxPending <= Thread::rxCap, qPrintable(QString::number(maxPending)));
    QVERIFY(maxPending > 0); // the watch did see the accumulator at work
    QCOMPARE(emu->process.state(), QProcess::Running);
    QCOMPARE(w.status()->text(), QStringLiteral("Open"));
}

void TestEmulatorFaults::vanishedDeviceOpensAgain() {
    auto emu = startEmulator({"--fault", "vanish", "--fault-every", "30", "--vanish-ms", "300"});
    QVERIFY(emu);
    MainWindow w;
    w.show();
    w.portToggle()->click();
    QTRY_COMPARE(w.status()->text(), QStringLiteral("Open"));
    QTRY_VERIFY_WITH_TIMEOUT((watch(w), showsGoodFrame()), 20000);

    for (int pull = 1; pull <= 2; ++pull) {
        // Gone part-way through a frame: the window notices and offers to open the port again.
        QTRY_VERIFY_WITH_TIMEOUT((watch(w), !w.isConnected()), 20000);
        QTRY_COMPARE(w.status()->text(), QStringLiteral("closed"));
        QCOMPARE(w.portToggle()->text(), QStringLiteral("Open port"));
        QTRY_VERIFY_WITH_TIMEOUT(
            (emu->collect(), emu->trace().filter(QRegularExpression("^back ")).size() >= pull),
            20000);

        forgetFrame();
        w.portToggle()->click();
        QVERIFY(w.isConnected());
        QTRY_COMPARE(w.status()->text(), QStringLiteral("Open"));
        QTRY_VERIFY_WITH_TIMEOUT((watch(w), showsGoodFrame()), 20000);
    }
    QVERIFY2(maxPending <= Thread::rxCap, qPrintable(QString::number(maxPending)));
}

QTEST_MAIN(TestEmulatorFaults)
#include "tst_emulator_faults.moc"

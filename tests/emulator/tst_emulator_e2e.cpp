// End to end: the program's main window opens the emulator's port by the name in settings.txt,
// the oscilloscope's start reaches the emulator, and its frames reach the sample buffer whole.
// Then the device is pulled: the window has to notice and offer to open the port again.
#include "buffer.h"
#include "emuprocess.h"
#include "mainwindow.h"
#include "status.h"
#include "zrvcom.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

namespace {
int sampleAt(int i) {
    return int16_t(buff.data[2 * i] | (buff.data[2 * i + 1] << 8));
}
} // namespace

class TestEmulatorE2e : public QObject {
    Q_OBJECT

private slots:
    void init();
    void scopeStartAndFramesReachBuffer();
    void pulledDeviceClosesThePort();
    void logicCaptureRoundTrip();

private:
    std::unique_ptr<EmuProcess> startEmulator(const QStringList& extra = {});
    std::unique_ptr<MainWindow> openWindow();
};

void TestEmulatorE2e::init() {
    buff.length = 0;
    bufReady = false;
    sts.clear();
}

// settings.txt names the emulator's link at 115 200 bit/s.
std::unique_ptr<EmuProcess> TestEmulatorE2e::startEmulator(const QStringList& extra) {
    return startEmuSession(
        emuLinkPath(QStringLiteral("e2e-port")),
        QStringList{QStringLiteral("--trace"), QStringLiteral("--noise"), QStringLiteral("0")} +
            extra);
}

std::unique_ptr<MainWindow> TestEmulatorE2e::openWindow() {
    auto w = std::make_unique<MainWindow>();
    w->show();
    w->portToggle()->click();
    return w;
}

void TestEmulatorE2e::scopeStartAndFramesReachBuffer() {
    auto emu = startEmulator();
    QVERIFY(emu);
    auto w = openWindow();
    QVERIFY(w->isConnected());
    QTRY_COMPARE(w->status()->text(), QStringLiteral("Open"));

    // The oscilloscope's start: one channel, then time base, gains.
    QTRY_VERIFY_WITH_TIMEOUT(emu->collect() >= 5, 10000);
    const QStringList start = emu->trace().mid(0, 4);
    QCOMPARE(start, (QStringList{"osc1chStart", "setTimeBase 7", "setGain1 0", "setGain2 0"}));

    QTRY_COMPARE_WITH_TIMEOUT(buff.length, 2048, 20000);
    // The emulator's 1 kHz, 1 V sine: 102.4 raw counts per volt at 2.5 V/div.
    int high = -32768, low = 32767;
    for (int i = 0; i < 1024; ++i) {
        high = std::max(high, sampleAt(i));
        low = std::min(low, sampleAt(i));
    }
    QCOMPARE(high, 102);
    QCOMPARE(low, -102);

    w->portToggle()->click();
    QTRY_COMPARE(w->status()->text(), QStringLiteral("closed"));
}

void TestEmulatorE2e::pulledDeviceClosesThePort() {
    auto emu = startEmulator();
    QVERIFY(emu);
    auto w = openWindow();
    QVERIFY(w->isConnected());
    QTRY_COMPARE_WITH_TIMEOUT(buff.length, 2048, 20000);

    emu->process.kill(); // no clean-up: the cable is pulled
    QVERIFY(emu->process.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!w->isConnected(), 10000);
    QTRY_COMPARE(w->status()->text(), QStringLiteral("closed"));
    QCOMPARE(w->portToggle()->text(), QStringLiteral("Open port"));

    // Plugged in again behind the same name (the killed one left its link): opens again.
    emu = startEmulator();
    QVERIFY(emu);
    buff.length = 0;
    w->portToggle()->click();
    QVERIFY(w->isConnected());
    QTRY_COMPARE_WITH_TIMEOUT(buff.length, 2048, 20000);
}

void TestEmulatorE2e::logicCaptureRoundTrip() {
    auto emu = startEmulator();
    QVERIFY(emu);
    auto w = openWindow();
    QVERIFY(w->isConnected());
    w->tabBar()->setCurrentIndex(MainWindow::LaPage);
    QTRY_VERIFY_WITH_TIMEOUT((emu->collect(), emu->trace().contains(QStringLiteral("laStart"))),
                             10000);
    // Forced capture through the window's link: one frame of 1024 logic bytes.
    buff.length = 0;
    w->device()->setLAforceTrig();
    QTRY_COMPARE_WITH_TIMEOUT(buff.length, 1024, 20000);
    // Channels 0-4 count up every 8 samples.
    int steps = 0;
    for (int j = 1; j < 1024; ++j) {
        if ((buff.data[j] & 0x1F) != (buff.data[j - 1] & 0x1F)) {
            QCOMPARE(buff.data[j] & 0x1F, ((buff.data[j - 1] & 0x1F) + 1) % 32);
            ++steps;
        }
    }
    QVERIFY(steps >= 120);
}

QTEST_MAIN(TestEmulatorE2e)
#include "tst_emulator_e2e.moc"

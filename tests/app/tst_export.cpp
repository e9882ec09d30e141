// Exports read by a real client (sigrok-cli), CSV tables of known signals, failed writes, and
// the built program's settings file and command line.
#include "app/exporter.h"
#include "app/mainwindow.h"
#include "emulator/logicpattern.h"
#include "emuprocess.h"
#include "recordedframes.h"
#include "instruments/generator/generator.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/runbuttons.h"
#include "instruments/spectrum/analizator.h"
#include "instruments/status.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {
QByteArray fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Frequency from the first to the last rise through the middle, and half the peak-to-peak.
QPair<double, double> measure(const QVector<double>& t, const QVector<double>& v) {
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    QVector<double> rises;
    for (int i = 1; i < v.size(); ++i)
        if (v[i - 1] < (*lo + *hi) / 2 && v[i] >= (*lo + *hi) / 2)
            rises << t[i];
    return {(rises.size() - 1) / (rises.last() - rises.first()), (*hi - *lo) / 2};
}
} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { window.reset(), emu.reset(); }
    void logicCapture_data();
    void logicCapture();
    void instrumentCsv_data();
    void instrumentCsv();
    void program_data();
    void program();
    void recordingKeepsEveryFrame();
    void recordingGoesOnAfterAVanish();

private:
    // A window on `page` opened to the emulator; `option` checks channel 2 or Max hold first.
    void openOn(int page, bool option = false) {
        emu = startEmuSession(emuLinkPath(QStringLiteral("export-link")), {"--noise", "0"});
        QVERIFY(emu);
        window = std::make_unique<MainWindow>();
        window->show();
        window->tabBar()->setCurrentIndex(page);
        (page ? window->anPage()->widgets().holdBox : window->oscPage()->widgets().ch2Box)
            ->setChecked(option);
        // Sent as the port opens: channel 1 a sine of 1 V (1008 Hz, the nearest the table plays).
        window->genPage()->widgets().gainBox->setValue(1000);
        window->portToggle()->click();
    }
    // The oscilloscope at 2.5V/dz on an emulator started with `arguments`, recording into `path`.
    void recordOn(const QStringList& arguments, const QString& path) {
        emu = startEmuSession(emuLinkPath(QStringLiteral("record-link")), arguments);
        QVERIFY(emu);
        window = std::make_unique<MainWindow>();
        window->show();
        window->tabBar()->setCurrentIndex(MainWindow::OscPage);
        QComboBox* volts = window->oscPage()->widgets().vBox1;
        volts->setCurrentIndex(0);
        volts->activated(0);
        window->portToggle()->click();
        QVERIFY(window->isConnected());
        QVERIFY(window->exporter()->startRecording(path));
        QVERIFY(window->statusLine()->text().startsWith(QStringLiteral("Recording: 0 frames to ")));
    }
    QTemporaryDir dir;
    std::unique_ptr<EmuProcess> emu;
    std::unique_ptr<MainWindow> window;
};

// Rates whose sigrok rate texts and VCD time units differ: "4 MHz" at 10 ns, "20 kHz" at 10 us,
// "500 Hz" at 1 ms.
void TestExport::logicCapture_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("file");
    QTest::newRow("4 MSPS") << 0 << "capture.vcd";
    QTest::newRow("20 kSPS") << 7 << "capture.sr";
    QTest::newRow("500 SPS") << 12 << "capture.vcd";
}

// Triggered where the line idles: D6 falls while D0..D4 count 5 (1, 0, 1, 0, 0); the capture
// then starts 64 samples earlier, in a stop bit, and holds ten whole characters.
void TestExport::logicCapture() {
    QFETCH(int, rate);
    QFETCH(QString, file);
    openOn(MainWindow::LaPage);
    AnalizatorLog* la = window->laPage();
    QVERIFY(!window->exporter()->exportData(dir.filePath(file)) &&
            window->statusLine()->text() == "Nothing to export yet");
    la->widgets().rateBox->setCurrentIndex(rate);
    la->widgets().rateBox->activated(rate);
    for (int n = 0; n < 5; ++n)
        la->widgets().trigBox[n]->setCurrentIndex(0x05 >> n & 1 ? LaLogic::High : LaLogic::Low);
    la->widgets().trigBox[6]->setCurrentIndex(LaLogic::Falling);
    la->widgets().startButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(la->hasCapture(), 30000);
    QVERIFY(window->exporter()->exportData(dir.filePath(file)));
    const int baud = 1000000000 / LaLogic::samplePeriodNs(rate) / emu::LogicPattern::samplesPerBit;
    QProcess sigrok; // its UART decoder on channel 6, bytes to stdout
    sigrok.start("sigrok-cli",
                 {"-i", dir.filePath(file), "-P",
                  QStringLiteral("uart:rx=D6:baudrate=%1").arg(baud), "-B", "uart=rx"});
    QVERIFY(sigrok.waitForFinished(60000));
    const QByteArray got = sigrok.readAllStandardOutput();
    QVERIFY(got.size() == 10 && QByteArray(emu::LogicPattern::message).repeated(2).contains(got));
}

void TestExport::instrumentCsv_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("option");
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("one channel") << 0 << false << QByteArray("time_s,ch1_V");
    QTest::newRow("two channels") << 0 << true << QByteArray("time_s,ch1_V,ch2_V");
    QTest::newRow("spectrum, hold")
        << 2 << true << QByteArray("frequency_Hz,level_dBFS,hold_dBFS");
}

// Channel 1 carries the generator page's 1008 Hz sine of 1 V, channel 2 a 500 Hz square of 0 .. 1 V.
void TestExport::instrumentCsv() {
    QFETCH(int, page);
    QFETCH(bool, option);
    QFETCH(QByteArray, header);
    openOn(page, option);
    QTRY_VERIFY(page ? window->anPage()->hasExportData() : window->oscPage()->hasExportData());
    Exporter* exporter = window->exporter();
    const QString path = dir.filePath("table.csv");
    QVERIFY(exporter->exportData(path));
    // A write that fails (at a file size limit) leaves the file as it was.
    std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{64, saved.rlim_max};
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    const bool written = exporter->exportData(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!written && window->statusLine()->text() == QStringLiteral("Unable to write table.csv"));
    QList<QByteArray> lines = fileText(path).trimmed().split('\n');
    QCOMPARE(lines.takeFirst(), header);
    QCOMPARE(lines.size(), page ? Analizator::plotLen : (option ? 512 : 1024));
    QVector<double> x, y[3]; // time or frequency, and the value columns
    for (const QByteArray& line : lines)
        for (int c = 0; c < 3; ++c)
            (c ? y[c] : x) << line.split(',').value(c).toDouble();
    if (page) { // the strongest bin above DC: within a bin of 1 kHz
        const int peak = int(std::max_element(y[1].begin() + 2, y[1].end()) - y[1].begin());
        QVERIFY(std::abs(x[peak] - 1000) < x[1]);
        return;
    }
    // The generator's table plays 32 MHz / (62 x 512): the nearest it comes to 1 kHz.
    const double hz[] = {32e6 / (62 * 512), 500}, volts[] = {1.0, 0.5};
    for (int c = 1; c <= header.count(','); ++c) {
        const auto m = measure(x, y[c]);
        QVERIFY(qAbs(m.first / hz[c - 1] - 1) < 0.01 && qAbs(m.second / volts[c - 1] - 1) < 0.01);
    }
}

void TestExport::program_data() {
    QTest::addColumn<QByteArray>("startLine"); // settings.txt in the start folder; LINK: emulator
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");   // -1: runs on
    QTest::addColumn<QString>("text"); // the settings file ("": the start line), or stderr
    const QString line = SettingsFile::defaultLine;
    QTest::newRow("first start") << QByteArray() << QStringList() << -1 << line;
    QTest::newRow("start folder, no #") << QByteArray("abc") << QStringList() << -1 << "abc" + line;
    QTest::newRow("start folder, --open")
        << QByteArray("#LINK#19#3#ZRV") << QStringList{"--open"} << -1 << "";
    QTest::newRow("--port for this run")
        << QByteArray("#/dev/none#14#0#ZRV")
        << QStringList{"--open", "--port", "LINK", "--speed", "115200"} << -1 << "";
    QTest::newRow("speed off the list") << QByteArray() << QStringList{"--speed", "12345"} << 2
                                        << "--speed 12345 is not a speed of the list";
}

// The built program. The command line is answered before any window: without a display.
void TestExport::program() {
    QFETCH(QByteArray, startLine);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, text);
    QTemporaryDir start, config;
    const QString link = start.filePath("port");
    EmuProcess device({"--link", link, "--trace"});
    QVERIFY(device.waitForSlavePath());
    const QString local = start.filePath("settings.txt"), xdg = config.filePath("zrv/settings.txt");
    QFile file(local);
    QVERIFY(startLine.isEmpty() ||
            (file.open(QIODevice::WriteOnly) &&
             file.write(startLine.replace("LINK", link.toUtf8())) && file.flush()));
    QProcess zrv;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("QT_QPA_PLATFORM", status < 0 ? "offscreen" : "xcb");
    env.remove("DISPLAY");
    zrv.setProcessEnvironment(env);
    zrv.setWorkingDirectory(start.path());
    zrv.start(ZRV_APP_PATH, arguments.replaceInStrings("LINK", link));
    if (status < 0) { // the start folder's file when there is one, read and never rewritten
        QTRY_VERIFY_WITH_TIMEOUT(!arguments.contains("--open") || device.traced("osc1chStart"),
                                 20000);
        QTRY_COMPARE_WITH_TIMEOUT(fileText(startLine.isEmpty() ? xdg : local),
                                  text.isEmpty() ? startLine : text.toUtf8(), 20000);
        QVERIFY(!QFile::exists(startLine.isEmpty() ? local : xdg));
        zrv.kill();
    }
    QVERIFY(zrv.waitForFinished(30000));
    QVERIFY(status < 0 ||
            (zrv.exitCode() == status && zrv.readAllStandardError().contains(text.toUtf8())));
}


// Every frame of the page's settings goes into the file once, in order, also while the picture
// is stopped: the file's frames are the last ones the emulator sent (the earlier ones belong to
// the settings before the page's own). Leaving the page ends the recording.
void TestExport::recordingKeepsEveryFrame() {
    const QString path = dir.filePath(QStringLiteral("window.csv"));
    recordOn({QStringLiteral("--trace"), QStringLiteral("--frames"), QStringLiteral("16")}, path);
    Oscyloskop* osc = window->oscPage();
    QTRY_VERIFY_WITH_TIMEOUT(osc->recordedFrames() >= 3, 20000);
    osc->widgets().run->runStopButton()->click();
    QVERIFY(!osc->widgets().run->state().takesFrames());
    QTRY_VERIFY_WITH_TIMEOUT((emu->collect(), !emu->trace().filter(QStringLiteral("silent ")).isEmpty()),
                             30000);
    const QList<quint32> sent = tracedSums(*emu);
    QCOMPARE(sent.size(), 16);
    // The last frame is on its way to the page once the emulator says it fell silent.
    QTRY_VERIFY_WITH_TIMEOUT(osc->recordedFrames() > 3 && osc->recordedFrames() <= 16 &&
                                 frameSums(fileText(path), nullptr).size() ==
                                     int(osc->recordedFrames()) &&
                                 frameSums(fileText(path), nullptr) ==
                                     sent.mid(sent.size() - int(osc->recordedFrames())),
                             10000);
    const quint64 frames = osc->recordedFrames();
    window->tabBar()->setCurrentIndex(MainWindow::AnPage);
    QVERIFY(!osc->isRecording());
    QCOMPARE(window->statusLine()->text(),
             QStringLiteral("Recorded %1 frames to %2").arg(frames).arg(path));
    QVERIFY(fileText(path).startsWith("frame,time_s,ch1_V\n"));
}

// The device vanishes and comes back: the window reconnects and the same file goes on, with a
// note where the gap is. Closing the port ends the recording.
void TestExport::recordingGoesOnAfterAVanish() {
    const QString path = dir.filePath(QStringLiteral("gap.csv"));
    recordOn({QStringLiteral("--fault"), QStringLiteral("vanish"), QStringLiteral("--fault-every"),
              QStringLiteral("6"), QStringLiteral("--vanish-ms"), QStringLiteral("700")},
             path);
    Oscyloskop* osc = window->oscPage();
    QTRY_VERIFY_WITH_TIMEOUT(window->isReconnecting(), 30000);
    QVERIFY(osc->isRecording());
    const quint64 before = osc->recordedFrames();
    QTRY_VERIFY_WITH_TIMEOUT(window->isConnected() && osc->recordedFrames() >= before + 2, 30000);
    window->portToggle()->click();
    QVERIFY(!osc->isRecording());
    QStringList notes;
    const QList<quint32> frames = frameSums(fileText(path), &notes);
    QCOMPARE(quint64(frames.size()), osc->recordedFrames());
    QVERIFY(!notes.isEmpty());
    QCOMPARE(notes.first(), QStringLiteral("# device lost after frame %1").arg(before));
}
QTEST_MAIN(TestExport)
#include "tst_export.moc"

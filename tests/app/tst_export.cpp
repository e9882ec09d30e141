// Exports read by a real client (sigrok-cli), CSV tables of known signals, failed writes, and
// the built program's settings file and command line.
#include "analizator.h"
#include "analizatorlog.h"
#include "buffer.h"
#include "emulator/logicpattern.h"
#include "emuprocess.h"
#include "exporter.h"
#include "mainwindow.h"
#include "oscyloskop.h"
#include "status.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {
// What sigrok-cli's UART decoder reads on channel 6 of a capture file.
QString decodeUart(const QString& file, int baud) {
    QProcess p;
    p.start("sigrok-cli",
            {"-i", file, "-P", QStringLiteral("uart:rx=D6:format=ascii:baudrate=%1").arg(baud),
             "-A", "uart=rx-data"});
    QString text; // lines "uart-1: H"; control characters read "[0D]"
    for (const QByteArray& line : (p.waitForFinished(60000), p.readAll()).split('\n')) {
        const QString c = QString::fromLatin1(line).section(": ", 1);
        text += c.startsWith('[') ? QString(QChar(c.mid(1, 2).toInt(nullptr, 16))) : c;
    }
    return text;
}

QByteArray fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Frequency from the first to the last rise through the middle, and half the peak-to-peak.
QPair<double, double> measure(const QList<QList<double>>& rows, int column) {
    double lo = 1e9, hi = -1e9, first = 0, last = 0;
    for (const auto& r : rows)
        lo = std::min(lo, r[column]), hi = std::max(hi, r[column]);
    int rises = 0;
    for (int i = 1; i < rows.size(); ++i)
        if (rows[i - 1][column] < (lo + hi) / 2 && rows[i][column] >= (lo + hi) / 2)
            first = rises++ ? first : rows[i][0], last = rows[i][0];
    return {(rises - 1) / (last - first), (hi - lo) / 2};
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
    void failedExport_data();
    void failedExport();
    void program_data();
    void program();

private:
    // A window on `page` opened to the emulator; `option` checks channel 2 or Max hold first.
    void openOn(int page, bool option = false) {
        emu = startEmuSession(emuLinkPath(QStringLiteral("export-link")), {"--noise", "0"});
        QVERIFY(emu);
        buff.length = 0; // no frame of an earlier window
        window = std::make_unique<MainWindow>();
        window->show();
        window->tabBar()->setCurrentIndex(page);
        window->oscPage()->ch2Box->setChecked(option && page == MainWindow::OscPage);
        window->anPage()->maxHoldBox()->setChecked(option);
        window->portToggle()->click();
        QVERIFY(window->isConnected());
    }
    QTemporaryDir dir;
    std::unique_ptr<EmuProcess> emu;
    std::unique_ptr<MainWindow> window;
};

// Rates whose sigrok rate texts and VCD time units differ: "4 MHz" at 10 ns, "500 kHz" at 1 us,
// "20 kHz" at 10 us, "500 Hz" at 1 ms.
void TestExport::logicCapture_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("file");
    QTest::newRow("4 MSPS") << 0 << "capture.vcd";
    QTest::newRow("500 kSPS") << 3 << "capture.sr";
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
    QVERIFY(!window->exporter()->exportData(dir.filePath(file)));
    QCOMPARE(sts, QStringLiteral("Nothing to export yet"));
    la->rateBox->setCurrentIndex(rate);
    la->rateBox->activated(rate);
    for (int n = 0; n < 5; ++n)
        la->trigBox[n]->setCurrentIndex(0x05 >> n & 1 ? LaLogic::High : LaLogic::Low);
    la->trigBox[6]->setCurrentIndex(LaLogic::Falling);
    la->startButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(la->hasCapture(), 30000);
    QVERIFY(window->exporter()->exportData(dir.filePath(file)));
    const int baud = 1000000000 / LaLogic::samplePeriodNs(rate) / emu::LogicPattern::samplesPerBit;
    const QString text = decodeUart(dir.filePath(file), baud), message = emu::LogicPattern::message;
    QVERIFY2(text.size() == 10 && (message + message).contains(text), qPrintable(text));
}

void TestExport::instrumentCsv_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("option");
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("one channel") << 0 << false << QByteArray("time_s,ch1_V");
    QTest::newRow("two channels") << 0 << true << QByteArray("time_s,ch1_V,ch2_V");
    QTest::newRow("spectrum") << 2 << false << QByteArray("frequency_Hz,level_dB");
    QTest::newRow("spectrum, hold") << 2 << true << QByteArray("frequency_Hz,level_dB,hold_dB");
}

// Channel 1 carries a 1 kHz sine of 1 V, channel 2 a 500 Hz square of 0 .. 1 V.
void TestExport::instrumentCsv() {
    QFETCH(int, page);
    QFETCH(bool, option);
    QFETCH(QByteArray, header);
    openOn(page, option);
    QTRY_VERIFY_WITH_TIMEOUT(page ? window->anPage()->hasFrame() : window->oscPage()->hasFrame,
                             20000);
    QVERIFY(window->exporter()->exportData(dir.filePath("table.csv")));
    QList<QByteArray> lines = fileText(dir.filePath("table.csv")).trimmed().split('\n');
    QCOMPARE(lines.takeFirst(), header);
    QCOMPARE(lines.size(), page ? Analizator::plotLen : (option ? 512 : 1024));
    QList<QList<double>> rows;
    for (const QByteArray& line : lines)
        rows << QList<double>{line.split(',')[0].toDouble(), line.split(',')[1].toDouble(),
                              line.split(',').value(2).toDouble()};
    const double hz[] = {1000, 500}, volts[] = {1.0, 0.5};
    for (int column = 1; column <= header.count(',') && !page; ++column) {
        const auto m = measure(rows, column);
        QVERIFY(qAbs(m.first / hz[column - 1] - 1) < 0.01);
        QVERIFY(qAbs(m.second / volts[column - 1] - 1) < 0.01);
    }
    int peak = 2; // the strongest bin above DC: within a bin of 1 kHz
    for (int i = 2; i < rows.size() && page; ++i)
        peak = rows[i][1] > rows[peak][1] ? i : peak;
    QVERIFY(!page || std::abs(rows[peak][0] - 1000) < rows[1][0]);
}

void TestExport::failedExport_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("full"); // a file size limit below the export's size
    QTest::newRow("missing folder") << "none/x.csv" << false;
    QTest::newRow("disk full") << "x.csv" << true;
    QTest::newRow("picture, disk full") << "x.png" << true;
}

// No file, or the old one as it was, and a message.
void TestExport::failedExport() {
    QFETCH(QString, name);
    QFETCH(bool, full);
    QTemporaryDir folder;
    const QString path = folder.filePath(name);
    QFile old(path);
    const bool existed = old.open(QIODevice::WriteOnly) && old.write("old") == 3;
    old.close();
    MainWindow w;
    w.oscPage()->hasFrame = true;
    std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{64, saved.rlim_max};
    QVERIFY(!full || setrlimit(RLIMIT_FSIZE, &small) == 0);
    const bool picture = name.endsWith(".png");
    const bool ok = picture ? w.exporter()->savePicture(path) : w.exporter()->exportData(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!ok);
    QCOMPARE(sts, QStringLiteral("Unable to write x.") + (picture ? "png" : "csv"));
    QCOMPARE(fileText(path), existed ? QByteArray("old") : QByteArray("<missing>"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), int(existed));
    QVERIFY(!picture || w.exporter()->savePicture(path)); // the window as shown
    QVERIFY(!picture || QImage(path).size() == w.grab().toImage().size());
}

void TestExport::program_data() {
    QTest::addColumn<QByteArray>("startLine"); // settings.txt in the start folder; LINK: emulator
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");   // -1: runs on
    QTest::addColumn<QString>("text"); // the settings file, or what stdout (0) / stderr (2) says
    const QString line = Ustawienia::defaultLine;
    QTest::newRow("first start") << QByteArray() << QStringList() << -1 << line;
    QTest::newRow("start folder, no #") << QByteArray("abc") << QStringList() << -1 << "abc" + line;
    QTest::newRow("start folder, --open")
        << QByteArray("#LINK#19#3#ZRV") << QStringList{"--open"} << -1 << "#LINK#19#3#ZRV";
    QTest::newRow("--port for this run")
        << QByteArray("#/dev/none#14#0#ZRV")
        << QStringList{"--open", "--port", "LINK", "--speed", "115200"} << -1
        << "#/dev/none#14#0#ZRV";
    QTest::newRow("help") << QByteArray() << QStringList{"--help"} << 0 << "--speed <BITS>";
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
    QVERIFY(startLine.isEmpty() || (file.open(QIODevice::WriteOnly) &&
                                    file.write(startLine.replace("LINK", link.toUtf8()))));
    file.close();
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
                                  text.replace("LINK", link).toUtf8(), 20000);
        QVERIFY(!QFile::exists(startLine.isEmpty() ? local : xdg));
        zrv.kill();
    }
    QVERIFY(zrv.waitForFinished(30000));
    zrv.setReadChannel(status ? QProcess::StandardError : QProcess::StandardOutput);
    QVERIFY(status < 0 || (zrv.exitCode() == status && zrv.readAll().contains(text.toUtf8())));
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"

// The frequency response sweep: the sine fit on frames of known tones, and zrv-cli bode against
// zrv-emu's circuits compared with their analytic response.
#include "app/mainwindow.h"
#include "emuprocess.h"
#include "emuwindow.h"
#include "instruments/bode/bodepage.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/bode/bodesweep.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QRegularExpression>
#include <QtTest>
#include <cmath>
#include <complex>
#include <random>

namespace {
// The circuit's response at `hz`, as "lowpass:FC", "highpass:FC" or "bandpass:F0:Q" names it.
std::complex<double> response(const QString& dut, double hz) {
    const QStringList f = dut.split(QLatin1Char(':'));
    const std::complex<double> jx(0, hz / f[1].toDouble());
    if (f[0] == QLatin1String("lowpass"))
        return 1.0 / (1.0 + jx);
    if (f[0] == QLatin1String("highpass"))
        return jx / (1.0 + jx);
    const double q = f[2].toDouble();
    return (jx / q) / (1.0 + jx * jx + jx / q);
}
} // namespace

class TstBode : public QObject {
    Q_OBJECT
private slots:
    void fitsTone_data();
    void fitsTone();
    void sweepMatchesCircuit_data();
    void sweepMatchesCircuit();
    void stoppedSweepKeepsItsPoints();
    void pageSweepGivesPagesTheirSettings_data();
    void pageSweepGivesPagesTheirSettings();
};

void TstBode::fitsTone_data() {
    QTest::addColumn<double>("cyclesPerSample");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<double>("phaseDeg");
    QTest::addColumn<double>("noise");
    QTest::addColumn<bool>("aboveNoise");
    QTest::newRow("3.2 periods, clean") << 3.2 / 512 << 1.0 << 30.0 << 0.0 << true;
    QTest::newRow("fast, offset phase") << 0.11 << 0.02 << -170.0 << 0.0 << true;
    QTest::newRow("noisy but 20 dB up") << 0.05 << 0.5 << 90.0 << 0.003 << true;
    QTest::newRow("buried in noise") << 0.05 << 0.005 << 0.0 << 0.003 << false;
}

void TstBode::fitsTone() {
    QFETCH(double, cyclesPerSample);
    QFETCH(double, amplitude);
    QFETCH(double, phaseDeg);
    QFETCH(double, noise);
    QFETCH(bool, aboveNoise);
    std::mt19937 rng(7);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    double x[512];
    for (int k = 0; k < 512; ++k)
        x[k] = 0.3 + amplitude * std::cos(2 * M_PI * cyclesPerSample * k + phaseDeg * M_PI / 180) +
               (noise > 0 ? gauss(rng) : 0.0);
    const bode::ToneFit fit = bode::fitTone(x, 512, cyclesPerSample);
    QVERIFY(fit.ok);
    QCOMPARE(fit.snrDb() >= bode::Sweep::minSnrDb, aboveNoise);
    if (!aboveNoise)
        return;
    QVERIFY2(std::fabs(fit.amplitude / amplitude - 1) < 0.01, qPrintable(QString::number(fit.amplitude)));
    const double d = std::remainder(fit.phaseRad * 180 / M_PI - phaseDeg, 360.0);
    QVERIFY2(std::fabs(d) < 0.5, qPrintable(QString::number(d)));
}

void TstBode::sweepMatchesCircuit_data() {
    QTest::addColumn<QString>("dut");
    QTest::newRow("lowpass 1 kHz") << "lowpass:1000";
    // 30 dB down a decade from its centre: the tone there drowns in the noise.
    QTest::newRow("bandpass 2 kHz Q 5") << "bandpass:2000:5";
}

void TstBode::sweepMatchesCircuit() {
    QFETCH(QString, dut);
    const QString link = emuLinkPath(QStringLiteral("bode"));
    auto emu = startEmuSession(link, {QStringLiteral("--baud"), QStringLiteral("921600"),
                                      QStringLiteral("--trace"), QStringLiteral("--dut"), dut});
    QVERIFY(emu);
    QProcess cli;
    cli.start(QStringLiteral(ZRV_CLI_PATH),
              QString(QStringLiteral("--port %1 --speed 921600 bode --from 20 --to 20000 --points 30"))
                  .arg(link)
                  .split(QLatin1Char(' ')));
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    const QList<QByteArray> lines = cli.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 30);
    // Every point stands at a frequency the table player was set to: 32 MHz / (divider x points).
    const QRegularExpression setFreq(QStringLiteral("^setFreq (\\d+) (\\d+)$"));
    const auto wasPlayed = [&](double hz) {
        emu->collect();
        for (const QString& t : emu->trace())
            if (const auto m = setFreq.match(t);
                m.hasMatch() &&
                std::fabs(32e6 / (m.captured(1).toDouble() * m.captured(2).toDouble()) - hz) < 1e-6)
                return true;
        return false;
    };
    int measured = 0;
    for (const QByteArray& line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const double hz = o.value(QStringLiteral("freq_Hz")).toDouble();
        QTRY_VERIFY2(wasPlayed(hz), line.constData());
        const std::complex<double> h = response(dut, hz);
        // Channel 2's tone (1250 mV peak through the circuit) over the emulator's 3 mV of noise:
        // well below 20 dB a gap, well above it a point.
        const double snr = 20 * std::log10(1.25 * std::abs(h) / std::sqrt(2.0) / 0.003);
        QVERIFY2(snr > 16 || o.value(QStringLiteral("gain_dB")).isNull(), line.constData());
        QVERIFY2(snr < 24 || !o.value(QStringLiteral("gain_dB")).isNull(), line.constData());
        if (o.value(QStringLiteral("gain_dB")).isNull())
            continue;
        ++measured;
        const double gain = 20 * std::log10(std::abs(h)), phase = std::arg(h) * 180 / M_PI;
        QVERIFY2(std::fabs(o.value(QStringLiteral("gain_dB")).toDouble() - gain) < 0.5, line.constData());
        QVERIFY2(std::fabs(o.value(QStringLiteral("phase_deg")).toDouble() - phase) < 5, line.constData());
    }
    QVERIFY(measured >= 14);
}

void TstBode::stoppedSweepKeepsItsPoints() {
    const QString link = emuLinkPath(QStringLiteral("bodestop"));
    auto emu = startEmuSession(link, {QStringLiteral("--baud"), QStringLiteral("921600"),
                                      QStringLiteral("--dut"), QStringLiteral("lowpass:1000")});
    QVERIFY(emu);
    const QString csv = QDir::current().absoluteFilePath(QStringLiteral("stopped.csv"));
    QFile::remove(csv);
    QProcess cli;
    cli.start(QStringLiteral(ZRV_CLI_PATH),
              QString(QStringLiteral("--port %1 --speed 921600 bode --from 20 --to 20000 "
                                     "--points 200 -o %2"))
                  .arg(link, csv)
                  .split(QLatin1Char(' ')));
    QVERIFY(cli.waitForStarted(10000));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += cli.readAllStandardOutput(), out.count('\n') >= 3), 30000);
    cli.terminate();
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 0);
    out += cli.readAllStandardOutput();
    const QList<QByteArray> lines = out.trimmed().split('\n');
    QVERIFY(lines.size() >= 3 && lines.size() < 200);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().trimmed().split('\n');
    QCOMPARE(rows.first(), QByteArray("freq_Hz,gain_dB,phase_deg"));
    QCOMPARE(rows.size(), lines.size() + 1);
    for (int i = 0; i < lines.size(); ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines[i]).object();
        QCOMPARE(rows[i + 1].split(',').first().toDouble(), o.value(QStringLiteral("freq_Hz")).toDouble());
        QVERIFY(std::fabs(o.value(QStringLiteral("gain_dB")).toDouble()) < 0.5); // low frequencies
    }
}

void TstBode::pageSweepGivesPagesTheirSettings_data() {
    QTest::addColumn<bool>("stopped");
    QTest::newRow("to the end") << false;
    QTest::newRow("stopped") << true;
}

void TstBode::pageSweepGivesPagesTheirSettings() {
    QFETCH(bool, stopped);
    EmuWindow rig(MainWindow::BodePageIndex, {QStringLiteral("--dut"), QStringLiteral("lowpass:1000")});
    QTRY_VERIFY_WITH_TIMEOUT(rig.ready(), 10000);
    BodePage* page = rig.window->bodePage();
    const auto& ui = page->widgets();
    ui.fromBox->setValue(100);
    ui.toBox->setValue(10000);
    ui.pointsBox->setValue(stopped ? 40 : 5);
    // The generator's table as its page sent it when the port opened.
    QString genTable;
    QTRY_VERIFY((rig.emu->collect(), genTable = rig.emu->trace().filter(QStringLiteral("sendGenChannel")).value(0),
                 !genTable.isEmpty()));
    ui.startButton->click();
    QVERIFY(page->sweeping());
    if (stopped) {
        QTRY_VERIFY_WITH_TIMEOUT(page->engine().result().size() >= 2, 30000);
        ui.startButton->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!page->sweeping(), 60000);
    const auto& points = page->engine().result();
    QCOMPARE(int(points.size()) < ui.pointsBox->value(), stopped);
    QCOMPARE(ui.progress->value(), int(points.size()));
    bool known = false;
    const QList<QByteArray> rows = page->exportData(QStringLiteral("csv"), &known).trimmed().split('\n');
    QVERIFY(known);
    QCOMPARE(rows.first(), QByteArray("freq_Hz,gain_dB,phase_deg"));
    QCOMPARE(rows.size(), int(points.size()) + 1);
    // The last commands are the pages' own: the generator's table, then the scope's mode, time
    // base and gains.
    const OscSettings& osc = rig.window->oscPage()->settings();
    const QStringList scope{osc.twoChannel ? QStringLiteral("osc2chStart") : QStringLiteral("osc1chStart"),
                            QStringLiteral("setTimeBase %1").arg(osc.timeBase),
                            QStringLiteral("setGain1 %1").arg(osc.gain1),
                            QStringLiteral("setGain2 %1").arg(osc.gain2)};
    const auto lastCommands = [&] {
        rig.emu->collect();
        const QStringList commands =
            rig.emu->trace().filter(QRegularExpression(QStringLiteral("^(?!frame )")));
        return commands.mid(commands.size() - 5);
    };
    QTRY_COMPARE_WITH_TIMEOUT(lastCommands(), QStringList{genTable} + scope, 10000);
}

QTEST_MAIN(TstBode)
#include "tst_bode.moc"

// zrv-cli as a script runs it: the real binary against zrv-emu on a pseudo-terminal, its lines
// and files checked against the emulator's own account (its ideal source, its trace of every
// frame and command) and against sigrok-cli.
#include "emulator/logicpattern.h"
#include "emuprocess.h"
#include "instruments/labels.h"
#include "instruments/logic/lalogic.h"
#include "recordedframes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <cmath>
#include <cstring>

namespace {

struct Run {
    int status = -1;
    QByteArray out, err;
};

// Starts zrv-cli on `link` (or with no port when `link` is empty).
void startCli(QProcess& cli, const QString& link, const QStringList& args) {
    // Files of an earlier run must not pass for this one's.
    for (int i = 0; i + 1 < args.size(); ++i)
        if (args[i] == QLatin1String("-o"))
            QFile::remove(args[i + 1]);
    QStringList all;
    if (!link.isEmpty())
        all << QStringLiteral("--port") << link << QStringLiteral("--speed")
            << QStringLiteral("921600");
    cli.start(QStringLiteral(ZRV_CLI_PATH), all + args);
    // A signal sent before the program runs would reach the forked test instead.
    QVERIFY(cli.waitForStarted(10000));
}

Run finish(QProcess& cli, int timeoutMs = 30000) {
    Run r;
    const bool ended = cli.waitForFinished(timeoutMs);
    r.out = cli.readAllStandardOutput();
    r.err = cli.readAllStandardError();
    r.status = ended && cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    return r;
}

Run cliRun(const QString& link, const QStringList& args) {
    QProcess cli;
    startCli(cli, link, args);
    return finish(cli);
}

// "a b c" -> {"a", "b", "c"}: the arguments as a shell would pass them.
QStringList words(const char* line) {
    return QString::fromLatin1(line).split(QLatin1Char(' '));
}

} // namespace

class TstCli : public QObject {
    Q_OBJECT
private slots:
    void usageErrors_data();
    void usageErrors();
    void portThatCannotOpen();
    void scopeReadsTheKnownSine();
    void silentDeviceTimesOut();
    void recordKeepsEveryFrameOnceInOrder();
    void recordNotesAVanishAndGoesOn();
    void recordingStoppedBySigtermIsWhole();
    void logicCaptureReadBySigrok();
    void logicRecordingReadBySigrok_data();
    void logicRecordingReadBySigrok();
    void decodeAgreesWithSigrok_data();
    void decodeAgreesWithSigrok();
    void decoderErrorIsSaid();
    void generatePlaysWhatItPrints();
    void emulatorOfItsOwn();
};

void TstCli::usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    const auto row = [](const char* name, const QString& args, const char* says) {
        QTest::newRow(name) << args.split(QLatin1Char(' ')) << QString::fromLatin1(says);
    };
    row("no command", QStringLiteral("--timeout 3"), "no command");
    row("unknown command", QStringLiteral("measure"), "no command 'measure'");
    row("time base not in the box", QStringLiteral("scope --time-div 3us"), "is none of");
    row("fast base with two channels", QStringLiteral("scope --channels 2 --time-div 16us"),
        "is none of");
    row("three gains", QStringLiteral("scope --volt-div 1V,1V,1V"), "one or two");
    row("trigger mode", QStringLiteral("scope --trigger sometimes"), "--trigger");
    row("format", QStringLiteral("scope --format xml"), "--format");
    row("average not a power of two", QStringLiteral("scope --average 3"), "1, 2, 4");
    row("logic without a file", QStringLiteral("logic --force"), "-o FILE");
    row("logic file kind", QStringLiteral("logic -o capture.txt"), ".sr");
    row("logic channel", QStringLiteral("logic --trigger D8=rise -o x.vcd"), "D8=rise");
    row("decoder option", QStringLiteral("logic --decode uart:rx=D6:baudrate=fast"),
        "option baudrate wants a whole number, got 'fast'");
    row("decoder", QStringLiteral("logic --decode usb"), "no protocol decoder 'usb'");
    row("record what", QStringLiteral("record --seconds 3"), "scope, spectrum or logic");
    row("record both ends", QStringLiteral("record scope --seconds 2 --frames 3 -o r.csv"),
        "exclude");
    row("speed", QStringLiteral("--speed 1234 scope"), "--speed 1234");
    row("frequency", QStringLiteral("generate sine --freq 0"), "--freq");
    row("two sources", QStringLiteral("generate sine --expression sin(wt)"), "one of");
    row("bad expression", QStringLiteral("generate --expression sin((wt"), "cannot be read");
}

// Refused before any port is opened: the usage status, not the port's.
void TstCli::usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    const Run r = cliRun(QStringLiteral("/nonexistent/port"), args);
    QCOMPARE(r.status, 2);
    QVERIFY2(QString::fromUtf8(r.err).contains(says), r.err.constData());
    QVERIFY(r.out.isEmpty());
}

void TstCli::portThatCannotOpen() {
    const Run r = cliRun(QStringLiteral("/nonexistent/port"), {QStringLiteral("scope")});
    QCOMPARE(r.status, 3);
    QVERIFY(r.err.contains("/nonexistent/port"));
}

void TstCli::scopeReadsTheKnownSine() {
    const QString link = emuLinkPath(QStringLiteral("sine"));
    auto emu = startEmuSession(link, words("--baud 921600 --ch1 sine:1000:1.5"));
    QVERIFY(emu);
    // A run before leaves the device streaming another time base: what of it is still on the
    // line or being captured must not pass for this run's frames.
    QCOMPARE(cliRun(link, words("scope --time-div 40us")).status, 0);
    const Run r = cliRun(link, words("scope --frames 3 --time-div 1ms --volt-div 1V"));
    QCOMPARE(r.status, 0);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    double lastTime = 0;
    for (int i = 0; i < 3; ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines[i]).object();
        QCOMPARE(o.value(QStringLiteral("frame")).toInt(), i + 1);
        QCOMPARE(o.value(QStringLiteral("channels")).toInt(), 1);
        QVERIFY(!o.contains(QStringLiteral("ch2")));
        const double t = o.value(QStringLiteral("time_s")).toDouble();
        QVERIFY2(t > lastTime && t < 10, lines[i].constData());
        lastTime = t;
        const QJsonObject ch1 = o.value(QStringLiteral("ch1")).toObject();
        // The source's truth: 1 kHz, 1.5 V peak, no offset.
        const struct {
            const char* name;
            double truth, within;
        } truths[] = {{"freq_Hz", 1000, 5},
                      {"vpp_V", 3.0, 0.06},
                      {"rms_V", 1.5 / std::sqrt(2.0), 0.011},
                      {"avg_V", 0, 0.02},
                      {"period_s", 1e-3, 5e-6},
                      {"duty_percent", 50, 1},
                      {"min_V", -1.5, 0.04},
                      {"max_V", 1.5, 0.04}};
        for (const auto& t : truths)
            QVERIFY2(qAbs(ch1.value(QLatin1String(t.name)).toDouble() - t.truth) < t.within,
                     lines[i].constData());
    }
}

void TstCli::silentDeviceTimesOut() {
    const QString link = emuLinkPath(QStringLiteral("silent"));
    auto emu = startEmuSession(link, words("--baud 921600 --frames 2"));
    QVERIFY(emu);
    const Run late = cliRun(link, words("--timeout 1 scope --frames 5"));
    QCOMPARE(late.status, 4);
    QCOMPARE(late.out.count('\n'), 2); // the two frames that came are measured
    QVERIFY(late.err.contains("No data from the device"));
}

void TstCli::recordKeepsEveryFrameOnceInOrder() {
    const QString link = emuLinkPath(QStringLiteral("record"));
    auto emu = startEmuSession(link, words("--baud 921600 --trace --frames 25"));
    QVERIFY(emu);
    QProcess cli;
    startCli(cli, link, words("record scope -o record.csv"));
    QTRY_VERIFY_WITH_TIMEOUT(
        emu->collect() && !emu->trace().filter(QStringLiteral("silent ")).isEmpty(), 20000);
    // All 25 have left the emulator; the recording stops when asked to.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(QStringLiteral("record.csv")).size() > 25 * 1024 * 10,
                             10000);
    cli.terminate();
    const Run r = finish(cli);
    QCOMPARE(r.status, 0);
    QFile file(QStringLiteral("record.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList notes;
    const QByteArray csv = file.readAll();
    QVERIFY(csv.startsWith("frame,time_s,ch1_V\n"));
    const QList<quint32> recorded = frameSums(csv, &notes);
    const QList<quint32> sent = tracedSums(*emu);
    QCOMPARE(sent.size(), 25);
    QCOMPARE(recorded, sent);
    QVERIFY(notes.isEmpty());
    QVERIFY2(r.err.contains("frames received 25, written 25, bytes dropped 0"), r.err.constData());
}

void TstCli::recordNotesAVanishAndGoesOn() {
    const QString link = emuLinkPath(QStringLiteral("vanish"));
    auto emu = startEmuSession(
        link, words("--baud 921600 --fault vanish --fault-every 8 --vanish-ms 700"));
    QVERIFY(emu);
    const Run r = cliRun(link, words("record scope --frames 12 -o vanish.csv"));
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.contains("Reconnected: " + link.toUtf8()), r.err.constData());
    QFile file(QStringLiteral("vanish.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList notes;
    const QList<quint32> frames = frameSums(file.readAll(), &notes);
    QCOMPARE(frames.size(), 12);
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes[0].startsWith(QStringLiteral("# device lost after frame ")),
             qPrintable(notes[0]));
}

void TstCli::recordingStoppedBySigtermIsWhole() {
    const QString link = emuLinkPath(QStringLiteral("sigterm"));
    auto emu = startEmuSession(link, words("--baud 921600"));
    QVERIFY(emu);
    QProcess cli;
    startCli(cli, link, words("record logic --force -o logic.csv"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(QStringLiteral("logic.csv")).size() > 3 * 1024 * 20, 20000);
    cli.terminate();
    QCOMPARE(finish(cli).status, 0);
    QFile file(QStringLiteral("logic.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("frame,sample,time_s,D0,D1,D2,D3,D4,D5,D6,D7"));
    QCOMPARE(lines.last(), QByteArray());   // ends with a whole row
    QCOMPARE((lines.size() - 2) % 1024, 0); // whole captures only
    for (int i = 1; i < lines.size() - 1; ++i) {
        const QList<QByteArray> f = lines[i].split(',');
        QCOMPARE(f.size(), 11);
        QCOMPARE(f[1].toInt(), (i - 1) % 1024);
        QCOMPARE(f[0].toInt(), (i - 1) / 1024 + 1);
    }
}

void TstCli::logicCaptureReadBySigrok() {
    const QString link = emuLinkPath(QStringLiteral("logic"));
    auto emu = startEmuSession(link, words("--baud 921600"));
    QVERIFY(emu);
    const Run r = cliRun(link, words("logic --rate 500KSPS --force -o capture.sr"));
    QCOMPARE(r.status, 0);
    QProcess sigrok;
    sigrok.start(QStringLiteral("sigrok-cli"), words("-i capture.sr -O csv"));
    QVERIFY(sigrok.waitForFinished(20000));
    QCOMPARE(sigrok.exitCode(), 0);
    const QString text = QString::fromUtf8(sigrok.readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("500 kHz")), qPrintable(text.left(400)));
    const QStringList rows = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                 .filter(QRegularExpression(QStringLiteral("^[01](,[01]){7}$")));
    QCOMPARE(rows.size(), 1024);
}

void TstCli::logicRecordingReadBySigrok_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("rowsPerSample"); // sigrok's rate: the VCD's time unit is 1 us
    QTest::newRow("vcd") << QStringLiteral("record.vcd") << 2;
    QTest::newRow("sr") << QStringLiteral("record.sr") << 1;
}

// Four captures of 2 us samples with a vanished device between the second and the third:
// sigrok-cli reads every sample of all four, and each capture is a stretch of the emulator's
// logic pattern.
void TstCli::logicRecordingReadBySigrok() {
    QFETCH(QString, file);
    QFETCH(int, rowsPerSample);
    const QString link = emuLinkPath(QStringLiteral("logic-record"));
    auto emu = startEmuSession(
        link, words("--baud 921600 --fault vanish --fault-every 2 --vanish-ms 500"));
    QVERIFY(emu);
    const Run r = cliRun(link, words("record logic --rate 500KSPS --force --frames 4 -o") << file);
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.contains("Reconnected: "), r.err.constData());
    QProcess sigrok;
    sigrok.start(QStringLiteral("sigrok-cli"),
                 QStringList{QStringLiteral("-i"), file} << words("-O csv"));
    QVERIFY(sigrok.waitForFinished(20000));
    QCOMPARE(sigrok.exitCode(), 0);
    QVector<int> rows; // sigrok's samples at its rate
    for (const QByteArray& line : sigrok.readAllStandardOutput().split('\n')) {
        if (!QRegularExpression(QStringLiteral("^[01](,[01]){7}$"))
                 .match(QString::fromLatin1(line))
                 .hasMatch())
            continue;
        int v = 0;
        for (int n = 0; n < 8; ++n)
            v |= (line[2 * n] - '0') << n;
        rows << v;
    }
    const int perCapture = 1024 * rowsPerSample;
    QCOMPARE(rows.size(), 4 * perCapture);
    for (int c = 0; c < 4; ++c) {
        const int first = rows[c * perCapture];
        bool found = false; // where in the pattern the capture began
        for (int k = 0; k < emu::LogicPattern::period && !found; ++k) {
            if (emu::LogicPattern::sample(k) != first)
                continue;
            found = true;
            for (int i = 0; i < perCapture && found; ++i)
                found =
                    rows[c * perCapture + i] == emu::LogicPattern::sample(k + i / rowsPerSample);
        }
        QVERIFY2(found, qPrintable(QStringLiteral("capture %1").arg(c + 1)));
    }
}

namespace {
QString hexBytes(const uint8_t* bytes, int count, int times) {
    QStringList all;
    for (int t = 0; t < times; ++t)
        for (int i = 0; i < count; ++i)
            all << QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    return all.join(QLatin1Char(' '));
}
} // namespace

void TstCli::decodeAgreesWithSigrok_data() {
    QTest::addColumn<QString>("emuArgs");
    QTest::addColumn<QString>("capture"); // zrv-cli logic's options
    QTest::addColumn<QString>("decoder"); // --decode, and sigrok-cli's -P
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("pick");  // the row's data texts
    QTest::addColumn<QString>("known"); // what they must be part of, joined by ' '
    const QString buses = QStringLiteral("--baud 921600 --logic-pattern spi,i2c");
    // The counter at 5 and a start bit: the capture begins at a character.
    const QString atCharacter =
        QStringLiteral("--trigger D0=high,D1=low,D2=high,D3=low,D4=low,D6=fall --rate ");
    const auto* message = reinterpret_cast<const uint8_t*>(emu::LogicPattern::message);
    const QString text = hexBytes(message, int(std::strlen(emu::LogicPattern::message)), 3);
    for (const int rate : {7, 2}) { // 20KSPS and 1MSPS: 2500 and 125000 baud
        const int baud =
            1000000000 / LaLogic::samplePeriodNs(rate) / emu::LogicPattern::samplesPerBit;
        QTest::addRow("uart %d baud", baud)
            << QStringLiteral("--baud 921600") << atCharacter + QLatin1String(Labels::rate[rate])
            << QStringLiteral("uart:rx=D6:baudrate=%1").arg(baud) << QStringLiteral("rx-data")
            << QStringLiteral("^[0-9A-F]{2}$") << text;
    }
    QTest::newRow("spi mode 0") << buses << QStringLiteral("--trigger D2=fall")
                                << QStringLiteral("spi:clk=D0:mosi=D1:cs=D2")
                                << QStringLiteral("mosi-data") << QStringLiteral("^[0-9A-F]{2}$")
                                << hexBytes(emu::LogicPattern::spiBytes, 4, 3);
    const QString i2c = QStringLiteral("Address write: %1 Data write: %2 Data write: %3 ")
                            .arg(hexBytes(&emu::LogicPattern::i2cAddress, 1, 1),
                                 hexBytes(&emu::LogicPattern::i2cBytes[0], 1, 1),
                                 hexBytes(&emu::LogicPattern::i2cBytes[1], 1, 1));
    QTest::newRow("i2c") << buses << QStringLiteral("--trigger D3=high,D4=fall")
                         << QStringLiteral("i2c:scl=D3:sda=D4") << QStringLiteral("addr-data")
                         << QStringLiteral(": ") << i2c.repeated(3);
}

// zrv-cli's annotations of a capture are what sigrok-cli decodes from the same capture saved as
// .sr (every row, by sample), and the row's data is the bus's known content.
void TstCli::decodeAgreesWithSigrok() {
    QFETCH(QString, emuArgs);
    QFETCH(QString, capture);
    QFETCH(QString, decoder);
    QFETCH(QString, row);
    QFETCH(QString, pick);
    QFETCH(QString, known);
    const QString link = emuLinkPath(QStringLiteral("decode"));
    auto emu = startEmuSession(link, emuArgs.split(QLatin1Char(' ')));
    QVERIFY(emu);
    const Run r = cliRun(link, QStringList{QStringLiteral("logic"), QStringLiteral("--decode"),
                                           decoder, QStringLiteral("-o"), QStringLiteral("d.sr")} +
                                   capture.split(QLatin1Char(' ')));
    QCOMPARE(r.status, 0);
    const double periodS =
        1e-9 * LaLogic::samplePeriodNs(capture.contains(QLatin1String("1MSPS")) ? 2 : 7);
    QStringList ours, data;
    for (const QByteArray& line : r.out.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const auto sample = [&](const char* key) {
            return qRound(o.value(QLatin1String(key)).toDouble() / periodS) +
                   LaLogic::triggerSample;
        };
        const QString text = o.value(QStringLiteral("text")).toString();
        ours << QStringLiteral("%1-%2 %3").arg(sample("start_s")).arg(sample("end_s")).arg(text);
        if (o.value(QStringLiteral("row")).toString() == row &&
            QRegularExpression(pick).match(text).hasMatch())
            data << text;
    }
    QProcess sigrok;
    sigrok.start(QStringLiteral("sigrok-cli"),
                 {QStringLiteral("-i"), QStringLiteral("d.sr"), QStringLiteral("-P"), decoder,
                  QStringLiteral("--protocol-decoder-samplenum")});
    QVERIFY(sigrok.waitForFinished(60000));
    QStringList theirs;
    const QRegularExpression line(QStringLiteral("^(\\d+-\\d+) [a-z0-9_]+-1: (.*)$"));
    for (const QString& l : QString::fromUtf8(sigrok.readAllStandardOutput()).split('\n'))
        if (const auto m = line.match(l); m.hasMatch())
            theirs << m.captured(1) + QLatin1Char(' ') + m.captured(2);
    ours.sort();
    theirs.sort();
    QVERIFY(ours.size() > 20);
    QCOMPARE(ours, theirs);
    const QString joined = data.join(QLatin1Char(' '));
    QVERIFY2(data.size() >= 6 && known.contains(joined), qPrintable(joined));
}

// A decoder that fails on the capture (UART at 0 baud divides by zero) is said, with its own
// words, and ends the run with its status.
void TstCli::decoderErrorIsSaid() {
    const Run r = cliRun(QString(), words("--emulator logic --force --decode uart:rx=D6:baudrate=0"));
    QCOMPARE(r.status, 6);
    QVERIFY2(r.err.contains("decoding failed: ZeroDivisionError"), r.err.constData());
}

void TstCli::generatePlaysWhatItPrints() {
    const QString link = emuLinkPath(QStringLiteral("generate"));
    auto emu = startEmuSession(link, words("--baud 921600 --trace"));
    QVERIFY(emu);
    const Run r = cliRun(link, words("generate square --freq 30000 --amplitude 1000"));
    QCOMPARE(r.status, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    QRegularExpressionMatch setFreq;
    QTRY_VERIFY((emu->collect(), !emu->trace().filter(QStringLiteral("sendGenChannel")).isEmpty()));
    for (const QString& line : emu->trace())
        if (const auto m =
                QRegularExpression(QStringLiteral("^setFreq (\\d+) (\\d+)$")).match(line);
            m.hasMatch())
            setFreq = m;
    QVERIFY(setFreq.hasMatch());
    const int divider = setFreq.captured(1).toInt(), tabs = setFreq.captured(2).toInt();
    // What the table player makes of the settings that reached it: 32 MHz / (divider x points).
    QCOMPARE(o.value(QStringLiteral("freq_Hz")).toInt(), 32000000 / (divider * tabs));
    QCOMPARE(o.value(QStringLiteral("points_per_period")).toInt(), tabs);
    QVERIFY(qAbs(o.value(QStringLiteral("freq_Hz")).toInt() - 30000) < 600); // 32 points: 30303 Hz
    // 1000 of 1250 mV: the square's table peak scaled to 80 %.
    QVERIFY(emu->trace()
                .filter(QRegularExpression(QStringLiteral("^sendGenChannel .* max 1637$")))
                .size() == 1);
}

void TstCli::emulatorOfItsOwn() {
    const Run r = cliRun(QString(), words("--emulator --speed 921600 spectrum --frames 2 "
                                          "--reference dBV --window hann --average 4"));
    QCOMPARE(r.status, 0);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    // The emulator's generator plays its 1008 Hz sine.
    const QJsonObject o = QJsonDocument::fromJson(lines[1]).object();
    QVERIFY2(qAbs(o.value(QStringLiteral("peak_Hz")).toDouble() - 1008) < 40, lines[1].constData());
    QVERIFY(o.value(QStringLiteral("thdn_percent")).isDouble());
    QCOMPARE(o.value(QStringLiteral("reference")).toString(), QStringLiteral("dBV"));
    QCOMPARE(o.value(QStringLiteral("averaged")).toInt(), 2);
    for (const char* name :
         {"thd_percent", "snr_dB", "sinad_dB", "sfdr_dB", "enob_bits", "peak_dB"})
        QVERIFY2(o.value(QLatin1String(name)).isDouble(), name);
}

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"

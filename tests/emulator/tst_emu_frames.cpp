// The emulator's oscilloscope frames: layout in both modes, volts to raw counts per gain as the
// scope reads them back, the frame-end byte, the generator loop-back and its playback rate, phase,
// noise, and pacing by line speed and capture time, all on the core's own clock.
#include "buffer.h"
#include "emulator/device.h"
#include "emulator/framebuilder.h"
#include "thread.h"
#include "zrvcom.h"

#include <QtTest>
#include <cmath>

namespace {
const int gainTab[7] = {500, 200, 100, 50, 20, 10, 5};
const int gainFactor[7] = {100, 125, 125, 125, 156, 156, 156};
const int timeTab[15] = {8,   10,   8,    10,   20,    50,    100,  200,
                         500, 1000, 2000, 5000, 10000, 20000, 50000};

QByteArray upload(const int* table) {
    QByteArray bytes(1024, '\0');
    ZRVCom::encodeTable(table, bytes.data());
    return "K" + bytes;
}

QByteArray constantTable(int value) {
    int table[512];
    std::fill(table, table + 512, value);
    return upload(table);
}

// One sine period over the first `points` entries, amplitude 2000 counts.
QByteArray sineTable(int points) {
    int table[512] = {};
    for (int i = 0; i < points; ++i)
        table[i] = int(std::lround(2000 * std::sin(2 * M_PI * i / points)));
    return upload(table);
}

QByteArray setFreq(int a, int b) {
    QByteArray bytes = "M";
    for (int shift : {12, 8, 4, 0})
        bytes += ZRVCom::nibbleByte(a >> shift);
    for (int shift : {8, 4, 0})
        bytes += ZRVCom::nibbleByte(b >> shift);
    return bytes;
}

QByteArray param(char letter, int v) {
    return QByteArray(1, letter) + ZRVCom::digitByte(v) + "A";
}

struct Rig {
    emu::Device device;
    std::vector<uint8_t> frame;

    explicit Rig(bool noise = false, double tickNs = 62.5, bool rawE = false, uint64_t seed = 1)
        : device(emu::DeviceConfig{tickNs, noise, seed, rawE}) {}

    void send(const QByteArray& bytes, int64_t now = 0) {
        device.receive(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()),
                       now);
    }
    // The frame taken at `now` as samples; empty when none was due.
    QVector<int> samplesAt(int64_t now, int baud = 921600) {
        if (!device.takeFrame(now, baud, frame))
            return {};
        QVector<int> samples;
        for (int i = 0; i < 1024; ++i)
            samples << int(int16_t(frame[size_t(1 + 2 * i)] | (frame[size_t(2 + 2 * i)] << 8)));
        return samples;
    }
    QVector<int> nextSamples() { return samplesAt(device.wakeAt()); }
};

// Samples per period from the rising crossings through zero.
double samplesPerPeriod(const QVector<int>& s, int from, int to) {
    int first = -1, last = -1, count = 0;
    for (int i = from + 1; i < to; ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (first < 0)
                first = i;
            last = i;
            ++count;
        }
    }
    return count >= 2 ? double(last - first) / (count - 1) : 0.0;
}

// What the oscilloscope's readouts show for a raw sample, in mV.
double scopeMillivolts(int raw, int gain) {
    const int plot = raw * gainFactor[gain] / 100;
    return plot * gainTab[gain] / 51.2; // 256 units to a division of gainTab x 5 mV
}
} // namespace

class TestEmuFrames : public QObject {
    Q_OBJECT

private slots:
    void frameLayout_data();
    void frameLayout();
    void voltsToRaw_data();
    void voltsToRaw();
    void rawClipsTo16Bits();
    void noFrameEndInBodyByDefault_data();
    void noFrameEndInBodyByDefault();
    void avoidFrameEndOverAllSamples();
    void playbackFrequency_data();
    void playbackFrequency();
    void phaseRunsOnAcrossFrames();
    void noiseIsSeededAndSmall();
    void pacing_data();
    void pacing();
    void settingChangeRestartsCapture();
    void noFramesOutsideScopeModes_data();
    void noFramesOutsideScopeModes();
    void unplayableFrequencyIsSafe_data();
    void unplayableFrequencyIsSafe();
};

void TestEmuFrames::frameLayout_data() {
    QTest::addColumn<bool>("twoChannels");
    QTest::newRow("one channel") << false;
    QTest::newRow("two channels") << true;
}

void TestEmuFrames::frameLayout() {
    QFETCH(bool, twoChannels);
    Rig rig;
    // Channel 1 constant 1000 counts (610.4 mV) at 500 mV/div: 250 raw. Channel 2 the
    // 500 Hz 0/1 V square at 250 mV/div: 0 or 819 raw.
    rig.send(constantTable(1000) + param('U', 2) + param('W', 3) + (twoChannels ? "EA" : "CA"));
    const QVector<int> s = rig.nextSamples();
    QCOMPARE(int(rig.frame.size()), 2050);
    QCOMPARE(rig.frame.front(), uint8_t('s'));
    QCOMPARE(rig.frame.back(), uint8_t('e'));
    const int channel1 = twoChannels ? 512 : 1024;
    for (int i = 0; i < channel1; ++i)
        QCOMPARE(s[i], 250);
    if (!twoChannels)
        return;
    // Time base 7: 12.5 us per sample, so 80 samples high, 80 low.
    QVector<int> runs;
    int run = 1;
    for (int i = 513; i < 1024; ++i) {
        QVERIFY2(s[i] == 0 || s[i] == 819, qPrintable(QString::number(s[i])));
        if (s[i] == s[i - 1]) {
            ++run;
        } else {
            runs << run;
            run = 1;
        }
    }
    QVERIFY(runs.size() >= 5);
    for (int i = 1; i < runs.size(); ++i) // the first run may start mid-level
        QCOMPARE(runs[i], 80);
}

void TestEmuFrames::voltsToRaw_data() {
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("tableValue");
    QTest::addColumn<int>("raw");
    // Table value t is t * 1.25 / 2048 V; 1000 -> 610.35 mV, -1500 -> -915.53 mV.
    const int raw1000[7] = {63, 125, 250, 500, 1002, 2003, 4006};
    const int rawMinus1500[7] = {-94, -188, -375, -750, -1502, -3005, -6010};
    for (int g = 0; g < 7; ++g) {
        QTest::addRow("gain %d, 610 mV", g) << g << 1000 << raw1000[g];
        QTest::addRow("gain %d, -916 mV", g) << g << -1500 << rawMinus1500[g];
    }
}

void TestEmuFrames::voltsToRaw() {
    QFETCH(int, gain);
    QFETCH(int, tableValue);
    QFETCH(int, raw);
    Rig rig;
    rig.send(constantTable(tableValue) + "CA" + param('U', gain));
    const QVector<int> s = rig.nextSamples();
    QCOMPARE(s.size(), 1024);
    QCOMPARE(s.count(raw), 1024);
    // The scope reads it back as the true voltage, within one count and its own truncation.
    const double trueMv = tableValue * 1250.0 / 2048;
    const double tolerance = 1.5 * gainTab[gain] * gainFactor[gain] / 5120.0;
    QVERIFY2(std::abs(scopeMillivolts(raw, gain) - trueMv) <= tolerance,
             qPrintable(QString::number(scopeMillivolts(raw, gain))));
}

void TestEmuFrames::rawClipsTo16Bits() {
    QCOMPARE(int(emu::SignalModel::toRaw(10.0, 6)), 32767);
    QCOMPARE(int(emu::SignalModel::toRaw(-10.0, 6)), -32768);
    QCOMPARE(int(emu::SignalModel::toRaw(1e300, 0)), 32767);
    QCOMPARE(int(emu::SignalModel::toRaw(0.5, 0)), 51);
    QCOMPARE(int(emu::SignalModel::toRaw(1.0, 6)), 6564);
}

void TestEmuFrames::noFrameEndInBodyByDefault_data() {
    QTest::addColumn<bool>("rawE");
    QTest::newRow("default") << false;
    QTest::newRow("--raw-e") << true;
}

void TestEmuFrames::noFrameEndInBodyByDefault() {
    QFETCH(bool, rawE);
    // 1616 counts = 986 mV = 101 raw at 2.5 V/div: every sample is 0x65 0x00.
    Rig rig(false, 62.5, rawE);
    rig.send(constantTable(1616) + "CA");
    const QVector<int> s = rig.nextSamples();
    const QByteArray body(reinterpret_cast<const char*>(rig.frame.data()) + 1, 2048);
    QCOMPARE(body.contains('e'), rawE);
    QCOMPARE(s.count(rawE ? 101 : 100), 1024);

    // What the program's frame cutter makes of it.
    Buffer received{};
    QByteArray line(reinterpret_cast<const char*>(rig.frame.data()), int(rig.frame.size()));
    QVERIFY(Thread::cutFrames(line, &received));
    QCOMPARE(received.length, rawE ? 0 : 2048);
}

void TestEmuFrames::avoidFrameEndOverAllSamples() {
    for (int v = -32768; v <= 32767; ++v) {
        const auto u = uint16_t(int16_t(v));
        const int out = emu::FrameBuilder::avoidFrameEnd(int16_t(v));
        const auto o = uint16_t(int16_t(out));
        if ((o & 0xFF) == 0x65 || (o >> 8) == 0x65)
            QFAIL(qPrintable(QStringLiteral("%1 still holds 0x65").arg(v)));
        const bool hadE = (u & 0xFF) == 0x65 || (u >> 8) == 0x65;
        if (!hadE && out != v)
            QFAIL(qPrintable(QStringLiteral("%1 changed without need").arg(v)));
        const int allowed = (u >> 8) == 0x65 ? 129 : 1;
        if (std::abs(out - v) > allowed)
            QFAIL(qPrintable(QStringLiteral("%1 moved to %2").arg(v).arg(out)));
    }
    QCOMPARE(int(emu::FrameBuilder::avoidFrameEnd(uint8_t(0x65))), 0x64);
    QCOMPARE(int(emu::FrameBuilder::avoidFrameEnd(uint8_t(0x73))), 0x73);
}

void TestEmuFrames::playbackFrequency_data() {
    QTest::addColumn<QByteArray>("setup");
    QTest::addColumn<int>("timeBase");
    QTest::addColumn<double>("tickNs");
    QTest::addColumn<double>("hz");
    QTest::newRow("default sine before any upload") << QByteArray() << 7 << 62.5 << 1000.0;
    QTest::newRow("default sine, 64 ns ticks") << QByteArray() << 7 << 64.0 << 1000.0;
    // 32 MHz / 62 / 512 points.
    QTest::newRow("uploaded sine, 1008 Hz")
        << sineTable(512) + setFreq(62, 512) << 7 << 62.5 << 32e6 / 62 / 512;
    QTest::newRow("80 points at divider 32")
        << sineTable(80) + setFreq(32, 80) << 4 << 62.5 << 12500.0;
    QTest::newRow("slowest divider")
        << sineTable(512) + setFreq(65535, 512) << 14 << 62.5 << 32e6 / 65535 / 512;
    QTest::newRow("table set before its rate")
        << setFreq(200, 160) + sineTable(160) << 9 << 62.5 << 1000.0;
}

void TestEmuFrames::playbackFrequency() {
    QFETCH(QByteArray, setup);
    QFETCH(int, timeBase);
    QFETCH(double, tickNs);
    QFETCH(double, hz);
    Rig rig(false, tickNs);
    rig.send(setup + param('S', timeBase) + "CA");
    const QVector<int> s = rig.nextSamples();
    QCOMPARE(s.size(), 1024);
    const double period = samplesPerPeriod(s, 0, 1024);
    QVERIFY(period > 0);
    const double measured = 1e9 / (period * timeTab[timeBase] * tickNs);
    QVERIFY2(std::abs(measured / hz - 1) < 0.01, qPrintable(QString::number(measured)));
}

void TestEmuFrames::phaseRunsOnAcrossFrames() {
    Rig rig;
    rig.send("CA"); // 1 kHz default sine
    const int64_t t1 = 100000000;
    const QVector<int> first = rig.samplesAt(t1);
    QCOMPARE(first.size(), 1024);
    // A whole number of periods later the picture repeats; half a period more inverts it (to
    // within the rounding of a count).
    QCOMPARE(rig.samplesAt(t1 + 1000000000), first);
    const QVector<int> inverted = rig.samplesAt(t1 + 2000500000);
    QCOMPARE(inverted.size(), 1024);
    for (int i = 0; i < 1024; ++i)
        QVERIFY(std::abs(inverted[i] + first[i]) <= 1);
    QVERIFY(*std::max_element(first.begin(), first.end()) == 102); // 1 V at 2.5 V/div
}

void TestEmuFrames::noiseIsSeededAndSmall() {
    // Channel 1 at 0 V and 25 mV/div: what remains is the noise, 3 mV rms = 19.7 counts.
    const QByteArray setup = constantTable(0) + param('U', 6) + "CA";
    Rig a(true, 62.5, false, 7), b(true, 62.5, false, 7), c(true, 62.5, false, 8), quiet(false);
    for (Rig* r : {&a, &b, &c, &quiet})
        r->send(setup);
    const QVector<int> sa = a.nextSamples(), sb = b.nextSamples(), sc = c.nextSamples();
    QCOMPARE(sa, sb);
    QVERIFY(sa != sc);
    QCOMPARE(quiet.nextSamples().count(0), 1024);
    double sum2 = 0;
    for (int v : sa)
        sum2 += double(v) * v;
    const double rms = std::sqrt(sum2 / 1024);
    QVERIFY2(rms > 15 && rms < 24, qPrintable(QString::number(rms)));
}

void TestEmuFrames::pacing_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<int>("timeBase");
    QTest::addColumn<double>("tickNs");
    QTest::addColumn<int>("baud");
    QTest::addColumn<qint64>("firstAt");
    QTest::addColumn<qint64>("interval");
    // 2050 bytes of 10 bits; the capture (1024 or 2 x 512 samples) when that takes longer. The
    // first frame leaves when its capture is done.
    QTest::newRow("115200, line bound")
        << QByteArray("CA") << 7 << 62.5 << 115200 << qint64(12800000) << qint64(177951389);
    QTest::newRow("921600, line bound")
        << QByteArray("CA") << 7 << 62.5 << 921600 << qint64(12800000) << qint64(22243924);
    QTest::newRow("19200, line bound")
        << QByteArray("EA") << 7 << 62.5 << 19200 << qint64(6400000) << qint64(1067708334);
    QTest::newRow("one channel, capture bound")
        << QByteArray("CA") << 12 << 62.5 << 921600 << qint64(640000000) << qint64(640000000);
    QTest::newRow("two channels, capture bound")
        << QByteArray("EA") << 12 << 62.5 << 921600 << qint64(320000000) << qint64(320000000);
    QTest::newRow("64 ns ticks") << QByteArray("CA") << 12 << 64.0 << 921600 << qint64(655360000)
                                 << qint64(655360000);
}

void TestEmuFrames::pacing() {
    QFETCH(QByteArray, start);
    QFETCH(int, timeBase);
    QFETCH(double, tickNs);
    QFETCH(int, baud);
    QFETCH(qint64, firstAt);
    QFETCH(qint64, interval);
    Rig rig(false, tickNs);
    rig.send(param('S', timeBase) + start, 0);
    std::vector<int64_t> stamps;
    int64_t now = 0;
    for (int k = 0; k < 5; ++k) {
        now = rig.device.wakeAt();
        QVERIFY(now > 0);
        QVERIFY2(!rig.device.takeFrame(now - 1, baud, rig.frame), "a frame left early");
        QVERIFY(rig.device.takeFrame(now, baud, rig.frame));
        stamps.push_back(rig.device.lastFrameAt());
        // The frame's samples end where it leaves.
        QCOMPARE(rig.device.lastCaptureStart(), now - firstAt);
    }
    QCOMPARE(qint64(stamps[0]), firstAt);
    for (size_t k = 1; k < stamps.size(); ++k) {
        QCOMPARE(qint64(stamps[k] - stamps[k - 1]), interval);
        QVERIFY(stamps[k] - stamps[k - 1] >= emu::Device::lineNs(2050, baud));
    }
}

void TestEmuFrames::settingChangeRestartsCapture() {
    Rig rig;
    rig.send("CA", 0);
    QCOMPARE(rig.device.wakeAt(), int64_t(12800000));
    rig.send(param('U', 3), 5000000); // samples taken so far were at the old gain
    QCOMPARE(rig.device.wakeAt(), int64_t(17800000));
    rig.send(param('S', 8), 6000000); // 500 ticks: 32 ms per frame
    QCOMPARE(rig.device.wakeAt(), int64_t(38000000));
    QVERIFY(!rig.device.takeFrame(37999999, 921600, rig.frame));
    QVERIFY(rig.device.takeFrame(38000000, 921600, rig.frame));
}

void TestEmuFrames::noFramesOutsideScopeModes_data() {
    QTest::addColumn<QByteArray>("commands");
    QTest::newRow("nothing received") << QByteArray();
    QTest::newRow("generator") << QByteArray("G");
    QTest::newRow("scope, then generator") << QByteArray("CAG");
    QTest::newRow("logic analyser, not armed") << QByteArray("EAI");
    QTest::newRow("settings only") << param('S', 3) + param('U', 1);
}

void TestEmuFrames::noFramesOutsideScopeModes() {
    QFETCH(QByteArray, commands);
    Rig rig;
    rig.send(commands);
    QCOMPARE(rig.device.wakeAt(), int64_t(-1));
    QVERIFY(!rig.device.takeFrame(int64_t(100) * 1000000000, 115200, rig.frame));
}

void TestEmuFrames::unplayableFrequencyIsSafe_data() {
    QTest::addColumn<int>("divider");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("dividerUsed");
    QTest::addColumn<int>("pointsUsed");
    QTest::newRow("divider 0") << 0 << 512 << 1 << 512;
    QTest::newRow("no points") << 64 << 0 << 64 << 1;
    QTest::newRow("more points than the table") << 64 << 4095 << 64 << 512;
}

void TestEmuFrames::unplayableFrequencyIsSafe() {
    QFETCH(int, divider);
    QFETCH(int, points);
    QFETCH(int, dividerUsed);
    QFETCH(int, pointsUsed);
    Rig rig;
    rig.send(sineTable(512) + setFreq(divider, points) + "CA");
    QCOMPARE(rig.device.state().divider, dividerUsed);
    QCOMPARE(rig.device.state().tabs, pointsUsed);
    const QVector<int> s = rig.nextSamples();
    QCOMPARE(s.size(), 1024);
    if (pointsUsed == 1) // one point: the first table value, held
        QCOMPARE(s.count(0), 1024);
}

QTEST_GUILESS_MAIN(TestEmuFrames)
#include "tst_emu_frames.moc"

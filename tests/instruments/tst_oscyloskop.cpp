// The oscilloscope page: the edge trigger and its modes on known signals, the measurements and
// their readouts, the bytes each control sends, and the waveform file's reader.
#include "linerig.h"
#include "oscfile.h"
#include "oscyloskop.h"
#include "osctrigger.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <vector>

using namespace OscTrigger;
using Action = std::function<void(Oscyloskop&)>;
Q_DECLARE_METATYPE(Action)

namespace {
// `low` before index `at`, `high` from it on.
std::vector<int> step(int at, int low, int high, int len = 1024) {
    std::vector<int> b(len, low);
    std::fill(b.begin() + at, b.end(), high);
    return b;
}

// 384 values, `low` for the first half of each period and `high` for the second.
QList<int> square(int period, int low, int high) {
    QList<int> s;
    for (int i = 0; i < 384; ++i)
        s << (i % period < period / 2 ? low : high);
    return s;
}

int runOn(State& state, const std::vector<int>& b, int* out, int mode, int level = 10) {
    int out2[384];
    Setup s;
    s.mode = mode;
    s.level = level;
    return run(state, b.data(), out, out2, s);
}
} // namespace

class TestOscyloskop : public QObject {
    Q_OBJECT
private slots:
    void triggerSearch_data();
    void triggerSearch();
    void triggerModes();
    void measurements_data();
    void measurements();
    void bytesSent_data();
    void bytesSent();
    void fileReaderClampsAndStops();
};

void TestOscyloskop::triggerSearch_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("index");
    QTest::newRow("rising LF: three zeros, then 0+100+100") << 0 << 100 << int(RisingLF) << 498;
    QTest::newRow("rising HF: the step itself") << 0 << 100 << int(RisingHF) << 499;
    QTest::newRow("falling LF on a rise") << 0 << 100 << int(FallingLF) << -1;
    QTest::newRow("falling HF") << 100 << 0 << int(FallingHF) << 499;
    QTest::newRow("falling LF") << 100 << 0 << int(FallingLF) << 498;
    QTest::newRow("HF band: 38 to 42 does not fire") << 38 << 42 << int(RisingHF) << -1;
    QTest::newRow("LF has no band: 38 to 42 fires") << 38 << 42 << int(RisingLF) << 498;
}

// Level 40, step at sample 500, 192 samples before the trigger.
void TestOscyloskop::triggerSearch() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, type);
    const std::vector<int> b = step(500, low, high);
    QTEST(getTrigIndex(b.data(), 1024, 384, 192, 40, type), "index");
}

void TestOscyloskop::triggerModes() {
    int out[384];
    std::fill(std::begin(out), std::end(out), -7);
    const std::vector<int> flat(1024, 0), first = step(500, 0, 100), second = step(400, 0, 200);
    // Norm: no edge keeps the picture; an edge (498) lands under display sample 192.
    State norm;
    QCOMPARE(runOn(norm, flat, out, Norm + 4 * RisingLF), 0);
    QCOMPARE(out[0], -7);
    QCOMPARE(runOn(norm, first, out, Norm + 4 * RisingLF), 1);
    QCOMPARE(out[193], 0);
    QCOMPARE(out[194], 100);
    // Auto: forced from sample 0 after more than 30 ticks without an edge.
    State autoMode;
    autoMode.autoCount = 30;
    QCOMPARE(runOn(autoMode, flat, out, Auto + 4 * RisingHF, 1000), 0);
    autoMode.autoCount = 31;
    QCOMPARE(runOn(autoMode, first, out, Auto + 4 * RisingHF, 1000), 1);
    QCOMPARE(out[0], 0);
    QCOMPARE(out[383], 0);
    // Single: the first edge is held until a trigger control re-arms it.
    State single;
    QCOMPARE(runOn(single, first, out, Single + 4 * RisingHF), 1);
    QCOMPARE(runOn(single, second, out, Single + 4 * RisingHF), 0);
    QCOMPARE(out[193], 100);
    single.rearm = true;
    QCOMPARE(runOn(single, flat, out, Single + 4 * RisingHF), 0);
    QCOMPARE(runOn(single, second, out, Single + 4 * RisingHF), 1);
    QCOMPARE(out[193], 200);
}

void TestOscyloskop::measurements_data() {
    QTest::addColumn<QList<int>>("signal");
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("timeBase");
    QTest::addColumn<QString>("rms");
    QTest::addColumn<QString>("avg");
    QTest::addColumn<QString>("vpp");
    QTest::addColumn<QString>("freq");
    // A division is 256 plot units, what the V/div box names; tb 7 is 12.5 us per sample.
    QTest::newRow("square, 2.5V/dz") << square(32, -400, 400) << 0 << 7 << "3.906V"
                                     << "0.0mV" << "7.813V" << "2.500kHz";
    QTest::newRow("offset square, 25mV/dz, tb 14")
        << square(64, 0, 1000) << 6 << 14 << "69.1mV" << "48.8mV" << "97.7mV" << "5.0Hz";
    QTest::newRow("1V/dz, tb 0") << square(8, -2000, 3000) << 1 << 0 << "9.959V"
                                 << "1.953V" << "19.53V" << "250.00kHz";
    QTest::newRow("negative average") << square(32, -800, 100) << 0 << 7 << "5.567V"
                                      << "-3418.0mV" << "8.789V" << "2.500kHz";
    QTest::newRow("constant") << square(2, 0, 0) << 0 << 7 << "0.0mV"
                              << "0.0mV" << "0.0mV" << "0.0Hz";
}

void TestOscyloskop::measurements() {
    QFETCH(QList<int>, signal);
    QFETCH(int, gain);
    QFETCH(int, timeBase);
    const std::vector<int> s(signal.begin(), signal.end());
    QTEST(Oscyloskop::calcRMS(s.data(), 384, gain), "rms");
    QTEST(Oscyloskop::calcAvg(s.data(), 384, gain), "avg");
    QTEST(Oscyloskop::calcVpp(s.data(), 384, gain), "vpp");
    QTEST(Oscyloskop::calcFreq(s.data(), 384, timeBase), "freq");
}

void TestOscyloskop::bytesSent_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<QByteArray>("bytes");
    const auto row = [](const char* name, Action a, const char* b) {
        QTest::newRow(name) << a << QByteArray(b);
    };
    row("start, one channel", [](Oscyloskop& o) { o.start(); }, "CAS>AU0AW0A");
    row("start, two channels", [](Oscyloskop& o) { o.ch2Box->setChecked(true), o.start(); },
        "EAS>AU0AW0A");
    row("time/div 100ms", [](Oscyloskop& o) { choose(o.tBox, 0); }, "SLA");
    row("time/div 16us", [](Oscyloskop& o) { choose(o.tBox, 12); }, "S4A");
    row("CH1 V/div sends both gains", [](Oscyloskop& o) { choose(o.vBox1, 3); }, "U6AW0A");
    row("CH2 V/div sends both gains", [](Oscyloskop& o) { choose(o.vBox2, 6); }, "U0AW<A");
    row("two channels on and off", [](Oscyloskop& o) { o.ch2Box->click(), o.ch2Box->click(); },
        "EACA");
    row("trigger controls send nothing",
        [](Oscyloskop& o) {
            choose(o.trigModeBox, 1), choose(o.trigEdgeBox, 1), choose(o.trigBandBox, 1);
            o.trigLevelBox->setValue(500);
        },
        "");
}

void TestOscyloskop::bytesSent() {
    QFETCH(Action, action);
    LineRig rig;
    QVERIFY(rig.opened);
    Oscyloskop page(&rig.host);
    page.com = &rig.com;
    page.enable();
    action(page);
    QTEST(rig.sent(), "bytes");
}

// Numbers clamp to the 16-bit sample range; the first text that is no number ends the reading.
void TestOscyloskop::fileReaderClampsAndStops() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wave.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("40000 -40000\n+12\t-3 x 9");
    file.close();
    int out[6];
    std::fill(std::begin(out), std::end(out), 5);
    QCOMPARE(OscFile::load(path, out, 6), 4);
    QCOMPARE(std::vector<int>(out, out + 6), (std::vector<int>{32767, -32768, 12, -3, 0, 0}));
}

QTEST_MAIN(TestOscyloskop)
#include "tst_oscyloskop.moc"

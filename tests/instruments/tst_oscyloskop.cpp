// The oscilloscope page: the edge trigger and its modes on known signals, and the bytes each
// control sends. (Measurements: the end-to-end test; the file reader: the osc_file corpus; here the
// saved cursor span.)
#include "instruments/oscilloscope/oscfile.h"
#include "instruments/oscilloscope/osctrigger.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "linerig.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
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

int runOn(State& state, const std::vector<int>& b, int* out, int mode) {
    int out2[384];
    Setup s;
    s.mode = mode;
    s.level = 10;
    return run(state, b.data(), out, out2, s, 0);
}
} // namespace

class TestOscyloskop : public QObject {
    Q_OBJECT
private slots:
    void triggerSearch_data();
    void triggerSearch();
    void triggerModes();
    void spanFileRoundTrip();
    void bytesSent_data();
    void bytesSent();
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

// The span between the time cursors, saved and read back: 512 lines from the sample under the
// left cursor to the one under the right cursor (pixels 100 and 740: samples 49 to 368).
void TestOscyloskop::spanFileRoundTrip() {
    int plot[384];
    for (int i = 0; i < 384; ++i)
        plot[i] = 7 * i - 1000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("span.txt"));
    QVERIFY(OscFile::saveSpan(path, plot, 740, 100));
    int back[600];
    QCOMPARE(OscFile::load(path, back, 600), 512);
    QCOMPARE(back[0], plot[49]);
    QCOMPARE(back[511], plot[368]);
    QVERIFY(std::is_sorted(back, back + 512));
}

void TestOscyloskop::bytesSent_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<QByteArray>("bytes");
    const auto row = [](const char* name, const char* b, Action a) {
        QTest::newRow(name) << a << QByteArray(b);
    };
    row("start, one channel", "CAS>AU0AW0A", [](Oscyloskop& o) { o.start(); });
    row("two channels, then start", "EAEAS>AU0AW0A",
        [](Oscyloskop& o) { o.widgets().ch2Box->setChecked(true), o.start(); });
    row("time/div 100ms", "SLA", [](Oscyloskop& o) { choose(o.widgets().tBox, 0); });
    row("time/div 16us", "S4A", [](Oscyloskop& o) { choose(o.widgets().tBox, 12); });
    row("CH1 V/div sends both gains", "U6AW0A",
        [](Oscyloskop& o) { choose(o.widgets().vBox1, 3); });
    row("CH2 V/div sends both gains", "U0AW<A",
        [](Oscyloskop& o) { choose(o.widgets().vBox2, 6); });
    row("two channels on and off", "EACA",
        [](Oscyloskop& o) { o.widgets().ch2Box->click(), o.widgets().ch2Box->click(); });
    row("trigger controls send nothing", "", [](Oscyloskop& o) {
        choose(o.widgets().trigModeBox, 1), choose(o.widgets().trigEdgeBox, 1),
            choose(o.widgets().trigBandBox, 1);
        o.widgets().trigLevelBox->setValue(500);
    });
}

void TestOscyloskop::bytesSent() {
    QFETCH(Action, action);
    LineRig rig;
    QVERIFY(rig.opened);
    Oscyloskop page(&rig.host, nullptr);
    page.com = &rig.com;
    action(page);
    QTEST(rig.sent(), "bytes");
}

QTEST_MAIN(TestOscyloskop)
#include "tst_oscyloskop.moc"

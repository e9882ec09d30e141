// The oscilloscope's edge trigger: the four edge tests, the search bounds, the four modes and
// the two markers.
#include "oscscale.h"
#include "osctrigger.h"

#include <QtTest>
#include <vector>

using namespace OscTrigger;

namespace {
// `len` samples: `low` before index `at`, `high` from it on.
std::vector<int> step(int len, int at, int low, int high) {
    std::vector<int> b(len, low);
    for (int i = at; i < len; ++i)
        b[i] = high;
    return b;
}

// Distinct values so that the copied window reveals its start.
std::vector<int> ramp(int len) {
    std::vector<int> b(len);
    for (int i = 0; i < len; ++i)
        b[i] = i;
    return b;
}

Setup setup(int mode, int level = 0, int xPos = 0, bool twoChannel = false) {
    Setup s;
    s.mode = mode;
    s.level = level;
    s.xPos = xPos;
    s.twoChannel = twoChannel;
    return s;
}

int modeOf(int mode, int type) {
    return mode + 4 * type;
}
} // namespace

class TestOscTrigger : public QObject {
    Q_OBJECT

private slots:
    void edgeTests_data();
    void edgeTests();
    void search_data();
    void search();
    void searchBounds_data();
    void searchBounds();
    void searchReadsOnlyTheBlock_data();
    void searchReadsOnlyTheBlock();
    void rawLevelFollowsGain_data();
    void rawLevelFollowsGain();
    void gainFactor_data();
    void gainFactor();
    void copyScalesAndTruncates();
    void freeRunAlwaysFromSampleZero();
    void normKeepsPictureWithoutEdge();
    void autoForcesAfterThirtyTicks();
    void singleHoldsUntilRearm();
    void twoChannelWindows();
    void channelTwoNeverTriggers();
    void adjustGraphAddsPixels();
    void levelMarker_data();
    void levelMarker();
    void positionMarker_data();
    void positionMarker();
};

void TestOscTrigger::edgeTests_data() {
    QTest::addColumn<QList<int>>("window"); // b[i-2] .. b[i+3]
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("fires");
    using L = QList<int>;
    QTest::newRow("rising LF") << L{0, 0, 0, 100, 100, 100} << 40 << int(RisingLF) << true;
    QTest::newRow("rising LF, sums equal the level")
        << L{40, 40, 40, 40, 40, 41} << 40 << int(RisingLF) << false;
    QTest::newRow("rising LF on a fall")
        << L{100, 100, 100, 0, 0, 0} << 40 << int(RisingLF) << false;
    QTest::newRow("falling LF") << L{100, 100, 100, 0, 0, 0} << 40 << int(FallingLF) << true;
    QTest::newRow("falling LF on a rise")
        << L{0, 0, 0, 100, 100, 100} << 40 << int(FallingLF) << false;
    QTest::newRow("LF sums three samples") << L{0, 0, 0, 200, 0, 0} << 40 << int(RisingLF) << true;
    QTest::newRow("LF needs the sum below")
        << L{0, 0, 130, 100, 100, 100} << 40 << int(RisingLF) << false;
    QTest::newRow("rising HF") << L{0, 0, 35, 45, 0, 0} << 40 << int(RisingHF) << true;
    QTest::newRow("rising HF inside the band")
        << L{0, 0, 36, 45, 0, 0} << 40 << int(RisingHF) << false;
    QTest::newRow("rising HF inside the band above")
        << L{0, 0, 35, 44, 0, 0} << 40 << int(RisingHF) << false;
    QTest::newRow("falling HF") << L{0, 0, 45, 35, 0, 0} << 40 << int(FallingHF) << true;
    QTest::newRow("falling HF inside the band")
        << L{0, 0, 44, 35, 0, 0} << 40 << int(FallingHF) << false;
    QTest::newRow("negative level, rising HF")
        << L{0, 0, -500, -300, 0, 0} << -400 << int(RisingHF) << true;
}

void TestOscTrigger::edgeTests() {
    QFETCH(QList<int>, window);
    QFETCH(int, level);
    QFETCH(int, type);
    QFETCH(bool, fires);
    const std::vector<int> b(window.begin(), window.end());
    const int i = 2;
    bool got = false;
    switch (type) {
    case FallingLF:
        got = checkFallingLF(b.data(), i, level);
        break;
    case RisingLF:
        got = checkRisingLF(b.data(), i, level);
        break;
    case FallingHF:
        got = checkFallingHF(b.data(), i, level);
        break;
    default:
        got = checkRisingHF(b.data(), i, level);
        break;
    }
    QCOMPARE(got, fires);
}

void TestOscTrigger::search_data() {
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

// One channel, level 40, step at sample 500, pre 192.
void TestOscTrigger::search() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, type);
    QFETCH(int, index);
    const std::vector<int> b = step(1024, 500, low, high);
    QCOMPARE(getTrigIndex(b.data(), 1024, 384, 192, 40, type), index);
}

// A rising HF step whose edge lies at index `edge` (b[edge] low, b[edge + 1] high).
void TestOscTrigger::searchBounds_data() {
    QTest::addColumn<int>("len");
    QTest::addColumn<int>("pre");
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("index");
    QTest::newRow("2ch xPos 192: first candidate 386") << 512 << 384 << 386 << 386;
    QTest::newRow("2ch xPos 192: 385 is too early") << 512 << 384 << 385 << -1;
    QTest::newRow("2ch xPos 192: last candidate 508") << 512 << 384 << 508 << 508;
    QTest::newRow("2ch xPos 192: 509 is too late") << 512 << 384 << 509 << -1;
    QTest::newRow("2ch xPos -192: candidates 2..124") << 512 << 0 << 124 << 124;
    QTest::newRow("2ch xPos -192: 125 is too late") << 512 << 0 << 125 << -1;
    QTest::newRow("2ch xPos -192: 1 is too early") << 512 << 0 << 1 << -1;
    QTest::newRow("1ch xPos 0: last candidate 828") << 1024 << 192 << 828 << 828;
    QTest::newRow("1ch xPos 0: 829 is too late") << 1024 << 192 << 829 << -1;
    QTest::newRow("1ch xPos 192: last candidate 1020") << 1024 << 384 << 1020 << 1020;
    QTest::newRow("pre beyond the width") << 1024 << 385 << 600 << -1;
    QTest::newRow("negative pre") << 1024 << -1 << 100 << -1;
    QTest::newRow("block shorter than the window") << 383 << 0 << 100 << -1;
    QTest::newRow("no room for a candidate") << 389 << 0 << 2 << -1;
    QTest::newRow("one candidate") << 390 << 0 << 2 << 2;
}

void TestOscTrigger::searchBounds() {
    QFETCH(int, len);
    QFETCH(int, pre);
    QFETCH(int, edge);
    QFETCH(int, index);
    const std::vector<int> b = step(len, edge + 1, 0, 100);
    const int found = getTrigIndex(b.data(), len, 384, pre, 40, RisingHF);
    QCOMPARE(found, index);
    if (found >= 0) {
        QVERIFY(found - pre >= 0);
        QVERIFY(found - pre + 384 <= len);
    }
}

// The block is flat, with edges of every kind planted just before and after it: a search that
// looked outside the block would find one (and the sanitizer would see the read).
void TestOscTrigger::searchReadsOnlyTheBlock_data() {
    QTest::addColumn<int>("len");
    QTest::addColumn<int>("pre");
    QTest::newRow("2ch, pre 0") << 512 << 0;
    QTest::newRow("2ch, pre 384") << 512 << 384;
    QTest::newRow("1ch, pre 0") << 1024 << 0;
    QTest::newRow("1ch, pre 384") << 1024 << 384;
}

void TestOscTrigger::searchReadsOnlyTheBlock() {
    QFETCH(int, len);
    QFETCH(int, pre);
    const int guard = 8;
    std::vector<int> memory(size_t(len + 2 * guard), 100);
    int* block = memory.data() + guard;
    std::fill(block, block + len, 0);
    for (int type = 0; type < 4; ++type)
        QCOMPARE(getTrigIndex(block, len, 384, pre, 40, type), -1);
    // The same test finds an edge planted inside, at the last candidate.
    block[pre + len - 384 - 3] = 100;
    QCOMPARE(getTrigIndex(block, len, 384, pre, 40, RisingHF), pre + len - 384 - 4);
}

void TestOscTrigger::rawLevelFollowsGain_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("raw");
    QTest::newRow("10 at gain 0") << 10 << 0 << 40;
    QTest::newRow("10 at gain 2") << 10 << 2 << 160;
    QTest::newRow("-10 at gain 6") << -10 << 6 << -2560;
    QTest::newRow("largest level at gain 6") << 1052 << 6 << 269312;
}

void TestOscTrigger::rawLevelFollowsGain() {
    QFETCH(int, level);
    QFETCH(int, gain);
    QFETCH(int, raw);
    QCOMPARE(rawLevel(level, gain), raw);

    // The trigger compares raw samples against it: a step just across fires, one short of it
    // does not (HF band of 4 counts).
    Setup s = setup(modeOf(Norm, RisingHF), level);
    s.gain1 = gain;
    int out1[384], out2[384];
    State state;
    const std::vector<int> across = step(1024, 500, raw - 5, raw + 5);
    QCOMPARE(run(state, across.data(), out1, out2, s), 1);
    state = State();
    const std::vector<int> inside = step(1024, 500, raw - 4, raw + 5);
    QCOMPARE(run(state, inside.data(), out1, out2, s), 0);
}

void TestOscTrigger::gainFactor_data() {
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("factor");
    const int factors[7] = {100, 125, 125, 125, 156, 156, 156};
    for (int g = 0; g < 7; ++g)
        QTest::addRow("g %d", g) << g << factors[g];
}

void TestOscTrigger::gainFactor() {
    QFETCH(int, gain);
    QFETCH(int, factor);
    QCOMPARE(OscScale::gainFactor(gain), factor);
}

void TestOscTrigger::copyScalesAndTruncates() {
    const int src[4] = {100, -101, 3, 32767};
    int dst[4] = {};
    copySignal(src, dst, 4, 125);
    QCOMPARE(dst[0], 125);
    QCOMPARE(dst[1], -126); // -126.25 truncates toward zero
    QCOMPARE(dst[2], 3);
    QCOMPARE(dst[3], 40958);
}

void TestOscTrigger::freeRunAlwaysFromSampleZero() {
    const std::vector<int> b = ramp(1024);
    int out1[384] = {}, out2[384] = {};
    State state;
    state.autoCount = 17;
    QCOMPARE(run(state, b.data(), out1, out2, setup(FreeRun, 0, 150)), 1);
    QCOMPARE(out1[0], 0);
    QCOMPARE(out1[383], 383);
    QCOMPARE(state.autoCount, 0);
    QVERIFY(state.triggered);
}

void TestOscTrigger::normKeepsPictureWithoutEdge() {
    int out1[384], out2[384];
    std::fill(std::begin(out1), std::end(out1), -7);
    State state;
    state.autoCount = 40;
    const std::vector<int> flat(1024, 0);
    const int mode = modeOf(Norm, RisingLF);
    QCOMPARE(run(state, flat.data(), out1, out2, setup(mode, 10)), 0);
    QCOMPARE(out1[0], -7);
    QCOMPARE(state.autoCount, 40);

    std::vector<int> b = step(1024, 500, 0, 100);
    QCOMPARE(run(state, b.data(), out1, out2, setup(mode, 10)), 1);
    QCOMPARE(state.autoCount, 0);
    // Edge 498 under display sample 192: the window starts at 306.
    QCOMPARE(out1[191], 0);
    QCOMPARE(out1[192], 0);
    QCOMPARE(out1[193], 0);
    QCOMPARE(out1[194], 100);
    QCOMPARE(out1[383], 100);
}

void TestOscTrigger::autoForcesAfterThirtyTicks() {
    const int mode = modeOf(Auto, RisingHF);
    int out1[384], out2[384];
    const std::vector<int> flat = ramp(1024); // slopes gently: never crosses by 8 in one step
    State state;

    state.autoCount = 30;
    QCOMPARE(run(state, flat.data(), out1, out2, setup(mode, 1000)), 0);
    QCOMPARE(state.autoCount, 30);

    state.autoCount = 31;
    QCOMPARE(run(state, flat.data(), out1, out2, setup(mode, 1000, 100)), 1);
    QCOMPARE(out1[0], 0); // forced: from sample 0 whatever xPos says
    QCOMPARE(state.autoCount, 51);
    QCOMPARE(run(state, flat.data(), out1, out2, setup(mode, 1000, 100)), 1);
    QCOMPARE(state.autoCount, 51);

    // The first edge after forcing is still shown from sample 0 ...
    std::vector<int> edge = step(1024, 600, 0, 100);
    edge[0] = 5;
    QCOMPARE(run(state, edge.data(), out1, out2, setup(mode, 10)), 1);
    QCOMPARE(state.autoCount, 0);
    QCOMPARE(out1[0], 5);
    // ... the next one triggered: edge 599 under display sample 192.
    QCOMPARE(run(state, edge.data(), out1, out2, setup(mode, 10)), 1);
    QCOMPARE(out1[192], 0);
    QCOMPARE(out1[193], 100);
}

void TestOscTrigger::singleHoldsUntilRearm() {
    const int mode = modeOf(Single, RisingHF);
    int out1[384], out2[384];
    State state;
    const std::vector<int> first = step(1024, 500, 0, 100);
    QCOMPARE(run(state, first.data(), out1, out2, setup(mode, 10)), 1);
    QVERIFY(state.triggered);
    QCOMPARE(out1[192], 0);
    QCOMPARE(out1[193], 100);

    const std::vector<int> second = step(1024, 400, 0, 200);
    for (int cycle = 0; cycle < 3; ++cycle)
        QCOMPARE(run(state, second.data(), out1, out2, setup(mode, 10)), 0);
    QCOMPARE(out1[193], 100);

    state.rearm = true; // a trigger control changed
    const std::vector<int> flat(1024, 0);
    QCOMPARE(run(state, flat.data(), out1, out2, setup(mode, 10)), 0);
    QVERIFY(!state.rearm);
    QVERIFY(!state.triggered); // still armed: the next edge is taken
    QCOMPARE(run(state, second.data(), out1, out2, setup(mode, 10)), 1);
    QCOMPARE(out1[193], 200);
    QCOMPARE(run(state, first.data(), out1, out2, setup(mode, 10)), 0);
}

void TestOscTrigger::twoChannelWindows() {
    std::vector<int> b(1024, 0);
    for (int i = 0; i < 512; ++i)
        b[i] = i < 300 ? 0 : 80; // channel 1: a step
    for (int i = 512; i < 1024; ++i)
        b[i] = i; // channel 2: identifies the copied position
    Setup s = setup(modeOf(Norm, RisingHF), 10, 100, true);
    s.gain2 = 1;
    int out1[384], out2[384];
    State state;
    QCOMPARE(run(state, b.data(), out1, out2, s), 1);
    // Edge 299, pre 292: window from sample 7 of each block.
    QCOMPARE(out1[292], 0);
    QCOMPARE(out1[293], 80);
    QCOMPARE(out2[0], (512 + 7) * 125 / 100);
    QCOMPARE(out2[383], (512 + 7 + 383) * 125 / 100);
}

void TestOscTrigger::channelTwoNeverTriggers() {
    std::vector<int> b(1024, 0);
    for (int i = 700; i < 1024; ++i)
        b[i] = 100;
    int out1[384], out2[384];
    State state;
    QCOMPARE(run(state, b.data(), out1, out2, setup(modeOf(Norm, RisingLF), 10, 0, true)), 0);
    QCOMPARE(run(state, b.data(), out1, out2, setup(modeOf(Norm, RisingLF), 10, 0, false)), 1);
}

void TestOscTrigger::adjustGraphAddsPixels() {
    int plot[385];
    std::fill(std::begin(plot), std::end(plot), 10);
    adjustGraph(plot, -3);
    QCOMPARE(plot[0], -2);
    QCOMPARE(plot[383], -2);
    QCOMPARE(plot[384], 10); // only the 384 plot values
}

void TestOscTrigger::levelMarker_data() {
    QTest::addColumn<float>("trigLevel");
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("yPos");
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<int>("row"); // pixels above the centre
    QTest::newRow("level from a click at y 186") << 3846.0f / 38.0f << 0 << 0 << true << 100;
    QTest::newRow("exactly 256 is off the plot") << 0.0f << 0 << 256 << false << 0;
    QTest::newRow("255.9 is drawn at 255") << 255.9f * 500.0f / 496.0f << 0 << 0 << true << 255;
    QTest::newRow("exactly -256 is off") << 0.0f << 0 << -256 << false << 0;
    QTest::newRow("-255.5 truncates to -255")
        << -0.5f * 20.0f / 496.0f << 4 << -255 << true << -255;
    QTest::newRow("gain scales the marker") << 1.0f << 6 << 0 << true << 99;
    QTest::newRow("position lifts the marker") << 10.0f << 4 << 5 << true << 253;
}

void TestOscTrigger::levelMarker() {
    QFETCH(float, trigLevel);
    QFETCH(int, gain);
    QFETCH(int, yPos);
    QFETCH(bool, drawn);
    QFETCH(int, row);
    int y = 12345;
    QCOMPARE(OscTrigger::levelMarker(trigLevel, gain, yPos, &y), drawn);
    if (drawn)
        QCOMPARE(y, row);
}

void TestOscTrigger::positionMarker_data() {
    QTest::addColumn<int>("xPos");
    QTest::addColumn<int>("column");
    QTest::newRow("centre") << 0 << 384;
    QTest::newRow("left end") << -192 << 0;
    QTest::newRow("right end") << 192 << 768;
}

void TestOscTrigger::positionMarker() {
    QFETCH(int, xPos);
    QFETCH(int, column);
    QCOMPARE(OscTrigger::positionMarker(xPos), column);
}

QTEST_GUILESS_MAIN(TestOscTrigger)
#include "tst_oscyloskop_trigger.moc"

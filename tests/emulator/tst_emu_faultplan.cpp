// The emulator's fault plan, and the program's frame cutter fed with what it produces: the
// shapes of the damage are what they claim to be, and whatever comes, the accumulator stays
// within its cap and the good frame after the damage is cut whole.
#include "buffer.h"
#include "emulator/faultplan.h"
#include "emulator/framebuilder.h"
#include "emulator/options.h"
#include "thread.h"

#include <QtTest>
#include <algorithm>
#include <vector>

using emu::Fault;
using emu::FaultConfig;
using emu::FaultPlan;
using emu::FrameBuilder;

Q_DECLARE_METATYPE(emu::Fault)

namespace {
constexpr int baud = 921600;

// A frame whose samples count up from `first`, so every frame is told apart by its content.
std::vector<uint8_t> countingFrame(int first) {
    int16_t samples[FrameBuilder::scopeSamples];
    for (int i = 0; i < FrameBuilder::scopeSamples; ++i)
        samples[i] = FrameBuilder::avoidFrameEnd(int16_t((first + i) % 20000));
    std::vector<uint8_t> frame(FrameBuilder::scopeFrameBytes);
    FrameBuilder::scopeFrame(samples, false, frame.data());
    return frame;
}

bool holds(const Buffer& b, const std::vector<uint8_t>& frame) {
    return b.length == int(frame.size()) - 2 &&
           std::equal(frame.begin() + 1, frame.end() - 1, b.data);
}

FaultConfig only(Fault kind) {
    FaultConfig c;
    c.kinds = {kind};
    c.every = 2;
    c.noEndMs = 1500;
    return c;
}
} // namespace

class TestEmuFaultPlan : public QObject {
    Q_OBJECT

private slots:
    void healthyDeviceSendsFramesUntouched();
    void shapes_data();
    void shapes();
    void kindsTakeTurns();
    void parseKinds_data();
    void parseKinds();
    void cutterSurvives_data();
    void cutterSurvives();
};

void TestEmuFaultPlan::healthyDeviceSendsFramesUntouched() {
    FaultPlan plan(FaultConfig{}, 1);
    std::vector<uint8_t> line;
    for (int i = 0; i < 50; ++i) {
        const auto frame = countingFrame(i);
        const auto step = plan.shape(frame, baud, line);
        QVERIFY(!step.faulted);
        QCOMPARE(step.wholeFrames, 1);
        QVERIFY(line == frame);
    }
    QCOMPARE(plan.faults(), 0);
}

void TestEmuFaultPlan::shapes_data() {
    QTest::addColumn<Fault>("kind");
    QTest::newRow("garbage") << Fault::Garbage;
    QTest::newRow("truncate") << Fault::Truncate;
    QTest::newRow("oversize") << Fault::Oversize;
    QTest::newRow("no-end") << Fault::NoEnd;
    QTest::newRow("burst") << Fault::Burst;
    QTest::newRow("vanish") << Fault::Vanish;
}

void TestEmuFaultPlan::shapes() {
    QFETCH(Fault, kind);
    FaultConfig cfg = only(kind);
    FaultPlan plan(cfg, 7);
    std::vector<uint8_t> line;
    const auto frame = countingFrame(0);
    // Two good frames, then the fault, then two good ones again.
    for (int i = 0; i < 2; ++i)
        QVERIFY(!plan.shape(frame, baud, line).faulted);
    const auto step = plan.shape(frame, baud, line);
    QVERIFY(step.faulted);
    QCOMPARE(step.kind, kind);
    QCOMPARE(plan.faults(), 1);
    const auto e = std::count(line.begin(), line.end(), FrameBuilder::frameEnd);

    switch (kind) {
    case Fault::Garbage:
        QCOMPARE(int(line.size()), cfg.garbageBytes + int(frame.size()));
        QVERIFY(std::equal(frame.begin(), frame.end(), line.end() - long(frame.size())));
        QCOMPARE(step.wholeFrames, 1);
        break;
    case Fault::Truncate:
    case Fault::Vanish:
        // A prefix of the frame, its "s" included, its "e" never.
        QVERIFY(!line.empty() && line.size() < frame.size() - 1);
        QVERIFY(std::equal(line.begin(), line.end(), frame.begin()));
        QCOMPARE(e, 0);
        QCOMPARE(step.wholeFrames, 0);
        QCOMPARE(step.vanish, kind == Fault::Vanish);
        break;
    case Fault::Oversize:
        QCOMPARE(int(line.size()), cfg.oversizeBytes + 2);
        QCOMPARE(line.front(), FrameBuilder::frameStart);
        QCOMPARE(line.back(), FrameBuilder::frameEnd);
        QCOMPARE(e, 1);
        break;
    case Fault::NoEnd: {
        // The frame, then a frame that opens; 1.5 s at 921 600 bit/s = 138 240 bytes follow.
        QCOMPARE(line.size(), frame.size() + 1);
        QCOMPARE(line.back(), FrameBuilder::frameStart);
        QCOMPARE(step.noEndBytes, 138240);
        std::vector<uint8_t> stream;
        plan.noEndBytes(size_t(step.noEndBytes), stream);
        QCOMPARE(std::count(stream.begin(), stream.end(), FrameBuilder::frameEnd), 0);
        break;
    }
    case Fault::Burst:
        QCOMPARE(int(line.size()), cfg.burstFrames * int(frame.size()));
        QCOMPARE(step.wholeFrames, cfg.burstFrames);
        break;
    }
    for (int i = 0; i < 2; ++i) {
        QVERIFY(!plan.shape(frame, baud, line).faulted);
        QVERIFY(line == frame);
    }
}

void TestEmuFaultPlan::kindsTakeTurns() {
    FaultConfig cfg;
    QVERIFY(FaultConfig::parseKinds("burst,garbage,truncate", cfg.kinds));
    cfg.every = 0; // every frame
    FaultPlan plan(cfg, 1);
    std::vector<uint8_t> line;
    QList<Fault> seen;
    for (int i = 0; i < 6; ++i)
        seen << plan.shape(countingFrame(i), baud, line).kind;
    QCOMPARE(seen, (QList<Fault>{Fault::Burst, Fault::Garbage, Fault::Truncate, Fault::Burst,
                                 Fault::Garbage, Fault::Truncate}));
}

void TestEmuFaultPlan::parseKinds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count"); // -1: refused
    QTest::newRow("one") << "vanish" << 1;
    QTest::newRow("all") << "garbage,truncate,oversize,no-end,burst,vanish" << 6;
    QTest::newRow("repeated") << "burst,burst" << 2;
    QTest::newRow("unknown") << "noise" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("trailing comma") << "garbage," << -1;
    QTest::newRow("case matters") << "Garbage" << -1;
}

void TestEmuFaultPlan::parseKinds() {
    QFETCH(QString, text);
    QFETCH(int, count);
    std::vector<Fault> kinds{Fault::Oversize};
    QCOMPARE(FaultConfig::parseKinds(text.toStdString(), kinds), count >= 0);
    QCOMPARE(int(kinds.size()), count >= 0 ? count : 1); // a refusal leaves it alone
}

void TestEmuFaultPlan::cutterSurvives_data() {
    QTest::addColumn<Fault>("kind");
    QTest::addColumn<int>("size"); // oversize body / garbage bytes
    QTest::newRow("garbage") << Fault::Garbage << 3000;
    QTest::newRow("truncate") << Fault::Truncate << 0;
    QTest::newRow("oversize within the cap") << Fault::Oversize << 40000;
    QTest::newRow("oversize beyond the cap") << Fault::Oversize << 200000;
    QTest::newRow("no-end") << Fault::NoEnd << 0;
    QTest::newRow("burst") << Fault::Burst << 0;
}

// The stream arrives in reads of uneven size, one cut per read as the port delivers them. At
// the end the reads stop and the backlog drains; the last frame must then be the last good one.
void TestEmuFaultPlan::cutterSurvives() {
    QFETCH(Fault, kind);
    QFETCH(int, size);
    FaultConfig cfg = only(kind);
    cfg.garbageBytes = size > 0 ? size : cfg.garbageBytes;
    cfg.oversizeBytes = size > 0 ? size : cfg.oversizeBytes;
    FaultPlan plan(cfg, 3);

    std::vector<uint8_t> stream, line;
    std::vector<uint8_t> last;
    // Faults at frames 2, 5 and 8; frames 9 and 10 are good.
    for (int i = 0; i < 11; ++i) {
        last = countingFrame(100 * i);
        const auto step = plan.shape(last, baud, line);
        stream.insert(stream.end(), line.begin(), line.end());
        plan.noEndBytes(size_t(step.noEndBytes), stream);
    }
    QCOMPARE(plan.faults(), 3);

    static Buffer target;
    target.length = -1;
    QByteArray rx;
    int maxRx = 0, cut = 0;
    size_t at = 0;
    for (int read = 0; at < stream.size(); ++read) {
        const size_t n = std::min(stream.size() - at, size_t(500 + (read * 7919) % 6000));
        rx.append(reinterpret_cast<const char*>(stream.data() + at), int(n));
        at += n;
        if (Thread::cutFrames(rx, &target)) {
            ++cut;
            QVERIFY(target.length >= 0 && target.length <= Buffer::capacity);
        }
        maxRx = std::max(maxRx, int(rx.size()));
    }
    for (int guard = 0; guard < 1000; ++guard) {
        const QByteArray before = rx;
        if (Thread::cutFrames(rx, &target))
            ++cut;
        if (rx == before)
            break;
    }
    QVERIFY2(maxRx <= Thread::rxCap, qPrintable(QString::number(maxRx)));
    QVERIFY(cut > 0);
    QVERIFY(holds(target, last));
}

QTEST_GUILESS_MAIN(TestEmuFaultPlan)
#include "tst_emu_faultplan.moc"

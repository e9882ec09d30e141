// The emulator's logic analyser: the test pattern, each trigger kind on each channel, combined
// conditions, conditions that never hold, the forced capture, rates and the frame layout.
#include "emulator/device.h"
#include "emulator/logicpattern.h"
#include "zrvcom.h"

#include <QtTest>
#include <cstring>

namespace {
// Trigger boxes as the logic analyser page offers them, one character per channel 0..7:
// X don't care, 0 low, 1 high, / rising, \ falling.
emu::LaTrigger recordOf(const QString& boxes) {
    emu::LaTrigger t;
    for (int n = 0; n < 8; ++n) {
        const uint8_t m = uint8_t(1u << n);
        switch (boxes[n].toLatin1()) {
        case '0':
            t.level |= m;
            break;
        case '1':
            t.level |= m;
            t.polarity |= m;
            break;
        case '/':
            t.edge |= m;
            t.polarity |= m;
            break;
        case '\\':
            t.edge |= m;
            break;
        default:
            break;
        }
    }
    return t;
}

// The condition read straight from the boxes, independent of the record's bit logic.
bool holds(const QString& boxes, uint8_t before, uint8_t at) {
    for (int n = 0; n < 8; ++n) {
        const bool was = (before >> n) & 1, is = (at >> n) & 1;
        switch (boxes[n].toLatin1()) {
        case '0':
            if (is)
                return false;
            break;
        case '1':
            if (!is)
                return false;
            break;
        case '/':
            if (was || !is)
                return false;
            break;
        case '\\':
            if (!was || is)
                return false;
            break;
        default:
            break;
        }
    }
    return true;
}

QByteArray trigCommand(const emu::LaTrigger& t) {
    QByteArray bytes = "[";
    for (uint8_t b : {t.edge, t.level, t.polarity})
        bytes += QByteArray(1, ZRVCom::nibbleByte(b >> 4)) + ZRVCom::nibbleByte(b);
    return bytes;
}

QByteArray rateCommand(int rate) {
    return QByteArray("Y") + ZRVCom::digitByte(rate);
}

struct Rig {
    emu::Device device{emu::DeviceConfig{62.5, false, 1, false}};
    std::vector<uint8_t> frame;

    void send(const QByteArray& bytes, int64_t now) {
        device.receive(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()),
                       now);
    }
    // Takes the next frame, if one is due by `until`: at exactly its time, not a ns earlier.
    bool runUntilFrame(int64_t until) {
        const int64_t due = device.wakeAt();
        if (due < 0 || due > until)
            return false;
        return !device.takeFrame(due - 1, 115200, frame) && device.takeFrame(due, 115200, frame);
    }
};
} // namespace

class TestEmuLogic : public QObject {
    Q_OBJECT

private slots:
    void patternNeverEndsAFrame();
    void patternCarriesCounterAndUart();
    void triggerKindPerChannel_data();
    void triggerKindPerChannel();
    void combinations_data();
    void combinations();
    void forceTrigger();
    void forceWithoutArming();
    void armOutsideLogicModeDoesNothing();
    void ratesSetTheSamplePeriod_data();
    void ratesSetTheSamplePeriod();
    void changedConditionWhileWaiting();
    void framesPacedByLine();
    void firesRecordRules_data();
    void firesRecordRules();
};

void TestEmuLogic::patternNeverEndsAFrame() {
    // The pattern repeats every period (which lets a search over one period prove that a
    // condition never comes); look at three periods around sample 0.
    const int64_t period = emu::LogicPattern::period;
    for (int64_t n = -period; n < 2 * period; ++n) {
        const uint8_t v = emu::LogicPattern::sample(n);
        QCOMPARE(emu::LogicPattern::sample(n + period), v);
        QVERIFY(v != 0x65);
        QVERIFY2(!(v & 0x20) || (v & 0x80), "burst pulse outside its gate");
    }
}

void TestEmuLogic::patternCarriesCounterAndUart() {
    Rig rig;
    // The message repeats every 16 x 96 samples; force the capture to start with its first
    // character: 4 MSPS, sample 15360 = 3.84 ms.
    rig.send("I" + rateCommand(0), 0);
    rig.send("Q", 3840000);
    QCOMPARE(rig.device.capture().firstSample(), int64_t(15360));
    QVERIFY(rig.runUntilFrame(1000000000));
    QCOMPARE(int(rig.frame.size()), 1026);
    QCOMPARE(rig.frame.front(), uint8_t('s'));
    QCOMPARE(rig.frame.back(), uint8_t('e'));
    const uint8_t* s = rig.frame.data() + 1;

    // Channels 0-4 count up by one every 8 samples.
    int changes = 0;
    for (int j = 1; j < 1024; ++j) {
        const int was = s[j - 1] & 0x1F, is = s[j] & 0x1F;
        if (was != is) {
            QCOMPARE(is, (was + 1) % 32);
            ++changes;
        }
    }
    QVERIFY(changes >= 120);

    // Channel 6 is a UART line at 8 samples per bit, 12 bit cells per character (start, 8 data
    // bits from the lowest, stop, 2 idle): sample each cell in its middle.
    const auto cell = [&](int charIndex, int bitCell) {
        return (s[96 * charIndex + 8 * bitCell + 4] >> 6) & 1;
    };
    QByteArray text;
    for (int c = 0; c < 10; ++c) {
        QCOMPARE(cell(c, 0), 0);
        int ch = 0;
        for (int bit = 0; bit < 8; ++bit)
            ch |= cell(c, 1 + bit) << bit;
        text += char(ch);
        for (int idle = 9; idle < 12; ++idle)
            QCOMPARE(cell(c, idle), 1);
    }
    QCOMPARE(text, QByteArray(emu::LogicPattern::message).left(10));
}

void TestEmuLogic::triggerKindPerChannel_data() {
    QTest::addColumn<QString>("boxes");
    const char kinds[] = {'0', '1', '/', '\\'};
    for (int n = 0; n < 8; ++n) {
        for (char k : kinds) {
            QString boxes = QStringLiteral("XXXXXXXX");
            boxes[n] = QLatin1Char(k);
            QTest::addRow("channel %d %c", n, k) << boxes;
        }
    }
}

void TestEmuLogic::triggerKindPerChannel() {
    QFETCH(QString, boxes);
    // Armed at an arbitrary moment that is not on a sample boundary, at 1 MSPS.
    const int64_t armedAt = 777777777;
    const int64_t period = 1000;
    Rig rig;
    rig.send("I" + rateCommand(2) + trigCommand(recordOf(boxes)), armedAt - 5000);
    rig.send("O", armedAt);
    QVERIFY(rig.runUntilFrame(armedAt + 100000000));
    QCOMPARE(int(rig.frame.size()), 1026);

    // The trigger sample sits at 64; it is the first sample since arming that meets the
    // condition.
    const int64_t first = rig.device.capture().firstSample();
    const int64_t trigger = first + 64;
    const uint8_t* s = rig.frame.data() + 1;
    QVERIFY(holds(boxes, s[63], s[64]));
    const int64_t firstArmed = (armedAt + period - 1) / period;
    QVERIFY(trigger >= firstArmed);
    for (int64_t n = firstArmed; n < trigger; ++n) {
        if (holds(boxes, emu::LogicPattern::sample(n - 1), emu::LogicPattern::sample(n)))
            QFAIL(qPrintable(QStringLiteral("sample %1 met it earlier").arg(n)));
    }
    // The frame left when its last sample had been taken.
    QCOMPARE(rig.device.lastFrameAt(), (first + 1023) * period);
    QVERIFY(!rig.device.state().armed);
    QCOMPARE(rig.device.wakeAt(), int64_t(-1)); // one frame per arming
}

void TestEmuLogic::combinations_data() {
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<bool>("fires");
    QTest::newRow("counter bit 0 rises while the gate is high") << "/XXXXXX1" << true;
    QTest::newRow("start bit while the gate is low") << "XXXXXX\\0" << true;
    QTest::newRow("bit 1 rises as bit 0 falls") << "\\/XXXXXX" << true;
    QTest::newRow("gate rises as bit 0 falls") << "\\XXXXXX/" << true;
    QTest::newRow("counter at 31 with a burst pulse") << "11111/XX" << true;
    QTest::newRow("all levels at once") << "00000000" << true;
    QTest::newRow("nothing selected") << "XXXXXXXX" << true;
    // A binary counter never raises bits 0 and 1 together; a pulse needs the gate.
    QTest::newRow("bits 0 and 1 rising together") << "//XXXXXX" << false;
    QTest::newRow("pulse without the gate") << "XXXXX1X0" << false;
    QTest::newRow("gate rising while bit 0 rises") << "/XXXXXX/" << false;
}

void TestEmuLogic::combinations() {
    QFETCH(QString, boxes);
    QFETCH(bool, fires);
    const int64_t armedAt = 123456789;
    Rig rig;
    rig.send("I" + rateCommand(0) + trigCommand(recordOf(boxes)) + "O", armedAt);
    // Any condition the pattern can meet comes within one pattern period, 384 us at 4 MSPS.
    const bool got = rig.runUntilFrame(armedAt + 40000000);
    QCOMPARE(got, fires);
    if (!got) {
        QVERIFY(rig.device.capture().searching());
        // Indeed never met: not anywhere in a whole pattern period.
        for (int64_t n = 0; n < emu::LogicPattern::period; ++n)
            QVERIFY(!holds(boxes, emu::LogicPattern::sample(n - 1), emu::LogicPattern::sample(n)));
        return;
    }
    const uint8_t* s = rig.frame.data() + 1;
    QVERIFY(holds(boxes, s[63], s[64]));
}

void TestEmuLogic::forceTrigger() {
    Rig rig;
    const int64_t armedAt = 5000000;
    rig.send("I" + rateCommand(0) + trigCommand(recordOf("//XXXXXX")) + "O", armedAt);
    QVERIFY(!rig.runUntilFrame(armedAt + 20000000));
    // "Force trig": the capture starts with the next sample, no pre-trigger part.
    const int64_t forcedAt = armedAt + 20000100;
    rig.send("Q", forcedAt);
    const int64_t first = (forcedAt + 249) / 250;
    QCOMPARE(rig.device.capture().firstSample(), first);
    const int64_t ready = (first + 1023) * 250;
    QVERIFY(!rig.device.takeFrame(ready - 1, 115200, rig.frame));
    QVERIFY(rig.device.takeFrame(ready, 115200, rig.frame));
    for (int j = 0; j < 1024; ++j)
        QCOMPARE(rig.frame[size_t(1 + j)], emu::LogicPattern::sample(first + j));
}

void TestEmuLogic::forceWithoutArming() {
    Rig rig;
    rig.send("I", 0);
    rig.send("Q", 1000000);
    QVERIFY(rig.runUntilFrame(2000000000));
    QCOMPARE(int(rig.frame.size()), 1026);
}

void TestEmuLogic::armOutsideLogicModeDoesNothing() {
    Rig rig;
    rig.send("GOQ", 0);
    QCOMPARE(rig.device.wakeAt(), int64_t(-1));
    QVERIFY(!rig.device.state().armed);
    // Leaving the logic analyser drops a waiting capture.
    rig.send("I" + trigCommand(recordOf("//XXXXXX")) + "O", 0);
    QVERIFY(rig.device.capture().searching());
    rig.send("G", 1000);
    QVERIFY(!rig.device.capture().searching());
    QCOMPARE(rig.device.wakeAt(), int64_t(-1));
}

void TestEmuLogic::ratesSetTheSamplePeriod_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<qint64>("periodNs");
    QTest::newRow("4MSPS") << 0 << qint64(250);
    QTest::newRow("1MSPS") << 2 << qint64(1000);
    QTest::newRow("20KSPS") << 7 << qint64(50000);
    QTest::newRow("200SPS") << 13 << qint64(5000000);
}

void TestEmuLogic::ratesSetTheSamplePeriod() {
    QFETCH(int, rate);
    QFETCH(qint64, periodNs);
    Rig rig;
    rig.send("I" + rateCommand(rate) + "Q", 0);
    QCOMPARE(rig.device.capture().readyAtNs(), 1023 * periodNs);
    QVERIFY(rig.runUntilFrame(1023 * periodNs));
    QCOMPARE(rig.device.lastFrameAt(), 1023 * periodNs);
}

void TestEmuLogic::changedConditionWhileWaiting() {
    Rig rig;
    rig.send("I" + rateCommand(0) + trigCommand(recordOf("//XXXXXX")) + "O", 0);
    QVERIFY(!rig.runUntilFrame(10000000));
    // The page resends the record when a box changes; the waiting capture takes it up.
    rig.send(trigCommand(recordOf("XXXXXXX/")), 10000000);
    QVERIFY(rig.runUntilFrame(20000000));
    const uint8_t* s = rig.frame.data() + 1;
    QVERIFY(!(s[63] & 0x80) && (s[64] & 0x80));
    QVERIFY(rig.device.capture().firstSample() + 64 >= 10000000 / 250);

    // At 200 SPS the gate rises only every 2.56 s: a record changed before that moment wins.
    rig.send(rateCommand(13) + trigCommand(recordOf("XXXXXXX/")) + "O", 100000000);
    QVERIFY(rig.device.capture().triggerAtNs() > 200000000);
    rig.send(trigCommand(recordOf("/XXXXXXX")), 200000000);
    QVERIFY(rig.runUntilFrame(int64_t(10) * 1000000000));
    s = rig.frame.data() + 1;
    QVERIFY(!(s[63] & 0x01) && (s[64] & 0x01));
    QVERIFY(rig.device.capture().firstSample() + 64 >= 200000000 / 5000000);
}

void TestEmuLogic::framesPacedByLine() {
    // Two forced captures at 4 MSPS take 256 us each, but 1026 bytes need 89 ms at 115200.
    Rig rig;
    rig.send("I" + rateCommand(0) + "Q", 0);
    QVERIFY(rig.runUntilFrame(1000000));
    const int64_t sent = rig.device.lastFrameAt();
    rig.send("Q", sent);
    QCOMPARE(rig.device.wakeAt(), sent + 89062500);
    QVERIFY(!rig.device.takeFrame(sent + 89062499, 115200, rig.frame));
    QVERIFY(rig.device.takeFrame(sent + 89062500, 115200, rig.frame));
}

void TestEmuLogic::firesRecordRules_data() {
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("polarity");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("at");
    QTest::addColumn<bool>("fires");
    QTest::newRow("empty record") << 0 << 0 << 0 << 0x12 << 0x34 << true;
    QTest::newRow("high level met") << 0 << 0x04 << 0x04 << 0x00 << 0x04 << true;
    QTest::newRow("high level missed") << 0 << 0x04 << 0x04 << 0x04 << 0x00 << false;
    QTest::newRow("low level met") << 0 << 0x04 << 0 << 0xFF << 0xFB << true;
    QTest::newRow("rising edge") << 0x80 << 0 << 0x80 << 0x00 << 0x80 << true;
    QTest::newRow("high without an edge") << 0x80 << 0 << 0x80 << 0x80 << 0x80 << false;
    QTest::newRow("falling edge") << 0x01 << 0 << 0 << 0x01 << 0x00 << true;
    QTest::newRow("rising where falling wanted") << 0x01 << 0 << 0 << 0x00 << 0x01 << false;
    // Combinations the page never builds: edge and level both set waits for the edge;
    // polarity alone takes no part.
    QTest::newRow("edge and level set") << 0x02 << 0x02 << 0x02 << 0x02 << 0x02 << false;
    QTest::newRow("edge and level set, edge") << 0x02 << 0x02 << 0x02 << 0x00 << 0x02 << true;
    QTest::newRow("polarity alone") << 0 << 0 << 0x10 << 0x00 << 0x00 << true;
}

void TestEmuLogic::firesRecordRules() {
    QFETCH(int, edge);
    QFETCH(int, level);
    QFETCH(int, polarity);
    QFETCH(int, before);
    QFETCH(int, at);
    QFETCH(bool, fires);
    const emu::LaTrigger t{uint8_t(edge), uint8_t(level), uint8_t(polarity)};
    QCOMPARE(emu::LogicCapture::fires(t, uint8_t(before), uint8_t(at)), fires);
}

QTEST_GUILESS_MAIN(TestEmuLogic)
#include "tst_emu_logic.moc"

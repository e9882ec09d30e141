// One display cycle of the oscilloscope page: frame conversion, trigger, readouts, vertical
// positions, markers, cursors and traces, drawn into an image.
#include "buffer.h"
#include "oscyloskop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>
#include <cstring>
#include <memory>
#include <vector>

namespace {
const QRgb ch1 = qRgb(50, 60, 255);
const QRgb ch2 = qRgb(255, 60, 50);
const QRgb marker = qRgb(20, 80, 60);
const QRgb cursor = qRgb(150, 150, 0);

struct Page {
    Page() { host.resize(1028, 612); }
    QWidget host;
    Oscyloskop osc{&host};
    QImage image{1028, 612, QImage::Format_RGB32};

    void draw(Buffer* frame) { osc.drawGraph(frame, &image); }
    QRgb pixel(int x, int y) const { return image.pixel(x, y); }
};

void choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// A frame of 1024 samples, little-endian 16-bit, with the given byte count.
std::unique_ptr<Buffer> frameOf(const std::vector<int>& samples, int length = 2048) {
    auto frame = std::make_unique<Buffer>();
    std::memset(frame.get(), 0, sizeof(Buffer));
    for (int i = 0; i < 1024; ++i) {
        const unsigned v = unsigned(samples[size_t(i)]) & 0xFFFFu;
        frame->data[2 * i] = uint8_t(v & 0xFF);
        frame->data[2 * i + 1] = uint8_t(v >> 8);
    }
    frame->length = length;
    frame->frameSize = 2048;
    return frame;
}

std::vector<int> constant(int value) {
    return std::vector<int>(1024, value);
}

// Square wave of period 32 samples, low first.
std::vector<int> square(int low, int high, int from = 0, int to = 1024) {
    std::vector<int> s(1024, 0);
    for (int i = from; i < to; ++i)
        s[size_t(i)] = (i - from) % 32 < 16 ? low : high;
    return s;
}

void click(Oscyloskop& o, QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers mods) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(pos), button, button, mods);
    o.setCursor(&press);
}
} // namespace

class TestOscDisplay : public QObject {
    Q_OBJECT

private slots:
    void init();
    void shortFrameIsNotConverted_data();
    void shortFrameIsNotConverted();
    void beforeTheFirstFrame();
    void readoutsOneChannel();
    void readoutsTwoChannels();
    void positionIsAppliedOnceAndNotMeasured();
    void heldPictureIgnoresPositionChanges();
    void gainCorrection_data();
    void gainCorrection();
    void twoChannelTraces();
    void markers_data();
    void markers();
    void timeCursors_data();
    void timeCursors();
    void voltageCursors_data();
    void voltageCursors();
    void cursorReadoutsWithoutNewWindow();
    void singleHoldsThenLevelChangeCapturesAgain();
};

void TestOscDisplay::init() {
    std::fill(std::begin(bufGraph), std::end(bufGraph), 0);
    std::fill(std::begin(bufGraph2), std::end(bufGraph2), 0);
}

void TestOscDisplay::shortFrameIsNotConverted_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("shown"); // raw value on screen after the second frame
    QTest::newRow("2048 bytes are converted") << 2048 << 200;
    QTest::newRow("more are converted") << 4000 << 200;
    QTest::newRow("2047 bytes are not") << 2047 << 100;
    QTest::newRow("an empty frame is not") << 0 << 100;
}

void TestOscDisplay::shortFrameIsNotConverted() {
    QFETCH(int, length);
    QFETCH(int, shown);
    Page page;
    page.draw(frameOf(constant(100)).get());
    QCOMPARE(page.osc.sampleBuf[1023], 100);
    page.draw(frameOf(constant(200), length).get());
    QCOMPARE(bufGraph[0], shown);
    QCOMPARE(page.osc.sampleBuf[0], shown);
}

void TestOscDisplay::beforeTheFirstFrame() {
    Page page;
    page.osc.enable();
    page.osc.yPosBar1->setValue(-20);
    page.osc.ch2Box->click();
    page.osc.yPosBar2->setValue(30);
    auto empty = frameOf(constant(0), 0);
    page.draw(empty.get());
    for (int x = 11; x <= 776; x += 5) {
        QCOMPARE(page.pixel(x, 266), ch1);
        QCOMPARE(page.pixel(x, 316), ch2);
    }
    QCOMPARE(page.osc.rmsLabel1->text(), QString("CH1 RMS: 0.0mV"));
    QCOMPARE(page.osc.avgLabel1->text(), QString("CH1 Avg: 0.0mV"));
    QCOMPARE(page.osc.vppLabel1->text(), QString("CH1 Vpp: 0.0mV"));
    QCOMPARE(page.osc.freqLabel1->text(), QString("CH1 Freq: 0.0Hz"));
    QCOMPARE(page.osc.freqLabel2->text(), QString("CH2 Freq: 0.0Hz"));
}

void TestOscDisplay::readoutsOneChannel() {
    Page page;
    page.draw(frameOf(square(-400, 400)).get());
    QCOMPARE(page.osc.rmsLabel1->text(), QString("CH1 RMS: 3.906V"));
    QCOMPARE(page.osc.avgLabel1->text(), QString("CH1 Avg: 0.0mV"));
    QCOMPARE(page.osc.vppLabel1->text(), QString("CH1 Vpp: 7.813V"));
    QCOMPARE(page.osc.freqLabel1->text(), QString("CH1 Freq: 2.500kHz"));
    QCOMPARE(page.osc.rmsLabel2->text(), QString("CH2 RMS: 0V")); // one channel: untouched
}

void TestOscDisplay::readoutsTwoChannels() {
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    o.ch2Box->click();
    choose(o.vBox2, 1); // 1V/dz: plot value = raw * 125 / 100
    choose(o.tBox, 9);  // 100us/dz, 50 ticks per sample
    std::vector<int> s = square(-400, 400, 0, 512);
    for (int i = 512; i < 1024; ++i)
        s[size_t(i)] = (i / 8) % 2 ? 320 : 0;
    page.draw(frameOf(s).get());
    QCOMPARE(o.rmsLabel1->text(), QString("CH1 RMS: 3.906V"));
    QCOMPARE(o.freqLabel1->text(), QString("CH1 Freq: 10.00kHz"));
    // 0 / 400 units of 1 V / 256: average 781.3 mV, RMS 1104.9 mV, 16-sample period.
    QCOMPARE(o.avgLabel2->text(), QString("CH2 Avg: 781.3mV"));
    QCOMPARE(o.rmsLabel2->text(), QString("CH2 RMS: 1.105V"));
    QCOMPARE(o.vppLabel2->text(), QString("CH2 Vpp: 1.563V"));
    QCOMPARE(o.freqLabel2->text(), QString("CH2 Freq: 20.00kHz"));
}

void TestOscDisplay::positionIsAppliedOnceAndNotMeasured() {
    Page page;
    Oscyloskop& o = page.osc;
    o.yPosBar1->setValue(-10);
    auto frame = frameOf(square(-400, 400));
    page.draw(frame.get());
    page.draw(frame.get());
    QCOMPARE(bufGraph[0], -400 + 40);
    QCOMPARE(bufGraph[16], 400 + 40);
    QCOMPARE(o.avgLabel1->text(), QString("CH1 Avg: 0.0mV"));
    QCOMPARE(page.pixel(12, 286 - 10 + 100), ch1);
}

void TestOscDisplay::heldPictureIgnoresPositionChanges() {
    Page page;
    Oscyloskop& o = page.osc;
    auto frame = frameOf(square(-400, 400));
    page.draw(frame.get());              // free run: a window
    choose(o.trigModeBox, 1);            // Norm, falling LF at level 0 ...
    o.trigLevelBox->setValue(38 * 1000); // ... far above the signal: no edge
    const QString rms = o.rmsLabel1->text();
    o.yPosBar1->setValue(-50);
    page.draw(frame.get());
    QCOMPARE(o.yPosLabel1->text(), QString("Ypos1: 50"));
    QCOMPARE(bufGraph[0], -400);
    QCOMPARE(page.pixel(12, 386), ch1);
    QCOMPARE(o.rmsLabel1->text(), rms);
}

void TestOscDisplay::gainCorrection_data() {
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("plot");
    QTest::addColumn<int>("row");
    QTest::newRow("2.5V/dz: 100 stays 100") << 0 << 100 << 100 << 261;
    QTest::newRow("1V/dz: 100 becomes 125") << 1 << 100 << 125 << 255;
    QTest::newRow("100mV/dz: 100 becomes 156") << 4 << 100 << 156 << 247;
    QTest::newRow("25mV/dz: -7 becomes -10") << 6 << -7 << -10 << 288;
}

void TestOscDisplay::gainCorrection() {
    QFETCH(int, gain);
    QFETCH(int, raw);
    QFETCH(int, plot);
    QFETCH(int, row);
    Page page;
    choose(page.osc.vBox1, gain);
    page.draw(frameOf(constant(raw)).get());
    QCOMPARE(bufGraph[100], plot);
    QCOMPARE(page.pixel(211, row), ch1);
}

void TestOscDisplay::twoChannelTraces() {
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    o.ch2Box->click();
    choose(o.trigModeBox, 1);
    choose(o.trigEdgeBox, 1); // Norm, rising LF, level 0
    std::vector<int> s(1024, 0);
    for (int i = 0; i < 512; ++i)
        s[size_t(i)] = 2 * i - 400; // channel 1 rises through 0 at 200
    for (int i = 512; i < 1024; ++i)
        s[size_t(i)] = i < 900 ? -200 : 600; // channel 2 steps at 900: never a trigger
    page.draw(frameOf(s).get());
    // The edge (index 199) sits under display sample 192.
    QCOMPARE(bufGraph[192], -2);
    QCOMPARE(bufGraph[193], 0);
    QCOMPARE(bufGraph2[0], -200);
    QCOMPARE(page.pixel(11 + 2 * 192, 286), ch1);
    QCOMPARE(page.pixel(11 + 2 * 50, 286 + 50), ch2);
    QCOMPARE(page.pixel(11 + 2 * 300, 286 + 50), ch2);
    QVERIFY(page.pixel(11 + 2 * 50, 286 + 71) == ch1); // 2*(7+50)-400 = -286 -> 71 px down
}

void TestOscDisplay::markers_data() {
    QTest::addColumn<int>("yPos1");
    QTest::addColumn<int>("xPos");
    QTest::addColumn<int>("levelRow");
    QTest::addColumn<int>("positionColumn");
    // Level from a click at y 186: 3846 mV, marker at 496 * (3846 / 38) / 500 = 100.4 px.
    QTest::newRow("centred") << 0 << 0 << 186 << 394;
    QTest::newRow("trace lowered by 50") << -50 << -100 << 236 << 194;
    QTest::newRow("right end") << 0 << 192 << 186 << 778;
}

void TestOscDisplay::markers() {
    QFETCH(int, yPos1);
    QFETCH(int, xPos);
    QFETCH(int, levelRow);
    QFETCH(int, positionColumn);
    Page page;
    Oscyloskop& o = page.osc;
    click(o, QPoint(394, 186), Qt::LeftButton, Qt::NoModifier);
    QCOMPARE(o.trigLevelBox->value(), 3846);
    o.yPosBar1->setValue(-yPos1);
    o.xPosBar->setValue(xPos);
    page.draw(frameOf(constant(-800)).get()); // the trace lies low, out of the way
    QCOMPARE(page.pixel(100, levelRow), marker);
    QCOMPARE(page.pixel(100, levelRow - 1), qRgb(0, 0, 0));
    QCOMPARE(page.pixel(positionColumn, 100), marker);
    QCOMPARE(page.pixel(positionColumn, 540), marker);
    QCOMPARE(page.pixel(positionColumn - 1, 100), qRgb(0, 0, 0));
}

void TestOscDisplay::timeCursors_data() {
    QTest::addColumn<int>("x1");
    QTest::addColumn<int>("x2");
    QTest::addColumn<int>("timeIndex"); // entry of the time/div box
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("freq");
    QTest::newRow("64 px at 400us/dz") << 200 << 264 << 7 << "Time: 400us"
                                       << "Freq: 2500Hz";
    QTest::newRow("reversed") << 264 << 200 << 7 << "Time: -400us"
                              << "Freq: 2500Hz";
    QTest::newRow("coincident") << 300 << 300 << 7 << "Time: 0.00us"
                                << "Freq: \u221EHz";
    QTest::newRow("whole plot at 100ms/dz") << 11 << 777 << 0 << "Time: 1197ms"
                                            << "Freq: 836mHz";
    QTest::newRow("one pixel at 16us/dz") << 100 << 101 << 12 << "Time: 0.25us"
                                          << "Freq: 4000.0kHz";
}

void TestOscDisplay::timeCursors() {
    QFETCH(int, x1);
    QFETCH(int, x2);
    QFETCH(int, timeIndex);
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    choose(o.tBox, timeIndex);
    o.timeCursorBox->click();
    click(o, QPoint(x1, 286), Qt::LeftButton, Qt::ShiftModifier);
    click(o, QPoint(x2, 286), Qt::RightButton, Qt::ShiftModifier);
    page.draw(frameOf(constant(0)).get());
    QTEST(o.cursorTimeLabel->text(), "time");
    QTEST(o.cursorFreqLabel->text(), "freq");
    QCOMPARE(page.pixel(x1, 100), cursor);
    QCOMPARE(page.pixel(x2, 500), cursor);
}

void TestOscDisplay::voltageCursors_data() {
    QTest::addColumn<int>("y1");
    QTest::addColumn<int>("y2");
    QTest::addColumn<int>("gain1");
    QTest::addColumn<int>("gain2");
    QTest::addColumn<bool>("two");
    QTest::addColumn<QString>("volt1");
    QTest::addColumn<QString>("volt2");
    QTest::newRow("64 px on 2.5V/dz") << 286 << 222 << 0 << 0 << false << "CH1 Voltage: 2500mV"
                                      << "Voltage: 0V";
    QTest::newRow("reversed") << 222 << 286 << 0 << 0 << false << "CH1 Voltage: -2500mV"
                              << "Voltage: 0V";
    QTest::newRow("two channels") << 300 << 101 << 6 << 1 << true << "CH1 Voltage: 77.7mV"
                                  << "CH2 Voltage: 3.11V";
}

void TestOscDisplay::voltageCursors() {
    QFETCH(int, y1);
    QFETCH(int, y2);
    QFETCH(int, gain1);
    QFETCH(int, gain2);
    QFETCH(bool, two);
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    if (two)
        o.ch2Box->click();
    choose(o.vBox1, gain1);
    choose(o.vBox2, gain2);
    o.yPosBar1->setValue(200); // the trace out of the way
    o.voltCursorBox->click();
    click(o, QPoint(300, y1), Qt::LeftButton, Qt::ShiftModifier);
    click(o, QPoint(400, y2), Qt::RightButton, Qt::ShiftModifier);
    page.draw(frameOf(constant(0)).get());
    QTEST(o.cursorVoltLabel1->text(), "volt1");
    QTEST(o.cursorVoltLabel2->text(), "volt2");
    QCOMPARE(page.pixel(700, y1), cursor);
    QCOMPARE(page.pixel(700, y2), cursor);
}

void TestOscDisplay::cursorReadoutsWithoutNewWindow() {
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    choose(o.trigModeBox, 1);
    o.trigLevelBox->setValue(38 * 1000); // nothing ever triggers
    o.timeCursorBox->click();
    click(o, QPoint(100, 286), Qt::LeftButton, Qt::ShiftModifier);
    click(o, QPoint(164, 286), Qt::RightButton, Qt::ShiftModifier);
    auto frame = frameOf(constant(0));
    page.draw(frame.get());
    QCOMPARE(o.cursorTimeLabel->text(), QString("Time: 400us"));
    click(o, QPoint(228, 286), Qt::RightButton, Qt::ShiftModifier);
    page.draw(frame.get());
    QCOMPARE(o.cursorTimeLabel->text(), QString("Time: 800us"));
    o.timeCursorBox->click(); // off: the text stays, the lines go
    page.draw(frame.get());
    QCOMPARE(o.cursorTimeLabel->text(), QString("Time: 800us"));
    QVERIFY(page.pixel(100, 100) != cursor);
}

void TestOscDisplay::singleHoldsThenLevelChangeCapturesAgain() {
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    choose(o.trigModeBox, 3); // Single, falling LF, level 0
    page.draw(frameOf(square(-400, 400)).get());
    QCOMPARE(o.vppLabel1->text(), QString("CH1 Vpp: 7.813V"));
    page.draw(frameOf(square(-200, 200)).get());
    QCOMPARE(o.vppLabel1->text(), QString("CH1 Vpp: 7.813V"));
    o.trigLevelBox->stepUp();
    page.draw(frameOf(square(-200, 200)).get());
    QCOMPARE(o.vppLabel1->text(), QString("CH1 Vpp: 3.906V"));
    page.draw(frameOf(square(-100, 100)).get());
    QCOMPARE(o.vppLabel1->text(), QString("CH1 Vpp: 3.906V"));
}

QTEST_MAIN(TestOscDisplay)
#include "tst_oscyloskop_display.moc"

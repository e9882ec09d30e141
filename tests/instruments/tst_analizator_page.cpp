// The spectrum analyser page on a plain host widget: controls, commands, readouts, max hold.
#include "analizator.h"
#include "buffer.h"
#include "mainwindow.h"
#include "oscyloskop.h"
#include "ptypair.h"
#include "zrvcom.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>
#include <cmath>
#include <memory>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A frame of `length` body bytes whose first 1024 samples are a sine of `cycles` periods.
std::unique_ptr<Buffer> sineFrame(double cycles, double amplitude, int length = 2048) {
    auto frame = std::make_unique<Buffer>();
    std::fill(std::begin(frame->data), std::end(frame->data), 0);
    for (int i = 0; i < 1024; ++i) {
        const int v = int(std::lround(amplitude * std::sin(2 * kPi * cycles * i / 1024)));
        const unsigned raw = unsigned(v) & 0xFFFFu;
        frame->data[2 * i] = uint8_t(raw & 0xFF);
        frame->data[2 * i + 1] = uint8_t(raw >> 8);
    }
    frame->length = length;
    frame->frameSize = 2048;
    return frame;
}

int peakBin(const Analizator& page) {
    const int* s = page.spectrum();
    int best = 2;
    for (int i = 2; i < 384; ++i)
        if (s[i] > s[best])
            best = i;
    return best;
}

double readoutValue(const QLabel* label, const QString& caption, const QString& unit) {
    const QString t = label->text();
    if (!t.startsWith(caption) || !t.endsWith(unit))
        return std::nan("");
    return t.mid(caption.size(), t.size() - caption.size() - unit.size()).toDouble();
}

struct Fixture {
    Fixture() : image(1028, 612, QImage::Format_ARGB32_Premultiplied) {
        host.resize(1028, 612);
        image.fill(Qt::gray);
    }
    void draw(Buffer* frame) { page.drawGraph(frame, &image); }
    int countPixels(bool (*match)(QRgb)) const {
        int count = 0;
        for (int y = 31; y < 542; ++y)
            for (int x = 11; x < 778; ++x)
                count += match(image.pixel(x, y)) ? 1 : 0;
        return count;
    }
    QWidget host;
    Analizator page{&host};
    QImage image;
};

// Steep trace segments are faint, so a colour counts by dominance, not brightness.
bool isRed(QRgb c) {
    return qRed(c) > 30 && qRed(c) > 2 * qBlue(c) && qRed(c) > 2 * qGreen(c);
}
bool isBlue(QRgb c) {
    return qBlue(c) > 30 && qBlue(c) > 2 * qRed(c) && qBlue(c) > 2 * qGreen(c);
}

} // namespace

class TestAnalizatorPage : public QObject {
    Q_OBJECT
private slots:
    void initialState();
    void showHideEnable();
    void startSendsModeGainTimeBase_data();
    void startSendsModeGainTimeBase();
    void spanChoice_data();
    void spanChoice();
    void rangeChoice_data();
    void rangeChoice();
    void programmaticChoiceSendsNothing();
    void offsetClamping_data();
    void offsetClamping();
    void readoutsBeforeFirstFrame();
    void readoutsOfASine();
    void frameLength_data();
    void frameLength();
    void offsetShiftsTheTrace();
    void maxHold();
    void holdTraceDrawnOnlyWhenChecked();
    void pointerReadout_data();
    void pointerReadout();

private:
    // Opens a link on a fresh pseudo-terminal and hands it to the page.
    bool link(PtyPair& pty, ZRVCom& com, Analizator& page) {
        if (!pty.isValid() || !com.Open(pty.slavePath(), 19, &buff))
            return false;
        page.com = &com;
        return true;
    }
};

void TestAnalizatorPage::initialState() {
    Fixture f;
    QCOMPARE(f.page.spanBox()->currentText(), QString("2.5kHz/dz"));
    QCOMPARE(f.page.spanBox()->count(), 13);
    QCOMPARE(f.page.timeBase, 7);
    QCOMPARE(f.page.rangeBox()->currentText(), QString("500mV"));
    QCOMPARE(f.page.rangeBox()->count(), 7);
    QCOMPARE(f.page.gain, 0);
    QCOMPARE(f.page.xPos, 0);
    QCOMPARE(f.page.offsetBar()->minimum(), -192);
    QCOMPARE(f.page.offsetBar()->maximum(), 192);
    QCOMPARE(f.page.maxHoldBox()->text(), QString("Max hold"));
    QVERIFY(!f.page.maxHoldBox()->isChecked());
    QCOMPARE(f.page.powerReadout()->text(), QString("Power: 0daB"));
    QCOMPARE(f.page.thdnReadout()->text(), QString("THD+N: 0daB"));
    QCOMPARE(f.page.spanBox()->parentWidget(), &f.host);
    QCOMPARE(f.page.thdnReadout()->parentWidget(), &f.host);
    QVERIFY(f.page.parent() == nullptr);
}

void TestAnalizatorPage::showHideEnable() {
    Fixture f;
    const QList<QWidget*> controls = {f.page.spanBox(),      f.page.rangeBox(),
                                      f.page.offsetBar(),    f.page.maxHoldBox(),
                                      f.page.powerReadout(), f.page.thdnReadout()};
    for (QWidget* w : controls)
        QVERIFY(!w->isEnabled());
    f.page.enable();
    for (QWidget* w : controls)
        QVERIFY(w->isEnabled());
    f.page.hide();
    for (QWidget* w : controls)
        QVERIFY(w->isHidden());
    f.page.show();
    for (QWidget* w : controls)
        QVERIFY(!w->isHidden());
    // Away and back again: everything is there, still enabled.
    f.page.hide();
    f.page.show();
    for (QWidget* w : controls)
        QVERIFY(!w->isHidden() && w->isEnabled());
}

void TestAnalizatorPage::startSendsModeGainTimeBase_data() {
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("range");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("defaults") << -1 << -1 << QByteArray("CAU0AS>A");
    QTest::newRow("62.5kHz/dz and 62.5mV") << 12 << 3 << QByteArray("CAU6AS4A");
    QTest::newRow("10Hz/dz and 7.8mV") << 0 << 6 << QByteArray("CAU<ASLA");
}

void TestAnalizatorPage::startSendsModeGainTimeBase() {
    QFETCH(int, span);
    QFETCH(int, range);
    QFETCH(QByteArray, expected);
    Fixture f;
    PtyPair pty;
    ZRVCom com;
    QVERIFY(link(pty, com, f.page));
    f.page.enable();
    if (span >= 0) {
        f.page.spanBox()->setCurrentIndex(span);
        emit f.page.spanBox()->activated(span);
    }
    if (range >= 0) {
        f.page.rangeBox()->setCurrentIndex(range);
        emit f.page.rangeBox()->activated(range);
    }
    const int choices = (span >= 0 ? 3 : 0) + (range >= 0 ? 3 : 0);
    QCOMPARE(pty.read(choices).size(), choices);

    f.page.start();
    QCOMPARE(pty.read(expected.size()), expected);
}

void TestAnalizatorPage::spanChoice_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("timeBase");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("10Hz/dz") << 0 << 14 << QByteArray("SLA");
    QTest::newRow("100Hz/dz") << 3 << 11 << QByteArray("SFA");
    QTest::newRow("2.5kHz/dz again") << 7 << 7 << QByteArray("S>A");
    QTest::newRow("62.5kHz/dz") << 12 << 2 << QByteArray("S4A");
}

void TestAnalizatorPage::spanChoice() {
    QFETCH(int, index);
    QFETCH(int, timeBase);
    QFETCH(QByteArray, expected);
    Fixture f;
    PtyPair pty;
    ZRVCom com;
    QVERIFY(link(pty, com, f.page));
    f.page.spanBox()->setCurrentIndex(index);
    emit f.page.spanBox()->activated(index);
    QCOMPARE(f.page.timeBase, timeBase);
    QCOMPARE(pty.read(expected.size()), expected);
}

void TestAnalizatorPage::rangeChoice_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("500mV") << 0 << QByteArray("U0A");
    QTest::newRow("62.5mV") << 3 << QByteArray("U6A");
    QTest::newRow("7.8mV") << 6 << QByteArray("U<A");
}

void TestAnalizatorPage::rangeChoice() {
    QFETCH(int, index);
    QFETCH(QByteArray, expected);
    Fixture f;
    PtyPair pty;
    ZRVCom com;
    QVERIFY(link(pty, com, f.page));
    f.page.rangeBox()->setCurrentIndex(index);
    emit f.page.rangeBox()->activated(index);
    QCOMPARE(f.page.gain, index);
    QCOMPARE(pty.read(expected.size()), expected);
}

void TestAnalizatorPage::programmaticChoiceSendsNothing() {
    // Only a user's choice sends; moving the offset bar or max hold never does.
    Fixture f;
    PtyPair pty;
    ZRVCom com;
    QVERIFY(link(pty, com, f.page));
    f.page.spanBox()->setCurrentIndex(2);
    f.page.rangeBox()->setCurrentIndex(5);
    f.page.offsetBar()->setValue(-50);
    f.page.maxHoldBox()->setChecked(true);
    com.laStart(); // sentinel
    QCOMPARE(pty.read(1), QByteArray("I"));
    QCOMPARE(f.page.timeBase, 7);
    QCOMPARE(f.page.gain, 0);
}

void TestAnalizatorPage::offsetClamping_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("xPos");
    QTest::newRow("-192") << -192 << -128;
    QTest::newRow("-129") << -129 << -128;
    QTest::newRow("-128") << -128 << -128;
    QTest::newRow("-37") << -37 << -37;
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("192") << 192 << 0;
    QTest::newRow("beyond the bar") << 500 << 0;
}

void TestAnalizatorPage::offsetClamping() {
    QFETCH(int, value);
    QFETCH(int, xPos);
    Fixture f;
    f.page.offsetBar()->setValue(-5); // away from 0 so every row changes the value
    f.page.offsetBar()->setValue(value);
    QCOMPARE(f.page.xPos, xPos);
}

void TestAnalizatorPage::readoutsBeforeFirstFrame() {
    Fixture f;
    auto none = sineFrame(0, 0, 0);
    f.draw(none.get());
    QCOMPARE(f.page.powerReadout()->text(), QString("Power: -infdaB"));
    QCOMPARE(f.page.thdnReadout()->text(), QString("THD+N: ---%"));
    for (int i = 0; i < 512; ++i)
        QCOMPARE(f.page.spectrum()[i], -1024);
    // The grid is drawn; nothing of the trace shows above the bottom edge.
    QCOMPARE(f.image.pixel(394, 100), QColor(10, 240, 10).rgb());
    QCOMPARE(f.countPixels(isBlue), 0);
}

void TestAnalizatorPage::readoutsOfASine() {
    Fixture f;
    const double amplitude = 16000.0;
    auto frame = sineFrame(64, amplitude);
    f.draw(frame.get());
    QCOMPARE(peakBin(f.page), 64);
    // Bins 63 .. 65 hold (A N / 2)^2 (0.54^2 + 2 * 0.23^2) between them.
    const double expectedDb = 10 * std::log10(std::pow(amplitude * 512, 2) * 0.3974);
    const double power = readoutValue(f.page.powerReadout(), "Power: ", "daB");
    QVERIFY2(std::abs(power - expectedDb) <= 0.06, qPrintable(f.page.powerReadout()->text()));
    QVERIFY(f.page.powerReadout()->text().contains(QRegularExpression("^Power: \\d+\\.\\ddaB$")));
    const double distortion = readoutValue(f.page.thdnReadout(), "THD+N: ", "%");
    QVERIFY2(distortion >= 0.0 && distortion < 2.0, qPrintable(f.page.thdnReadout()->text()));
    QVERIFY(f.page.thdnReadout()->text().contains(QRegularExpression("^THD\\+N: \\d+\\.\\d\\d%$")));
    QVERIFY(f.countPixels(isBlue) > 100);
}

void TestAnalizatorPage::frameLength_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("used");
    QTest::newRow("empty") << 0 << false;
    QTest::newRow("2047 bytes") << 2047 << false;
    QTest::newRow("2048 bytes") << 2048 << true;
    QTest::newRow("longer") << 5000 << true;
}

void TestAnalizatorPage::frameLength() {
    QFETCH(int, length);
    QFETCH(bool, used);
    Fixture f;
    auto first = sineFrame(40, 8000);
    f.draw(first.get());
    const QString power = f.page.powerReadout()->text();
    const QString distortion = f.page.thdnReadout()->text();
    QCOMPARE(peakBin(f.page), 40);

    auto second = sineFrame(90, 30000, length);
    f.draw(second.get());
    QCOMPARE(peakBin(f.page), used ? 90 : 40);
    QCOMPARE(f.page.powerReadout()->text() == power, !used);
    if (!used)
        QCOMPARE(f.page.thdnReadout()->text(), distortion);
}

void TestAnalizatorPage::offsetShiftsTheTrace() {
    Fixture f;
    auto frame = sineFrame(300, 8000);
    f.draw(frame.get());
    int unshifted[512];
    std::copy(f.page.spectrum(), f.page.spectrum() + 512, unshifted);
    const QString power = f.page.powerReadout()->text();

    f.page.offsetBar()->setValue(-150); // acts as -128
    f.draw(frame.get());
    for (int i = 0; i < 384; ++i)
        QCOMPARE(f.page.spectrum()[i], unshifted[i + 128]);
    QCOMPARE(peakBin(f.page), 300 - 128);
    QCOMPARE(f.page.powerReadout()->text(), power);
}

void TestAnalizatorPage::maxHold() {
    Fixture f;
    auto low = sineFrame(50, 20000);
    auto high = sineFrame(150, 20000);
    auto late = sineFrame(250, 20000);
    auto heldIsLive = [&f] {
        return std::equal(f.page.held(), f.page.held() + 512, f.page.spectrum());
    };
    auto chooseSpan = [&f](int index) {
        f.page.spanBox()->setCurrentIndex(index);
        emit f.page.spanBox()->activated(index);
    };

    f.page.maxHoldBox()->setChecked(true);
    for (int i = 0; i < 512; ++i)
        QCOMPARE(f.page.held()[i], -1024);
    f.draw(low.get());
    f.draw(high.get());
    const int peakLow = f.page.held()[50];
    const int peakHigh = f.page.held()[150];
    QVERIFY(peakLow > 500 && peakHigh > 500);
    QVERIFY(f.page.spectrum()[50] < peakLow - 500); // the live trace has moved on
    for (int i = 0; i < 512; ++i)
        QVERIFY(f.page.held()[i] >= f.page.spectrum()[i]);

    // A new offset or span restarts the hold: no peak of the old view stays.
    f.page.offsetBar()->setValue(-64);
    f.draw(high.get());
    QVERIFY(heldIsLive());
    f.draw(late.get());
    const int peakLate = f.page.held()[250 - 64];
    chooseSpan(3);
    f.draw(high.get());
    QVERIFY(heldIsLive());
    f.draw(late.get());
    chooseSpan(3); // the same span again: still the same view
    f.draw(high.get());
    QCOMPARE(f.page.held()[250 - 64], peakLate);

    // Unchecked: kept but no longer updated.
    auto other = sineFrame(350, 20000);
    const int before = f.page.held()[350 - 64];
    f.page.maxHoldBox()->setChecked(false);
    f.draw(other.get());
    QVERIFY(f.page.spectrum()[350 - 64] > before + 500);
    QCOMPARE(f.page.held()[350 - 64], before);
    QCOMPARE(f.page.held()[250 - 64], peakLate);

    // Checked again: restarted from the bottom edge.
    f.page.maxHoldBox()->setChecked(true);
    for (int i = 0; i < 512; ++i)
        QCOMPARE(f.page.held()[i], -1024);
    f.draw(low.get());
    QVERIFY(heldIsLive());
}

void TestAnalizatorPage::holdTraceDrawnOnlyWhenChecked() {
    Fixture f;
    auto frame = sineFrame(100, 20000);
    f.draw(frame.get());
    QVERIFY(f.countPixels(isBlue) > 100);
    QCOMPARE(f.countPixels(isRed), 0);

    // The held peak stays in red where the live trace has moved away from it.
    f.page.maxHoldBox()->setChecked(true);
    f.draw(frame.get());
    auto moved = sineFrame(200, 20000);
    f.image.fill(Qt::gray);
    f.draw(moved.get());
    QVERIFY(f.countPixels(isRed) > 100);

    f.page.maxHoldBox()->setChecked(false);
    f.image.fill(Qt::gray);
    f.draw(moved.get());
    QCOMPARE(f.countPixels(isRed), 0);
}

void TestAnalizatorPage::pointerReadout_data() {
    // The main window's readout over this page: hertz per division of the span, bins shifted by
    // the offset (2 px per bin), 10 dB per division.
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<double>("hertz");
    QTest::addColumn<double>("decibels");
    QTest::newRow("centre") << 7 << 0 << QPoint(394, 286) << 15000.0 << 0.0;
    QTest::newRow("62.5kHz/dz shifted") << 12 << -128 << QPoint(458, 222) << 687500.0 << 10.0;
    QTest::newRow("10Hz/dz, offset beyond its end")
        << 0 << -200 << QPoint(11, 541) << 40.15625 << -39.84375;
}

void TestAnalizatorPage::pointerReadout() {
    QFETCH(int, span);
    QFETCH(int, offset);
    QFETCH(QPoint, at);
    QFETCH(double, hertz);
    QFETCH(double, decibels);
    MainWindow window;
    window.tabBar()->setCurrentIndex(MainWindow::AnPage);
    Analizator* page = window.anPage();
    page->spanBox()->setCurrentIndex(span);
    emit page->spanBox()->activated(span);
    page->offsetBar()->setValue(offset);
    QTest::mousePress(&window, Qt::LeftButton, {}, at);
    QCOMPARE(window.readout1()->text(), "  F: " + Oscyloskop::value(hertz) + "Hz");
    QCOMPARE(window.readout2()->text(), "  U/Uz: " + Oscyloskop::value(decibels) + "dB");
    QTest::mouseRelease(&window, Qt::LeftButton, {}, at);
}

QTEST_MAIN(TestAnalizatorPage)
#include "tst_analizator_page.moc"

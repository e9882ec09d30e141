// The oscilloscope's automatic measurements (crossing scan, RMS, average, peak-to-peak,
// frequency), their readout texts and the engineering-prefix formatter.
#include "oscmeasure.h"
#include "oscyloskop.h"

#include <QtTest>
#include <cmath>
#include <limits>
#include <vector>

namespace {
// Square wave of 384 values: `low` for the first half of each period, `high` for the second
// (or the other way round when startHigh).
std::vector<int> square(int period, int low, int high, bool startHigh = false) {
    std::vector<int> s(384);
    for (int i = 0; i < 384; ++i) {
        const bool firstHalf = i % period < period / 2;
        s[i] = firstHalf != startHigh ? low : high;
    }
    return s;
}
} // namespace

class TestOscMeasure : public QObject {
    Q_OBJECT

private slots:
    void crossingScan_data();
    void crossingScan();
    void readouts_data();
    void readouts();
    void scanStopsAfter101Crossings();
    void sineWindowCoversWholePeriods();
    void rmsDoesNotOverflow();
    void voltageText_data();
    void voltageText();
    void frequencyText_data();
    void frequencyText();
    void value_data();
    void value();
};

void TestOscMeasure::crossingScan_data() {
    QTest::addColumn<QList<int>>("signal");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    auto list = [](const std::vector<int>& v) { return QList<int>(v.begin(), v.end()); };
    QTest::newRow("square starting low") << list(square(32, -400, 400)) << 12 << 16 << 368;
    QTest::newRow("square starting high") << list(square(32, -400, 400, true)) << 11 << 32 << 352;
    QTest::newRow("constant") << list(std::vector<int>(384, 250)) << 0 << 0 << 0;
    std::vector<int> once(384, -300);
    std::fill(once.begin() + 200, once.end(), 300);
    QTest::newRow("one crossing") << list(once) << 1 << 200 << 0;
    // highT uses the low threshold, not the minimum: min -400, max 400 give lowT -150,
    // highT 228, midT 39. A rise to 200 crosses midT but never re-arms through highT.
    std::vector<int> noRearm(384, -400);
    for (int i = 0; i < 384; ++i)
        if (i % 32 >= 16)
            noRearm[i] = 200;
    noRearm[383] = 400;
    QTest::newRow("rises below highT do not re-arm") << list(noRearm) << 1 << 16 << 0;
    std::vector<int> justAbove = noRearm;
    for (int& v : justAbove)
        if (v == 200)
            v = 229;
    QTest::newRow("rises just above highT re-arm") << list(justAbove) << 12 << 16 << 368;
}

void TestOscMeasure::crossingScan() {
    QFETCH(QList<int>, signal);
    QFETCH(int, count);
    QFETCH(int, first);
    QFETCH(int, last);
    const std::vector<int> s(signal.begin(), signal.end());
    const OscMeasure::Crossings c = OscMeasure::scan(s.data(), int(s.size()));
    QCOMPARE(c.count, count);
    if (count >= 1)
        QCOMPARE(c.first, first);
    if (count >= 2)
        QCOMPARE(c.last, last);
}

void TestOscMeasure::readouts_data() {
    QTest::addColumn<QList<int>>("signal");
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("timeBase");
    QTest::addColumn<QString>("rms");
    QTest::addColumn<QString>("avg");
    QTest::addColumn<QString>("vpp");
    QTest::addColumn<QString>("freq");
    auto list = [](const std::vector<int>& v) { return QList<int>(v.begin(), v.end()); };
    // A division of 256 plot units is what the V/div box names: 2.5 V at 2.5V/dz.
    QTest::newRow("square, 2.5V/dz, tb 7") << list(square(32, -400, 400)) << 0 << 7 << "3.906V"
                                           << "0.0mV"
                                           << "7.813V"
                                           << "2.500kHz";
    QTest::newRow("same square starting high")
        << list(square(32, -400, 400, true)) << 0 << 7 << "3.906V"
        << "0.0mV"
        << "7.813V"
        << "2.500kHz";
    QTest::newRow("offset square, 25mV/dz") << list(square(64, 0, 1000)) << 6 << 14 << "69.1mV"
                                            << "48.8mV"
                                            << "97.7mV"
                                            << "5.0Hz";
    QTest::newRow("large square, 1V/dz, tb 0") << list(square(8, -2000, 3000)) << 1 << 0 << "9.959V"
                                               << "1.953V"
                                               << "19.53V"
                                               << "250.00kHz";
    QTest::newRow("negative average in mV") << list(square(32, -800, 100)) << 0 << 7 << "5.567V"
                                            << "-3418.0mV"
                                            << "8.789V"
                                            << "2.500kHz";
    QTest::newRow("constant") << list(std::vector<int>(384, 0)) << 0 << 7 << "0.0mV"
                              << "0.0mV"
                              << "0.0mV"
                              << "0.0Hz";
    std::vector<int> once(384, -300);
    std::fill(once.begin() + 200, once.end(), 300);
    QTest::newRow("one crossing") << list(once) << 0 << 7 << "0.0mV"
                                  << "0.0mV"
                                  << "5.859V"
                                  << "0.0Hz";
    // The peak search starts at +-10000: a signal wholly above 10000 still reads from 10000.
    QTest::newRow("peak search start values")
        << list(std::vector<int>(384, 20000)) << 0 << 7 << "0.0mV"
        << "0.0mV"
        << "97.66V"
        << "0.0Hz";
    // 100mV/dz: a plot unit is 0.39 mV.
    QTest::newRow("small square") << list(square(32, -1, 2)) << 4 << 7 << "0.6mV"
                                  << "0.2mV"
                                  << "1.2mV"
                                  << "2.500kHz";
}

void TestOscMeasure::readouts() {
    QFETCH(QList<int>, signal);
    QFETCH(int, gain);
    QFETCH(int, timeBase);
    const std::vector<int> s(signal.begin(), signal.end());
    QTEST(Oscyloskop::calcRMS(s.data(), 384, gain), "rms");
    QTEST(Oscyloskop::calcAvg(s.data(), 384, gain), "avg");
    QTEST(Oscyloskop::calcVpp(s.data(), 384, gain), "vpp");
    QTEST(Oscyloskop::calcFreq(s.data(), 384, timeBase), "freq");
}

// Three-sample periods for the first 101 crossings, then four-sample periods: only the first
// 101 count, so the period reads 3 samples.
void TestOscMeasure::scanStopsAfter101Crossings() {
    std::vector<int> s;
    s.push_back(-100);
    for (int k = 0; k < 101; ++k)
        s.insert(s.end(), {100, 100, -100});
    while (s.size() < 384)
        s.insert(s.end(), {100, 100, 100, -100});
    s.resize(384);
    const OscMeasure::Crossings c = OscMeasure::scan(s.data(), 384);
    QCOMPARE(c.count, 101);
    QCOMPARE(c.first, 1);
    QCOMPARE(c.last, 301);
    QCOMPARE(OscMeasure::frequency(s.data(), 384, 7), 1 / (3 * 12.5e-6)); // 12.5 us samples
}

void TestOscMeasure::sineWindowCoversWholePeriods() {
    // 7.5 periods of 50 samples: the window spans whole periods, so the average is ~0 and the
    // RMS is amplitude / sqrt(2), although the window holds a half period more.
    std::vector<int> s(384);
    for (int i = 0; i < 384; ++i)
        s[i] = int(std::lround(1000 * std::sin(2 * M_PI * i / 50.0)));
    const double mV = OscMeasure::rms(s.data(), 384, 0);
    const double amplitude = 1000 * 2500.0 / 256; // mV: 2500 mV per 256 units at 2.5V/dz
    QVERIFY2(std::fabs(mV - amplitude / std::sqrt(2.0)) < 20, qPrintable(QString::number(mV)));
    QVERIFY(std::fabs(OscMeasure::average(s.data(), 384, 0)) < 10);
    const double hz = OscMeasure::frequency(s.data(), 384, 9); // 62.5 us per sample
    QVERIFY2(std::fabs(hz - 320) < 1, qPrintable(QString::number(hz)));
}

void TestOscMeasure::rmsDoesNotOverflow() {
    // The largest plot values (raw 32767 on 25mV/dz) squared exceed the int range.
    const std::vector<int> s = square(32, -51116, 51116);
    QCOMPARE(Oscyloskop::calcRMS(s.data(), 384, 6), QString("4.992V"));
    QCOMPARE(Oscyloskop::calcVpp(s.data(), 384, 6), QString("9.984V"));
}

void TestOscMeasure::voltageText_data() {
    QTest::addColumn<double>("mV");
    QTest::addColumn<QString>("text");
    QTest::newRow("10 V") << 10000.0 << "10.00V";
    QTest::newRow("just below 10 V") << 9999.0 << "9.999V";
    QTest::newRow("1 V") << 1000.0 << "1.000V";
    QTest::newRow("just below 1 V") << 999.94 << "999.9mV";
    QTest::newRow("zero") << 0.0 << "0.0mV";
    QTest::newRow("negative stays in mV") << -5000.0 << "-5000.0mV";
}

void TestOscMeasure::voltageText() {
    QFETCH(double, mV);
    QTEST(OscMeasure::voltageText(mV), "text");
}

void TestOscMeasure::frequencyText_data() {
    QTest::addColumn<double>("hz");
    QTest::addColumn<QString>("text");
    QTest::newRow("10 kHz") << 10000.0 << "10.00kHz";
    QTest::newRow("2560 Hz") << 2560.0 << "2.560kHz";
    QTest::newRow("1 kHz") << 1000.0 << "1.000kHz";
    QTest::newRow("999.9 Hz") << 999.9 << "999.9Hz";
    QTest::newRow("zero") << 0.0 << "0.0Hz";
}

void TestOscMeasure::frequencyText() {
    QFETCH(double, hz);
    QTEST(OscMeasure::frequencyText(hz), "text");
}

void TestOscMeasure::value_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0.00u";
    QTest::newRow("2.9999") << 2.9999 << "3000m";
    QTest::newRow("-0.5") << -0.5 << "-500m";
    QTest::newRow("30000") << 30000.0 << "30.0k";
    QTest::newRow("-45000") << -45000.0 << "-45.0k";
    QTest::newRow("29999") << 29999.0 << "30.00k";
    QTest::newRow("3000") << 3000.0 << "3.00k";
    QTest::newRow("2999") << 2999.0 << "2999";
    QTest::newRow("300") << 300.0 << "300";
    QTest::newRow("30") << 30.0 << "30.0";
    QTest::newRow("-31.26") << -31.26 << "-31.3";
    QTest::newRow("3") << 3.0 << "3.00";
    QTest::newRow("0.3") << 0.3 << "300m";
    QTest::newRow("0.03") << 0.03 << "30.0m";
    QTest::newRow("0.003") << 0.003 << "3.00m";
    QTest::newRow("0.0004") << 0.0004 << "400u";
    QTest::newRow("0.0003") << 0.0003 << "300u";
    QTest::newRow("0.00003") << 0.00003 << "30.0u";
    QTest::newRow("0.000001") << 0.000001 << "1.00u";
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << "\u221E";
    QTest::newRow("minus infinite") << -std::numeric_limits<double>::infinity() << "-\u221E";
    QTest::newRow("undefined") << std::numeric_limits<double>::quiet_NaN() << "?";
}

void TestOscMeasure::value() {
    QFETCH(double, x);
    QTEST(Oscyloskop::value(x), "text");
}

QTEST_GUILESS_MAIN(TestOscMeasure)
#include "tst_oscyloskop_measure.moc"

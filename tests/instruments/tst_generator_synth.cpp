#include "gensynth.h"
#include "spectrum.h"

#include <QtTest>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr int unwritten = -9999;
}

// The generator's arithmetic without a window: shapes, resampling, expression results, mouse
// lines, the frequency plan and the noise spectra.
class TestGeneratorSynth : public QObject {
    Q_OBJECT
private slots:
    void sine_data();
    void sine();
    void sineHasNoFullNegativeScale();
    void square_data();
    void square();
    void triangle_data();
    void triangle();
    void resampleScales_data();
    void resampleScales();
    void resampleTwoPoints();
    void arbitraryOffsetAccumulates();
    void tableValue_data();
    void tableValue();
    void lineArb_data();
    void lineArb();
    void lineArbWrapsAtTableEnd();
    void planFrequency_data();
    void planFrequency();
    void planFrequencyNeverEmpty();
    void previewStretchesPlayedTable();
    void previewWithStartOffsetStaysInTable();
    void noiseFullScaleAndOffset_data();
    void noiseFullScaleAndOffset();
    void noiseSpectrum_data();
    void noiseSpectrum();
};

void TestGeneratorSynth::sine_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expected");
    QTest::newRow("peak clamped") << 0 << 0 << 2047;
    QTest::newRow("quarter truncates to 0") << 0 << 128 << 0;
    QTest::newRow("trough 254") << 0 << 254 << -2047;
    QTest::newRow("trough 256") << 0 << 256 << -2047;
    QTest::newRow("trough 258") << 0 << 258 << -2047;
    QTest::newRow("eighth") << 0 << 64 << 1448;
    QTest::newRow("offset raises quarter") << 300 << 128 << 300;
    QTest::newRow("offset clamps peak") << 300 << 0 << 2047;
    QTest::newRow("negative offset clamps trough") << -1200 << 256 << -2048;
}

void TestGeneratorSynth::sine() {
    QFETCH(int, offset);
    QFETCH(int, index);
    QFETCH(int, expected);
    int wave[gen::tableSize];
    gen::synthSine(wave, offset);
    QCOMPARE(wave[index], expected);
}

void TestGeneratorSynth::sineHasNoFullNegativeScale() {
    int wave[gen::tableSize];
    gen::synthSine(wave, 0);
    QCOMPARE(*std::min_element(wave, wave + gen::tableSize), -2047);
    QCOMPARE(*std::max_element(wave, wave + gen::tableSize), 2047);
}

void TestGeneratorSynth::square_data() {
    QTest::addColumn<int>("duty");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("highPoints");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::newRow("50 %") << 50 << 0 << 256 << 2047 << -2048;
    QTest::newRow("1 %") << 1 << 0 << 5 << 2047 << -2048;
    QTest::newRow("99 %") << 99 << 0 << 506 << 2047 << -2048;
    QTest::newRow("offset 1200") << 50 << 1200 << 256 << 2047 << -848;
    QTest::newRow("offset -1200") << 50 << -1200 << 256 << 847 << -2048;
}

void TestGeneratorSynth::square() {
    QFETCH(int, duty);
    QFETCH(int, offset);
    QFETCH(int, highPoints);
    QFETCH(int, high);
    QFETCH(int, low);
    QCOMPARE(gen::dutyPoints(duty), highPoints);
    int wave[gen::tableSize];
    gen::synthSquare(wave, gen::dutyPoints(duty), offset);
    for (int i = 0; i < gen::tableSize; ++i)
        QCOMPARE(wave[i], i < highPoints ? high : low);
}

void TestGeneratorSynth::triangle_data() {
    QTest::addColumn<int>("duty");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expected");
    QTest::newRow("50 % start") << 50 << 0 << -2048;
    QTest::newRow("50 % apex clamped") << 50 << 256 << 2047;
    QTest::newRow("50 % last point") << 50 << 511 << -2032;
    QTest::newRow("50 % rising middle") << 50 << 128 << 0;
    QTest::newRow("1 % apex") << 1 << 5 << 2047;
    QTest::newRow("1 % falling") << 1 << 6 << 2039;
    QTest::newRow("99 % apex") << 99 << 506 << 2047;
}

void TestGeneratorSynth::triangle() {
    QFETCH(int, duty);
    QFETCH(int, index);
    QFETCH(int, expected);
    int wave[gen::tableSize];
    gen::synthTriangle(wave, gen::dutyPoints(duty), 0);
    QCOMPARE(wave[index], expected);
}

void TestGeneratorSynth::resampleScales_data() {
    QTest::addColumn<int>("gain");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::newRow("unity") << 1250 << 2047 << -2048;
    QTest::newRow("zero") << 0 << 0 << 0;
    QTest::newRow("3000 clamped") << 3000 << 2047 << -2048;
    QTest::newRow("half") << 625 << 1023 << -1024;
}

void TestGeneratorSynth::resampleScales() {
    QFETCH(int, gain);
    QFETCH(int, high);
    QFETCH(int, low);
    int wave[gen::tableSize], out[gen::tableSize];
    gen::synthSquare(wave, 256, 0);
    gen::resample(wave, out, gen::tableSize, gain);
    for (int j = 0; j < gen::tableSize; ++j)
        QCOMPARE(out[j], j < 256 ? high : low);
}

void TestGeneratorSynth::resampleTwoPoints() {
    int wave[gen::tableSize];
    for (int i = 0; i < gen::tableSize; ++i)
        wave[i] = i * 3 - 700;
    int out[gen::tableSize];
    std::fill(out, out + gen::tableSize, 12345);
    gen::resample(wave, out, 2, 2500);
    QCOMPARE(out[0], wave[0] * 2);
    QCOMPARE(out[1], wave[256] * 2);
    QCOMPARE(out[2], 12345); // entries past the played length keep older values
}

void TestGeneratorSynth::arbitraryOffsetAccumulates() {
    int wave[gen::tableSize];
    for (int i = 0; i < gen::tableSize; ++i)
        wave[i] = i * 8 - 2048;
    for (int pass = 0; pass < 3; ++pass)
        gen::shiftArbitrary(wave, 100);
    QCOMPARE(wave[0], -1748);
    QCOMPARE(wave[200], 200 * 8 - 2048 + 300);
    QCOMPARE(wave[511], 2047); // 2040 + 300 stops at full scale
    int huge[gen::tableSize];
    std::fill(huge, huge + gen::tableSize, INT_MAX);
    gen::shiftArbitrary(huge, 1200); // loaded numbers may be far out of range
    QCOMPARE(huge[0], 2047);
}

void TestGeneratorSynth::tableValue_data() {
    QTest::addColumn<float>("result");
    QTest::addColumn<int>("expected");
    QTest::newRow("0.9997") << 0.9997f << 2047;
    QTest::newRow("0.9995 truncates") << 0.9995f << 2046;
    QTest::newRow("-1.5") << -1.5f << -2048;
    QTest::newRow("-1") << -1.0f << -2048;
    QTest::newRow("0.5") << 0.5f << 1024;
    QTest::newRow("-0.5") << -0.5f << -1024;
    QTest::newRow("NaN") << std::nanf("") << 0;
    QTest::newRow("+inf") << INFINITY << 2047;
    QTest::newRow("-inf") << -INFINITY << -2048;
}

void TestGeneratorSynth::tableValue() {
    QFETCH(float, result);
    QFETCH(int, expected);
    QCOMPARE(gen::tableValue(result), expected);
}

void TestGeneratorSynth::lineArb_data() {
    QTest::addColumn<int>("x0");
    QTest::addColumn<int>("y0");
    QTest::addColumn<int>("x1");
    QTest::addColumn<int>("y1");
    QTest::addColumn<QVector<int>>("columns");
    QTest::addColumn<QVector<int>>("values"); // unwritten: a column the line must not touch
    QTest::newRow("mostly vertical")
        << 100 << 0 << 104 << 800 << QVector<int>{100, 101, 102, 103, 104}
        << QVector<int>{100, 300, 500, 700, 800};
    QTest::newRow("mostly horizontal")
        << 100 << 0 << 104 << 2 << QVector<int>{100, 101, 102, 103, 104}
        << QVector<int>{unwritten, 0, 1, 1, 2};
    QTest::newRow("leftwards") << 104 << 0 << 100 << -4 << QVector<int>{100, 101, 102, 103, 104}
                               << QVector<int>{-4, -3, -2, -1, unwritten};
    QTest::newRow("single point") << 50 << 7 << 50 << 7 << QVector<int>{50}
                                  << QVector<int>{unwritten};
    QTest::newRow("straight down")
        << 20 << 10 << 20 << 0 << QVector<int>{19, 20, 21} << QVector<int>{unwritten, 0, unwritten};
}

void TestGeneratorSynth::lineArb() {
    QFETCH(int, x0);
    QFETCH(int, y0);
    QFETCH(int, x1);
    QFETCH(int, y1);
    QFETCH(QVector<int>, columns);
    QFETCH(QVector<int>, values);
    int table[gen::tableSize];
    std::fill(table, table + gen::tableSize, unwritten);
    ::lineArb(table, gen::tableSize, x0, y0, x1, y1);
    for (int k = 0; k < columns.size(); ++k)
        QCOMPARE(table[columns[k]], values[k]);
}

void TestGeneratorSynth::lineArbWrapsAtTableEnd() {
    // Columns past 511 (the preview of the next period) draw onto the start of the table.
    int table[gen::tableSize];
    std::fill(table, table + gen::tableSize, unwritten);
    ::lineArb(table, gen::tableSize, 600, 0, 603, 3);
    QCOMPARE(table[88], unwritten); // column 600, the start
    QCOMPARE(table[89], 1);
    QCOMPARE(table[90], 2);
    QCOMPARE(table[91], 3);
}

void TestGeneratorSynth::planFrequency_data() {
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("divider");
    QTest::addColumn<int>("achieved");
    QTest::newRow("440") << 440 << 512 << 142 << 440;
    QTest::newRow("1000") << 1000 << 512 << 62 << 1008;
    QTest::newRow("1953") << 1953 << 512 << 32 << 1953;
    QTest::newRow("1954") << 1954 << 510 << 32 << 1960;
    QTest::newRow("3000") << 3000 << 332 << 32 << 3012;
    QTest::newRow("12345") << 12345 << 80 << 32 << 12500;
    QTest::newRow("333333") << 333333 << 2 << 48 << 333333;
    QTest::newRow("499999") << 499999 << 2 << 32 << 500000;
    // Exact first candidates are kept.
    QTest::newRow("500000 exact") << 500000 << 2 << 32 << 500000;
    QTest::newRow("5000 exact") << 5000 << 200 << 32 << 5000;
    QTest::newRow("1 Hz exact") << 1 << 512 << 62500 << 1;
    QTest::newRow("32 Hz") << 32 << 512 << 1953 << 32;
}

void TestGeneratorSynth::planFrequency() {
    QFETCH(int, requested);
    QFETCH(int, tabs);
    QFETCH(int, divider);
    QFETCH(int, achieved);
    const gen::FreqPlan plan = gen::planFrequency(requested);
    QCOMPARE(plan.tabs, tabs);
    QCOMPARE(plan.divider, divider);
    QCOMPARE(plan.achieved, achieved);
}

void TestGeneratorSynth::planFrequencyNeverEmpty() {
    // Every settable frequency gives an even table of 2..512 points, a divider the 16-bit
    // command can carry, and a played frequency within 1/31 of the request.
    for (int f = gen::minFreq; f <= gen::maxFreq; ++f) {
        const gen::FreqPlan plan = gen::planFrequency(f);
        if (plan.tabs < 2 || plan.tabs > 512 || plan.tabs % 2 || plan.divider < 32 ||
            plan.divider > 0xFFFF || std::abs(plan.achieved - f) > f / 31 + 1)
            QFAIL(qPrintable(QStringLiteral("%1 Hz -> %2 points, divider %3, %4 Hz")
                                 .arg(f)
                                 .arg(plan.tabs)
                                 .arg(plan.divider)
                                 .arg(plan.achieved)));
    }
    const gen::FreqPlan below = gen::planFrequency(0), above = gen::planFrequency(600000);
    QCOMPARE(below.achieved, 1);
    QCOMPARE(above.achieved, 500000);
}

void TestGeneratorSynth::previewStretchesPlayedTable() {
    int wave[gen::tableSize], out[gen::tableSize], plot[gen::previewSize];
    gen::synthSquare(wave, 256, 0);
    gen::previewMaster(wave, plot);
    QCOMPARE(plot[0], 1023);
    QCOMPARE(plot[300], -1024);
    QCOMPARE(plot[600], 1023); // the next period starts at column 512
    // 4 played points stretched over 512 columns: 128 columns each.
    for (int j = 0; j < 4; ++j)
        out[j] = (j + 1) * 100;
    gen::previewOutput(out, 4, 0, 0, plot);
    QCOMPARE(plot[0], 50);
    QCOMPARE(plot[127], 50);
    QCOMPARE(plot[128], 100);
    QCOMPARE(plot[511], 200);
    QCOMPARE(plot[512], 50);
    QCOMPARE(plot[767], 100);
}

void TestGeneratorSynth::previewWithStartOffsetStaysInTable() {
    int out[gen::tableSize] = {};
    for (int j = 0; j < 8; ++j)
        out[j] = j * 2;
    int plot[gen::previewSize];
    std::fill(plot, plot + gen::previewSize, 777);
    gen::previewOutput(out, 8, 100, 5, plot);
    QCOMPARE(plot[99], 777); // columns before the start are left alone
    // Column 100 is point 1 of the table, shifted back by 100 points: (1 - 100) mod 8 = 5.
    QCOMPARE(plot[100], 5 + 5);
    for (int p = 100; p < gen::previewSize; ++p)
        QVERIFY(plot[p] >= 5 && plot[p] <= 5 + 7);
}

void TestGeneratorSynth::noiseFullScaleAndOffset_data() {
    QTest::addColumn<bool>("pink");
    QTest::newRow("white") << false;
    QTest::newRow("pink") << true;
}

void TestGeneratorSynth::noiseFullScaleAndOffset() {
    QFETCH(bool, pink);
    int shape[gen::tableSize], again[gen::tableSize], other[gen::tableSize];
    gen::synthNoise(shape, pink, 1234);
    gen::synthNoise(again, pink, 1234);
    gen::synthNoise(other, pink, 4321);
    QVERIFY(std::equal(shape, shape + gen::tableSize, again));
    QVERIFY(!std::equal(shape, shape + gen::tableSize, other));
    int peak = 0;
    long long sum = 0;
    for (int v : shape) {
        peak = std::max(peak, std::abs(v));
        sum += v;
    }
    QCOMPARE(peak, 2047);
    QVERIFY(std::abs(sum) < gen::tableSize); // no DC: mean below one count
    int wave[gen::tableSize];
    gen::applyOffset(shape, wave, 500);
    for (int i = 0; i < gen::tableSize; ++i)
        QCOMPARE(wave[i], gen::clampSample(shape[i] + 500LL));
}

namespace {
// Power per harmonic of one period, measured with the analyser's windowed transform over two
// periods (harmonic k of the period falls on bin 2k).
std::vector<double> harmonicPower(const int* shape) {
    constexpr int m = 10, n = 1 << m, tableLen = 1024;
    static double table[tableLen / 4 + n];
    for (int k = 0; k < tableLen / 4 + n; ++k)
        table[k] = std::sin(2 * M_PI * k / tableLen);
    static double re[n], im[n];
    for (int i = 0; i < n; ++i) {
        re[i] = shape[i % gen::tableSize];
        im[i] = 0;
    }
    windowedButterflies(re, im, m, table, tableLen);
    std::vector<double> power(gen::tableSize / 2, 0.0);
    for (int k = 1; k < gen::tableSize / 2; ++k) {
        const int b = reverse(2 * k, m);
        power[k] = re[b] * re[b] + im[b] * im[b];
    }
    return power;
}

double bandMean(const std::vector<double>& power, int from, int to) {
    double sum = 0;
    for (int k = from; k < to; ++k)
        sum += power[k];
    return sum / (to - from);
}
} // namespace

void TestGeneratorSynth::noiseSpectrum_data() {
    QTest::addColumn<bool>("pink");
    QTest::addColumn<double>("slopeDbPerOctave");
    QTest::newRow("white is flat") << false << 0.0;
    QTest::newRow("pink falls 3 dB per octave") << true << -3.0;
}

void TestGeneratorSynth::noiseSpectrum() {
    QFETCH(bool, pink);
    QFETCH(double, slopeDbPerOctave);
    for (uint32_t seed : {1u, 77u, 0xDEADBEEFu}) {
        int shape[gen::tableSize];
        gen::synthNoise(shape, pink, seed);
        const std::vector<double> power = harmonicPower(shape);
        // Mean power per harmonic in the octaves 8..16, 16..32, 32..64 and 64..128.
        const double ref = bandMean(power, 8, 16);
        for (int octave = 1; octave <= 3; ++octave) {
            const int from = 8 << octave;
            const double db = 10 * std::log10(bandMean(power, from, 2 * from) / ref);
            const double expected = slopeDbPerOctave * octave;
            if (std::fabs(db - expected) > 1.0)
                QFAIL(qPrintable(QStringLiteral("seed %1, octave %2: %3 dB, expected %4 dB")
                                     .arg(seed)
                                     .arg(octave)
                                     .arg(db)
                                     .arg(expected)));
        }
        // Nothing at DC: the table swings around its centre.
        QVERIFY(power[1] > 0);
    }
}

QTEST_GUILESS_MAIN(TestGeneratorSynth)
#include "tst_generator_synth.moc"

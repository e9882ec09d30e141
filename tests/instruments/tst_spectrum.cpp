// The spectrum analyser's numeric core: transform, bit reversal, decibels, THD+N, plot mapping.
#include "analizator.h"
#include "spectrum.h"

#include <QtTest>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The page's table: one and a quarter periods of a 1024-point circle, pi taken as 3.14159.
std::vector<double> pageTable() {
    std::vector<double> t(1280);
    for (int k = 0; k < 1280; ++k)
        t[k] = std::sin(3.14159 * 2 * k / 1024);
    return t;
}

// A table of an n-point circle with the quarter period the transform needs on top.
std::vector<double> circleTable(int n) {
    std::vector<double> t(n + n / 4);
    for (int k = 0; k < int(t.size()); ++k)
        t[k] = std::sin(2 * kPi * k / n);
    return t;
}

// Straightforward O(N^2) transform of the Hamming-windowed input, full-precision pi.
std::vector<std::complex<double>> referenceDft(const std::vector<double>& x) {
    const int n = int(x.size());
    std::vector<std::complex<double>> out(n);
    for (int k = 0; k < n; ++k) {
        std::complex<double> sum = 0;
        for (int i = 0; i < n; ++i) {
            const double w = 0.54 - 0.46 * std::cos(2 * kPi * i / n);
            const double angle = -2 * kPi * double((long(k) * i) % n) / n;
            sum += x[i] * w * std::complex<double>(std::cos(angle), std::sin(angle));
        }
        out[k] = sum;
    }
    return out;
}

// A sine of `amplitude` that completes `cycles` periods in 1024 samples.
std::vector<double> sine(double cycles, double amplitude, double phase = 0.0) {
    std::vector<double> x(1024);
    for (int i = 0; i < 1024; ++i)
        x[i] = amplitude * std::sin(2 * kPi * cycles * i / 1024 + phase);
    return x;
}

struct Spectrum {
    std::vector<double> power, level;
    double total;
};

Spectrum transform(std::vector<double> x) {
    const std::vector<double> table = pageTable();
    std::vector<double> im(1024, 12345.0); // garbage: the transform must clear it
    const double total = Analizator::fft(x.data(), im.data(), 10, table.data(), 1024);
    return {x, im, total};
}

// The transform exactly as defined, one butterfly at a time with the twiddle walk
// k <- reverse(reverse(k) + 1): the fast version must match it bit for bit.
void literalButterflies(double* re, double* im, int m, const double* table, int tableLen) {
    const int n = 1 << m, quarter = tableLen / 4;
    for (int i = 0; i < n; ++i) {
        re[i] = re[i] * (0.54 - 0.46 * table[quarter + i]);
        im[i] = 0.0;
    }
    for (int s = 0; s < m; ++s) {
        const int span = n / (1 << (s + 1));
        int k = 0;
        for (int g = 0; g < (1 << s); ++g) {
            const double sn = table[k], cs = table[k + quarter];
            for (int j = 0; j < span; ++j) {
                const int u = 2 * span * g + j, l = u + span;
                const double tRe = re[l] * cs + im[l] * sn;
                const double tIm = im[l] * cs - re[l] * sn;
                re[l] = re[u] - tRe;
                im[l] = im[u] - tIm;
                re[u] = re[u] + tRe;
                im[u] = im[u] + tIm;
            }
            k = reverse(reverse(k, m - 1) + 1, m - 1);
        }
    }
}

int peakBin(const std::vector<double>& power, int from, int to) {
    int best = from;
    for (int i = from; i < to; ++i)
        if (power[i] > power[best])
            best = i;
    return best;
}

} // namespace

class TestSpectrum : public QObject {
    Q_OBJECT
private slots:
    void reverseBits_data();
    void reverseBits();
    void reversedCounting();
    void twiddleWalkOfEightPoints();
    void decabelValues_data();
    void decabelValues();
    void sameBitsAsOneButterflyAtATime_data();
    void sameBitsAsOneButterflyAtATime();
    void matchesReferenceTransform_data();
    void matchesReferenceTransform();
    void impulseGivesFlatSpectrum();
    void allZeroInput();
    void binCentredSine_data();
    void binCentredSine();
    void harmonicThdn_data();
    void harmonicThdn();
    void thdnOnPowerTables_data();
    void thdnOnPowerTables();
    void thdnClearsTheRightBins();
    void thdnStaysInsideItsBins_data();
    void thdnStaysInsideItsBins();
    void plotMapping_data();
    void plotMapping();
    void plotOffset_data();
    void plotOffset();
    void readoutSpelling_data();
    void readoutSpelling();
};

void TestSpectrum::reverseBits_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("expected");
    QTest::newRow("1 in 3 bits") << 1 << 3 << 4;
    QTest::newRow("3 in 3 bits") << 3 << 3 << 6;
    QTest::newRow("6 in 3 bits") << 6 << 3 << 3;
    QTest::newRow("higher bits ignored") << 9 << 3 << 4;
    QTest::newRow("1 in 10 bits") << 1 << 10 << 512;
    QTest::newRow("0x2F0 in 10 bits") << 0x2F0 << 10 << 0x03D;
    QTest::newRow("palindrome") << 0x201 << 10 << 0x201;
    QTest::newRow("negative keeps its low bits") << -1 << 4 << 15;
    QTest::newRow("zero bits") << 5 << 0 << 0;
    QTest::newRow("negative bits") << 5 << -2 << 0;
}

void TestSpectrum::reverseBits() {
    QFETCH(int, value);
    QFETCH(int, bits);
    QFETCH(int, expected);
    QCOMPARE(reverse(value, bits), expected);
}

void TestSpectrum::reversedCounting() {
    for (int bits = 0; bits <= 10; ++bits) {
        const int count = 1 << bits;
        for (int k = 0; k < count; ++k)
            QCOMPARE(nextReversed(k, bits), reverse(reverse(k, bits) + 1, bits));
    }
}

void TestSpectrum::twiddleWalkOfEightPoints() {
    // Stage walks of an 8-point transform: 0 | 0 2 | 0 2 1 3.
    const QVector<int> expected = {0, 0, 2, 0, 2, 1, 3};
    QVector<int> walk;
    for (int s = 0; s < 3; ++s)
        for (int g = 0, k = 0; g < (1 << s); ++g, k = nextReversed(k, 2))
            walk << k;
    QCOMPARE(walk, expected);

    // Output slot i holds bin reverse(i, 3): slot 1 has bin 4, slot 3 bin 6.
    const std::vector<double> table = circleTable(8);
    const std::vector<double> x = {3, -1, 4, 1, -5, 9, 2, -6};
    const auto ref = referenceDft(x);
    std::vector<double> re = x, im(8);
    windowedButterflies(re.data(), im.data(), 3, table.data(), 8);
    for (int i = 0; i < 8; ++i) {
        const std::complex<double> want = ref[reverse(i, 3)];
        QVERIFY2(std::abs(std::complex<double>(re[i], im[i]) - want) < 1e-9,
                 qPrintable(QString("slot %1").arg(i)));
    }
    // Differently ordered outputs really differ, so the order check above has teeth.
    QVERIFY(std::abs(ref[1] - ref[4]) > 1.0 && std::abs(ref[3] - ref[6]) > 1.0);
}

void TestSpectrum::decabelValues_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");
    QTest::newRow("one") << 1.0 << 0.0;
    QTest::newRow("hundred") << 100.0 << 20.0;
    QTest::newRow("thousandth") << 0.001 << -30.0;
    QTest::newRow("zero") << 0.0 << -inf;
}

void TestSpectrum::decabelValues() {
    QFETCH(double, x);
    QFETCH(double, expected);
    QCOMPARE(decabel(x), expected);
}

void TestSpectrum::sameBitsAsOneButterflyAtATime_data() {
    QTest::addColumn<int>("m");
    for (int m = 0; m <= 10; ++m)
        QTest::newRow(qPrintable(QString("%1 points").arg(1 << m))) << m;
}

void TestSpectrum::sameBitsAsOneButterflyAtATime() {
    QFETCH(int, m);
    const int n = 1 << m;
    // The page's 1024-point table serves every size up to 1024 points with tableLen 1024.
    const std::vector<double> table = m == 10 ? pageTable() : circleTable(n < 4 ? 4 : n);
    const int tableLen = m == 10 ? 1024 : (n < 4 ? 4 : n);
    std::mt19937 gen(unsigned(100 + m));
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<double> re(n), im(n, 5.0);
    for (double& v : re)
        v = dist(gen);
    std::vector<double> re2 = re, im2 = im;

    windowedButterflies(re.data(), im.data(), m, table.data(), tableLen);
    literalButterflies(re2.data(), im2.data(), m, table.data(), tableLen);
    QVERIFY(std::memcmp(re.data(), re2.data(), sizeof(double) * size_t(n)) == 0);
    QVERIFY(std::memcmp(im.data(), im2.data(), sizeof(double) * size_t(n)) == 0);
}

void TestSpectrum::matchesReferenceTransform_data() {
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<double>("amplitude");
    QTest::newRow("full scale") << 1u << 32767.0;
    QTest::newRow("small") << 2u << 3.0;
    QTest::newRow("another full scale") << 77u << 32767.0;
}

void TestSpectrum::matchesReferenceTransform() {
    QFETCH(unsigned, seed);
    QFETCH(double, amplitude);
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-amplitude, amplitude);
    std::vector<double> x(1024);
    for (double& v : x)
        v = std::round(dist(gen));

    const auto ref = referenceDft(x);
    const Spectrum got = transform(x);

    double peak = 0.0, lowerHalf = 0.0;
    for (int k = 0; k < 1024; ++k)
        peak = std::max(peak, std::norm(ref[k]));
    for (int k = 0; k < 512; ++k)
        lowerHalf += std::norm(ref[k]);
    for (int k = 0; k < 1024; ++k) {
        const double want = std::norm(ref[k]);
        // One plot unit is 1/26 dB; the shortened pi alone costs a few thousandths of a dB.
        QVERIFY2(std::abs(got.power[k] - want) <= 1e-4 * peak &&
                     std::abs(decabel(got.power[k] / want)) < 0.01,
                 qPrintable(QString("bin %1: %2 vs %3").arg(k).arg(got.power[k]).arg(want)));
        QCOMPARE(got.level[k], decabel(got.power[k]));
    }
    QVERIFY(std::abs(got.total - decabel(lowerHalf)) < 1e-3);
}

void TestSpectrum::impulseGivesFlatSpectrum() {
    std::vector<double> x(1024, 0.0);
    x[0] = 1000.0;
    const Spectrum got = transform(x);
    // The window is 0.08 at sample 0.
    for (int k = 0; k < 1024; ++k)
        QVERIFY2(std::abs(got.power[k] / (80.0 * 80.0) - 1.0) < 1e-9,
                 qPrintable(QString::number(k)));
    QVERIFY(std::abs(got.total - decabel(512 * 6400.0)) < 1e-9);
}

void TestSpectrum::allZeroInput() {
    const Spectrum got = transform(std::vector<double>(1024, 0.0));
    for (int k = 0; k < 1024; ++k) {
        QCOMPARE(got.power[k], 0.0);
        QCOMPARE(got.level[k], -inf);
    }
    QCOMPARE(got.total, -inf);
    std::vector<double> power = got.power;
    QVERIFY(std::isnan(thdn(power.data(), 512, got.total)));

    int plot[512];
    Analizator::adjustGraph(plot, got.level.data(), 0);
    for (int v : plot)
        QCOMPARE(v, -1024);
}

void TestSpectrum::binCentredSine_data() {
    QTest::addColumn<int>("bin");
    QTest::addColumn<double>("phase");
    QTest::newRow("bin 3") << 3 << 0.0;
    QTest::newRow("bin 100") << 100 << 0.7;
    QTest::newRow("bin 400") << 400 << 2.0;
    QTest::newRow("bin 511") << 511 << 1.0;
}

void TestSpectrum::binCentredSine() {
    QFETCH(int, bin);
    QFETCH(double, phase);
    const double amplitude = 20000.0;
    const Spectrum got = transform(sine(bin, amplitude, phase));

    QCOMPARE(peakBin(got.power, 2, 512), bin);
    // Hamming gain 0.54 at the bin itself: |X| = 0.54 * A * N / 2.
    const double expected = std::pow(0.54 * amplitude * 512, 2);
    QVERIFY(std::abs(got.power[bin] / expected - 1.0) < 1e-4);
    // Its neighbours carry the main lobe (0.23 of the peak's amplitude), which thdn removes.
    QVERIFY(got.power[bin - 1] > 0.15 * 0.15 * expected);

    std::vector<double> power = got.power;
    const double distortion = thdn(power.data(), 512, got.total);
    for (int j = bin - 3; j <= std::min(bin + 2, 511); ++j)
        QCOMPARE(power[j], 0.0);
    QCOMPARE(power[0], 0.0);
    QCOMPARE(power[1], 0.0);
    // What remains is leakage from the shortened pi, about -110 dB; a neighbour left in would
    // give over 20 %.
    QVERIFY2(distortion >= 0.0 && distortion < 1.0, qPrintable(QString::number(distortion)));
}

void TestSpectrum::harmonicThdn_data() {
    QTest::addColumn<double>("ratio"); // harmonic amplitude over the fundamental's
    QTest::addColumn<double>("percent");
    // The rest's amplitude against the whole signal, fundamental included.
    QTest::newRow("40 dB down: 1 %") << 0.01 << 1.0;
    QTest::newRow("sin(wt) + sin(3wt)/3") << 1.0 / 3 << 31.62;
}

void TestSpectrum::harmonicThdn() {
    QFETCH(double, ratio);
    QFETCH(double, percent);
    std::vector<double> x = sine(50, 20000.0);
    const std::vector<double> h = sine(150, 20000.0 * ratio, 0.3);
    for (int i = 0; i < 1024; ++i)
        x[i] += h[i];
    Spectrum got = transform(x);
    const double distortion = thdn(got.power.data(), 512, got.total);
    QVERIFY2(std::abs(distortion - percent) < 0.01, qPrintable(QString::number(distortion)));
}

void TestSpectrum::thdnOnPowerTables_data() {
    QTest::addColumn<QVector<double>>("layout"); // pairs: bin, power
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("totalDb");
    QTest::addColumn<double>("expected");

    const double onePercent = 1.0;
    // Residual 100 against a total of 60 dB: 40 dB down, 1 %.
    QTest::newRow("six bins around the peak removed")
        << QVector<double>{100, 1e6, 97, 5e5, 98, 5e5, 99, 5e5, 101, 5e5, 102, 5e5, 300, 100} << 512
        << 60.0 << onePercent;
    QTest::newRow("fourth bin below and third above count")
        << QVector<double>{100, 1e6, 96, 60, 103, 40} << 512 << 60.0 << onePercent;
    QTest::newRow("DC bins never count")
        << QVector<double>{0, 1e9, 1, 1e9, 40, 1e6, 200, 100} << 512 << 60.0 << onePercent;
    QTest::newRow("equal peaks: the lower one is the fundamental")
        << QVector<double>{30, 1e4, 60, 1e4, 31, 1e2} << 512 << 80.0 << onePercent;
    QTest::newRow("peak at bin 2 removes bins 0 to 4")
        << QVector<double>{2, 1e6, 3, 1e5, 4, 1e5, 5, 100} << 512 << 60.0 << onePercent;
    QTest::newRow("peak at bin 511")
        << QVector<double>{511, 1e6, 508, 1e5, 507, 100} << 512 << 60.0 << onePercent;
    QTest::newRow("peak at bin 510")
        << QVector<double>{510, 1e6, 507, 1e5, 512, 1e9, 506, 100} << 512 << 60.0 << onePercent;
    QTest::newRow("nothing left: 0 %") << QVector<double>{10, 1e6} << 512 << 60.0 << 0.0;
    QTest::newRow("no bins") << QVector<double>{} << 0 << 60.0 << -1.0;
}

void TestSpectrum::thdnOnPowerTables() {
    QFETCH(QVector<double>, layout);
    QFETCH(int, n);
    QFETCH(double, totalDb);
    QFETCH(double, expected);

    std::vector<double> power(1024, 0.0);
    for (int i = 0; i + 1 < layout.size(); i += 2)
        power[int(layout[i])] = layout[i + 1];
    const double got = thdn(power.data(), n, totalDb);
    if (expected == 0.0 || expected == -1.0)
        QCOMPARE(got, expected);
    else
        QVERIFY2(std::abs(got / expected - 1.0) < 1e-9,
                 qPrintable(QString("%1 vs %2").arg(got).arg(expected)));
}

void TestSpectrum::thdnClearsTheRightBins() {
    std::vector<double> power(1024);
    for (int i = 0; i < 1024; ++i)
        power[i] = 1.0 + i % 7;
    power[200] = 1e6;
    thdn(power.data(), 512, 60.0);
    for (int i = 0; i < 1024; ++i) {
        const bool cleared = i < 2 || (i >= 197 && i <= 202);
        QCOMPARE(power[i], cleared ? 0.0 : 1.0 + i % 7);
    }
}

void TestSpectrum::thdnStaysInsideItsBins_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("peak");
    QTest::newRow("peak on the last bin") << 512 << 511;
    QTest::newRow("peak one below") << 512 << 510;
    QTest::newRow("single bin") << 1 << 0;
    QTest::newRow("three bins") << 3 << 2;
}

void TestSpectrum::thdnStaysInsideItsBins() {
    // Exactly n entries on the heap: a write past them is caught by the address sanitiser, and
    // the guard entries of a longer array must keep their values.
    QFETCH(int, n);
    QFETCH(int, peak);
    std::vector<double> exact(n, 1.0);
    exact[peak] = 1e6;
    const double got = thdn(exact.data(), n, 60.0);
    QVERIFY(got >= 0.0);

    std::vector<double> guarded(n + 2, 1.0);
    guarded[peak] = 1e6;
    thdn(guarded.data(), n, 60.0);
    QCOMPARE(guarded[n], 1.0);
    QCOMPARE(guarded[n + 1], 1.0);
}

void TestSpectrum::plotMapping_data() {
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("expected");
    QTest::newRow("top edge 122 dB") << 122.0 << 1024;
    QTest::newRow("above the top is kept") << 130.0 << 1232;
    QTest::newRow("truncated toward zero, not down") << 82.6 << 0;
    QTest::newRow("below centre") << 82.5 << -3;
    QTest::newRow("bottom edge exactly") << 1124.0 / 26.0 << -1024;
    QTest::newRow("slightly above the bottom edge") << 1124.0 / 26.0 + 1e-6 << -1023;
    QTest::newRow("below the bottom edge") << 10.0 << -1024;
    QTest::newRow("minus infinity") << -inf << -1024;
    QTest::newRow("not a number") << notANumber << -1024;
    QTest::newRow("plus infinity stays far above the top") << inf << (1 << 20);
}

void TestSpectrum::plotMapping() {
    QFETCH(double, level);
    QFETCH(int, expected);
    std::vector<double> levels(1024, level);
    int plot[512];
    Analizator::adjustGraph(plot, levels.data(), 0);
    for (int v : plot)
        QCOMPARE(v, expected);
}

void TestSpectrum::plotOffset_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("firstBin");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("-1") << -1 << 1;
    QTest::newRow("-128") << -128 << 128;
    QTest::newRow("below -128 acts as -128") << -500 << 128;
    QTest::newRow("above 0 acts as 0") << 7 << 0;
}

void TestSpectrum::plotOffset() {
    QFETCH(int, offset);
    QFETCH(int, firstBin);
    // Level of bin b is b dB, so bin b maps to 26 b - 2148 (visible from bin 44 on).
    std::vector<double> levels(1024);
    for (int b = 0; b < 1024; ++b)
        levels[b] = b;
    int plot[512];
    Analizator::adjustGraph(plot, levels.data(), offset);
    for (int i = 0; i < 512; ++i) {
        const int bin = firstBin + i;
        QCOMPARE(plot[i], std::max(-1024, 26 * bin - 2148));
    }
}

void TestSpectrum::readoutSpelling_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("power") << 123.456 << 1 << "123.5";
    QTest::newRow("negative") << -1.0 << 2 << "-1.00";
    QTest::newRow("small percentage") << 0.004 << 2 << "0.00";
    QTest::newRow("minus infinity") << -inf << 1 << "-inf";
    QTest::newRow("plus infinity") << inf << 1 << "inf";
    QTest::newRow("not a number") << notANumber << 2 << "---";
}

void TestSpectrum::readoutSpelling() {
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(readoutNumber(value, decimals), expected);
}

QTEST_GUILESS_MAIN(TestSpectrum)
#include "tst_spectrum.moc"

// The spectrum analyser page: the transform against a plain DFT, the butterflies bit for bit
// against a literal version, THD+N on known signals, and the bytes its controls send.
#include "frames.h"
#include "instruments/runbuttons.h"
#include "instruments/spectrum/analizator.h"
#include "instruments/spectrum/spectrum.h"
#include "linerig.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>
#include <complex>
#include <functional>
#include <random>
#include <vector>

using Action = std::function<void(Analizator&)>;
Q_DECLARE_METATYPE(Action)

namespace {
constexpr double kPi = 3.14159265358979323846;

// The page's table: one and a quarter periods of a 1024-point circle, pi taken as 3.14159.
std::vector<double> pageTable() {
    std::vector<double> t(1280);
    for (int k = 0; k < 1280; ++k)
        t[size_t(k)] = std::sin(3.14159 * 2 * k / 1024);
    return t;
}

// Plain O(N^2) transform of the Hamming-windowed input, full-precision pi.
std::vector<std::complex<double>> referenceDft(const std::vector<double>& x) {
    const int n = int(x.size());
    std::vector<std::complex<double>> out(x.size());
    for (int k = 0; k < n; ++k)
        for (int i = 0; i < n; ++i) {
            const double w = 0.54 - 0.46 * std::cos(2 * kPi * i / n);
            out[size_t(k)] += x[size_t(i)] * w * std::polar(1.0, -2 * kPi * ((k * i) % n) / n);
        }
    return out;
}

// The transform as defined, one butterfly at a time, twiddle walk k <- reverse(reverse(k) + 1).
void literalButterflies(double* re, double* im, int m, const double* table, int tableLen) {
    const int n = 1 << m, quarter = tableLen / 4;
    for (int i = 0; i < n; ++i) {
        re[i] = re[i] * (0.54 - 0.46 * table[quarter + i]);
        im[i] = 0.0;
    }
    for (int s = 0; s < m; ++s) {
        const int span = n / (1 << (s + 1));
        for (int g = 0, k = 0; g < (1 << s);
             ++g, k = core::reverse(core::reverse(k, m - 1) + 1, m - 1)) {
            const double sn = table[k], cs = table[k + quarter];
            for (int u = 2 * span * g; u < 2 * span * g + span; ++u) {
                const int l = u + span;
                const double tRe = re[l] * cs + im[l] * sn, tIm = im[l] * cs - re[l] * sn;
                re[l] = re[u] - tRe;
                im[l] = im[u] - tIm;
                re[u] = re[u] + tRe;
                im[u] = im[u] + tIm;
            }
        }
    }
}

// Full-scale random samples, whole numbers as the device's.
std::vector<double> noise(unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<double> x(1024);
    for (double& v : x)
        v = dist(gen);
    return x;
}

// A frame body holding a tone in bin `bin`.
QByteArray toneBody(int bin) {
    return sineBody(bin, 9000);
}

// Bins of the max hold within 3 dB of its strongest line.
QList<int> heldLines(const SpectrumProcessor& p) {
    const double* held = p.result().holdLevels;
    const double top = *std::max_element(held, held + SpectrumProcessor::plotLen);
    QList<int> bins;
    for (int i = 0; std::isfinite(top) && i < SpectrumProcessor::plotLen; ++i)
        if (held[i] >= top - 3)
            bins << i;
    return bins;
}

// A sine of `cycles` periods in 1024 samples plus, optionally, a harmonic.
std::vector<double> sine(double cycles, double amplitude, double harmonic = 0.0) {
    std::vector<double> x(1024);
    for (int i = 0; i < 1024; ++i)
        x[size_t(i)] = amplitude * (std::sin(2 * kPi * cycles * i / 1024 + 0.7) +
                                    harmonic * std::sin(2 * kPi * 3 * cycles * i / 1024));
    return x;
}
} // namespace

class TestAnalizator : public QObject {
    Q_OBJECT
private slots:
    void matchesPlainDft() {
        const std::vector<double> x = noise(1), table = pageTable();
        const auto ref = referenceDft(x);
        std::vector<double> power = x, im(1024, 12345.0); // garbage in im: the transform clears it
        const double total =
            SpectrumProcessor::fft(power.data(), im.data(), 10, table.data(), 1024);
        double lowerHalf = 0.0, peak = 0.0;
        for (const auto& bin : ref)
            peak = std::max(peak, std::norm(bin));
        for (size_t k = 0; k < 1024; ++k) {
            const double want = std::norm(ref[k]);
            lowerHalf += k < 512 ? want : 0.0;
            QVERIFY2(std::abs(power[k] - want) <= 1e-4 * peak &&
                         std::abs(core::decabel(power[k] / want)) < 0.01,
                     qPrintable(QString("bin %1: %2 vs %3").arg(k).arg(power[k]).arg(want)));
            QCOMPARE(im[k], core::decabel(power[k]));
        }
        QVERIFY(std::abs(total - core::decabel(lowerHalf)) < 1e-3);
    }

    // Every size from 2 to 1024 points: each takes its own mix of vector and scalar stages.
    void sameBitsAsOneButterflyAtATime() {
        const std::vector<double> table = pageTable();
        for (int m = 1; m <= 10; ++m) {
            std::vector<double> re = noise(110), im(1024, 5.0), re2 = re, im2 = im;
            core::windowedButterflies(re.data(), im.data(), m, table.data(), 1024);
            literalButterflies(re2.data(), im2.data(), m, table.data(), 1024);
            QVERIFY2(re == re2 && im == im2, qPrintable(QString::number(1 << m)));
        }
    }

    void thdnOfKnownSignals_data() {
        QTest::addColumn<int>("bin");
        QTest::addColumn<double>("harmonic"); // third harmonic over the fundamental
        QTest::addColumn<double>("percent");  // the rest against the whole signal
        QTest::newRow("clean sine, bin 100: only leakage") << 100 << 0.0 << 0.0;
        QTest::newRow("40 dB down: 1 %") << 50 << 0.01 << 1.0;
        QTest::newRow("sin(wt) + sin(3wt)/3") << 50 << 1.0 / 3 << 31.62;
    }

    void thdnOfKnownSignals() {
        QFETCH(int, bin);
        QFETCH(double, harmonic);
        QFETCH(double, percent);
        const std::vector<double> table = pageTable();
        std::vector<double> power = sine(bin, 20000.0, harmonic), im(1024);
        const double total =
            SpectrumProcessor::fft(power.data(), im.data(), 10, table.data(), 1024);
        const double got = core::thdn(power.data(), 512, total);
        QVERIFY2(std::abs(got - percent) < 0.02, qPrintable(QString::number(got)));
    }

    // Frames and settings changes in turn; afterwards the max hold holds the lines listed. Steps: a
    // number is a frame with a tone in that bin; H and h turn the hold on and off; T, G and X
    // change the span, the range and the offset; R starts the page again.
    void maxHold_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<int>>("lines");
        using L = QList<int>;
        QTest::newRow("the highest of every bin") << "H 100 200" << L{100, 200};
        QTest::newRow("nothing held before it is on") << "100 H 200" << L{200};
        QTest::newRow("a new span starts again") << "H 100 T 200" << L{200};
        QTest::newRow("a new range starts again") << "H 100 G 200" << L{200};
        QTest::newRow("a new offset starts again") << "H 100 X 200" << L{200};
        QTest::newRow("off keeps it, unchanged") << "H 100 h 200" << L{100};
        QTest::newRow("on again starts again") << "H 100 h H 200" << L{200};
        QTest::newRow("a start clears it") << "H 100 R 300" << L{300};
    }

    void maxHold() {
        QFETCH(QString, steps);
        SpectrumProcessor p;
        SpectrumSettings s;
        p.setSettings(s);
        for (const QString& step : steps.split(' ')) {
            const QByteArray body = toneBody(step.toInt());
            if (step == "R")
                p.restart();
            else if (step[0].isDigit())
                p.process(reinterpret_cast<const uint8_t*>(body.constData()), body.size());
            else {
                s.hold = step == "H" || (s.hold && step != "h");
                s.timeBase = step == "T" ? 9 : s.timeBase;
                s.gain = step == "G" ? 3 : s.gain;
                s.xPos = step == "X" ? -40 : s.xPos;
                p.setSettings(s);
            }
        }
        QTEST(heldLines(p), "lines");
        // The held trace draws the held level of each line at its column (26 units a dB, 0 at
        // 2148/26 dB).
        const int* held = p.result().holdGraph;
        for (const int line : heldLines(p))
            QCOMPARE(held[line + p.settings().xPos], int(26 * p.result().holdLevels[line] - 2148));
    }

    // The spectrum of the oscilloscope's last frame, still on the line when the page started, and
    // a frame completing sooner after the start than one of the page's own can: neither reaches the
    // hold or the readouts; before the first frame of its own the page reads "---".
    void framesOfOtherSettingsAreDropped() {
        PageRig<Analizator> rig;
        QVERIFY(rig.opened);
        Analizator& page = rig.page;
        page.widgets().holdBox->setChecked(true);
        page.start();
        const qint64 started = Clock::nowNs();
        QTRY_COMPARE(page.widgets().powerLabel->text(), QStringLiteral("Power: ---"));
        QCOMPARE(page.widgets().thdnLabel->text(), QStringLiteral("THD+N: ---"));
        const QByteArray old = toneBody(40), early = toneBody(60), own = toneBody(100);
        page.takeFrame(frameOf(old, started - 50 * Clock::ms, started + 50 * Clock::ms));
        // At 2.5kHz/dz a frame takes 12.8 ms of samples and 178 ms on the line at 115 200 bit/s.
        page.takeFrame(frameOf(early, started + 1 * Clock::ms, started + 150 * Clock::ms));
        QVERIFY(!page.processor().result().hasFrame);
        page.takeFrame(lateFrame(own));
        QCOMPARE(heldLines(page.processor()), QList<int>{100});
        QTRY_VERIFY(page.widgets().powerLabel->text().endsWith("daB"));
    }

    // Stopped, the spectrum and its readouts stay while frames come; Single takes the next frame
    // of a capture made after the click, then stops.
    void stoppedAndSingle() {
        PageRig<Analizator> rig;
        QVERIFY(rig.opened);
        Analizator& page = rig.page;
        page.start();
        const auto peakBin = [&] {
            const double* l = page.processor().result().levels;
            return int(std::max_element(l, l + SpectrumProcessor::plotLen) - l);
        };
        RunButtons* run = page.widgets().run;
        page.takeFrame(lateFrame(toneBody(40)));
        QCOMPARE(peakBin(), 40);
        run->runStopButton()->click();
        page.takeFrame(lateFrame(toneBody(60)));
        QCOMPARE(peakBin(), 40);
        QCOMPARE(run->stateLabel()->text(), QStringLiteral("Stop"));
        QTRY_VERIFY(page.widgets().powerLabel->text().endsWith("daB")); // numbers of the frozen one
        run->singleButton()->click();
        QCOMPARE(run->stateLabel()->text(), QStringLiteral("Armed"));
        const qint64 now = Clock::nowNs();
        page.takeFrame(frameOf(toneBody(60), now - Clock::ms, now + Clock::second)); // began before
        QCOMPARE(peakBin(), 40);
        page.takeFrame(lateFrame(toneBody(80)));
        QCOMPARE(peakBin(), 80);
        QCOMPARE(run->stateLabel()->text(), QStringLiteral("Stop"));
        page.takeFrame(lateFrame(toneBody(100)));
        QCOMPARE(peakBin(), 80);
        run->runStopButton()->click();
        page.takeFrame(lateFrame(toneBody(100)));
        QCOMPARE(peakBin(), 100);
    }

    void rememberedSettings() {
        QWidget host;
        Analizator page(&host, nullptr);
        choose(page.widgets().taBox, 2);
        choose(page.widgets().vaBox, 5);
        page.widgets().xPosBar->setValue(-60);
        page.widgets().holdBox->setChecked(true);
        Analizator back(&host, nullptr);
        const QMap<QString, QString> want = {{"spectrum/span", "2"},
                                             {"spectrum/range", "5"},
                                             {"spectrum/offset", "-60"},
                                             {"spectrum/maxHold", "1"}};
        QCOMPARE(remembered(page, back), want);
        const SpectrumSettings& b = back.settings();
        QVERIFY(b.timeBase == 12 && b.gain == 5 && b.xPos == -60 && b.hold);
    }

    void bytesSent_data() {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char* name, const char* b, Action a) {
            QTest::newRow(name) << a << QByteArray(b);
        };
        row("start", "CAU0AS>A", [](Analizator& a) { a.start(); });
        // Spans from 10Hz/dz (time base 14) to 62.5kHz/dz (time base 2).
        row("span 10Hz/dz", "SLA", [](Analizator& a) { choose(a.widgets().taBox, 0); });
        row("span 62.5kHz/dz", "S4A", [](Analizator& a) { choose(a.widgets().taBox, 12); });
        row("range 62.5mV", "U6A", [](Analizator& a) { choose(a.widgets().vaBox, 3); });
        row("span and range, then start", "S4AU<ACAU<AS4A", [](Analizator& a) {
            choose(a.widgets().taBox, 12), choose(a.widgets().vaBox, 6), a.start();
        });
        row("offset and max hold send nothing", "", [](Analizator& a) {
            a.widgets().xPosBar->setValue(-50), a.widgets().holdBox->setChecked(true);
        });
    }

    void bytesSent() {
        QFETCH(Action, action);
        PageRig<Analizator> rig;
        action(rig.page);
        QTEST(rig.sent(), "bytes");
    }
};

QTEST_MAIN(TestAnalizator)
#include "tst_analizator.moc"

// The spectrum analyser page: the transform against a plain DFT, the butterflies bit for bit
// against a literal version, the figures, windows, averaging and dBV on known signals, and the
// bytes its controls send.
#include "frames.h"
#include "instruments/oscilloscope/oscmeasure.h"
#include "instruments/oscilloscope/oscscale.h"
#include "instruments/runbuttons.h"
#include "instruments/spectrum/analizator.h"
#include "instruments/spectrum/spectrum.h"
#include "linerig.h"
#include "plot/graph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>
#include <complex>
#include <functional>
#include <random>
#include <vector>

using Action = std::function<void(Analizator&)>;
Q_DECLARE_METATYPE(Action)
// A test tone: `cycles` in the frame, `amplitude` counts, a third harmonic and a line at 2.5
// times its frequency (over the tone), noise of `sigma` counts rms, quantised in `step` counts.
struct Tone {
    double cycles, amplitude, h3, spur, sigma, step;
};
Q_DECLARE_METATYPE(Tone)

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

// The result of one frame through a processor of the settings `set` makes.
const SpectrumResult& analysed(const QByteArray& body,
                               const std::function<void(SpectrumSettings&)>& set) {
    static SpectrumProcessor p;
    SpectrumSettings s;
    set(s);
    p.setSettings(s);
    p.restart();
    p.process(reinterpret_cast<const uint8_t*>(body.constData()), body.size());
    return p.result();
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

    // Figures against the truth of the frame itself: its rounded samples less the tone (and its
    // harmonic) synthesised. A 1008 Hz sine at every span (aliased where the span is narrow;
    // "---" where its lobe reaches the DC lobe), tones on and between bins, a harmonic, a spur,
    // a 10-bit quantised sine.
    void figures_data() {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<Tone>("tone");
        QTest::addColumn<bool>("known");
        for (int tb = 2; tb <= 14; ++tb) {
            const double cycles = 1008.0 * 1024 * OscScale::timeAt(tb) / 16e6;
            const double bin = std::fabs(cycles - 1024 * std::round(cycles / 1024));
            QTest::addRow("1008 Hz, time base %d", tb)
                << tb << Tone{cycles, 16000, 0, 0, 70, 1} << (bin > 9.5 && bin < 506.5);
        }
        QTest::newRow("on a bin") << 7 << Tone{100, 16000, 0, 0, 20, 1} << true;
        QTest::newRow("half a bin off") << 7 << Tone{100.5, 16000, 0, 0, 20, 1} << true;
        QTest::newRow("3rd harmonic -40 dB") << 9 << Tone{50.3, 16000, 0.01, 0, 2, 1} << true;
        QTest::newRow("spur -60 dB") << 9 << Tone{80.6, 16000, 0, 0.001, 2, 1} << true;
        QTest::newRow("10 bits") << 9 << Tone{77.77, 32700, 0, 0, 0, 64} << true;
    }

    void figures() {
        QFETCH(int, timeBase);
        QFETCH(Tone, tone);
        QFETCH(bool, known);
        const auto [cycles, amplitude, h3, spur, sigma, step] = tone;
        std::mt19937 gen(timeBase);
        std::normal_distribution<double> noise(0.0, sigma);
        double power = 0, rest = 0, noiseOnly = 0;
        const QByteArray body = scopeBody(
            [&, cycles = cycles, amplitude = amplitude, h3 = h3, spur = spur, step = step](int i) {
                const double f = amplitude * std::sin(2 * kPi * cycles * i / 1024 + 0.3);
                const double h = amplitude * h3 * std::sin(2 * kPi * 3 * cycles * i / 1024);
                const double s = amplitude * spur * std::sin(2 * kPi * 2.5 * cycles * i / 1024);
                const double x = step * std::round((f + h + s + noise(gen)) / step);
                power += f * f, rest += (x - f) * (x - f), noiseOnly += (x - f - h) * (x - f - h);
                return int(x);
            });
        const SpectrumResult& r =
            analysed(body, [&](SpectrumSettings& s) { s.timeBase = timeBase; });
        for (const Reading* x : {&r.thd, &r.thdn, &r.snr, &r.sinad, &r.sfdr, &r.enob})
            QVERIFY(x->has_value() == known);
        if (!known)
            return;
        const double thdn = 100 * std::sqrt(rest / (power + rest));
        QVERIFY(std::fabs(*r.thdn / thdn - 1) < 0.2);
        QVERIFY(std::fabs(*r.snr - 10 * std::log10(power / noiseOnly)) < 0.5);
        const double enob = (10 * std::log10(power / rest) - 1.76) / 6.02;
        QVERIFY(std::fabs(*r.enob - enob) < 0.1);
        QVERIFY(h3 == 0 || std::fabs(*r.thd - 100 * h3) <= 0.05);
        QVERIFY(spur == 0 || std::fabs(*r.sfdr + 20 * std::log10(spur)) <= 1);
    }

    // A tone's level is its true one in every window, less at most the window's scallop loss;
    // the peak readout is the true level and frequency wherever the tone falls, its line drawn
    // brightest. In dBFS a sine
    // whose peaks reach 32767 reads 0 dB; in dBV the oscilloscope's RMS of the same samples.
    void windows_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<double>("offset");  // bins from a bin centre
        QTest::addColumn<double>("scallop"); // dB at half a bin off
        QTest::addColumn<int>("gain");       // dBV at this gain; dBFS for -1
        QTest::addColumn<double>("bin");     // the bin centre nearest the tone
        QTest::addColumn<int>("dc");         // offset, raw counts
        const double loss[] = {1.7514, 1.4236, 0.8256, 0.0098};
        for (int w = 0; w < core::windows; ++w)
            for (const double offset : {0.0, 0.3, 0.5})
                QTest::addRow("window %d, %.1f bin", w, offset)
                    << w << offset << loss[w] << (offset == 0.3 ? 2 * w : -1) << 100.0 << 0;
        // Near DC the offset's lobe overlaps the tone's, which must not take it in.
        for (const double offset : {0.0, 0.4})
            QTest::addRow("bin 6, %.1f bin, offset", offset)
                << 2 << offset << loss[2] << -1 << 6.0 << 12000;
    }

    void windows() {
        QFETCH(int, window);
        QFETCH(double, offset);
        QFETCH(double, scallop);
        QFETCH(int, gain);
        QFETCH(double, bin);
        QFETCH(int, dc);
        const QByteArray body =
            dc == 0 ? sineBody(bin + offset, 10000) : scopeBody([&](int i) {
                return int(std::lround(dc + 10000 * std::sin(2 * kPi * (bin + offset) * i / 1024)));
            });
        int raw[1024];
        samplesOfFrame(reinterpret_cast<const uint8_t*>(body.constData()), raw);
        const double truth =
            gain < 0 ? 20 * std::log10(10000.0 / 32767)
                     : 20 * std::log10(*OscMeasure::measure(raw, 1024, 0, 1024, gain, 7).rms);
        const SpectrumResult& r = analysed(body, [&](SpectrumSettings& s) {
            s.window = core::Window(window), s.gain = std::max(gain, 0);
            s.reference = gain < 0 ? SpectrumSettings::Dbfs : SpectrumSettings::Dbv;
        });
        const double top = *std::max_element(r.levels + 4, r.levels + 512) + r.referenceDb;
        QVERIFY2(top <= truth + 0.02 && top >= truth - scallop - 0.02,
                 qPrintable(QString::number(top - truth)));
        QVERIFY(std::fabs(*r.peakLevel - truth) < 0.02);
        QVERIFY(std::fabs(*r.peakBin - bin - offset) < 0.01);
        QCOMPARE(*r.peakHz, *r.peakBin * core::hertzPerBin(7, 1024));
        if (dc != 0)
            return;
        // The strongest line is drawn at least as bright as any other segment of the trace.
        const int* v = r.specGraph;
        const int k = int(std::max_element(v, v + 384) - v);
        const int peak =
            std::min(Graph::spectrumAlpha(v[k - 1], v[k]), Graph::spectrumAlpha(v[k], v[k + 1]));
        for (int i = 0; i + 1 < 384; ++i)
            QVERIFY(Graph::spectrumAlpha(v[i], v[i + 1]) <= peak);
    }

    // Power averaging of noise frames: the floor keeps its mean, the noise's power per bin
    // through the Hamming window, and its spread falls to 1/sqrt(N) (linear), sqrt(w / (2 - w))
    // (exponential, weight w = 1/N). A new span starts it again.
    void averaging_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("spread");
        QTest::addColumn<int>("count");
        QTest::newRow("off") << int(SpectrumSettings::Off) << 1.0 << 1;
        QTest::newRow("16 frames") << int(SpectrumSettings::Linear) << 0.25 << 16;
        QTest::newRow("exponential 1/16")
            << int(SpectrumSettings::Exponential) << std::sqrt(1.0 / 31) << 16;
    }

    void averaging() {
        QFETCH(int, mode);
        QFETCH(double, spread);
        QFETCH(int, count);
        SpectrumProcessor p;
        SpectrumSettings s;
        s.averaging = SpectrumSettings::Averaging(mode);
        s.averages = 16;
        p.setSettings(s);
        std::mt19937 gen(5);
        std::normal_distribution<double> noise(0.0, 300.0);
        // The noise's power per bin: sigma^2 times the sum of the Hamming window's squares.
        const double floor = 300.0 * 300 * 1024 * (0.54 * 0.54 + 0.46 * 0.46 / 2);
        for (int frame = 0; frame < 200; ++frame) {
            const QByteArray body = scopeBody([&](int) { return int(std::lround(noise(gen))); });
            p.process(reinterpret_cast<const uint8_t*>(body.constData()), body.size());
        }
        QCOMPARE(p.result().averaged, count);
        double sum = 0, sum2 = 0;
        const int from = 10, to = 500;
        for (int k = from; k < to; ++k) {
            const double power = std::pow(10.0, p.result().levels[k] / 10);
            sum += power, sum2 += power * power;
        }
        const double mean = sum / (to - from), sd = std::sqrt(sum2 / (to - from) - mean * mean);
        QVERIFY(std::fabs(mean / floor - 1) < 0.15);
        QVERIFY(std::fabs(sd / mean / spread - 1) < 0.2);
        s.timeBase = 9;
        p.setSettings(s);
        QCOMPARE(p.result().averaged, 0);
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
            const QByteArray body = sineBody(step.toInt(), 9000);
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
        const QByteArray old = sineBody(40, 9000), early = sineBody(60, 9000),
                         own = sineBody(100, 9000);
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
        page.takeFrame(lateFrame(sineBody(40, 9000)));
        QCOMPARE(peakBin(), 40);
        run->runStopButton()->click();
        page.takeFrame(lateFrame(sineBody(60, 9000)));
        QCOMPARE(peakBin(), 40);
        QCOMPARE(run->stateLabel()->text(), QStringLiteral("Stop"));
        QTRY_VERIFY(page.widgets().powerLabel->text().endsWith("daB")); // numbers of the frozen one
        run->singleButton()->click();
        QCOMPARE(run->stateLabel()->text(), QStringLiteral("Armed"));
        const qint64 now = Clock::nowNs();
        page.takeFrame(
            frameOf(sineBody(60, 9000), now - Clock::ms, now + Clock::second)); // began before
        QCOMPARE(peakBin(), 40);
        page.takeFrame(lateFrame(sineBody(80, 9000)));
        QCOMPARE(peakBin(), 80);
        QCOMPARE(run->stateLabel()->text(), QStringLiteral("Stop"));
        page.takeFrame(lateFrame(sineBody(100, 9000)));
        QCOMPARE(peakBin(), 80);
        run->runStopButton()->click();
        page.takeFrame(lateFrame(sineBody(100, 9000)));
        QCOMPARE(peakBin(), 100);
    }

    void rememberedSettings() {
        QWidget host;
        Analizator page(&host, nullptr);
        choose(page.widgets().taBox, 2);
        choose(page.widgets().vaBox, 5);
        page.widgets().xPosBar->setValue(-60);
        page.widgets().holdBox->setChecked(true);
        choose(page.widgets().windowBox, 3);
        choose(page.widgets().referenceBox, 1);
        page.widgets().averagesBox->setValue(20);
        choose(page.widgets().averagingBox, 2);
        Analizator back(&host, nullptr);
        const QMap<QString, QString> want = {
            {"spectrum/span", "2"},      {"spectrum/range", "5"},    {"spectrum/offset", "-60"},
            {"spectrum/maxHold", "1"},   {"spectrum/window", "3"},   {"spectrum/reference", "1"},
            {"spectrum/averaging", "2"}, {"spectrum/averages", "20"}};
        QCOMPARE(remembered(page, back), want);
        const SpectrumSettings& b = back.settings();
        QVERIFY(b.timeBase == 12 && b.gain == 5 && b.xPos == -60 && b.hold);
        QVERIFY(b.window == core::Window::FlatTop && b.reference == SpectrumSettings::Dbv &&
                b.averaging == SpectrumSettings::Exponential && b.averages == 20);
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

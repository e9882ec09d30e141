// The oscilloscope: the edge trigger and its modes on known samples (time, not frames, forces
// "Auto"), the positions and scales the result carries, the pulse measurements on ramps of known
// times, the average's fall of noise, the page's readouts before and after frames and its
// Measure list, the time/div box against the device, each remembered setting, and the bytes each
// control sends. (Readouts against the signal model: tst_truth; the file reader: the osc_file
// corpus.)
#include "app/mainwindow.h"
#include "frames.h"
#include "instruments/oscilloscope/oscfile.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/runbuttons.h"
#include "linerig.h"
#include "plot/graph.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

using namespace OscTrigger;
using Action = std::function<void(Oscyloskop&)>;
Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(OscSettings)

namespace {
constexpr qint64 ms = Clock::ms;

// `low` before sample `at`, `high` from it on.
QByteArray stepBody(int at, int low, int high) {
    return scopeBody([=](int i) { return i < at ? low : high; });
}

// "Norm"/"Auto"/"Single" on the `edge` through level 10 (L = 40 at 2.5V/dz).
OscSettings risingAt10(int mode, int edge = RisingLF) {
    OscSettings s;
    s.trigMode = mode + 4 * edge;
    s.trigLevelMv = 380;
    return s;
}

// A processor on `s`, started at time 0.
struct Proc : OscProcessor {
    explicit Proc(const OscSettings& s) {
        setSettings(s);
        restart(0);
    }
};

bool take(OscProcessor& p, const QByteArray& body, qint64 atMs) {
    return p.process(reinterpret_cast<const uint8_t*>(body.constData()), body.size(), atMs * ms);
}

// What a user does to the page, then the readouts: CH1 Freq and CH1 RMS.
QString readouts(const Oscyloskop& o) {
    return o.widgets().freqLabel1->text() + " | " + o.widgets().rmsLabel1->text();
}
} // namespace

class TestOscyloskop : public QObject {
    Q_OBJECT
private slots:
    void triggerSearch_data() {
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

    // Level 40, step at sample 500, 192 samples before the trigger.
    void triggerSearch() {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, type);
        std::vector<int> b(1024, low);
        std::fill(b.begin() + 500, b.end(), high);
        QTEST(getTrigIndex(b.data(), 1024, 384, 192, 40, type), "index");
    }

    // Frames at given times through the processor: what each mode shows, and when "Auto" gives up
    // waiting (after 1.5 s without an edge, however many frames came meanwhile).
    void modesOverTime() {
        const QByteArray flat = stepBody(0, 0, 0), first = stepBody(500, 0, 100),
                         second = stepBody(400, 0, 200);
        // Norm: no edge keeps the picture; an edge (498) lands under display sample 192.
        Proc norm(risingAt10(Norm));
        take(norm, flat, 10);
        QVERIFY(!norm.result().hasWindow);
        QVERIFY(take(norm, first, 20));
        QCOMPARE(norm.result().windowStart, 306);
        QCOMPARE(norm.result().bufGraph[193], 0);
        QCOMPARE(norm.result().bufGraph[194], 100);
        QCOMPARE(norm.result().trigger, Triggered);
        take(norm, flat, 400);
        QCOMPARE(norm.result().trigger, Triggered); // a few frames without an edge: not yet waiting
        take(norm, flat, 600);
        QCOMPARE(norm.result().trigger, Waiting);
        QCOMPARE(norm.result().bufGraph[194], 100);

        // Auto: edgeless frames every 100 ms show nothing until 1.5 s have passed, then each one
        // from sample 0; the first edge after that is still shown from 0, the next one triggered.
        Proc autoMode(risingAt10(Auto));
        for (int t = 100; t <= 1500; t += 100)
            QVERIFY2(!take(autoMode, flat, t), qPrintable(QString::number(t)));
        QVERIFY(take(autoMode, flat, 1600) && autoMode.result().windowStart == 0);
        QVERIFY(take(autoMode, flat, 1700) && autoMode.result().windowStart == 0);
        QVERIFY(take(autoMode, first, 1800) && autoMode.result().windowStart == 0);
        QVERIFY(take(autoMode, first, 1900) && autoMode.result().windowStart == 306);
        // Slow frames: each comes more than 1.5 s after the last edge, so each is shown.
        Proc slow(risingAt10(Auto));
        QVERIFY(take(slow, flat, 3400) && take(slow, flat, 6800));

        // Single (rising HF: the step itself): the first edge is held until a trigger control
        // re-arms it; then the next edge is taken.
        Proc single(risingAt10(Single, RisingHF));
        QVERIFY(take(single, first, 10));
        QCOMPARE(single.result().bufGraph[193], 100);
        take(single, second, 20);
        QCOMPARE(single.result().bufGraph[193], 100);
        QCOMPARE(single.result().trigger, Held);
        single.rearm();
        take(single, flat, 30);
        QCOMPARE(single.result().bufGraph[193], 100);
        QCOMPARE(single.result().trigger, Waiting);
        QVERIFY(take(single, second, 40));
        QCOMPARE(single.result().bufGraph[193], 200);

        // A restart forgets the window: nothing is drawn, nothing is read, until a new frame.
        single.restart(50);
        QVERIFY(!single.result().hasWindow && !single.result().ch1.vpp);
    }

    // Settings in, the result's positions and scales out: vertical positions in quarter pixels on
    // the trace (never in the readouts), the horizontal position's window, the markers and the
    // cursor readouts.
    void positionsAndScales_data() {
        QTest::addColumn<OscSettings>("settings");
        QTest::addColumn<QVector<double>>("want"); // see below
        // want: ch1 trace at sample 0, ch2 trace at 0, window start, level row (-1: not drawn),
        // position column, cursor time (s), cursor freq (Hz, 0: none), CH1 and CH2 cursor volts,
        // CH1 Avg (V). Channel 1 is 100 counts (0 before sample 500 under "Norm"), channel 2 0.
        const double at100 = 100 * 500.0 / 51200; // 100 counts on 2.5V/dz
        OscSettings s;
        QTest::newRow("defaults: free run from 0")
            << s << QVector<double>{100, 0, 0, 0, 384, 0, 0, 0, 0, at100};
        s.yPos1 = 10;
        s.yPos2 = -5;
        s.twoChannel = true;
        QTest::newRow("positions: 4 units a pixel, per channel, not in the readouts")
            << s << QVector<double>{140, -20, 0, 10, 384, 0, 0, 0, 0, at100};
        s = OscSettings{};
        s.trigMode = Norm + 4 * RisingLF;
        s.trigLevelMv = 380;
        s.xPos = -100;
        QTest::newRow("xPos -100: the edge 92 samples from the left")
            << s << QVector<double>{0, 0, 406, 9, 184, 0, 0, 0, 0, at100 * 290 / 384};
        s = OscSettings{};
        s.trigLevelMv = 3846; // the left click at row 186 on 2.5V/dz
        QTest::newRow("level marker 100 px up")
            << s << QVector<double>{100, 0, 0, 100, 384, 0, 0, 0, 0, at100};
        s.trigLevelMv = 40000;
        QTest::newRow("level marker off the plot")
            << s << QVector<double>{100, 0, 0, -1, 384, 0, 0, 0, 0, at100};
        s = OscSettings{};
        s.timeBase = 7;
        s.tCursor1 = 190;
        s.tCursor2 = 254;
        s.vCursor1 = 0;
        s.vCursor2 = 64;
        s.gain2 = 6;
        QTest::newRow("cursors: 64 px at 400us/dz, 2.5V/dz and 25mV/dz")
            << s << QVector<double>{100, 0, 0, 0, 384, 0.0004, 2500, 2.5, 0.025, at100};
        s.tCursor2 = 126;
        s.vCursor2 = -64;
        QTest::newRow("cursors reversed: negative time and volts")
            << s << QVector<double>{100, 0, 0, 0, 384, -0.0004, 2500, -2.5, -0.025, at100};
        s.tCursor2 = 190;
        QTest::newRow("coincident time cursors: no frequency")
            << s << QVector<double>{100, 0, 0, 0, 384, 0, 0, -2.5, -0.025, at100};
    }

    void positionsAndScales() {
        QFETCH(OscSettings, settings);
        QFETCH(QVector<double>, want);
        Proc p(settings);
        const bool norm = (settings.trigMode & 3) == Norm;
        const QByteArray body = scopeBody([&](int i) {
            if (settings.twoChannel)
                return i < 512 ? 100 : 0;
            return i < 500 && norm ? 0 : 100;
        });
        QVERIFY(take(p, body, 10));
        const OscResult& r = p.result();
        const double got[] = {double(r.bufGraph[0]), double(r.bufGraph2[0]), double(r.windowStart),
                              double(r.levelShown ? r.levelRow : -1), double(r.positionColumn),
                              *r.cursorTime, r.cursorFreq.value_or(0), *r.cursorVolt1,
                              *r.cursorVolt2, *r.ch1.avg};
        for (int k = 0; k < 10; ++k)
            QVERIFY2(std::fabs(got[k] - want[k]) < 1e-9, qPrintable(QString("%1: %2").arg(k).arg(got[k])));
    }

    // Pulse trains of ramps, the truth known exactly: 50 % points of the rises at t0 + k period,
    // of the falls a width later, ramps of `rise` and `fall` samples (10-90 %: 0.8 of them),
    // from -300 to 500 counts for `pulses` pulses (0: a train over the frame). Ramps of 10
    // samples or more put both samples around a 10 % or 90 % crossing on the ramp, where a line
    // between them is exact but for whole counts: 0.5 count on 80 counts a sample moves a
    // crossing 0.006 samples, so times must hold to 0.05 samples. -1: not known.
    void pulseMeasurements_data() {
        QTest::addColumn<QVector<double>>("shape"); // t0, period, width, rise, fall, pulses
        QTest::addColumn<QVector<double>>("want");  // period, +width, -width, duty, rise, fall
        QTest::addColumn<bool>("onChannel2");
        const auto row = [](const char* name, QVector<double> shape, QVector<double> want,
                            bool two = false) { QTest::newRow(name) << shape << want << two; };
        row("square", {10.3, 64, 32, 10, 10, 0}, {64, 32, 32, 50, 8, 8});
        row("narrow pulse, slow rise", {5.7, 80, 20, 16, 10, 0}, {80, 20, 60, 25, 12.8, 8});
        row("on channel 2", {20.1, 50, 35, 10, 12, 0}, {50, 35, 15, 70, 8, 9.6}, true);
        row("steps between samples: no edge time", {9.5, 64, 16, 0, 0, 0}, {64, 16, 48, 25, -1, -1});
        row("one pulse: no period", {100.2, 0, 150, 10, 20, 1}, {-1, 150, -1, -1, 8, 16});
        row("one rising edge", {200.4, 0, 1e9, 20, 10, 1}, {-1, -1, -1, -1, 16, -1});
        row("flat line", {1e9, 0, 0, 0, 0, 1}, {-1, -1, -1, -1, -1, -1});
    }

    void pulseMeasurements() {
        QFETCH(QVector<double>, shape);
        QFETCH(QVector<double>, want);
        QFETCH(bool, onChannel2);
        const double t0 = shape[0], period = shape[1], width = shape[2];
        const auto level = [&](double t) {
            // The pulse of t: cycles from the middle of one low part to the next.
            const double at = t0 + (shape[5] > 0 ? 0 : period * std::floor((t - t0 + (period - width) / 2) / period));
            // 0 before the ramp through its 50 % point at `mid`, 1 after it.
            const auto ramp = [t](double mid, double length) {
                return length > 0 ? std::clamp((t - mid) / length + 0.5, 0.0, 1.0) : double(t >= mid);
            };
            return ramp(at, shape[3]) - ramp(at + width, shape[4]);
        };
        const int half = onChannel2 ? 512 : 0;
        OscSettings s;
        s.twoChannel = onChannel2;
        Proc p(s);
        QVERIFY(take(p, scopeBody([&](int i) {
            return i < half ? 123 : int(std::lround(-300 + 800 * level(i - half)));
        }), 10));
        const OscChannel& c = onChannel2 ? p.result().ch2 : p.result().ch1;
        const double sample = OscScale::sampleTime(s.timeBase, 1);
        const Reading got[] = {c.period, c.pwidth, c.nwidth, c.duty, c.rise, c.fall};
        // Duty: 0.05 samples of a period of 50 or more are 0.1 %.
        for (int k = 0; k < 6; ++k)
            QVERIFY2(std::fabs((got[k] ? *got[k] / (k == 3 ? 1 : sample) : -1) - want[k]) <
                         (k == 3 ? 0.1 : 0.05), qPrintable(QString::number(k)));
        QCOMPARE(*c.min, OscScale::volts(0, -300));
        QCOMPARE(*c.max, OscScale::volts(0, t0 > 1e8 ? -300 : 500));
        if (onChannel2) // channel 1 flat at 123
            QCOMPARE(*p.result().ch1.max, OscScale::volts(0, 123));
    }

    // White noise of 200 counts RMS on a flat line, free running: the mean of N windows keeps
    // 1/sqrt(N) of it, within 15 % (an RMS of 384 samples is itself 4 % uncertain), and the trace
    // is that mean; a new time base starts the average again.
    void averageLowersNoise() {
        std::mt19937 random(5);
        std::normal_distribution<double> noise(0, 200);
        const auto noisy = [&] { return scopeBody([&](int) { return int(std::lround(noise(random))); }); };
        const double sigma = OscScale::volts(0, 200);
        for (const int count : {2, 8, 64}) {
            OscSettings s;
            s.average = count;
            Proc p(s);
            for (int k = 0; k < count; ++k)
                take(p, noisy(), 10 + k);
            const double rms = *p.result().ch1.rms;
            const int* trace = p.result().bufGraph;
            const double squares = std::inner_product(trace, trace + 384, trace, 0.0);
            QVERIFY(std::fabs(rms * std::sqrt(count) / sigma - 1) < 0.15);
            QVERIFY(std::fabs(OscScale::volts(0, std::sqrt(squares / 384)) / rms - 1) < 0.05);
            s.timeBase = 6;
            p.setSettings(s);
            take(p, noisy(), 100);
            QVERIFY(std::fabs(*p.result().ch1.rms / sigma - 1) < 0.15);
        }
    }

    // Noise that wanders slowly (white noise through a low-pass) can cross the middle at even
    // intervals by chance; it is still noise, and has no frequency.
    void wanderingNoiseHasNoFrequency() {
        std::mt19937 random(646);
        double s[384], level = 0;
        for (double& v : s) {
            level += ((int(random() % 2001) - 1000) / 10.0 - level) / 7;
            v = std::round(level);
        }
        const OscMeasure::Crossings c = OscMeasure::scan(s, 384, 1.0);
        QVERIFY(c.count >= 3 && c.regular);
        QVERIFY(!c.aboveNoise && !c.wholePeriods());
    }

    // Run/Stop and Single against a stream of frames: what each frame does to the picture and the
    // state. Frames: 'a' and 'b' are sines of different amplitude crossing the level, 'f' a flat
    // line with no edge; '<' marks the next frame as begun before the last click.
    void runStopAndSingle_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("script"); // clicks: R Run/Stop, S Single; frames a b f, < early
        QTest::addColumn<QString>("states"); // the state after each step
        QTest::addColumn<QString>("pictures"); // the frame on screen after each step ('-' none)
        QTest::newRow("stop freezes, run resumes") << int(FreeRun) << "aRbRb"
                                                   << "RSSRR"
                                                   << "aaaab";
        QTest::newRow("single in ---- takes the next frame") << int(FreeRun) << "aSbab"
                                                             << "RASSS"
                                                             << "aabbb";
        QTest::newRow("single waits for an edge in Norm") << int(Norm) << "aSfbaR"
                                                          << "RAASSR"
                                                          << "aaabbb";
        QTest::newRow("single in Auto is never forced") << int(Auto) << "aSffb"
                                                        << "RAAAS"
                                                        << "aaaab";
        QTest::newRow("single takes no capture from before it") << int(FreeRun) << "aS<bb"
                                                                << "RAAS"
                                                                << "aaab";
    }

    void runStopAndSingle() {
        QFETCH(int, mode);
        QFETCH(QString, script);
        QFETCH(QString, states);
        QFETCH(QString, pictures);
        PageRig<Oscyloskop> rig;
        QVERIFY(rig.opened);
        Oscyloskop& page = rig.page;
        choose(page.widgets().trigModeBox, mode);
        page.start();
        // Amplitudes 400 and 800 counts: the picture's first plot value tells them apart.
        const QByteArray a = sineBody(12, 400), b = sineBody(12, 800);
        const QByteArray f = scopeBody([](int) { return -600; });
        qint64 at = Clock::nowNs();
        bool early = false;
        QString seenStates, seenPictures;
        for (const QChar c : script) {
            if (c == '<') {
                early = true;
                continue;
            }
            if (c == 'R' || c == 'S') {
                (c == 'R' ? page.widgets().run->runStopButton()
                          : page.widgets().run->singleButton())
                    ->click();
            } else {
                const QByteArray& body = c == 'a' ? a : c == 'b' ? b : f;
                // Two seconds apart: Auto would have forced a window by the second frame.
                at = std::max(at, Clock::nowNs()) + 2 * Clock::second;
                page.takeFrame(frameOf(body, early ? Clock::nowNs() - ms : at - ms, at));
                early = false;
            }
            seenStates += page.widgets().run->stateLabel()->text().at(0);
            // The picture's peak tells the two sines apart (counts times the gain's factor).
            const OscResult& r = page.processor().result();
            const int peak = *std::max_element(r.bufGraph, r.bufGraph + OscScale::plotLen) * 100 /
                             OscScale::gainFactor(0);
            seenPictures += !r.hasWindow                                  ? '-'
                            : std::abs(peak - 400) < std::abs(peak - 800) ? 'a'
                                                                          : 'b';
        }
        QCOMPARE(seenStates, states);
        QCOMPARE(seenPictures, pictures);
    }

    // Space runs and stops the page it is on; in a number field it is typing.
    void spaceKeyRunsAndStops() {
        PageRig<Oscyloskop> rig;
        Oscyloskop& page = rig.page;
        rig.host.show();
        rig.host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.host));
        QLabel* state = page.widgets().run->stateLabel();
        page.widgets().tBox->setFocus();
        QTest::keyClick(page.widgets().tBox, Qt::Key_Space);
        QCOMPARE(state->text(), QStringLiteral("Stop"));
        QTest::keyClick(page.widgets().tBox, Qt::Key_Space);
        QCOMPARE(state->text(), QStringLiteral("Run"));
        page.widgets().trigLevelBox->setFocus();
        QTest::keyClick(page.widgets().trigLevelBox, Qt::Key_Space);
        QCOMPARE(state->text(), QStringLiteral("Run"));
    }

    // The trigger markers on the centre lines, the zero marks at the left edge: each in a colour
    // far from the grid's and the axes' greens.
    void markersStandApart() {
        QWidget host;
        Oscyloskop page(&host, nullptr);
        page.widgets().ch2Box->setChecked(true);
        page.widgets().yPosBar2->setValue(-100); // channel 2's zero 100 px up
        QImage image(Graph::plotRect().size(), QImage::Format_RGB32);
        {
            Graph graph(&image, Graph::plotRect().topLeft());
            page.paintPlot(graph);
        }
        const auto at = [&](int x, int y) {
            return QColor(image.pixel(x - Graph::left, y - Graph::top));
        };
        const auto far = [](QColor a, QColor b) {
            return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                       std::abs(a.blue() - b.blue()) >
                   200;
        };
        QVERIFY(far(Graph::markerColour(), QColor(10, 110, 10)) &&
                far(Graph::markerColour(), QColor(10, 240, 10)));
        // Level 0 lies on the centre line, the position marker (xPos 0) on the centre column.
        for (const QPoint p :
             {QPoint(Graph::centreX, Graph::top + 10), QPoint(Graph::left + 100, Graph::centreY),
              QPoint(Graph::centreX, Graph::top + Graph::division)})
            QCOMPARE(at(p.x(), p.y()), Graph::markerColour());
        // Zero marks: channel 1 on the centre line, channel 2 100 px above it.
        QCOMPARE(at(Graph::left + 2, Graph::centreY).blue(), 255);
        QCOMPARE(at(Graph::left + 2, Graph::centreY - 100).red(), 255);
        QCOMPARE(at(Graph::left + 2, Graph::centreY - 120), QColor(Qt::black));
    }

    void pointerReadout_data() {
        QTest::addColumn<int>("timeBase");
        QTest::addColumn<int>("gain");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QString>("text");
        QTest::newRow("centre") << 7 << 0 << QPoint(394, 286) << "  T: 0.00us\n  U: 0.00uV";
        QTest::newRow("a division right and two up, 400us/dz, 500mV/dz")
            << 7 << 2 << QPoint(458, 158) << "  T: 400us\n  U: 1000mV";
        QTest::newRow("left edge at 100ms/dz")
            << 14 << 0 << QPoint(11, 286) << "  T: -598ms\n  U: 0.00uV";
        QTest::newRow("bottom at 25mV/dz")
            << 2 << 6 << QPoint(394, 541) << "  T: 0.00us\n  U: -99.6mV";
    }

    void pointerReadout() {
        QFETCH(int, timeBase);
        QFETCH(int, gain);
        QFETCH(QPoint, at);
        QWidget host;
        Oscyloskop page(&host, nullptr);
        choose(page.widgets().tBox, OscScale::timeBaseOfItem(timeBase));
        choose(page.widgets().vBox1, gain);
        QTEST(page.pointerReadout(at), "text");
    }

    // Shift-clicks on the plot place the cursors; their readouts in their units: 64 px at
    // 400us/dz and 2.5V/dz, then coincident time cursors.
    void cursorReadouts() {
        QWidget host;
        Oscyloskop page(&host, nullptr);
        page.widgets().timeCursorBox->click();
        page.widgets().voltCursorBox->click();
        const auto shiftClick = [&](Qt::MouseButton button, QPoint at) {
            QTest::mousePress(page.plot(), button, Qt::ShiftModifier,
                              at - Graph::plotRect().topLeft());
        };
        shiftClick(Qt::LeftButton, QPoint(394, 286));
        shiftClick(Qt::RightButton, QPoint(458, 222));
        const auto texts = [&] {
            return QStringList{page.widgets().cursorTimeLabel->text(),
                               page.widgets().cursorFreqLabel->text(),
                               page.widgets().cursorVoltLabel1->text()};
        };
        QTRY_COMPARE(texts(), (QStringList{"Time: 400us", "Freq: 2500Hz", "CH1 Voltage: 2500mV"}));
        shiftClick(Qt::RightButton, QPoint(394, 350));
        QTRY_COMPARE(texts(), (QStringList{"Time: 0.00us", "Freq: ---", "CH1 Voltage: -2500mV"}));
    }

    // Case of a device that sends nothing: "---", no trace, until a frame of this start; a frame
    // that began before the start (the page shown before sent it) is not this page's.
    void readoutsNeedAFrameOfThisStart() {
        PageRig<Oscyloskop> rig;
        QVERIFY(rig.opened);
        Oscyloskop& page = rig.page;
        page.start();
        QTRY_COMPARE(readouts(page), QStringLiteral("CH1 Freq: --- | CH1 RMS: ---"));
        QVERIFY(!page.processor().result().hasWindow);
        const QByteArray sine = sineBody(12, 400); // 12 periods a frame, 4.5 on screen
        const qint64 now = Clock::nowNs();
        page.takeFrame(frameOf(sine, now - 100 * ms, now + 500 * ms));
        QVERIFY(!page.processor().result().hasWindow);
        page.takeFrame(lateFrame(sine));
        QTRY_COMPARE(readouts(page), QStringLiteral("CH1 Freq: 937.5Hz | CH1 RMS: 2.763V"));
        // Back after another page: no numbers and no trace of the old start.
        page.stop();
        page.start();
        QVERIFY(!page.processor().result().hasWindow);
        QTRY_COMPARE(readouts(page), QStringLiteral("CH1 Freq: --- | CH1 RMS: ---"));
    }

    // The Measure list in the window: names only until a row is ticked, then each channel's
    // value, and no text clipped with both channels' widest figures (a 0.5 V sine from a file:
    // -244.1mV, 266.7us; channel 2 at 0.4 V).
    void measureListFits() {
        MainWindow w;
        w.show();
        Oscyloskop& page = *w.oscPage();
        QListWidget* list = page.widgets().measureList;
        page.widgets().ch2Box->setChecked(true);
        choose(page.widgets().tBox, 14 - 6);
        QTemporaryDir dir;
        const QString path = dir.filePath("sine.txt");
        int sine[1024];
        for (int i = 0; i < 1024; ++i)
            sine[i] = int(std::lround((i < 512 ? 25 : 20) * std::sin(2 * M_PI * 12 * i / 1024)));
        QVERIFY(OscFile::saveValues(path, sine, 1024));
        page.loadWaveform(path);
        QTRY_COMPARE(list->item(4)->text(), QStringLiteral("Min"));
        for (int k = 0; k < list->count(); ++k)
            list->item(k)->setCheckState(Qt::Checked);
        QTRY_COMPARE(list->item(4)->text(), QStringLiteral("Min -244.1mV -195.3mV"));
        // The delegate keeps a focus frame's margin and a pixel free on either side of the text.
        const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
        for (int k = 0; k < list->count(); ++k) {
            QStyleOptionViewItem row;
            row.initFrom(list->viewport());
            row.rect = list->visualItemRect(list->item(k));
            row.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
            row.text = list->item(k)->text();
            const QRect room = list->style()->subElementRect(QStyle::SE_ItemViewItemText, &row, list);
            QVERIFY2(!row.text.contains("---") &&
                         list->fontMetrics().horizontalAdvance(row.text) <= room.width() - 2 * margin,
                     qPrintable(row.text));
        }
    }

    // Whatever the sequence of toggles and choices, the box names the time base the device runs.
    void timeBaseBoxAgreesWithTheDevice_data() {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("lastTimeBase"); // the last "S" command sent
        const auto row = [](const char* name, const char* shown, const char* sent, Action a) {
            QTest::newRow(name) << a << QString(shown) << QByteArray(sent);
        };
        const auto toggle = [](Oscyloskop& o) { o.widgets().ch2Box->click(); };
        row("16us/dz, then two channels: 40us/dz", "40us/dz", "S8A",
            [=](Oscyloskop& o) { choose(o.widgets().tBox, 12), toggle(o); });
        row("and back to one channel", "40us/dz", "S8A",
            [=](Oscyloskop& o) { choose(o.widgets().tBox, 12), toggle(o), toggle(o); });
        row("one channel again: the labels of the start", "16us/dz", "S4A",
            [=](Oscyloskop& o) { toggle(o), toggle(o), choose(o.widgets().tBox, 12); });
        row("400us/dz through toggles", "400us/dz", "",
            [=](Oscyloskop& o) { toggle(o), toggle(o), toggle(o), toggle(o); });
    }

    void timeBaseBoxAgreesWithTheDevice() {
        QFETCH(Action, action);
        PageRig<Oscyloskop> rig;
        QVERIFY(rig.opened);
        Oscyloskop& page = rig.page;
        action(page);
        const QByteArray sent = rig.sent();
        const int s = sent.lastIndexOf('S');
        QTEST(s < 0 ? QByteArray() : sent.mid(s, 3), "lastTimeBase");
        QTEST(page.widgets().tBox->currentText(), "shown");
        QCOMPARE(OscScale::timeBaseOfItem(page.widgets().tBox->currentIndex()),
                 page.settings().timeBase);
        for (int i = 0; i < page.widgets().tBox->count(); ++i)
            QVERIFY(page.widgets().tBox->itemText(i).endsWith("/dz"));
    }

    // Every remembered setting under its key, and back into a fresh page as the user left it.
    void rememberedSettings() {
        QWidget host;
        Oscyloskop page(&host, nullptr);
        const Oscyloskop::Widgets& u = page.widgets();
        u.ch2Box->click();
        choose(u.tBox, 3);
        choose(u.vBox1, 2);
        choose(u.vBox2, 5);
        choose(u.trigModeBox, 2);
        choose(u.trigEdgeBox, 1);
        choose(u.trigBandBox, 1);
        u.trigLevelBox->setValue(-1234);
        u.xPosBar->setValue(-77);
        u.yPosBar1->setValue(33);
        u.yPosBar2->setValue(-44);
        u.measureList->item(0)->setCheckState(Qt::Checked);
        u.measureList->item(2)->setCheckState(Qt::Checked);
        choose(u.averageBox, 3);
        Oscyloskop back(&host, nullptr);
        const QMap<QString, QString> want = {
            {"osc/ch2", "1"},        {"osc/timeDiv", "3"},       {"osc/voltDiv1", "2"},
            {"osc/voltDiv2", "5"},   {"osc/trigMode", "2"},      {"osc/trigEdge", "1"},
            {"osc/trigFilter", "1"}, {"osc/trigLevel", "-1234"}, {"osc/xPos", "-77"},
            {"osc/yPos1", "33"},     {"osc/yPos2", "-44"},         {"osc/measure", "5"},
            {"osc/average", "3"}};
        QCOMPARE(remembered(page, back), want);
        const OscSettings &a = page.settings(), &b = back.settings();
        QVERIFY(b.twoChannel && b.timeBase == a.timeBase && b.gain1 == a.gain1 &&
                b.gain2 == a.gain2);
        QVERIFY(b.trigMode == a.trigMode && b.trigLevelMv == a.trigLevelMv && b.xPos == a.xPos);
        QVERIFY(b.yPos1 == a.yPos1 && b.yPos2 == a.yPos2 && b.average == 8);
        QCOMPARE(back.widgets().measureList->item(2)->checkState(), Qt::Checked);
    }

    // The span between the time cursors, saved and read back: 512 lines from the sample under the
    // left cursor to the one under the right cursor (pixels 100 and 740: samples 49 to 368).
    void spanFileRoundTrip() {
        int plot[384];
        for (int i = 0; i < 384; ++i)
            plot[i] = 7 * i - 1000;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("span.txt"));
        QVERIFY(OscFile::saveSpan(path, plot, 740, 100));
        int back[600];
        QCOMPARE(OscFile::load(path, back, 600), 512);
        QCOMPARE(back[0], plot[49]);
        QCOMPARE(back[511], plot[368]);
        QVERIFY(std::is_sorted(back, back + 512));
    }

    void bytesSent_data() {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char* name, const char* b, Action a) {
            QTest::newRow(name) << a << QByteArray(b);
        };
        row("start, one channel", "CAS>AU0AW0A", [](Oscyloskop& o) { o.start(); });
        row("two channels, then start", "EAEAS>AU0AW0A",
            [](Oscyloskop& o) { o.widgets().ch2Box->setChecked(true), o.start(); });
        row("time/div 100ms", "SLA", [](Oscyloskop& o) { choose(o.widgets().tBox, 0); });
        row("time/div 16us", "S4A", [](Oscyloskop& o) { choose(o.widgets().tBox, 12); });
        row("CH1 V/div sends both gains", "U6AW0A",
            [](Oscyloskop& o) { choose(o.widgets().vBox1, 3); });
        row("CH2 V/div sends both gains", "U0AW<A",
            [](Oscyloskop& o) { choose(o.widgets().vBox2, 6); });
        row("two channels on and off", "EACA",
            [](Oscyloskop& o) { o.widgets().ch2Box->click(), o.widgets().ch2Box->click(); });
        row("trigger controls send nothing", "", [](Oscyloskop& o) {
            choose(o.widgets().trigModeBox, 1), choose(o.widgets().trigEdgeBox, 1),
                choose(o.widgets().trigBandBox, 1);
            o.widgets().trigLevelBox->setValue(500);
        });
    }

    void bytesSent() {
        QFETCH(Action, action);
        PageRig<Oscyloskop> rig;
        action(rig.page);
        QTEST(rig.sent(), "bytes");
    }
};

QTEST_MAIN(TestOscyloskop)
#include "tst_oscyloskop.moc"

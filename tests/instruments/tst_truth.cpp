// The readouts against the truth. The emulator's signal model, given ideal sources, makes the
// frames a device would send at every time base and gain, one and two channels, noise on and
// off, from a third of a period to a hundred periods on screen; it also knows the volts at the
// inputs at the same sample instants. Every readout of the processors must equal the truth over
// the same samples, or be "---" where the samples define no value.
#include "emulator/devicestate.h"
#include "emulator/framebuilder.h"
#include "emulator/logiccapture.h"
#include "emulator/logicpattern.h"
#include "emulator/signalmodel.h"
#include "instruments/logic/logicprocessor.h"
#include "instruments/oscilloscope/oscprocessor.h"
#include "instruments/spectrum/spectrumprocessor.h"

#include <QtTest>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace {
using Source = emu::SignalModel::Source;

constexpr double tickNs = 62.5;
constexpr int window = OscScale::plotLen;

// Volts per division of a gain index, and the volts of one plot unit and of one device count.
double voltsPerDiv(int g) {
    return OscScale::gainTab[g] * 0.005;
}
double plotUnit(int g) {
    return voltsPerDiv(g) / 256;
}
double count(int g) {
    return 1.0 / emu::SignalModel::rawPerVolt(g);
}

// A frame as the device sends it, and the volts at its inputs when its samples were taken.
struct ModelFrame {
    uint8_t body[scopeFrameBytes];
    double volts[OscScale::frameSamples];
};

void capture(emu::SignalModel& model, const emu::DeviceState& state, int64_t t0,
             ModelFrame& frame) {
    int16_t raw[OscScale::frameSamples];
    model.capture(state, t0, emu::SignalModel::samplePeriodNs(state.timeBase, tickNs), frame.volts,
                  raw);
    uint8_t out[emu::FrameBuilder::scopeFrameBytes];
    // 0x65 bytes kept: the body is handed over whole, and the samples stay as the model made them.
    emu::FrameBuilder::scopeFrame(raw, true, out);
    std::memcpy(frame.body, out + 1, scopeFrameBytes);
}

emu::DeviceState state(emu::DeviceState::Mode mode, int timeBase, int gain1, int gain2) {
    emu::DeviceState st;
    st.mode = mode;
    st.timeBase = timeBase;
    st.gain1 = gain1;
    st.gain2 = gain2;
    return st;
}

double rmsOf(const double* v, int from, int to) {
    double s = 0;
    for (int i = from; i < to; ++i)
        s += v[i] * v[i];
    return std::sqrt(s / (to - from));
}
double meanOf(const double* v, int from, int to) {
    return std::accumulate(v + from, v + to, 0.0) / (to - from);
}

// The ideal RMS of a whole number of periods of a source: the mean square of the shape of unit
// amplitude is 1/2 (sine), 1 (square), 1/3 (triangle), 0 (DC).
double periodicRms(const Source& s) {
    const double meanSquare = s.shape == Source::Sine       ? 0.5
                              : s.shape == Source::Square   ? 1.0
                              : s.shape == Source::Triangle ? 1.0 / 3
                                                            : 0.0;
    return std::sqrt(meanSquare * s.amplitudeV * s.amplitudeV + s.offsetV * s.offsetV);
}

// Collects the readouts that miss the truth, with the case that made them.
struct Misses {
    QStringList lines;
    int checked = 0;
    void check(bool ok, const QString& what) {
        ++checked;
        if (!ok && lines.size() < 30)
            lines << what;
    }

    void near(const Reading& got, double want, double within, const QString& what) {
        check(got && std::fabs(*got - want) <= within,
              what + QString::asprintf(": %s, truth %g +- %.3g",
                                       got ? qPrintable(QString::number(*got, 'g', 6)) : "---",
                                       want, within));
    }
};

const char* shapeName(Source::Shape s) {
    return s == Source::Sine       ? "sine"
           : s == Source::Square   ? "square"
           : s == Source::Triangle ? "triangle"
                                   : "dc";
}
} // namespace

class TestTruth : public QObject {
    Q_OBJECT
private slots:
    void oscilloscope_data() {
        QTest::addColumn<bool>("twoChannels");
        QTest::addColumn<bool>("noise");
        for (const bool two : {false, true})
            for (const bool noise : {false, true})
                QTest::addRow("%s, noise %s", two ? "two channels" : "one channel",
                              noise ? "on" : "off")
                    << two << noise;
    }

    // Sources of 2.5 divisions' amplitude on an offset of half a division (DC at 1.5 divisions, and
    // noise alone on 0 V), measured at every time base and gain the time/div box offers.
    void oscilloscope() {
        QFETCH(bool, twoChannels);
        QFETCH(bool, noise);
        const double periodsOnScreen[] = {1.0 / 3, 0.9, 1.5, 2.5, 3.5, 10, 30, 100};
        const Source::Shape shapes[] = {Source::Sine, Source::Square, Source::Triangle, Source::Dc};
        Misses misses;
        int cases = 0;
        uint64_t seed = 7;
        for (int tb = twoChannels ? 4 : 2; tb <= 14; ++tb) {
            const double periodS = emu::SignalModel::samplePeriodNs(tb, tickNs) * 1e-9;
            for (int g = 0; g < OscScale::gains; ++g) {
                // The other channel at another gain, with a signal of its own: nothing of it may
                // reach the channel measured.
                const int otherGain = (g + 3) % OscScale::gains;
                for (const Source::Shape shape : shapes) {
                    for (const double periods : periodsOnScreen) {
                        if (shape == Source::Dc && periods != periodsOnScreen[0])
                            continue;
                        for (int input = 1; input <= (twoChannels ? 2 : 1); ++input) {
                            for (const bool noiseAlone : {false, true}) {
                                if (noiseAlone && (!noise || shape != Source::Dc))
                                    continue;
                                ++cases;
                                Source s;
                                s.shape = shape;
                                s.freqHz = periods / (window * periodS);
                                s.amplitudeV = 2.5 * voltsPerDiv(g);
                                s.offsetV = (shape == Source::Dc ? 1.5 : 0.5) * voltsPerDiv(g);
                                if (noiseAlone)
                                    s.offsetV = 0;
                                Source other;
                                other.shape = Source::Square;
                                other.freqHz = 7.3 / (window * periodS);
                                other.amplitudeV = 1.5 * voltsPerDiv(otherGain);
                                emu::SignalModel model(noise, ++seed);
                                model.setSource(input, s);
                                model.setSource(3 - input, other);
                                OscSettings set;
                                set.timeBase = tb;
                                set.gain1 = input == 1 ? g : otherGain;
                                set.gain2 = input == 2 ? g : otherGain;
                                set.twoChannel = twoChannels;
                                ModelFrame frame;
                                capture(model,
                                        state(set.twoChannel ? emu::DeviceState::Osc2
                                                             : emu::DeviceState::Osc1,
                                              tb, set.gain1, set.gain2),
                                        int64_t(seed) * 1234567, frame);
                                OscProcessor proc;
                                proc.setSettings(set);
                                proc.restart(0);
                                QVERIFY(proc.process(frame.body, scopeFrameBytes, 1000));
                                const OscResult& r = proc.result();
                                const OscChannel& got = input == 1 ? r.ch1 : r.ch2;
                                const double* v =
                                    frame.volts + (input == 2 ? 512 : 0) + r.windowStart;

                                const QString name = QString::asprintf(
                                    "tb %d g %d ch%d %s %.3g periods%s", tb, g, input,
                                    noiseAlone ? "noise" : shapeName(shape), periods,
                                    noise ? " +noise" : "");
                                // Vpp: the device's counts are coarser than a plot unit from 1V/dz
                                // on.
                                const auto [lo, hi] = std::minmax_element(v, v + window);
                                const double vpp = *hi - *lo;
                                const double step = std::max(plotUnit(g), count(g));
                                misses.near(got.vpp, vpp, std::max(0.01 * vpp, step),
                                            name + " Vpp");
                                // RMS and Avg over the samples the processor names: whole periods
                                // or the whole window, and whole periods whenever two fit on
                                // screen.
                                const bool periodic = shape != Source::Dc;
                                if (periodic && periods >= 3.5)
                                    misses.check(got.wholePeriods, name + ": no whole periods");
                                if (!got.wholePeriods)
                                    misses.check(got.from == 0 && got.to == window,
                                                 name + ": not the whole window");
                                const double rms = rmsOf(v, got.from, got.to);
                                const double avg = meanOf(v, got.from, got.to);
                                misses.near(got.rms, rms, std::max(0.01 * rms, plotUnit(g)),
                                            name + " RMS");
                                misses.near(got.avg, avg,
                                            std::max(0.01 * std::fabs(avg), plotUnit(g)),
                                            name + " Avg");
                                if (got.wholePeriods && !noise)
                                    misses.near(got.rms, periodicRms(s), 0.01 * periodicRms(s),
                                                name + " RMS of whole periods");
                                // Freq: defined by two whole periods or more, and then true.
                                if (!periodic || periods < 2)
                                    misses.check(!got.freq,
                                                 name + ": a frequency without two periods");
                                else if (periods >= 3.5 || got.freq)
                                    misses.near(got.freq, s.freqHz, 0.005 * s.freqHz,
                                                name + " Freq");
                            }
                        }
                    }
                }
            }
        }
        qInfo("%d cases, %d readouts checked", cases, misses.checked);
        QVERIFY2(misses.lines.isEmpty(), qPrintable(misses.lines.join('\n')));
    }

    // At every span and range a tone's peak stands at its frequency between bins and reads its
    // level in dBFS, wherever it falls.
    void spectrumPeaks() {
        const double bins[] = {12.0, 100.5, 257.25, 470.0};
        Misses misses;
        uint64_t seed = 99;
        for (int tb = 2; tb <= 14; ++tb) {
            const double periodNs = emu::SignalModel::samplePeriodNs(tb, tickNs);
            for (int g = 0; g < OscScale::gains; ++g) {
                for (const double bin : bins) {
                    for (const bool noise : {false, true}) {
                        Source s;
                        s.shape = Source::Sine;
                        s.freqHz = bin / (SpectrumProcessor::points * periodNs * 1e-9);
                        const double counts = 9000;
                        s.amplitudeV = counts / emu::SignalModel::rawPerVolt(g);
                        emu::SignalModel model(noise, ++seed);
                        model.setSource(1, s);
                        ModelFrame frame;
                        capture(model, state(emu::DeviceState::Osc1, tb, g, 0),
                                int64_t(seed) * 7654321, frame);
                        SpectrumProcessor proc;
                        SpectrumSettings set;
                        set.timeBase = tb;
                        set.gain = g;
                        proc.setSettings(set);
                        QVERIFY(proc.process(frame.body, scopeFrameBytes));
                        const SpectrumResult& r = proc.result();
                        const QString name = QString::asprintf("tb %d g %d bin %g%s", tb, g, bin,
                                                               noise ? " +noise" : "");
                        misses.near(r.peakBin, bin, 0.01, name + " peak bin");
                        misses.near(r.peakLevel, 20 * std::log10(counts / 32767), 0.02,
                                    name + " peak dBFS");
                    }
                }
            }
        }
        QVERIFY2(misses.lines.isEmpty(), qPrintable(misses.lines.join('\n')));
    }

    // Captures of the test pattern at every rate; at the cursor, wherever it stands and whatever
    // the zoom and offset, the value is the pattern's sample there and the time its distance from
    // the capture's first sample.
    void logicCursor() {
        Misses misses;
        for (int rate = 0; rate < LaLogic::rates; ++rate) {
            emu::LogicCapture capture;
            const int64_t period = emu::LogicCapture::periodNs(rate);
            capture.force(int64_t(rate) * 987654321, period);
            uint8_t samples[LaLogic::captureBytes];
            capture.fill(samples);
            LogicProcessor proc;
            LogicSettings atRate;
            atRate.rate = rate;
            proc.setSettings(atRate);
            proc.arm();
            QVERIFY(proc.take(samples, LaLogic::captureBytes));
            for (const int zoom : {1, 3, 24}) {
                for (const int xPos : {0, 7, 1000, LaLogic::maxStart}) {
                    for (const int cursor : {1, 50, 383, 767}) {
                        LogicSettings set;
                        set.rate = rate;
                        set.zoom = zoom;
                        set.xPos = xPos;
                        set.cursorX = cursor;
                        proc.setSettings(set);
                        const LogicResult& r = proc.result();
                        // Half-sample positions: xPos, then two per sample of zoom pixels.
                        const double position = xPos + 2.0 * cursor / zoom;
                        const QString name = QString::asprintf("rate %d zoom %d xPos %d cursor %d",
                                                               rate, zoom, xPos, cursor);
                        if (position >= LaLogic::positions) {
                            misses.check(r.value == -1, name + ": a value past the capture");
                            continue;
                        }
                        const int sample = int(position) / 2;
                        misses.check(r.value ==
                                         emu::LogicPattern::sample(capture.firstSample() + sample),
                                     QStringLiteral("%1: value %2").arg(name).arg(r.value));
                        const double us = position / 2 * period / 1000.0;
                        misses.near(double(r.timeUs), us, period / 1000.0, name + " time");
                    }
                }
            }
        }
        QVERIFY2(misses.lines.isEmpty(), qPrintable(misses.lines.join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestTruth)
#include "tst_truth.moc"

#include "instruments/bode/bodesweep.h"

#include "device/buffer.h"
#include "device/clock.h"
#include "device/frame.h"
#include "device/zrvcom.h"
#include "instruments/generator/gensynth.h"
#include "instruments/oscilloscope/oscscale.h"

#include <algorithm>
#include <cmath>

namespace bode {

namespace {
constexpr double pi = 3.14159265358979323846;
// The screen holds 4 divisions each side of the centre; a peak gets 3.5 of them.
constexpr double usedDivisions = 3.5;
constexpr double screenDivisions = 4.0;

double divisionVolts(int g) {
    return OscScale::gainAt(g) * 0.005;
}

// (-180, 180]
double wrapDegrees(double d) {
    d = std::fmod(d, 360.0);
    if (d <= -180.0)
        d += 360.0;
    else if (d > 180.0)
        d -= 360.0;
    return d;
}
} // namespace

double ToneFit::snrDb() const {
    const double tone = amplitude / std::sqrt(2.0);
    return 20.0 * std::log10(tone / std::max(noiseRms, 1e-12));
}

ToneFit fitTone(const double* x, int count, double cyclesPerSample) {
    ToneFit fit;
    if (count <= 0 || cyclesPerSample <= 0 || cyclesPerSample >= 0.5)
        return fit;
    const double periods = std::floor(count * cyclesPerSample);
    const int n = std::min(count, int(std::lround(periods / cyclesPerSample)));
    if (periods < 1 || n < 4)
        return fit;
    // Normal equations of x ~ a + b cos + c sin.
    double m[3][4] = {};
    const double w = 2 * pi * cyclesPerSample;
    for (int k = 0; k < n; ++k) {
        const double basis[3] = {1.0, std::cos(w * k), std::sin(w * k)};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                m[i][j] += basis[i] * basis[j];
            m[i][3] += basis[i] * x[k];
        }
    }
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 3; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col]))
                pivot = r;
        if (std::fabs(m[pivot][col]) < 1e-12)
            return fit;
        std::swap(m[col], m[pivot]);
        for (int r = 0; r < 3; ++r) {
            if (r == col)
                continue;
            const double f = m[r][col] / m[col][col];
            for (int c = col; c < 4; ++c)
                m[r][c] -= f * m[col][c];
        }
    }
    const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], c = m[2][3] / m[2][2];
    double residual = 0.0;
    for (int k = 0; k < n; ++k) {
        const double e = x[k] - (a + b * std::cos(w * k) + c * std::sin(w * k));
        residual += e * e;
    }
    fit.ok = true;
    fit.amplitude = std::hypot(b, c);
    // b cos + c sin = A cos(wk + phase) with A cos(phase) = b, A sin(phase) = -c.
    fit.phaseRad = std::atan2(-c, b);
    fit.noiseRms = std::sqrt(residual / std::max(1, n - 3));
    return fit;
}

double gainDb(const ToneFit& in, const ToneFit& out) {
    return 20.0 * std::log10(out.amplitude / in.amplitude);
}

double phaseDeg(const ToneFit& in, const ToneFit& out) {
    return wrapDegrees((out.phaseRad - in.phaseRad) * 180.0 / pi);
}

const char* gapText(Gap gap) {
    switch (gap) {
    case Gap::TooFewTablePoints:
        return "fewer than 16 generator points per period";
    case Gap::TooFast:
        return "beyond the fastest time base";
    case Gap::Noise:
        return "tone less than 20 dB above the noise";
    case Gap::Unsettled:
        return "frames did not agree";
    default:
        return "";
    }
}

std::vector<double> Sweep::frequencies(const Settings& s) {
    std::vector<double> out;
    const int n = std::max(1, s.points);
    const double from = std::clamp(s.fromHz, double(gen::minFreq), double(gen::maxFreq));
    const double to = std::clamp(s.toHz, double(gen::minFreq), double(gen::maxFreq));
    for (int i = 0; i < n; ++i) {
        const double t = n == 1 ? 0.0 : double(i) / (n - 1);
        out.push_back(std::round(from * std::pow(to / from, t)));
    }
    return out;
}

int Sweep::timeBaseFor(double hz) {
    // Time bases 0 and 1 repeat 2 and 3; from 2 on each is slower than the last.
    for (int tb = 2; tb < OscScale::timeBases; ++tb) {
        const double window = OscScale::sampleTime(tb, samplesPerChannel);
        if (window * hz >= periodsShown)
            return OscScale::sampleRate(tb) / hz >= minSamplesPerPeriod ? tb : -1;
    }
    return OscScale::timeBases - 1;
}

int Sweep::gainFor(double peakVolts) {
    for (int g = OscScale::gains - 1; g > 0; --g)
        if (peakVolts <= usedDivisions * divisionVolts(g))
            return g;
    return 0;
}

FrameTiming Sweep::timing(int rate) const {
    return FrameTiming::of(2 * samplesPerChannel, OscScale::sampleTime(timeBase, 1) * 1e9,
                           2 * OscScale::frameSamples, rate);
}

void Sweep::start(const Settings& settings, ZRVCom& com, qint64 nowNs) {
    set = settings;
    set.amplitudeMv = std::clamp(set.amplitudeMv, 1, gen::unityGain);
    asked = frequencies(set);
    points.clear();
    next = 0;
    bitRate = com.bitRate();
    running = true;
    gain1 = gainFor(set.amplitudeMv / 1000.0);
    gain2 = gain1;
    if (!beginPoint(com, nowNs))
        running = false;
}

bool Sweep::beginPoint(ZRVCom& com, qint64 nowNs) {
    while (next < asked.size()) {
        Point p;
        p.askedHz = asked[next++];
        const gen::FreqPlan plan = gen::planFrequency(int(p.askedHz));
        p.freqHz = double(gen::clockHz) / (double(plan.divider) * plan.tabs);
        timeBase = timeBaseFor(p.freqHz);
        if (plan.tabs < minTablePoints)
            p.gap = Gap::TooFewTablePoints;
        else if (timeBase < 0)
            p.gap = Gap::TooFast;
        if (p.gap != Gap::None) {
            points.push_back(p);
            continue;
        }
        current = p;
        frames = noisyFrames = 0;
        havePrevious = false;
        // As the generator page sends a sine: the table at the amplitude, its length and divider.
        int wave[gen::tableSize];
        int table[gen::tableSize] = {};
        gen::synthSine(wave, 0);
        gen::resample(wave, table, plan.tabs, set.amplitudeMv);
        com.absorbInput();
        com.genStart();
        com.setFreq(plan.divider, plan.tabs);
        com.sendGenChannel(table);
        // The capture must start after the new table plays, so the scope's start waits until
        // the table has left.
        com.drainOutput(2000);
        com.osc2chStart();
        com.setTimeBase(timeBase);
        sendGains(com, nowNs);
        return true;
    }
    return false;
}

void Sweep::sendGains(ZRVCom& com, qint64 nowNs) {
    com.setGain1(gain1);
    com.setGain2(gain2);
    havePrevious = false;
    gate.start(std::max(nowNs, Clock::nowNs()), timing(bitRate));
}

void Sweep::finishPoint(Point p) {
    points.push_back(p);
}

Sweep::Step Sweep::take(const Frame& frame, ZRVCom& com, qint64 nowNs) {
    if (!running || frame.length != 2 * OscScale::frameSamples || !gate.accept(frame))
        return Step::Ignored;
    samplesOfFrame(frame.data, raw);
    const int gains[2] = {gain1, gain2};
    for (int ch = 0; ch < 2; ++ch) {
        const int g = gains[ch];
        for (int k = 0; k < samplesPerChannel; ++k)
            volts[ch][k] = OscScale::volts(
                g, raw[ch * samplesPerChannel + k] * OscScale::gainFactor(g) / 100.0);
    }
    const double cycles = current.freqHz * OscScale::sampleTime(timeBase, 1);
    const ToneFit in = fitTone(volts[0], samplesPerChannel, cycles);
    const ToneFit out = fitTone(volts[1], samplesPerChannel, cycles);
    ++frames;
    // A channel off its best gain gets it, and the frames start over.
    const int best1 = gainFor(in.amplitude + 3 * in.noiseRms);
    const int best2 = gainFor(out.amplitude + 3 * out.noiseRms);
    Point p = current;
    bool done = false;
    if ((best1 != gain1 || best2 != gain2) && frames < maxFramesPerPoint) {
        gain1 = best1;
        gain2 = best2;
        com.absorbInput();
        sendGains(com, nowNs);
        return Step::Taken;
    }
    if (!in.ok || !out.ok || in.snrDb() < minSnrDb || out.snrDb() < minSnrDb) {
        havePrevious = false;
        if (++noisyFrames >= 2) {
            p.gap = Gap::Noise;
            done = true;
        }
    } else {
        const double g = gainDb(in, out), ph = phaseDeg(in, out);
        if (havePrevious && std::fabs(g - previousGain) <= agreeDb &&
            std::fabs(wrapDegrees(ph - previousPhase)) <= agreeDeg) {
            p.measured = true;
            p.gainDb = g;
            p.phaseDeg = ph;
            done = true;
        }
        havePrevious = true;
        previousGain = g;
        previousPhase = ph;
    }
    if (!done && frames >= maxFramesPerPoint) {
        p.gap = Gap::Unsettled;
        done = true;
    }
    if (!done)
        return Step::Taken;
    finishPoint(p);
    if (!beginPoint(com, nowNs)) {
        running = false;
        return Step::Finished;
    }
    return Step::PointDone;
}

} // namespace bode

#include "instruments/spectrum/spectrumprocessor.h"

#include "instruments/oscilloscope/oscscale.h"

#include "device/buffer.h"
#include "instruments/spectrum/spectrum.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int plotFloor = -1024;
// Far above the top edge (+1024): keeps the float-to-int conversion defined for any level.
constexpr int plotCeiling = 1 << 20;
// The Hamming window's mean, its gain for a tone: every window's levels are scaled to it.
constexpr double hammingGain = 0.54;
// A bin-centred tone of amplitude A reads 20 log10(A * points / 2 * hammingGain) in `levels`.
constexpr double toneBinGain = SpectrumProcessor::points / 2 * hammingGain;
} // namespace

SpectrumProcessor::SpectrumProcessor() {
    // pi is taken as 3.14159 here; the window and the twiddle factors inherit it.
    for (int k = 0; k < sinTabLen; ++k)
        sinTab[k] = std::sin(3.14159 * 2 * k / 1024);
    std::fill(std::begin(fftRe), std::end(fftRe), 0.0);
    std::fill(std::begin(fftIm), std::end(fftIm), -HUGE_VAL);
    std::fill(std::begin(sampleBuf), std::end(sampleBuf), 0);
    core::windowTable(set.window, shownWindow, points);
    core::windowTable(core::Window::BlackmanHarris, bhWindow, points);
    for (const double w : bhWindow)
        bhSquares += w * w;
    std::fill(std::begin(shown), std::end(shown), -HUGE_VAL);
    restart();
}

void SpectrumProcessor::setSettings(const SpectrumSettings& given) {
    // Compared as kept: an out-of-range count would otherwise differ every time and restart.
    SpectrumSettings s = given;
    s.averages = std::clamp(s.averages, 2, maxAverages);
    const bool moved = s.xPos != set.xPos;
    const bool newAverage = s.timeBase != set.timeBase || s.gain != set.gain ||
                            s.window != set.window || s.averaging != set.averaging ||
                            s.averages != set.averages;
    // The held peaks would stand on another floor or scale than the trace shown.
    if (moved || newAverage || (s.hold && !set.hold))
        restartHold();
    if (newAverage)
        restartAverage();
    if (s.window != set.window) {
        core::windowTable(s.window, shownWindow, points);
        double sum = 0.0;
        for (const double w : shownWindow)
            sum += w;
        levelShift =
            s.window == core::Window::Hamming ? 0.0 : 20 * std::log10(hammingGain * points / sum);
    }
    set = s;
    // A spectrum shown keeps the volts of the range it was taken at (a stopped one too).
    res.referenceDb = referenceDb(set.reference, res.hasFrame ? res.gain : set.gain);
    if (peakRaw)
        res.peakLevel = *peakRaw + res.referenceDb;
    if (moved)
        adjustGraph(res.specGraph, shown, set.xPos);
}

void SpectrumProcessor::restart() {
    res.hasFrame = false;
    res.power.reset();
    for (Reading* r : {&res.thd, &res.thdn, &res.snr, &res.sinad, &res.sfdr, &res.enob, &res.peakHz,
                       &res.peakLevel, &res.peakBin})
        r->reset();
    peakRaw.reset();
    std::fill(std::begin(res.specGraph), std::end(res.specGraph), plotFloor);
    std::fill(std::begin(res.levels), std::end(res.levels), -HUGE_VAL);
    restartHold();
    restartAverage();
}

void SpectrumProcessor::restartAverage() {
    frames = 0;
    next = 0;
    res.averaged = 0;
}

void SpectrumProcessor::restartHold() {
    std::fill(std::begin(res.holdGraph), std::end(res.holdGraph), plotFloor);
    std::fill(std::begin(res.holdLevels), std::end(res.holdLevels), -HUGE_VAL);
}

bool SpectrumProcessor::process(const uint8_t* body, int length) {
    if (length < scopeFrameBytes)
        return false;
    samplesOfFrame(body, sampleBuf);
    const bool hamming = set.window == core::Window::Hamming;
    for (int i = 0; i < points; ++i)
        fftRe[i] = sampleBuf[i];
    res.power = fft(fftRe, fftIm, order, sinTab, points, hamming ? nullptr : shownWindow);
    average();
    std::copy(shown, shown + plotLen, res.levels);
    adjustGraph(res.specGraph, shown, set.xPos);
    res.gain = set.gain;
    res.referenceDb = referenceDb(set.reference, res.gain);
    measure();
    res.hasFrame = true;
    res.timeBase = set.timeBase;
    if (set.hold)
        updateHold();
    return true;
}

void SpectrumProcessor::average() {
    const int n = set.averaging == SpectrumSettings::Off ? 1 : set.averages;
    const int slot = next;
    next = (next + 1) % n;
    frames = std::min(frames + 1, n);
    const int count = frames;
    res.averaged = count;
    if (set.averaging == SpectrumSettings::Off) {
        for (int i = 0; i < shownBins; ++i)
            shown[i] = fftIm[i] + levelShift;
    } else if (set.averaging == SpectrumSettings::Linear) {
        // The power of the last `count` frames, summed afresh: no drift from adding and taking
        // away.
        std::copy(fftRe, fftRe + shownBins, ring[slot]);
        for (int i = 0; i < shownBins; ++i) {
            double sum = 0.0;
            for (int f = 0; f < count; ++f)
                sum += ring[f][i];
            shown[i] = core::decabel(sum / count) + levelShift;
        }
    } else {
        // Weight 1 / count: the plain mean until `averages` frames are in, then 1 / averages.
        const double weight = 1.0 / count;
        for (int i = 0; i < shownBins; ++i) {
            mean[i] = frames == 1 ? fftRe[i] : mean[i] + (fftRe[i] - mean[i]) * weight;
            shown[i] = core::decabel(mean[i]) + levelShift;
        }
    }
}

void SpectrumProcessor::measure() {
    // The figures' own spectrum: the frame through the Blackman-Harris window, or the one
    // shown when it is that window (its power, before averaging, is still in fftRe).
    if (set.window == core::Window::BlackmanHarris) {
        std::copy(fftRe, fftRe + plotLen, bhPower);
    } else {
        for (int i = 0; i < points; ++i)
            bhRe[i] = sampleBuf[i] * bhWindow[i];
        core::butterflies(bhRe, bhIm, order, sinTab, points);
        for (int i = 0, r = 0; i < points; ++i, r = core::nextReversed(r, order))
            if (r < plotLen)
                bhPower[r] = bhRe[i] * bhRe[i] + bhIm[i] * bhIm[i];
    }
    const core::Figures f = core::figures(bhPower, plotLen);
    for (Reading* r : {&res.thd, &res.thdn, &res.snr, &res.sinad, &res.sfdr, &res.enob, &res.peakHz,
                       &res.peakLevel, &res.peakBin})
        r->reset();
    peakRaw.reset();
    if (f.peak.bin < 0)
        return;
    res.peakBin = f.peak.at;
    res.peakHz = f.peak.at * core::hertzPerBin(set.timeBase, points);
    // The lobe holds (A/2)^2 * points * sum(w^2) of a tone of amplitude A, wherever it falls.
    double amplitude = 0.0;
    if (f.peak.bin >= 2 * core::lobeBins) {
        double lobe = 0.0;
        for (int j = f.peak.bin - core::lobeBins; j <= f.peak.bin + core::lobeBins && j < plotLen;
             ++j)
            lobe += bhPower[j];
        amplitude = 2 * std::sqrt(lobe / (points * bhSquares));
    } else {
        // The DC lobe overlaps the tone's, and an offset would count as tone: the tone's own bin,
        // through the window's response at the tone's distance from that bin's centre.
        const double d = std::clamp(f.peak.at - f.peak.bin, -0.5, 0.5);
        double re = 0.0, im = 0.0;
        for (int i = 0; i < points; ++i) {
            const double phase = 2 * 3.14159265358979323846 * d * i / points;
            re += bhWindow[i] * std::cos(phase);
            im += bhWindow[i] * std::sin(phase);
        }
        amplitude = 2 * std::sqrt(bhPower[f.peak.bin]) / std::hypot(re, im);
    }
    peakRaw = 20 * std::log10(amplitude * toneBinGain);
    res.peakLevel = *peakRaw + res.referenceDb;
    if (!f.known)
        return;
    const double rest = f.harmonics + f.noise;
    res.thd = 100 * std::sqrt(f.harmonics / f.tone);
    res.thdn = 100 * std::sqrt(rest / (f.tone + rest));
    res.snr = core::decabel(f.tone / f.noise);
    res.sinad = core::decabel(f.tone / rest);
    if (f.spur > 0)
        res.sfdr = core::decabel(f.tone / f.spur);
    res.enob = (*res.sinad - 1.76) / 6.02;
}

double SpectrumProcessor::referenceDb(SpectrumSettings::Reference reference, int gain) {
    if (reference == SpectrumSettings::Dbfs)
        return -20 * std::log10(32767 * toneBinGain);
    // A count in volts as the oscilloscope scales it; the sine's rms is its amplitude / sqrt 2.
    const double voltsPerCount = OscScale::volts(gain, OscScale::gainFactor(gain) / 100.0);
    return 20 * std::log10(voltsPerCount / std::sqrt(2.0) / toneBinGain);
}

void SpectrumProcessor::updateHold() {
    for (int i = 0; i < plotLen; ++i)
        res.holdGraph[i] = std::max(res.holdGraph[i], res.specGraph[i]);
    for (int i = 0; i < plotLen; ++i)
        res.holdLevels[i] = std::max(res.holdLevels[i], res.levels[i]);
}

double SpectrumProcessor::fft(double* re, double* im, int m, const double* table, int tableLen,
                              const double* window) {
    if (m < 0 || m > 30)
        return core::decabel(0.0);
    const int n = 1 << m;
    if (window) {
        for (int i = 0; i < n; ++i)
            re[i] *= window[i];
        core::butterflies(re, im, m, table, tableLen);
    } else {
        core::windowedButterflies(re, im, m, table, tableLen);
    }

    for (int i = 0; i < n; ++i)
        re[i] = re[i] * re[i] + im[i] * im[i];

    // Bit-reversed to natural order; r runs through reverse(i, m).
    for (int i = 0, r = 0; i < n; ++i, r = core::nextReversed(r, m))
        im[r] = re[i];
    for (int i = 0; i < n; ++i)
        re[i] = im[i];

    for (int i = 0; i < n; ++i)
        im[i] = core::decabel(im[i]);

    double total = 0.0;
    for (int i = 0; i < n / 2; ++i)
        total += re[i];
    return core::decabel(total);
}

void SpectrumProcessor::adjustGraph(int* plot, const double* levels, int offset) {
    const int first = -(offset < -128 ? -128 : (offset > 0 ? 0 : offset));
    for (int i = 0; i < plotLen; ++i) {
        const double v = 26.0 * levels[first + i] - 2148.0;
        if (std::isnan(v) || v < plotFloor)
            plot[i] = plotFloor;
        else if (v > plotCeiling)
            plot[i] = plotCeiling;
        else
            plot[i] = int(v);
    }
}

FrameTiming SpectrumProcessor::frameTiming(int timeBase, int bitRate) {
    const double periodNs = OscScale::sampleTime(timeBase, 1.0) * 1e9;
    return FrameTiming::of(points, periodNs, scopeFrameBytes, bitRate);
}

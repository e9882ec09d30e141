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
} // namespace

SpectrumProcessor::SpectrumProcessor() {
    // pi is taken as 3.14159 here; the window and the twiddle factors inherit it.
    for (int k = 0; k < sinTabLen; ++k)
        sinTab[k] = std::sin(3.14159 * 2 * k / 1024);
    std::fill(std::begin(fftRe), std::end(fftRe), 0.0);
    std::fill(std::begin(fftIm), std::end(fftIm), -HUGE_VAL);
    std::fill(std::begin(sampleBuf), std::end(sampleBuf), 0);
    restart();
}

void SpectrumProcessor::setSettings(const SpectrumSettings& s) {
    const bool moved = s.xPos != set.xPos;
    if (moved || s.timeBase != set.timeBase || s.gain != set.gain || (s.hold && !set.hold))
        restartHold();
    set = s;
    if (moved)
        adjustGraph(res.specGraph, fftIm, set.xPos);
}

void SpectrumProcessor::restart() {
    res.hasFrame = false;
    res.power.reset();
    res.thdn.reset();
    std::fill(std::begin(res.specGraph), std::end(res.specGraph), plotFloor);
    std::fill(std::begin(res.levels), std::end(res.levels), -HUGE_VAL);
    restartHold();
}

void SpectrumProcessor::restartHold() {
    std::fill(std::begin(res.holdGraph), std::end(res.holdGraph), plotFloor);
    std::fill(std::begin(res.holdLevels), std::end(res.holdLevels), -HUGE_VAL);
}

bool SpectrumProcessor::process(const uint8_t* body, int length) {
    if (length < scopeFrameBytes)
        return false;
    samplesOfFrame(body, sampleBuf);
    for (int i = 0; i < points; ++i)
        fftRe[i] = sampleBuf[i];
    const double power = fft(fftRe, fftIm, order, sinTab, points);
    const double distortion = core::thdn(fftRe, plotLen, power);
    adjustGraph(res.specGraph, fftIm, set.xPos);
    std::copy(fftIm, fftIm + plotLen, res.levels);
    res.power = power;
    // No line to measure against (a frame of zeros): no THD+N.
    res.thdn = std::isfinite(distortion) && distortion >= 0 ? Reading(distortion) : Reading();
    res.hasFrame = true;
    res.timeBase = set.timeBase;
    if (set.hold)
        updateHold();
    return true;
}

void SpectrumProcessor::updateHold() {
    for (int i = 0; i < plotLen; ++i)
        res.holdGraph[i] = std::max(res.holdGraph[i], res.specGraph[i]);
    for (int i = 0; i < plotLen; ++i)
        res.holdLevels[i] = std::max(res.holdLevels[i], res.levels[i]);
}

double SpectrumProcessor::fft(double* re, double* im, int m, const double* table, int tableLen) {
    if (m < 0 || m > 30)
        return core::decabel(0.0);
    const int n = 1 << m;
    core::windowedButterflies(re, im, m, table, tableLen);

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

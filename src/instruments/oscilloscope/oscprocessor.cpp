#include "instruments/oscilloscope/oscprocessor.h"

#include "device/buffer.h"

#include <algorithm>
#include <cmath>

void OscProcessor::setSettings(const OscSettings& settings) {
    // Windows of other scales or another trigger point are not the same signal.
    // Compared as kept: an out-of-range count would otherwise differ every time and restart.
    OscSettings s = settings;
    s.average = std::clamp(s.average, 1, int(OscSettings::maxAverage));
    if (s.timeBase != set.timeBase || s.gain1 != set.gain1 || s.gain2 != set.gain2 ||
        s.twoChannel != set.twoChannel || s.trigMode != set.trigMode ||
        s.trigLevelMv != set.trigLevelMv || s.xPos != set.xPos || s.average != set.average)
        restartAverage();
    set = s;
    deriveFromSettings();
}

void OscProcessor::restartAverage() {
    avgCount = avgNext = 0;
    std::fill(std::begin(sum), std::end(sum), 0);
}

void OscProcessor::average(int start, int block) {
    // Once the ring is full the oldest window leaves the sums as the new one comes in.
    int16_t* slot = ring[avgNext];
    const bool full = avgCount == set.average;
    for (int i = 0; i < windowValues; ++i) {
        const int channel = i / OscScale::plotLen, k = i % OscScale::plotLen;
        const int v = channel == 0 || set.twoChannel ? sampleBuf[channel * block + start + k] : 0;
        if (full)
            sum[i] -= slot[i];
        slot[i] = int16_t(std::clamp(v, -32768, 32767));
        sum[i] += slot[i];
    }
    if (!full)
        ++avgCount;
    avgNext = (avgNext + 1) % set.average;
    for (int i = 0; i < windowValues; ++i)
        mean[i] = double(sum[i]) / avgCount;
}

void OscProcessor::deriveFromSettings() {
    res.levelShown = OscTrigger::levelMarker(set.trigLevel(), set.gain1, set.yPos1, &res.levelRow);
    res.positionColumn = OscTrigger::positionMarker(set.xPos);

    const double samples = double(set.tCursor2 - set.tCursor1) / OscScale::pixelsPerSample;
    res.cursorTime = OscScale::sampleTime(set.timeBase, samples);
    // Coincident cursors span no time: there is no frequency to show.
    res.cursorFreq = samples != 0.0
                         ? Reading(OscScale::sampleRate(set.timeBase) / std::fabs(samples))
                         : Reading();
    const double units = double(set.vCursor2 - set.vCursor1) * OscScale::unitsPerPixel;
    res.cursorVolt1 = OscScale::volts(set.gain1, units);
    res.cursorVolt2 = OscScale::volts(set.gain2, units);
}

void OscProcessor::restart(qint64 nowNs) {
    restartAverage();
    res.hasWindow = false;
    res.ch1 = res.ch2 = OscChannel{};
    res.trigger = OscTrigger::NotShown;
    trig = OscTrigger::State{};
    trig.lastTriggerNs = nowNs;
    samplesTaken = false;
    took = false;
}

bool OscProcessor::process(const uint8_t* body, int length, qint64 nowNs) {
    if (length < scopeFrameBytes)
        return false;
    samplesOfFrame(body, sampleBuf);
    samplesTaken = true;
    samplesSet = set;
    samplesAt = nowNs;
    return step(nowNs, true);
}

bool OscProcessor::processSamples(const int* samples, qint64 nowNs) {
    std::copy(samples, samples + OscScale::frameSamples, sampleBuf);
    samplesTaken = true;
    samplesSet = set;
    samplesAt = nowNs;
    return step(nowNs, true);
}

bool OscProcessor::redo() {
    took = false;
    // Samples of another mode, time base or gain cannot be read with this one's scales.
    if (!samplesTaken || samplesSet.twoChannel != set.twoChannel ||
        samplesSet.timeBase != set.timeBase || samplesSet.gain1 != set.gain1 ||
        samplesSet.gain2 != set.gain2)
        return false;
    // At the time of the samples, so that going over them again never forces "Auto".
    return step(samplesAt, false);
}

bool OscProcessor::step(qint64 nowNs, bool fresh) {
    OscTrigger::Setup setup;
    setup.level = int(set.trigLevel());
    // The Single button waits for an edge as "Norm" does, with the edge and filter as set.
    const bool edgeMode = (set.trigMode & 3) != OscTrigger::FreeRun;
    setup.mode = set.singleShot && edgeMode ? (set.trigMode & ~3) | OscTrigger::Norm
                                            : set.trigMode;
    setup.xPos = set.xPos;
    setup.gain1 = set.gain1;
    setup.gain2 = set.gain2;
    setup.twoChannel = set.twoChannel;
    int start = 0;
    const int copied =
        OscTrigger::run(trig, sampleBuf, res.bufGraph, res.bufGraph2, setup, nowNs, &start);
    const OscTrigger::Shown shown =
        OscTrigger::shownState(setup.mode, trig, copied, res.trigger, nowNs);
    const bool shownChanged = shown != res.trigger;
    res.trigger = shown;
    took = copied != 0;
    if (!copied)
        return shownChanged;

    res.hasWindow = true;
    res.twoChannel = set.twoChannel;
    res.windowStart = start;
    // The window's own samples: the readouts never see the positions.
    const int n = OscScale::plotLen;
    const int block = set.twoChannel ? OscScale::frameSamples / 2 : OscScale::frameSamples;
    if (set.average > 1) {
        // Going over the same samples again adds nothing to the average.
        if (fresh || avgCount == 0)
            average(start, block);
        // The trace and readouts of the mean: the plot's truncation, the readouts' exact scale.
        // Only the window is averaged, so the period comes from it alone.
        const int f1 = OscScale::gainFactor(set.gain1), f2 = OscScale::gainFactor(set.gain2);
        for (int i = 0; i < n; ++i) {
            res.bufGraph[i] = int(mean[i] * f1 / 100);
            res.bufGraph2[i] = int(mean[n + i] * f2 / 100);
        }
        res.ch1 = OscMeasure::measure(mean, n, 0, n, set.gain1, set.timeBase);
        res.ch2 = set.twoChannel
                      ? OscMeasure::measure(mean + n, n, 0, n, set.gain2, set.timeBase)
                      : OscChannel{};
    } else {
        res.ch1 = OscMeasure::measure(sampleBuf, block, start, n, set.gain1, set.timeBase);
        res.ch2 = set.twoChannel ? OscMeasure::measure(sampleBuf + block, block, start, n,
                                                       set.gain2, set.timeBase)
                                 : OscChannel{};
    }
    OscTrigger::adjustGraph(res.bufGraph, set.yPos1);
    if (set.twoChannel)
        OscTrigger::adjustGraph(res.bufGraph2, set.yPos2);
    return true;
}

FrameTiming OscProcessor::frameTiming(const OscSettings& settings, int bitRate) {
    const int samples =
        settings.twoChannel ? OscScale::frameSamples / 2 : OscScale::frameSamples;
    const double periodNs = OscScale::sampleTime(settings.timeBase, 1.0) * 1e9;
    return FrameTiming::of(samples, periodNs, scopeFrameBytes, bitRate);
}

#pragma once

#include "device/framegate.h"
#include "instruments/oscilloscope/oscmeasure.h"
#include "instruments/oscilloscope/oscscale.h"
#include "instruments/oscilloscope/osctrigger.h"
#include "instruments/readout.h"

#include <QtGlobal>
#include <cstdint>

// Everything the oscilloscope's controls set, as the processor needs it.
struct OscSettings {
    int timeBase = 7; // 0 .. 14, OscScale::timeTab
    int gain1 = 0;    // 0 .. 6, OscScale::gainTab
    int gain2 = 0;
    bool twoChannel = false;
    int trigMode = 0;    // mode + 4 x edge + 8 x band (OscTrigger)
    int trigLevelMv = 0; // the level box, mV
    int xPos = 0;        // -192 .. 192 samples: where the trigger point stands
    int yPos1 = 0;       // vertical positions in pixels, up positive
    int yPos2 = 0;
    bool timeCursors = false;
    bool voltCursors = false;
    int tCursor1 = 0, tCursor2 = 0; // time cursors, pixels from the plot's left edge
    int vCursor1 = 0, vCursor2 = 0; // voltage cursors, pixels above the centre line
    // The Single button: one window on an edge of the trigger as set (in "----" the next
    // frame), whatever the mode box says, and no Auto forcing.
    bool singleShot = false;
    // Triggered windows averaged sample by sample: 1 (off), 2, 4 .. maxAverage.
    int average = 1;
    static constexpr int maxAverage = 64;

    // The trigger level in the trigger's units: the box's millivolts / 38.
    float trigLevel() const { return float(trigLevelMv) / OscTrigger::millivoltsPerLevel; }
};

// What one channel's readouts show: RMS, Avg, Vpp in volts, Freq in hertz, and the window's
// samples that RMS and Avg cover.
using OscChannel = OscMeasure::Result;

// What the oscilloscope page shows: the window on screen and its readouts, the markers and the
// cursor readouts. Plain values, drawn and shown as they are.
struct OscResult {
    bool hasWindow = false;  // a window was taken since the start
    bool twoChannel = false; // the window's frame had two channels
    int windowStart = 0;     // the frame sample at the window's left edge
    // The window in plot units (quarter pixels), the vertical positions added.
    int bufGraph[OscScale::plotLen] = {};
    int bufGraph2[OscScale::plotLen] = {};
    OscChannel ch1, ch2;
    OscTrigger::Shown trigger = OscTrigger::NotShown;

    // From the settings alone.
    bool levelShown = false;
    int levelRow = 0;       // pixels above the centre line
    int positionColumn = 0; // pixels from the plot's left edge
    Reading cursorTime;     // s, right cursor minus left
    Reading cursorFreq;     // Hz, 1 / |time|; none for coincident cursors
    Reading cursorVolt1;    // V between the voltage cursors on channel 1's scale
    Reading cursorVolt2;
};

// The oscilloscope without a window: frames and settings in, a result out.
class OscProcessor {
public:
    // Changes the settings; the parts of the result that follow from them alone are updated.
    // The window is not taken again: see redo().
    void setSettings(const OscSettings& settings);
    const OscSettings& settings() const { return set; }

    // The page (re)started at `nowNs`: no window yet, and "Auto" waits from now.
    void restart(qint64 nowNs);
    // A trigger control changed: a held "Single" capture is released.
    void rearm() { trig.rearm = true; }
    // The average starts again from the next window (Run after Stop). A change of time base,
    // gain, channels, trigger, position or of the number averaged restarts it by itself.
    void restartAverage();
    // Windows in the average now.
    int averaged() const { return avgCount; }

    // A frame body that arrived at `nowNs`: 1024 samples (one channel, or 512 + 512). Bodies
    // shorter than a scope frame are not the page's. True when the result changed.
    bool process(const uint8_t* body, int length, qint64 nowNs);
    // 1024 raw samples from elsewhere (a waveform file), taken like a frame.
    bool processSamples(const int* samples, qint64 nowNs);
    // The last samples again, after a change of position or trigger: the window they give now.
    bool redo();

    const OscResult& result() const { return res; }
    // How long a frame of `settings` takes at `bitRate` bit/s, for the frame gate.
    static FrameTiming frameTiming(const OscSettings& settings, int bitRate);
    // The last frame, file or redo took a new window.
    bool tookWindow() const { return took; }
    // The raw samples of the last frame or file (channel 2 from 512 on in two-channel mode),
    // and the settings they were taken with.
    const int* samples() const { return sampleBuf; }
    bool hasSamples() const { return samplesTaken; }
    const OscSettings& samplesSettings() const { return samplesSet; }

private:
    // `fresh`: samples not yet in the average (not a redo of the last ones).
    bool step(qint64 nowNs, bool fresh);
    void deriveFromSettings();
    // Adds the window at `start` to the running mean; `mean` then holds it (channel 2 from
    // plotLen on).
    void average(int start, int block);

    OscSettings set;
    OscResult res;
    OscTrigger::State trig;
    int sampleBuf[OscScale::frameSamples] = {};
    bool samplesTaken = false;
    OscSettings samplesSet; // the settings the samples were taken with
    qint64 samplesAt = 0;
    bool took = false;

    // The running mean of the last `set.average` windows, raw: a ring of the windows (channel 2
    // from plotLen on), their sums, and the mean.
    static constexpr int windowValues = 2 * OscScale::plotLen;
    int16_t ring[OscSettings::maxAverage][windowValues] = {};
    int sum[windowValues] = {};
    double mean[windowValues] = {};
    int avgCount = 0; // windows in the ring
    int avgNext = 0;  // the slot the next one goes to
};

#pragma once

#include "device/framegate.h"
#include "device/trigger.h"
#include "instruments/logic/lalogic.h"

#include <cstdint>

// Everything the logic analyser's controls set.
struct LogicSettings {
    int rate = LaLogic::initialRate; // 0 .. 13, "4MSPS" .. "200SPS"
    Trigger trigger;                 // the eight channels' conditions
    int zoom = 1;                    // pixels per sample, 1 .. 24
    int xPos = 0;                    // first display position, 0 .. 1984 (half samples)
    int cursorX = 0;                 // cursor column, pixels from the plot's left edge
};

// What the logic page shows: the capture, its eight traces and the cursor readouts.
struct LogicResult {
    bool captured = false;
    uint8_t capture[LaLogic::captureBytes] = {};
    int logicGraph[LaLogic::channels][LaLogic::positions] = {};
    int value = -1;    // the byte under the cursor, -1 past the data
    float timeUs = 0;  // the cursor's time from the start of the capture
    int rate = LaLogic::initialRate; // the rate the capture was taken at
};

// The logic analyser without a window: captures in, traces and readouts out.
class LogicProcessor {
public:
    // The traces and readouts follow the new zoom, offset, cursor and rate at once.
    void setSettings(const LogicSettings& settings);
    const LogicSettings& settings() const { return set; }

    // A capture was asked for ("Start" or "Force trig"): the next logic frame is it.
    void arm() { awaiting = true; }
    bool isAwaiting() const { return awaiting; }
    // A frame body; true when it was the capture asked for (one byte per sample, 1024 bytes).
    // Anything else (a scope frame still on the line, noise) is not this page's.
    bool take(const uint8_t* body, int length);

    const LogicResult& result() const { return res; }

    // The shortest capture at `rate`: the trigger at once, then the samples after it. Its time
    // on the line is left out: a capture comes once, and one taken for old would never come
    // again, while a capture of old settings can only be on the line if it began before the
    // command.
    static FrameTiming captureTiming(int rate);

private:
    void derive();

    LogicSettings set;
    LogicResult res;
    bool awaiting = false;
};

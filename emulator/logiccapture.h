#pragma once

#include "command.h"

#include <cstdint>

namespace emu {

// The logic analyser's capture: armed, it tests the samples from the arming on until the trigger
// condition holds, then keeps `preTrigger` samples before the trigger sample and the rest after
// it. A forced capture starts with the next sample and has no pre-trigger part. The inputs are
// a known periodic pattern, so the search runs ahead of the clock at arming: one pattern period
// finds the trigger or proves that it never comes. A later command (force, re-arm) still
// overrides a trigger that lies in the future.
class LogicCapture {
public:
    static constexpr int samples = 1024;
    static constexpr int preTrigger = 64;

    // Sample period in ns of rate index 0..13 (4 MSPS .. 200 SPS).
    static int64_t periodNs(int rate);

    // True when every channel that takes part holds at `current` (with `previous` the sample
    // before it): a level channel at its level, an edge channel just changed in its direction.
    // A channel with both edge and level bits waits for the edge; with neither, it does not
    // take part. With no channel taking part, every sample fires.
    static bool fires(const LaTrigger& t, uint8_t previous, uint8_t current);

    // The buses on the inputs (LogicPattern::Bus), none by default.
    void setBuses(unsigned b) { buses = b; }

    void arm(int64_t nowNs, int64_t periodNs, const LaTrigger& trigger);
    void force(int64_t nowNs, int64_t periodNs);
    void cancel() { state = Off; }

    // Armed and waiting for a condition that the inputs never meet.
    bool searching() const { return state == Searching; }
    bool captured() const { return state == Captured; }
    // When the last sample of the capture has been taken.
    int64_t readyAtNs() const { return (first + samples - 1) * period; }
    int64_t firstSample() const { return first; }
    // When the trigger sample is taken (for a forced capture: its first sample).
    int64_t triggerAtNs() const { return (first + preTrigger) * period; }
    int64_t samplePeriodNs() const { return period; }
    // The 1024 samples of the capture.
    void fill(uint8_t* out) const;

private:
    enum State { Off, Searching, Captured };
    State state = Off;
    LaTrigger trig;
    int64_t period = 1;
    int64_t first = 0;
    unsigned buses = 0;
};

} // namespace emu

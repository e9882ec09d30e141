#pragma once

#include "instruments/readout.h"

// The oscilloscope's automatic measurements over the window on screen (plot units, positions
// not applied).
namespace OscMeasure {

// Rising crossings of the middle threshold, each after the signal went below the low threshold
// and, for the next one, above the high threshold (thresholds at fixed fractions of the
// window's range). The scan stops at the 101st crossing.
struct Crossings {
    static constexpr int maxCount = 101;
    int count = 0;
    int first = 0;         // index of the first crossing's sample
    int last = 0;          // index of the last crossing's sample
    double firstAt = 0.0;  // the first crossing in samples, between the two samples around it
    double lastAt = 0.0;   // the same for the last
    bool regular = false;  // the crossings are evenly spaced, as a periodic signal's are
    // Two whole periods or more: [first, last) holds count - 1 of them.
    bool wholePeriods() const { return count >= 3 && regular; }
};
Crossings scan(const int* s, int n);

struct Result {
    Reading rms, avg, vpp; // volts, on the grid's scale
    Reading freq;          // hertz; known only over two whole periods or more
    int from = 0, to = 0;  // the samples RMS and Avg cover: whole periods, or the whole window
    bool wholePeriods = false;
};
// Vpp over the whole window; RMS and Avg over the whole periods when there are two or more,
// otherwise over the whole window; the frequency from the whole periods.
Result measure(const int* s, int n, int gain, int timeBase);

} // namespace OscMeasure

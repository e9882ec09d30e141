#pragma once

#include "instruments/readout.h"

// The oscilloscope's automatic measurements over the window on screen, taken from its raw
// samples scaled exactly (the plot's whole quarter pixels would cost up to a unit each).
namespace OscMeasure {

// Rising crossings of the middle threshold, each after the signal went below the low threshold
// and, for the next one, above the high threshold (thresholds at fixed fractions of the
// window's range). The scan stops at the 101st crossing.
// Whole periods need three crossings, evenly spaced, of a band well above the signal's noise.
struct Crossings {
    static constexpr int maxCount = 101;
    int count = 0;
    int first = 0;         // index of the first crossing's sample
    int last = 0;          // index of the last crossing's sample
    double firstAt = 0.0;  // the first crossing in samples, between the two samples around it
    double lastAt = 0.0;   // the same for the last
    double period = 0.0;   // samples, fitted through all crossings (evenly spaced ones only)
    bool regular = false;  // the crossings are evenly spaced, as a periodic signal's are
    bool aboveNoise = false; // the thresholds' band is well above the noise on the signal
    // Two whole periods or more: [first, last) holds count - 1 of them.
    bool wholePeriods() const { return count >= 3 && regular && aboveNoise; }
};
// `step`: the smallest change the samples can show (a quantisation step), in their units. At
// most a frame's samples (n <= 1024).
// Without `weighNoise` the band counts as above the noise (known already, from the window).
Crossings scan(const double* s, int n, double step, bool weighNoise = true);

struct Result {
    Reading rms, avg, vpp; // volts, on the grid's scale
    Reading freq;          // hertz; known only over two whole periods or more
    int from = 0, to = 0;  // the samples RMS and Avg cover: whole periods, or the whole window
    bool wholePeriods = false;
};
// One channel's frame block of raw samples at gain index `gain`, its window on screen the n
// samples from `start`: Vpp over the whole window; RMS and Avg over the whole periods when two
// or more are on screen, otherwise over the whole window; the frequency, when two whole periods
// are on screen, from the crossings of the whole block (the samples off screen are the same
// signal, and more periods steady the figure).
Result measure(const int* block, int blockLen, int start, int n, int gain, int timeBase);

} // namespace OscMeasure

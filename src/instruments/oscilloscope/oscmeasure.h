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
    // The thresholds' band is well above the noise on the signal: folded onto the period when
    // the crossings are regular, otherwise between neighbouring samples.
    bool aboveNoise = false;
    // Every edge in order, rising and falling alternately: a falling one is the first sample at
    // or below the middle after the signal went above the high threshold. Index of the first
    // sample past the middle.
    static constexpr int maxEdges = 2 * maxCount + 1;
    struct Edge {
        int i;
        bool rising;
    };
    Edge edges[maxEdges] = {};
    int edgeCount = 0;
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
    Reading min, max;      // volts, of the window
    Reading period;        // seconds, 1 / freq
    Reading duty;          // percent: positive width / period
    // Seconds, each the mean over the window's whole pulses or edges: widths between the
    // crossings of the middle of the range, rise and fall times between the 10 % and 90 %
    // crossings of the top and base levels. Edges need a sample between 10 and 90 % to count.
    Reading pwidth, nwidth, rise, fall;
    int from = 0, to = 0;  // the samples RMS and Avg cover: whole periods, or the whole window
    bool wholePeriods = false;
};
// One channel's frame block of raw samples at gain index `gain`, its window on screen the n
// samples from `start`: Vpp over the whole window; RMS and Avg over the whole periods when two
// or more are on screen, otherwise over the whole window; the frequency, when two whole periods
// are on screen, from the crossings of the whole block (the samples off screen are the same
// signal, and more periods steady the figure).
Result measure(const int* block, int blockLen, int start, int n, int gain, int timeBase);
// The same on raw samples that need not be whole (a mean of windows).
Result measure(const double* block, int blockLen, int start, int n, int gain, int timeBase);

// The signal's top and base levels: the most common level of the upper and of the lower half of
// the range (a pulse's flat parts), or the extreme where a half has none (a triangle).
void topAndBase(const double* s, int n, double* top, double* base);

} // namespace OscMeasure

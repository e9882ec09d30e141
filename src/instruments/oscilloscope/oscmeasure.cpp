#include "instruments/oscilloscope/oscmeasure.h"

#include "instruments/oscilloscope/oscscale.h"

#include <algorithm>
#include <cmath>

namespace OscMeasure {

namespace {
// Crossings of noise come at random; those of a periodic signal one period apart, give or
// take the sampling (at most a sample) and a fifth of a period of jitter.
bool evenlySpaced(const double* at, int count) {
    if (count < 3)
        return false;
    const double period = (at[count - 1] - at[0]) / (count - 1);
    const double allowed = std::max(1.0, 0.2 * period);
    for (int k = 1; k < count; ++k)
        if (std::fabs(at[k] - at[k - 1] - period) > allowed)
            return false;
    return true;
}
} // namespace

Crossings scan(const int* s, int n) {
    Crossings c;
    if (n <= 0)
        return c;
    const auto [lo, hi] = std::minmax_element(s, s + n);
    const long long min = *lo, max = *hi;
    // Integer thresholds, 64-bit so that no input can overflow the weighted sums.
    const long long lowT = (11 * min + 5 * max) / 16;
    const long long highT = (11 * max + 5 * lowT) / 16;
    const long long midT = (lowT + highT) / 2;

    double at[Crossings::maxCount];
    int state = 0;
    for (int i = 0; i < n && c.count < Crossings::maxCount; ++i) {
        if (state == 0) {
            if (s[i] < lowT)
                state = 1;
        } else if (state == 1) {
            if (s[i] > midT) {
                // s[i - 1] <= midT < s[i]: the crossing lies between them.
                const double before = s[i - 1];
                at[c.count] = i - 1 + (double(midT) - before) / (s[i] - before);
                (c.count == 0 ? c.first : c.last) = i;
                ++c.count;
                state = 2;
            }
        } else if (s[i] > highT) {
            state = 0;
        }
    }
    if (c.count > 0) {
        c.firstAt = at[0];
        c.lastAt = at[c.count - 1];
    }
    c.regular = evenlySpaced(at, c.count);
    return c;
}

Result measure(const int* s, int n, int gain, int timeBase) {
    Result r;
    if (n <= 0)
        return r;
    const auto [lo, hi] = std::minmax_element(s, s + n);
    r.vpp = OscScale::volts(gain, double(*hi) - double(*lo));

    const Crossings c = scan(s, n);
    r.wholePeriods = c.wholePeriods();
    r.from = r.wholePeriods ? c.first : 0;
    r.to = r.wholePeriods ? c.last : n;
    double sum = 0.0, squares = 0.0;
    for (int i = r.from; i < r.to; ++i) {
        sum += s[i];
        squares += double(s[i]) * double(s[i]);
    }
    const int count = r.to - r.from;
    r.avg = OscScale::volts(gain, sum / count);
    r.rms = OscScale::volts(gain, std::sqrt(squares / count));
    if (r.wholePeriods)
        r.freq = OscScale::sampleRate(timeBase) * (c.count - 1) / (c.lastAt - c.firstAt);
    return r;
}

} // namespace OscMeasure

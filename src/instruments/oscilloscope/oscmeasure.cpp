#include "instruments/oscilloscope/oscmeasure.h"

#include "instruments/oscilloscope/oscscale.h"

#include <algorithm>
#include <cmath>

namespace OscMeasure {

namespace {
// Crossings of noise come at random; those of a periodic signal one period apart, give or
// take the sampling (at most a sample) and a fifth of a period of jitter.
bool evenlySpaced(const double* at, int count) {
    if (count < 2)
        return false;
    const double period = (at[count - 1] - at[0]) / (count - 1);
    const double allowed = std::max(1.0, 0.2 * period);
    for (int k = 1; k < count; ++k)
        if (std::fabs(at[k] - at[k - 1] - period) > allowed)
            return false;
    return true;
}

// The period of evenly spaced crossings at[0 .. count): the slope of a straight line through
// them, which every crossing steadies, not only the first and the last.
double fittedPeriod(const double* at, int count) {
    const double meanK = (count - 1) / 2.0;
    double meanT = 0;
    for (int k = 0; k < count; ++k)
        meanT += at[k];
    meanT /= count;
    double num = 0, den = 0;
    for (int k = 0; k < count; ++k) {
        num += (k - meanK) * (at[k] - meanT);
        den += (k - meanK) * (k - meanK);
    }
    return num / den;
}

// The noise on a periodic signal: the window folded onto one period of `period` samples, the
// spread between samples of neighbouring phases (the signal between them hardly changes, even
// with a few samples per period). Robust (a median), so the folded curve's steps do not count.
// Never below the spread of a quantisation step of `step`.
double noiseOnPeriod(const double* s, int n, double firstAt, double period, double step) {
    struct Folded {
        double phase, value;
    };
    Folded folded[OscScale::frameSamples];
    for (int i = 0; i < n; ++i) {
        const double cycles = (i - firstAt) / period;
        folded[i] = {cycles - std::floor(cycles), s[i]};
    }
    std::sort(folded, folded + n, [](const Folded& a, const Folded& b) { return a.phase < b.phase; });
    double spread[OscScale::frameSamples];
    for (int i = 1; i < n; ++i)
        spread[i - 1] = std::fabs(folded[i].value - folded[i - 1].value);
    double* middle = spread + (n - 1) / 2;
    std::nth_element(spread, middle, spread + n - 1);
    // The median of |a - b| for two samples of Gaussian noise is 0.954 sigma.
    return std::max(*middle / 0.954, step / std::sqrt(12.0));
}

// The crossing of `level` near `at` (samples), from a straight line fitted through the rise
// around it: the samples on either side of `at` that lie strictly inside (fitLow, fitHigh),
// at most `maxHalf` away, as far on one side as on the other. Noise on single samples then
// moves the crossing little, and a wave that is odd about its crossing (sine, triangle) puts
// the line's crossing exactly on its own. An edge has no samples inside: `at` stays.
double refinedCrossing(const double* s, int n, double at, double maxHalf, double level,
                       double fitLow, double fitHigh) {
    const auto inside = [&](int k) { return s[k] > fitLow && s[k] < fitHigh; };
    int from = int(std::floor(at)), to = from + 1;
    while (from > 0 && at - (from - 1) <= maxHalf && inside(from - 1))
        --from;
    while (to < n - 1 && to + 1 - at <= maxHalf && inside(to + 1))
        ++to;
    // As far on either side: a lopsided stretch would pull the line's crossing towards its
    // longer side.
    const double half = std::min(at - from, to - at);
    from = int(std::ceil(at - half));
    to = int(std::floor(at + half));
    const int count = to - from + 1;
    if (count < 4)
        return at;
    double st = 0, sv = 0, stt = 0, stv = 0;
    for (int k = from; k <= to; ++k) {
        st += k;
        sv += s[k];
        stt += double(k) * k;
        stv += k * s[k];
    }
    const double slope = (count * stv - st * sv) / (count * stt - st * st);
    if (!(slope > 0))
        return at;
    const double t = (st + (level * count - sv) / slope) / count;
    return std::fabs(t - at) <= half ? t : at;
}

// A signal whose hysteresis (the band between the low and high thresholds) is not above its
// noise crosses by chance: the band must span twice the noise's sigma. (White noise gives
// uneven crossings anyway; noise that wanders slowly can give even ones.)
constexpr double bandOverNoise = 2.0;
// Below this many samples a period the line through the two samples around a crossing is best.
constexpr double minSamplesToRefine = 16.0;
} // namespace

Crossings scan(const double* s, int n, double step, bool weighNoise) {
    Crossings c;
    // A frame at most: the noise's fold has room for no more.
    if (n <= 0 || n > OscScale::frameSamples)
        return c;
    const auto [lo, hi] = std::minmax_element(s, s + n);
    const double min = *lo, max = *hi;
    // Low and high thresholds 3/8 of the range in from either end, the middle one between: a
    // band of a quarter of the range, which a sampled triangle still clears with a few
    // samples per period.
    const double lowT = (5 * min + 3 * max) / 8;
    const double highT = (5 * max + 3 * min) / 8;
    const double midT = (lowT + highT) / 2;

    double at[Crossings::maxCount];
    int state = 0;
    // In state 0: the signal went above the high threshold, and its fall was noted.
    bool high = false, fell = false;
    const auto edge = [&c](int i, bool rising) { c.edges[c.edgeCount++] = {i, rising}; };
    for (int i = 0; i < n && c.count < Crossings::maxCount; ++i) {
        if (state == 0) {
            high = high || s[i] > highT;
            if (high && !fell && s[i] <= midT) {
                edge(i, false);
                fell = true;
            }
            if (s[i] < lowT) {
                state = 1;
                high = fell = false;
            }
        } else if (state == 1) {
            if (s[i] > midT) {
                // s[i - 1] <= midT < s[i]: the crossing lies between them.
                at[c.count] = i - 1 + (midT - s[i - 1]) / (s[i] - s[i - 1]);
                (c.count == 0 ? c.first : c.last) = i;
                ++c.count;
                edge(i, true);
                // A sample already above the high threshold counts for it: with a few samples
                // per period the next one may be on its way down again.
                state = s[i] > highT ? 0 : 2;
                high = state == 0;
            }
        } else if (s[i] > highT) {
            state = 0;
            high = true;
        }
    }
    c.regular = evenlySpaced(at, c.count);
    if (c.regular) {
        c.period = fittedPeriod(at, c.count);
        // With many samples a period, each crossing from the middle three quarters of its
        // rise, never more than a quarter period away (a sine's crest).
        if (c.period >= minSamplesToRefine) {
            const double fitLow = min + (max - min) / 8, fitHigh = max - (max - min) / 8;
            for (int k = 0; k < c.count; ++k)
                at[k] = refinedCrossing(s, n, at[k], c.period / 4, midT, fitLow, fitHigh);
            c.period = fittedPeriod(at, c.count);
        }
    }
    if (c.count > 0) {
        c.firstAt = at[0];
        c.lastAt = at[c.count - 1];
    }
    // Not periodic: one "period" of the whole window keeps the samples in their order.
    if (c.edgeCount > 0)
        c.aboveNoise = !weighNoise ||
                       highT - lowT >= bandOverNoise * (c.regular ? noiseOnPeriod(s, n, c.firstAt,
                                                                                 c.period, step)
                                                                  : noiseOnPeriod(s, n, 0, n, step));
    return c;
}

void topAndBase(const double* s, int n, double* top, double* base) {
    // Plain pointers: the lambda below reads them, and C++17 captures no structured bindings.
    const auto range = std::minmax_element(s, s + n);
    const double* lo = range.first;
    const double* hi = range.second;
    *base = *lo;
    *top = *hi;
    constexpr int bins = 64;
    const double width = (*hi - *lo) / bins;
    if (!(width > 0))
        return;
    int count[bins] = {};
    for (int i = 0; i < n; ++i)
        ++count[std::min(bins - 1, int((s[i] - *lo) / width))];
    // The median of the mode's bin and its neighbours (noise spreads a flat part over a few;
    // the median lets the odd sample of an edge go by); a half whose mode does not stand out
    // (under twice its mean count) has no flat part.
    const auto level = [&](int from, int to, double extreme) {
        int mode = from, total = 0;
        for (int b = from; b < to; ++b) {
            total += count[b];
            if (count[b] > count[mode])
                mode = b;
        }
        if (count[mode] < 3 || count[mode] * (to - from) < 2 * total)
            return extreme;
        const double low = *lo + std::max(from, mode - 1) * width;
        const double high = *lo + std::min(to, mode + 2) * width;
        double near[OscScale::frameSamples];
        int k = 0;
        for (int i = 0; i < n && k < OscScale::frameSamples; ++i)
            if (s[i] >= low && (s[i] < high || (to == bins && s[i] == *hi)))
                near[k++] = s[i];
        if (k == 0) // rounding at the bins' edges, never in practice
            return extreme;
        std::nth_element(near, near + k / 2, near + k);
        return near[k / 2];
    };
    *base = level(0, bins / 2, *lo);
    *top = level(bins / 2, bins, *hi);
}

namespace {
// Where the edge through sample i (the scan's first sample past its middle) crosses `level`,
// within samples [lo, hi): the nearest two samples on either side of the level, a straight line
// between them (exact on a linear ramp). NaN when the edge leaves the stretch first.
double crossingNear(const double* s, int i, bool rising, double level, int lo, int hi) {
    const double sign = rising ? 1 : -1;
    const auto below = [&](int k) { return sign * s[k] <= sign * level; };
    int k = i - 1;
    if (!below(k)) {
        while (k > lo && !below(k))
            --k;
        if (!below(k))
            return std::nan("");
    } else {
        while (k + 1 < hi && below(k + 1))
            ++k;
        if (k + 1 >= hi)
            return std::nan("");
    }
    return k + (level - s[k]) / (s[k + 1] - s[k]);
}

struct Mean {
    double sum = 0;
    int count = 0;
    void add(double x) {
        if (std::isfinite(x)) {
            sum += x;
            ++count;
        }
    }
    // Seconds of the mean number of samples.
    Reading seconds(int timeBase) const {
        return count ? Reading(OscScale::sampleTime(timeBase, sum / count)) : Reading();
    }
};

// Widths and edge times of the window s[0, n) from the scan's edges.
void pulses(const double* s, int n, const Crossings& c, int timeBase, Result& r) {
    if (!c.aboveNoise)
        return;
    double top, base;
    topAndBase(s, n, &top, &base);
    const double l10 = base + 0.1 * (top - base), l90 = base + 0.9 * (top - base);
    // The widths at the middle of the range, where the scan finds its crossings: on a pulse the
    // same as the middle of top and base, and on a sine (whose modes are few samples near its
    // peaks, their levels uneven) a level that halves it.
    const auto [lo, hi] = std::minmax_element(s, s + n);
    const double l50 = (*lo + *hi) / 2;
    Mean pw, nw, rise, fall;
    double lastMid = std::nan("");
    for (int e = 0; e < c.edgeCount; ++e) {
        const Crossings::Edge& x = c.edges[e];
        // An edge ends where its neighbours begin.
        const int lo = e > 0 ? c.edges[e - 1].i : 0;
        const int hi = e + 1 < c.edgeCount ? c.edges[e + 1].i : n;
        const double mid = crossingNear(s, x.i, x.rising, l50, lo, hi);
        (x.rising ? nw : pw).add(mid - lastMid);
        lastMid = mid;
        const double from = crossingNear(s, x.i, x.rising, x.rising ? l10 : l90, lo, hi);
        const double to = crossingNear(s, x.i, x.rising, x.rising ? l90 : l10, lo, hi);
        // With no sample between the two levels the edge is faster than the samples show.
        if (std::floor(to) > std::floor(from))
            (x.rising ? rise : fall).add(to - from);
    }
    r.pwidth = pw.seconds(timeBase);
    r.nwidth = nw.seconds(timeBase);
    r.rise = rise.seconds(timeBase);
    r.fall = fall.seconds(timeBase);
}
} // namespace

Result measure(const int* block, int blockLen, int start, int n, int gain, int timeBase) {
    if (blockLen > OscScale::frameSamples || blockLen < 0)
        return Result{};
    double raw[OscScale::frameSamples];
    std::copy(block, block + blockLen, raw);
    return measure(raw, blockLen, start, n, gain, timeBase);
}

Result measure(const double* block, int blockLen, int start, int n, int gain, int timeBase) {
    Result r;
    if (n <= 0 || start < 0 || blockLen > OscScale::frameSamples || start + n > blockLen)
        return r;
    // Plot units, exactly: the gain correction without its truncation.
    double units[OscScale::frameSamples];
    const double factor = OscScale::gainFactor(gain) / 100.0;
    for (int i = 0; i < blockLen; ++i)
        units[i] = block[i] * factor;
    const double* s = units + start;
    const auto [lo, hi] = std::minmax_element(s, s + n);
    r.vpp = OscScale::volts(gain, *hi - *lo);
    r.min = OscScale::volts(gain, *lo);
    r.max = OscScale::volts(gain, *hi);

    const Crossings c = scan(s, n, factor);
    pulses(s, n, c, timeBase, r);
    r.wholePeriods = c.wholePeriods();
    r.from = r.wholePeriods ? c.first : 0;
    r.to = r.wholePeriods ? c.last : n;
    double sum = 0.0, squares = 0.0;
    for (int i = r.from; i < r.to; ++i) {
        sum += s[i];
        squares += s[i] * s[i];
    }
    const int count = r.to - r.from;
    r.avg = OscScale::volts(gain, sum / count);
    r.rms = OscScale::volts(gain, std::sqrt(squares / count));
    if (!r.wholePeriods)
        return r;
    // The period from every sample of the frame: more periods, less noise on the figure.
    const Crossings frame = blockLen > n ? scan(units, blockLen, factor, false) : c;
    const bool same = frame.wholePeriods() && std::fabs(frame.period / c.period - 1) < 0.05;
    const double period = same ? frame.period : c.period;
    r.freq = OscScale::sampleRate(timeBase) / period;
    r.period = OscScale::sampleTime(timeBase, period);
    if (r.pwidth)
        r.duty = 100.0 * *r.pwidth / *r.period;
    return r;
}

} // namespace OscMeasure

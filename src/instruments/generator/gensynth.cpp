#include "instruments/generator/gensynth.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace gen {

namespace {
int wrap(int column) {
    const int m = column % tableSize;
    return m < 0 ? m + tableSize : m;
}

// Small, fast and the same on every platform, so a seed always gives the same noise.
uint32_t xorshift(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}
} // namespace

int clampSample(long long v) {
    return v < minValue ? minValue : (v > maxValue ? maxValue : int(v));
}

int dutyPoints(int duty) {
    return std::clamp(duty, 1, 99) * tableSize / 100;
}

// Shapes are computed on a 16-bit scale (+-32768) and divided down to 12 bits.
void synthSine(int* wave, int dcShift) {
    for (int i = 0; i < tableSize; ++i) {
        const int v = int(std::cos(2 * i * 3.14159 * (1.0 / tableSize)) * 32768.0);
        wave[i] = clampSample(v / 16 + (long long)dcShift);
    }
}

void synthSquare(int* wave, int d, int dcShift) {
    const int high = clampSample(maxValue + (long long)dcShift);
    const int low = clampSample(minValue + (long long)dcShift);
    for (int i = 0; i < tableSize; ++i)
        wave[i] = i < d ? high : low;
}

void synthTriangle(int* wave, int d, int dcShift) {
    d = std::clamp(d, 1, tableSize - 1); // both slopes need a non-zero length
    for (int i = 0; i < tableSize; ++i) {
        const int v =
            i <= d ? (i * 65536) / d - 32768 : 32767 + ((i - d) * 65536) / (d - tableSize);
        wave[i] = clampSample(v / 16 + (long long)dcShift);
    }
}

void shiftArbitrary(int* wave, int dcShift) {
    for (int i = 0; i < tableSize; ++i)
        wave[i] = clampSample((long long)wave[i] + dcShift);
}

void synthNoise(int* shape, bool pink, uint32_t seed) {
    constexpr int harmonics = tableSize / 2;
    constexpr double twoPi = 6.283185307179586;
    struct Turn {
        double cos[tableSize], sin[tableSize];
    };
    static const Turn turn = [] {
        Turn t;
        for (int n = 0; n < tableSize; ++n) {
            t.cos[n] = std::cos(twoPi * n / tableSize);
            t.sin[n] = std::sin(twoPi * n / tableSize);
        }
        return t;
    }();
    uint32_t state = seed ? seed : 0x9E3779B9u;
    double acc[tableSize] = {};
    for (int k = 1; k < harmonics; ++k) {
        // Pink: power 1/k, so every octave carries the same power.
        const double magnitude = pink ? 1.0 / std::sqrt(double(k)) : 1.0;
        const double phase = (xorshift(state) >> 8) * (twoPi / 16777216.0);
        const double c = magnitude * std::cos(phase), s = magnitude * std::sin(phase);
        for (int n = 0; n < tableSize; ++n) {
            const int idx = (k * n) % tableSize;
            acc[n] += c * turn.cos[idx] - s * turn.sin[idx];
        }
    }
    double peak = 0;
    for (double v : acc)
        peak = std::max(peak, std::fabs(v));
    const double scale = peak > 0 ? maxValue / peak : 0.0;
    for (int n = 0; n < tableSize; ++n)
        shape[n] = clampSample(std::lround(acc[n] * scale));
}

void applyOffset(const int* shape, int* wave, int dcShift) {
    for (int i = 0; i < tableSize; ++i)
        wave[i] = clampSample((long long)shape[i] + dcShift);
}

void resample(const int* wave, int* out, int tabs, int gain) {
    tabs = std::clamp(tabs, 1, tableSize);
    for (int j = 0; j < tabs; ++j) {
        // Clipped to the device's 12 bits, so it plays what the preview shows.
        out[j] = clampSample((long long)wave[(j * tableSize) / tabs] * gain / unityGain);
    }
}

int tableValue(float r) {
    if (std::isnan(r))
        return 0;
    if (double(r) > 0.9996)
        return maxValue;
    if (r < -1.0f)
        return minValue;
    return int(r * 2048.0);
}

void previewMaster(const int* wave, int* plot) {
    for (int p = 0; p < previewSize; ++p)
        plot[p] = wave[p % tableSize] / 2;
}

void previewOutput(const int* outTab, int tabs, int x0, int y0, int* plot) {
    tabs = std::clamp(tabs, 1, tableSize);
    x0 = std::max(x0, 0);
    for (int p = x0; p < previewSize; ++p) {
        int idx = ((tabs * p) / tableSize - x0) % tabs;
        if (idx < 0)
            idx += tabs; // an offset start must not index before the table
        plot[p] = outTab[idx] / 2 + y0;
    }
}

FreqPlan planFrequency(int f) {
    f = std::clamp(f, minFreq, maxFreq);
    const int t = 64 * f; // requested frequency in 1/64 Hz
    FreqPlan plan;
    const int n = 2 * (clockHz / t); // longest even table a divider of 32 allows
    if (n <= tableSize - 1) {
        plan.tabs = n;
        plan.divider = (2048000000 / n) / t;
    } else {
        plan.tabs = tableSize;
        plan.divider = 4000000 / t;
    }
    const int a = (2048000000 / plan.divider) / plan.tabs;
    if (a >= clockHz + 1) {
        plan.tabs = 2;
        plan.divider = 32;
    }
    plan.achieved = (clockHz / plan.divider) / plan.tabs;
    return plan;
}

} // namespace gen

void lineArb(int* table, int, int x0, int y0, int x1, int y1) {
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const int sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
    if (dx == 0 && dy == 0)
        return;
    int x = x0, y = y0, err = 0;
    if (dx >= dy) {
        do {
            err += 2 * dy;
            x += sx;
            if (err > dx) {
                y += sy;
                err -= 2 * dx;
            }
            table[gen::wrap(x)] = y;
        } while (x != x1);
    } else {
        do {
            err += 2 * dx;
            y += sy;
            if (err > dy) {
                x += sx;
                err -= 2 * dy;
            }
            table[gen::wrap(x)] = y;
        } while (y != y1);
    }
}

#include "instruments/oscilloscope/oscmeasure.h"

#include "instruments/oscilloscope/oscscale.h"

#include <cmath>

namespace OscMeasure {

Crossings scan(const int* s, int n) {
    int min = 30000, max = -30000;
    for (int i = 0; i < n; ++i) {
        if (s[i] < min)
            min = s[i];
        if (s[i] > max)
            max = s[i];
    }
    // 64-bit so that no input can overflow the weighted sums.
    const long long lowT = (11LL * min + 5LL * max) / 16;
    const long long highT = (11LL * max + 5LL * lowT) / 16;
    const long long midT = (lowT + highT) / 2;

    Crossings c;
    int state = 0;
    for (int i = 0; i < n; ++i) {
        if (state == 0) {
            if (s[i] < lowT)
                state = 1;
        } else if (state == 1) {
            if (s[i] > midT) {
                if (c.count == 0)
                    c.first = i;
                else
                    c.last = i;
                ++c.count;
                state = 2;
            }
        } else if (s[i] > highT) {
            state = 0;
        }
        if (c.count > 100)
            break;
    }
    return c;
}

double rms(const int* s, int n, int g) {
    const Crossings c = scan(s, n);
    if (!c.valid())
        return 0.0;
    double sum = 0.0;
    for (int i = c.first; i < c.last; ++i)
        sum += double(s[i]) * double(s[i]);
    return 1000.0 * OscScale::volts(g, std::sqrt(sum / (c.last - c.first)));
}

double average(const int* s, int n, int g) {
    const Crossings c = scan(s, n);
    if (!c.valid())
        return 0.0;
    double sum = 0.0;
    for (int i = c.first; i < c.last; ++i)
        sum += s[i];
    return 1000.0 * OscScale::volts(g, sum / (c.last - c.first));
}

double peakToPeak(const int* s, int n, int g) {
    int max = -10000, min = 10000;
    for (int i = 0; i < n; ++i) {
        if (s[i] > max)
            max = s[i];
        if (s[i] < min)
            min = s[i];
    }
    return 1000.0 * OscScale::volts(g, double(max) - min);
}

double frequency(const int* s, int n, int tb) {
    const Crossings c = scan(s, n);
    if (!c.valid())
        return 0.0;
    const double period = double(c.last - c.first) / (c.count - 1); // samples
    return OscScale::sampleRate(tb) / period;
}

} // namespace OscMeasure

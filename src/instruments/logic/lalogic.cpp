#include "instruments/logic/lalogic.h"

#include <algorithm>
#include <cmath>

namespace {
// Sample period in ns by rate index, "4MSPS" ... "200SPS".
const int timeTab[LaLogic::rates] = {250,   500,    1000,   2000,   5000,    10000,   20000,
                                     50000, 100000, 200000, 500000, 1000000, 2000000, 5000000};

int atLeastOne(int zoom) {
    return zoom < 1 ? 1 : zoom;
}
} // namespace

namespace LaLogic {

int samplePeriodNs(int rate) {
    return timeTab[rate < 0 ? 0 : (rate >= rates ? rates - 1 : rate)];
}

void setCondition(Trigger& t, int channel, int index) {
    if (channel < 0 || channel >= channels || index < 0 || index >= conditionCount)
        return;
    const uint8_t m = uint8_t(1u << channel);
    const bool edge = index == Rising || index == Falling;
    const bool level = index == Low || index == High;
    const bool polarity = index == High || index == Rising;
    auto put = [m](uint8_t& byte, bool on) { byte = on ? uint8_t(byte | m) : uint8_t(byte & ~m); };
    put(t.edge, edge);
    put(t.level, level);
    put(t.polarity, polarity);
}

int fillSeries(const uint8_t* bytes, int (*out)[positions], int start, int zoom, int cursor) {
    const long long z = atLeastOne(zoom);
    for (int i = 0; i < positions; ++i) {
        const long long p = start + (4LL * i) / z;
        if (p < 0 || p >= positions) {
            for (int n = 0; n < channels; ++n)
                out[n][i] = noData;
            continue;
        }
        const unsigned byte = bytes[p / 2];
        for (int n = 0; n < channels; ++n)
            out[n][i] = (byte >> n) & 1u ? highLevel(n) : lowLevel(n);
    }
    const long long q = start + (2LL * cursor) / z;
    if (q < 0 || q >= positions)
        return -1;
    return bytes[q / 2];
}

float cursorTime(int xPos, int zoom, int cursorX, int rate) {
    const int z = atLeastOne(zoom);
    // Pixels from the first sample: whole samples before the view at zoom px each, plus the
    // cursor column; divided by zoom again that is samples.
    float t = float((static_cast<long long>(xPos / 2)) * z + cursorX);
    t = t * float(samplePeriodNs(rate));
    t = t / float(z);
    t = t / 1000.0f; // ns to us
    return t;
}

QString rulerText(double seconds, double stepSeconds) {
    double unit = 1e-6;
    const char* name = "us";
    if (stepSeconds >= 0.9999) {
        unit = 1.0;
        name = "s";
    } else if (stepSeconds >= 0.9999e-3) {
        unit = 1e-3;
        name = "ms";
    }
    const double step = stepSeconds / unit;
    // Whole steps need no decimals; a step of 1.6 needs one, of 0.16 two.
    int decimals = 0;
    for (double s = step; decimals < 3 && std::fabs(s - std::round(s)) > 1e-6 * std::max(1.0, s);
         s *= 10)
        ++decimals;
    return QString::number(seconds / unit, 'f', decimals) + QString::fromLatin1(name);
}

QString timeText(float t) {
    if (t < 1000.0f)
        return QStringLiteral("Time: ") + QString::number(double(t), 'f', 2) + QStringLiteral("us");
    if (t < 1000000.0f)
        return QStringLiteral("Time: ") + QString::number(double(t / 1000.0f), 'f', 3) +
               QStringLiteral("ms");
    return QStringLiteral("Time: ") + QString::number(double(t / 1000000.0f), 'f', 3) +
           QStringLiteral("s");
}

QString valueText(int v) {
    return v < 0 ? QStringLiteral("Value: --") : QStringLiteral("Value: ") + QString::number(v);
}

} // namespace LaLogic

#include "logiccapture.h"

#include "logicpattern.h"
#include "timemath.h"

#include <algorithm>

namespace emu {

namespace {
// Sample period in ns by rate index.
const int64_t rateTab[14] = {250,   500,    1000,   2000,   5000,    10000,   20000,
                             50000, 100000, 200000, 500000, 1000000, 2000000, 5000000};
} // namespace

int64_t LogicCapture::periodNs(int rate) {
    return rateTab[std::clamp(rate, 0, 13)];
}

bool LogicCapture::fires(const LaTrigger& t, uint8_t previous, uint8_t current) {
    const unsigned edges = t.edge;
    const unsigned levels = t.level & ~t.edge & 0xFFu;
    const unsigned want = t.polarity;
    if ((current & levels) != (want & levels))
        return false;
    return ((previous ^ current) & edges) == edges && (current & edges) == (want & edges);
}

void LogicCapture::arm(int64_t nowNs, int64_t periodNs, const LaTrigger& trigger) {
    trig = trigger;
    period = periodNs;
    state = Searching;
    const int64_t armed = ceilDiv(nowNs, period);
    uint8_t previous = LogicPattern::sample(armed - 1, buses);
    for (int64_t n = armed; n < armed + LogicPattern::period; ++n) {
        const uint8_t current = LogicPattern::sample(n, buses);
        if (fires(trig, previous, current)) {
            first = n - preTrigger;
            state = Captured;
            return;
        }
        previous = current;
    }
}

void LogicCapture::force(int64_t nowNs, int64_t periodNs) {
    period = periodNs;
    first = ceilDiv(nowNs, period);
    state = Captured;
}

void LogicCapture::fill(uint8_t* out) const {
    for (int i = 0; i < samples; ++i)
        out[i] = LogicPattern::sample(first + i, buses);
}

} // namespace emu

#include "devicestate.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double pi = 3.14159265358979323846;
}

namespace emu {

DeviceState::DeviceState() {
    // 1 V is 2048 / 1.25 table counts.
    for (int i = 0; i < tablePoints; ++i)
        table[size_t(i)] = int16_t(std::lround(1638.4 * std::sin(2.0 * pi * i / defaultTabs)));
}

bool DeviceState::apply(const Command& c) {
    const Mode before = mode;
    switch (c.kind) {
    case Command::Osc1chStart:
        mode = Osc1;
        break;
    case Command::Osc2chStart:
        mode = Osc2;
        break;
    case Command::GenStart:
        mode = Gen;
        break;
    case Command::LaStart:
        mode = Logic;
        armed = false;
        break;
    case Command::LaArm:
        // Arming means something only in logic-analyser mode.
        armed = mode == Logic;
        break;
    case Command::LaForceTrig:
        armed = false;
        break;
    case Command::TimeBase:
        timeBase = c.a;
        break;
    case Command::Gain1:
        gain1 = c.a;
        break;
    case Command::Gain2:
        gain2 = c.a;
        break;
    case Command::LaTimeBase:
        laRate = c.a;
        break;
    case Command::Freq:
        // A divider of 0 or a table length outside 1..512 cannot be played; keep the nearest
        // playable setting instead of dividing by zero or reading past the table.
        divider = std::max(1, c.a);
        tabs = std::clamp(c.b, 1, tablePoints);
        break;
    case Command::LaTrig:
        trigger = c.trigger;
        break;
    case Command::GenTable:
        table = c.table;
        uploaded = true;
        break;
    case Command::Ignored:
    case Command::Incomplete:
        break;
    }
    if (mode != before)
        armed = false;
    return mode != before;
}

} // namespace emu

#include "command.h"

#include <algorithm>
#include <cstdio>

namespace emu {

namespace {
std::string format(const char* pattern, int a, int b = 0, int c = 0) {
    char line[96];
    std::snprintf(line, sizeof line, pattern, a, b, c);
    return line;
}

const char* letterName(int letter) {
    switch (letter) {
    case 'C':
        return "osc1chStart";
    case 'E':
        return "osc2chStart";
    case 'S':
        return "setTimeBase";
    case 'U':
        return "setGain1";
    case 'W':
        return "setGain2";
    case 'Y':
        return "setLAtimebase";
    case 'M':
        return "setFreq";
    case '[':
        return "setLAtrig";
    case 'K':
        return "sendGenChannel";
    default:
        return "?";
    }
}
} // namespace

std::string commandText(const Command& c) {
    switch (c.kind) {
    case Command::Osc1chStart:
        return "osc1chStart";
    case Command::Osc2chStart:
        return "osc2chStart";
    case Command::GenStart:
        return "genStart";
    case Command::LaStart:
        return "laStart";
    case Command::LaArm:
        return "setLAstart";
    case Command::LaForceTrig:
        return "setLAforceTrig";
    case Command::TimeBase:
        return format("setTimeBase %d", c.a);
    case Command::Gain1:
        return format("setGain1 %d", c.a);
    case Command::Gain2:
        return format("setGain2 %d", c.a);
    case Command::LaTimeBase:
        return format("setLAtimebase %d", c.a);
    case Command::Freq:
        return format("setFreq %d %d", c.a, c.b);
    case Command::LaTrig:
        return format("setLAtrig %d %d %d", c.trigger.edge, c.trigger.level, c.trigger.polarity);
    case Command::GenTable: {
        const auto [lo, hi] = std::minmax_element(c.table.begin(), c.table.end());
        return format("sendGenChannel %d min %d max %d", c.table[0], *lo, *hi);
    }
    case Command::Ignored:
        return format("ignored 0x%02x", c.a);
    case Command::Incomplete:
        return std::string("incomplete ") + letterName(c.a) + format(" after %d bytes", c.b);
    }
    return "?";
}

} // namespace emu

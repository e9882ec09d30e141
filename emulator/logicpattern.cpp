#include "logicpattern.h"

#include "timemath.h"

#include <cstring>

namespace emu {

namespace {
int uartLevel(int64_t n) {
    const int64_t chars = int64_t(std::strlen(LogicPattern::message));
    const int64_t charSamples = int64_t(LogicPattern::samplesPerBit) * LogicPattern::bitsPerChar;
    const int64_t at = floorMod(n, chars * charSamples);
    const auto ch = uint8_t(LogicPattern::message[at / charSamples]);
    const int64_t bit = (at % charSamples) / LogicPattern::samplesPerBit;
    if (bit == 0)
        return 0; // start bit
    if (bit <= 8)
        return (ch >> (bit - 1)) & 1; // data, least significant bit first
    return 1;                         // stop bit and idle
}
} // namespace

uint8_t LogicPattern::sample(int64_t n) {
    const int counter = int(floorMod(n, 256) / 8);
    const bool gate = floorMod(n, 512) >= 384;
    const bool pulse = gate && floorMod(n, 4) < 2;
    return uint8_t(counter | (pulse ? 0x20 : 0) | (uartLevel(n) << 6) | (gate ? 0x80 : 0));
}

} // namespace emu

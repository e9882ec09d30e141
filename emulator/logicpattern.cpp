#include "logicpattern.h"

#include "timemath.h"

#include <algorithm>
#include <iterator>

#include <cstring>
#include <string>

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
// Channels 0 (CLK), 1 (MOSI), 2 (CS#): MOSI changes while CLK is low, CLK rises mid-bit.
int spiLevels(int64_t n) {
    constexpr int first = 16, bitSamples = LogicPattern::spiSamplesPerBit;
    constexpr int bits = 8 * int(std::size(LogicPattern::spiBytes));
    const int at = int(floorMod(n, 512)) - first;
    if (at < 0 || at >= bits * bitSamples + 16)
        return 0x4; // deselected, clock idle low
    const int bit = (at - 8) / bitSamples;
    if (at < 8 || bit >= bits)
        return 0; // selected, the clock not yet or no longer running
    const int mosi = LogicPattern::spiBytes[bit / 8] >> (7 - bit % 8) & 1;
    const int clk = (at - 8) % bitSamples >= bitSamples / 2;
    return clk | mosi << 1;
}

// Channels 3 (SCL) and 4 (SDA): slots of one bit each; SDA changes one sample after SCL falls.
int i2cLevels(int64_t n) {
    constexpr int first = 256, bitSamples = LogicPattern::i2cSamplesPerBit;
    constexpr int bytes = 1 + int(std::size(LogicPattern::i2cBytes));
    constexpr int slots = 1 + 9 * bytes + 1; // start, bytes with acknowledge, stop
    const int at = int(floorMod(n, 512)) - first;
    if (at < 0 || at >= slots * bitSamples)
        return 0x18; // idle: both high
    const int slot = at / bitSamples, in = at % bitSamples;
    const int sclHigh = in >= bitSamples / 2;
    auto sda = [](int s) {
        if (s == 0)
            return 0; // the start bit holds SDA low once it has fallen
        if (s == 1 + 9 * bytes)
            return 0;
        const int b = (s - 1) / 9, k = (s - 1) % 9;
        if (k == 8)
            return 0; // acknowledged
        const int byte = b == 0 ? LogicPattern::i2cAddress << 1 : LogicPattern::i2cBytes[b - 1];
        return byte >> (7 - k) & 1;
    };
    if (slot == 0) // start: SDA falls while SCL is high
        return 0x8 | (in < bitSamples / 2 ? 0x10 : 0);
    if (slot == slots - 1) // stop: SDA rises while SCL is high
        return (sclHigh ? 0x8 : 0) | (in >= bitSamples - 2 ? 0x10 : 0);
    const int level = in == 0 ? sda(slot - 1) : sda(slot);
    return (sclHigh ? 0x8 : 0) | (level ? 0x10 : 0);
}
} // namespace

bool LogicPattern::parseBuses(const char* text, unsigned& buses) {
    const std::string all(text);
    size_t from = 0;
    unsigned found = 0;
    while (from <= all.size()) {
        const size_t comma = std::min(all.find(',', from), all.size());
        const std::string name = all.substr(from, comma - from);
        if (name == "uart")
            found |= Uart;
        else if (name == "spi")
            found |= Spi;
        else if (name == "i2c")
            found |= I2c;
        else
            return false;
        from = comma + 1;
    }
    buses |= found;
    return true;
}

uint8_t LogicPattern::sample(int64_t n, unsigned buses) {
    int counter = int(floorMod(n, 256) / 8);
    if (buses & Spi)
        counter = (counter & ~0x7) | spiLevels(n);
    if (buses & I2c)
        counter = (counter & ~0x18) | i2cLevels(n);
    const bool gate = floorMod(n, 512) >= 384;
    const bool pulse = gate && floorMod(n, 4) < 2;
    return uint8_t(counter | (pulse ? 0x20 : 0) | (uartLevel(n) << 6) | (gate ? 0x80 : 0));
}

} // namespace emu

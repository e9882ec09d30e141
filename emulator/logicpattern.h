#pragma once

#include <cstdint>

namespace emu {

// The eight logic inputs, clocked by the sample clock (so every rate shows the same picture):
//   channels 0-4: a 5-bit binary counter that counts every 8 samples (channel 0 period 16);
//   channel 6: a UART line, 8 samples per bit, 8N1 with two idle bits, repeating `message`;
//   channel 7: a gate, high for samples 384..511 of every 512;
//   channel 5: a burst of pulses (2 samples high, 2 low) while the gate is high.
// Channel 5 is never high while channel 7 is low, so no sample is ever 0x65.
// Buses of known content may replace the counter (each repeats every 512 samples):
//   Spi: SPI mode 0 on channels 0 (CLK), 1 (MOSI), 2 (CS#, low for the transfer): `spiBytes`,
//        most significant bit first, 4 samples per bit, CS# low for samples 16..159;
//   I2c: I2C on channels 3 (SCL) and 4 (SDA): a start, address `i2cAddress` writing,
//        `i2cBytes`, each acknowledged, and a stop, 8 samples per bit, from sample 256 on.
// The UART line on channel 6 is there whatever the buses (Uart names it).
class LogicPattern {
public:
    enum Bus : unsigned { Uart = 1, Spi = 2, I2c = 4 };
    static constexpr uint8_t spiBytes[4] = {0x5A, 0x52, 0x56, 0x0F};
    static constexpr int spiSamplesPerBit = 4;
    static constexpr uint8_t i2cAddress = 0x50; // 7 bits
    static constexpr uint8_t i2cBytes[2] = {0x12, 0xC4};
    static constexpr int i2cSamplesPerBit = 8;

    static constexpr const char* message = "Hello from ZRV\r\n";
    static constexpr int samplesPerBit = 8;
    static constexpr int bitsPerChar = 12; // start, 8 data, stop, 2 idle
    // The whole pattern repeats after this many samples (the message: 16 characters of 96).
    static constexpr int64_t period = 1536;

    // Levels of all eight channels at sample number n (any integer, negative included).
    static uint8_t sample(int64_t n, unsigned buses = 0);
    // "uart", "spi", "i2c", comma-joined, into `buses` (added to what it holds); false for a
    // name that is no bus.
    static bool parseBuses(const char* text, unsigned& buses);
};

} // namespace emu

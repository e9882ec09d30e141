#pragma once

#include <cstdint>

namespace emu {

// The eight logic inputs, clocked by the sample clock (so every rate shows the same picture):
//   channels 0-4: a 5-bit binary counter that counts every 8 samples (channel 0 period 16);
//   channel 6: a UART line, 8 samples per bit, 8N1 with two idle bits, repeating `message`;
//   channel 7: a gate, high for samples 384..511 of every 512;
//   channel 5: a burst of pulses (2 samples high, 2 low) while the gate is high.
// Channel 5 is never high while channel 7 is low, so no sample is ever 0x65.
class LogicPattern {
public:
    static constexpr const char* message = "Hello from ZRV\r\n";
    static constexpr int samplesPerBit = 8;
    static constexpr int bitsPerChar = 12; // start, 8 data, stop, 2 idle
    // The whole pattern repeats after this many samples (the message: 16 characters of 96).
    static constexpr int64_t period = 1536;

    // Levels of all eight channels at sample number n (any integer, negative included).
    static uint8_t sample(int64_t n);
};

} // namespace emu

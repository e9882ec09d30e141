#pragma once

#include <cstdint>

namespace emu {

// Wraps samples into frames: "s", the body, "e". The receiver ends a frame at the first "e"
// (0x65), so by default no body byte may be 0x65; `rawE` keeps such bytes to reproduce the
// short frames a real device can send.
class FrameBuilder {
public:
    static constexpr uint8_t frameStart = 's';
    static constexpr uint8_t frameEnd = 'e';
    static constexpr int scopeSamples = 1024;
    static constexpr int scopeFrameBytes = 2 * scopeSamples + 2;
    static constexpr int logicSamples = 1024;
    static constexpr int logicFrameBytes = logicSamples + 2;

    // 1024 samples as little-endian 16-bit words.
    static void scopeFrame(const int16_t* samples, bool rawE, uint8_t* out /* scopeFrameBytes */);
    // 1024 logic bytes, bit n = channel n.
    static void logicFrame(const uint8_t* samples, bool rawE, uint8_t* out /* logicFrameBytes */);

    // The nearest value without a 0x65 byte: a low byte 0x65 loses one count; a sample in
    // 0x6500..0x65FF (25856..26111) moves to the nearer of 25855 and 26112.
    static int16_t avoidFrameEnd(int16_t sample);
    // A logic byte 0x65 loses channel 0 (the test pattern never produces it).
    static uint8_t avoidFrameEnd(uint8_t logic);
};

} // namespace emu

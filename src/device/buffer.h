#pragma once

#include <cstdint>

// The body of the link's newest frame. `data` keeps bytes of older frames past `length`.
struct Buffer {
    static constexpr int capacity = 32768;
    uint8_t data[capacity];
    int32_t length;
    int32_t frameSize; // always 2048; nothing reads it
};

// Body sizes of the device's frames: a scope frame carries 1024 16-bit samples, a logic frame
// 1024 one-byte samples. No frame the device sends is longer.
constexpr int scopeFrameBytes = 2048;
constexpr int logicFrameBytes = 1024;

// The 1024 signed 16-bit samples, low byte first, of a scope frame's 2048 body bytes.
void samplesOfFrame(const uint8_t* data /* scopeFrameBytes */, int* out /* 1024 */);

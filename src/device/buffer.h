#pragma once

#include <cstdint>

// One received frame body. `data` keeps bytes of older frames past `length`.
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

// The program's one sample buffer and its new-frame flag. Both are only touched on the GUI
// thread (the frame cutter runs there), so they need no lock.
extern Buffer buff;
extern bool bufReady;

#include "device/buffer.h"

void samplesOfFrame(const uint8_t* data, int* out) {
    for (int i = 0; i < scopeFrameBytes / 2; ++i)
        out[i] = int16_t(uint16_t(data[2 * i] | (data[2 * i + 1] << 8)));
}

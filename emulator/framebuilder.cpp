#include "framebuilder.h"

namespace emu {

int16_t FrameBuilder::avoidFrameEnd(int16_t sample) {
    uint16_t u = uint16_t(sample);
    if ((u >> 8) == frameEnd)
        u = (u & 0xFFu) < 0x80u ? 0x64FFu : 0x6600u;
    if ((u & 0xFFu) == frameEnd)
        u = uint16_t(u - 1u);
    return int16_t(u);
}

uint8_t FrameBuilder::avoidFrameEnd(uint8_t logic) {
    return logic == frameEnd ? uint8_t(logic & 0xFEu) : logic;
}

void FrameBuilder::scopeFrame(const int16_t* samples, bool rawE, uint8_t* out) {
    out[0] = frameStart;
    for (int i = 0; i < scopeSamples; ++i) {
        const uint16_t u = uint16_t(rawE ? samples[i] : avoidFrameEnd(samples[i]));
        out[1 + 2 * i] = uint8_t(u & 0xFFu);
        out[2 + 2 * i] = uint8_t(u >> 8);
    }
    out[scopeFrameBytes - 1] = frameEnd;
}

void FrameBuilder::logicFrame(const uint8_t* samples, bool rawE, uint8_t* out) {
    out[0] = frameStart;
    for (int i = 0; i < logicSamples; ++i)
        out[1 + i] = rawE ? samples[i] : avoidFrameEnd(samples[i]);
    out[logicFrameBytes - 1] = frameEnd;
}

} // namespace emu

#include "instruments/oscilloscope/osctrigger.h"

#include "instruments/oscilloscope/oscscale.h"

namespace OscTrigger {

bool checkFallingLF(const int* b, int i, int L) {
    return b[i + 1] + b[i + 2] + b[i + 3] < 3 * L && b[i - 2] + b[i - 1] + b[i] > 3 * L;
}

bool checkRisingLF(const int* b, int i, int L) {
    return b[i + 1] + b[i + 2] + b[i + 3] > 3 * L && b[i - 2] + b[i - 1] + b[i] < 3 * L;
}

bool checkFallingHF(const int* b, int i, int L) {
    return b[i] > L + 4 && b[i + 1] < L - 4;
}

bool checkRisingHF(const int* b, int i, int L) {
    return b[i + 1] > L + 4 && b[i] < L - 4;
}

int getTrigIndex(const int* b, int len, int width, int pre, int L, int type) {
    using Check = bool (*)(const int*, int, int);
    static const Check checks[4] = {checkFallingLF, checkRisingLF, checkFallingHF, checkRisingHF};
    // A negative pre would let the tests read before b[0].
    if (pre < 0 || pre > width || width > len || type < 0 || type > 3)
        return -1;
    const int first = pre + 2;
    const int end = pre + (len - width) - 3;
    const Check check = checks[type];
    for (int i = first; i < end; ++i)
        if (check(b, i, L))
            return i;
    return -1;
}

void copySignal(const int* src, int* dst, int n, int factor) {
    for (int i = 0; i < n; ++i)
        dst[i] = src[i] * factor / 100;
}

void adjustGraph(int* plot, int offset) {
    for (int i = 0; i < width; ++i)
        plot[i] += 4 * offset;
}

int rawLevel(int level, int gain) {
    // A multiplication, not a shift: the level may be negative.
    return level * 4 * (1 << OscScale::clampGain(gain));
}

int run(State& state, const int* samples, int* out1, int* out2, const Setup& setup,
        qint64 nowNs, int* startOut) {
    const int pre = setup.xPos + centrePre;
    const int mode = setup.mode & 3;
    const int type = (setup.mode >> 2) & 3;
    bool force = false;

    if (mode == Single) {
        if (!state.rearm && state.triggered)
            return 0;
        state.triggered = state.rearm = false;
    } else {
        state.triggered = state.rearm = false;
        if (mode == FreeRun) {
            state.triggered = true;
            state.lastTriggerNs = nowNs;
        } else if (mode == Auto && nowNs - state.lastTriggerNs > autoForceNs) {
            force = true;
        }
    }

    const int len = setup.twoChannel ? OscScale::frameSamples / 2 : OscScale::frameSamples;
    int idx = pre;
    if (!state.triggered) {
        idx = getTrigIndex(samples, len, width, pre, rawLevel(setup.level, setup.gain1), type);
        if (idx >= 0) {
            state.lastTriggerNs = nowNs;
            state.triggered = true;
        }
    }
    if (force)
        idx = pre;
    if (idx < 0)
        return 0;

    // Free run and forced cycles start at sample 0; a found edge keeps the window inside the
    // block (getTrigIndex's bounds).
    const int start = idx - pre;
    if (startOut)
        *startOut = start;
    copySignal(samples + start, out1, width, OscScale::gainFactor(setup.gain1));
    if (setup.twoChannel)
        copySignal(samples + len + start, out2, width, OscScale::gainFactor(setup.gain2));
    return 1;
}

Shown shownState(int mode, const State& state, int copied, Shown previous, qint64 nowNs) {
    switch (mode & 3) {
    case Single:
        return copied ? Triggered : (state.triggered ? Held : Waiting);
    case Norm:
        // Frames may come many times a second; a few without an edge do not yet mean waiting.
        if (copied || (previous == Triggered && nowNs - state.lastTriggerNs <= quietNs))
            return Triggered;
        return Waiting;
    default:
        return NotShown;
    }
}

bool levelMarker(float trigLevel, int gain1, int yPos1, int* y) {
    const float row = 496.0f * trigLevel / float(OscScale::gainAt(gain1)) + float(yPos1);
    if (!(row > -256.0f && row < 256.0f))
        return false;
    *y = int(row);
    return true;
}

} // namespace OscTrigger

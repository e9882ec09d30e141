#include "device/framegate.h"

#include <algorithm>
#include <cmath>

FrameTiming FrameTiming::of(int samples, double periodNs, int bodyBytes, int bitRate) {
    FrameTiming t;
    t.captureNs = qint64(std::ceil(double(samples) * periodNs));
    const int rate = bitRate > 0 ? bitRate : 115200;
    // "s", the body and "e", ten bits a byte (start, eight data, stop).
    t.lineNs = qint64(std::ceil(double(bodyBytes + 2) * 10.0 * 1e9 / rate));
    return t;
}

void FrameGate::start(qint64 sentNs, const FrameTiming& timing) {
    running = true;
    taken = 0;
    lastTaken = 0;
    changed(sentNs, timing);
}

void FrameGate::changed(qint64 sentNs, const FrameTiming& timing) {
    sentAt = sentNs;
    frame = timing;
    takenSinceSent = false;
}

bool FrameGate::accept(const Frame& f) {
    if (!running || f.firstByteNs < sentAt)
        return false;
    if (!takenSinceSent) {
        // A frame of the new settings needs its whole capture and its time on the line. The
        // margin allows for a device clock a little fast; but a frame that was on the line when
        // the command went out completes within its line time and the reader's latency, so
        // that much is always waited for.
        const qint64 margin = std::min(frame.captureNs / 2, frame.totalNs() / 50);
        const qint64 least = frame.lineNs + std::max(frame.captureNs - margin, readLatencyNs);
        if (f.lastByteNs - sentAt < least)
            return false;
    }
    takenSinceSent = true;
    lastTaken = f.lastByteNs;
    ++taken;
    return true;
}

bool FrameGate::silent(qint64 nowNs) const {
    if (!running)
        return false;
    const qint64 since = std::max(sentAt, lastTaken);
    return nowNs - since > std::max(silenceFloorNs, 2 * frame.totalNs());
}

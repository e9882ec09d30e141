#pragma once

// Frames for the pages' tests: bodies made of known samples, and the Frame a link would deliver.
#include "device/buffer.h"
#include "device/clock.h"
#include "device/frame.h"

#include <QByteArray>
#include <cmath>
#include <functional>

// A scope frame's body: 1024 samples, low byte first.
inline QByteArray scopeBody(const std::function<int(int)>& sample) {
    QByteArray body(scopeFrameBytes, '\0');
    for (int i = 0; i < scopeFrameBytes / 2; ++i) {
        const unsigned v = unsigned(sample(i)) & 0xFFFFu;
        body[2 * i] = char(v & 0xFF);
        body[2 * i + 1] = char(v >> 8);
    }
    return body;
}

// A sine of `cycles` periods over the 1024 samples, `amplitude` raw counts.
inline QByteArray sineBody(double cycles, double amplitude) {
    return scopeBody([=](int i) { return int(std::lround(amplitude * std::sin(2 * M_PI * cycles * i / 1024))); });
}

// The frame a link delivers for `body`: its first and last bytes read at the given times.
inline Frame frameOf(const QByteArray& body, qint64 firstNs, qint64 lastNs) {
    Frame f;
    f.data = reinterpret_cast<const uint8_t*>(body.constData());
    f.length = body.size();
    f.firstByteNs = firstNs;
    f.lastByteNs = lastNs;
    return f;
}

// A frame that came well after the page's settings went out: `afterNs` from now.
inline Frame lateFrame(const QByteArray& body, qint64 afterNs = 10 * Clock::second) {
    const qint64 now = Clock::nowNs();
    return frameOf(body, now + afterNs / 2, now + afterNs);
}

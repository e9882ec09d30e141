#pragma once

// The frame cutter fed an arbitrary byte stream in arbitrary chunks, one cut per arrival as the
// receiving slot does. check() returns an empty string or a description of the broken rule.
//
// Input layout: byte 0 = count of chunk-size bytes (1..16), then those bytes, then a repeat count
// (the payload is sent that many times, so a 4 KiB input can overflow the accumulator's cap),
// then the payload.
#include "device/buffer.h"
#include "device/thread.h"

#include <QByteArray>
#include <QString>

#include <QList>

#include <algorithm>

namespace cutterfuzz {

struct Stream {
    int sizes[16] = {};
    int sizeCount = 1;
    int repeat = 1;
    QByteArray payload;
};

inline Stream decode(const QByteArray& input) {
    Stream s;
    s.sizes[0] = 1;
    int at = 0;
    auto next = [&](int fallback) {
        return at < input.size() ? int(static_cast<unsigned char>(input[at++])) : fallback;
    };
    s.sizeCount = next(0) % 16 + 1;
    for (int i = 0; i < s.sizeCount; ++i) {
        const int v = next(0);
        s.sizes[i] = 1 + v * v; // 1 .. 65026 bytes: single bytes up to more than the cap
    }
    s.repeat = next(0) % 32 + 1;
    s.payload = input.mid(at);
    return s;
}

// One arrival's cut, compared with the rules written out independently: every complete frame
// is delivered in order (a whole device frame at the end of an overlong body is that body, a
// body longer than the buffer is passed over), and the accumulator keeps its bytes after the
// last closing "e". `last` receives the newest body delivered.
inline QString cutOnce(QByteArray& rx, QByteArray* last) {
    const QByteArray before = rx.size() > Thread::rxCap ? rx.right(Thread::rxCap) : rx;
    QList<QByteArray> expected;
    int from = 0;
    for (int s = before.indexOf('s'); s >= 0; s = before.indexOf('s', from)) {
        const int e = before.indexOf('e', s);
        if (e < 0)
            break;
        QByteArray body = before.mid(s + 1, e - s - 1);
        // Longer than any device frame: noise, unless a whole frame with its own "s" ends it.
        if (body.size() > scopeFrameBytes) {
            for (const int size : {scopeFrameBytes, logicFrameBytes}) {
                if (body.at(body.size() - size - 1) == 's') {
                    body = body.right(size);
                    break;
                }
            }
        }
        if (body.size() <= Buffer::capacity)
            expected << body;
        from = e + 1;
    }
    QList<QByteArray> got;
    const int count =
        Thread::cutFrames(rx, [&](int start, int length) { got << rx.mid(start, length); });
    if (rx.size() > Thread::rxCap)
        return QStringLiteral("accumulator holds %1 bytes").arg(rx.size());
    if (count != got.size() || got.size() != expected.size())
        return QStringLiteral("%1 frames where the rules say %2").arg(got.size()).arg(
            expected.size());
    if (got != expected)
        return QStringLiteral("a frame body not delivered whole or in order");
    if (rx != before.mid(from))
        return QStringLiteral("accumulator not left after the last closing e");
    if (!got.isEmpty())
        *last = got.last();
    return QString();
}

inline QString check(const QByteArray& input) {
    const Stream stream = decode(input);
    QByteArray rx, last;
    int k = 0;
    // At most about 128 arrivals per run: each cut scans the whole accumulator.
    const int least = stream.payload.size() * stream.repeat / 128;
    for (int r = 0; r < stream.repeat; ++r) {
        for (int from = 0; from < stream.payload.size();) {
            const int n = std::max(stream.sizes[k++ % stream.sizeCount], least);
            rx.append(stream.payload.mid(from, n));
            from += n;
            const QString problem = cutOnce(rx, &last);
            if (!problem.isEmpty())
                return problem;
        }
    }
    // The device's next "e" ends whatever frame was open: one arrival takes every frame left.
    rx.append('e');
    if (const QString problem = cutOnce(rx, &last); !problem.isEmpty())
        return problem;
    // Then a well-formed frame of 1024 samples comes through whole, whatever came before.
    const QByteArray good(scopeFrameBytes, '\x11');
    rx.append('s').append(good).append('e');
    if (const QString problem = cutOnce(rx, &last); !problem.isEmpty())
        return problem;
    return last == good ? QString() : QStringLiteral("good frame after garbage not cut");
}

} // namespace cutterfuzz

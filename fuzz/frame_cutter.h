#pragma once

// The frame cutter fed an arbitrary byte stream in arbitrary chunks, one cut per arrival as the
// receiving slot does. check() returns an empty string or a description of the broken rule.
//
// Input layout: byte 0 = count of chunk-size bytes (1..16), then those bytes, then a repeat count
// (the payload is sent that many times, so a 4 KiB input can overflow the accumulator's cap),
// then the payload.
#include "buffer.h"
#include "thread.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstring>
#include <memory>

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

// Bytes in the accumulator from the first "s" to the following "e", or -1.
inline int completeFrameAt(const QByteArray& rx) {
    const int s = rx.indexOf('s');
    return s >= 0 && rx.indexOf('e', s) >= 0 ? s : -1;
}

// Cheap rules, checked on every call.
inline QString bounds(const QByteArray& rx, const Buffer* target) {
    if (rx.size() > Thread::rxCap)
        return QStringLiteral("accumulator holds %1 bytes").arg(rx.size());
    if (target->length < 0 || target->length > Buffer::capacity)
        return QStringLiteral("buffer length %1").arg(target->length);
    return QString();
}

// One cut, compared with what the accumulator held before it.
inline QString cutOnce(QByteArray& rx, Buffer* target) {
    const QByteArray before = rx.size() > Thread::rxCap ? rx.right(Thread::rxCap) : rx;
    const int s = before.indexOf('s');
    const int e = s >= 0 ? before.indexOf('e', s) : -1;
    const int oldLength = target->length;
    const bool cut = Thread::cutFrame(rx, target);
    const QString broken = bounds(rx, target);
    if (!broken.isEmpty())
        return broken;
    if (e < 0) {
        if (cut || rx != before || target->length != oldLength)
            return QStringLiteral("no complete frame, yet the cutter changed something");
        return QString();
    }
    const int body = e - s - 1;
    if (cut != (body <= Buffer::capacity))
        return QStringLiteral("body of %1 bytes %2").arg(body).arg(cut ? "cut" : "dropped");
    if (cut && (target->length != body ||
                std::memcmp(target->data, before.constData() + s + 1, size_t(body)) != 0))
        return QStringLiteral("frame body not copied whole");
    if (!cut && target->length != oldLength)
        return QStringLiteral("dropped frame changed the length");
    if (rx != before.mid(e))
        return QStringLiteral("accumulator not left at the closing e");
    return QString();
}

inline QString check(const QByteArray& input) {
    const Stream stream = decode(input);
    auto target = std::make_unique<Buffer>();
    std::memset(target.get(), 0, sizeof(Buffer));
    QByteArray rx;
    int k = 0;
    // At most about 128 arrivals per run: each cut scans the whole accumulator.
    const int least = stream.payload.size() * stream.repeat / 128;
    for (int r = 0; r < stream.repeat; ++r) {
        for (int from = 0; from < stream.payload.size();) {
            const int n = std::max(stream.sizes[k++ % stream.sizeCount], least);
            rx.append(stream.payload.mid(from, n));
            from += n;
            const QString problem = cutOnce(rx, target.get());
            if (!problem.isEmpty())
                return problem;
        }
    }
    // The device's next "e" ends whatever frame was open; the cutter then works through what
    // is left, one frame per call, as further arrivals would make it.
    rx.append('e');
    for (int calls = 0; completeFrameAt(rx) >= 0; ++calls) {
        if (calls > Thread::rxCap)
            return QStringLiteral("cutter does not advance");
        QString problem;
        if (calls < 16) {
            problem = cutOnce(rx, target.get());
        } else {
            Thread::cutFrame(rx, target.get());
            problem = bounds(rx, target.get());
        }
        if (!problem.isEmpty())
            return problem;
    }
    // A well-formed frame of 1024 samples must now come through whole in one call.
    QByteArray body(2048, '\0');
    for (int i = 0; i < body.size(); ++i) {
        char c = stream.payload.isEmpty() ? char(i) : stream.payload[i % stream.payload.size()];
        body[i] = c == 's' || c == 'e' ? char(c + 1) : c;
    }
    rx.append('s').append(body).append('e');
    if (!Thread::cutFrame(rx, target.get()))
        return QStringLiteral("good frame after garbage not cut");
    if (target->length != body.size() || std::memcmp(target->data, body.constData(), 2048) != 0)
        return QStringLiteral("good frame after garbage not whole");
    if (rx != QByteArray("e"))
        return QStringLiteral("bytes left after the good frame");
    return QString();
}

} // namespace cutterfuzz

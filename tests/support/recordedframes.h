#pragma once

// A recorded scope CSV read back as the frames the device sent, for comparison with the
// emulator's trace of every frame.
#include "emuprocess.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

// The frames of a recorded scope CSV at 2.5V/dz: each frame's samples as the raw counts the
// device sent (at that gain a plot unit is a count and a count is 5/512 V), summed as the
// emulator sums a frame's body bytes; comment lines go to `notes` when given. Empty when a row is malformed or a frame is not whole.
inline QList<quint32> frameSums(const QByteArray& csv, QStringList* notes) {
    QList<quint32> sums;
    int rows = 0;
    for (const QByteArray& line : csv.split('\n')) {
        if (line.isEmpty() || line.startsWith("frame,"))
            continue;
        if (line.startsWith('#')) {
            if (notes)
                *notes << QString::fromLatin1(line);
            continue;
        }
        const QList<QByteArray> f = line.split(',');
        bool ok = false;
        const int frame = f.value(0).toInt(&ok);
        if (f.size() != 3 || !ok || frame < 1)
            return {};
        if (frame != sums.size()) {
            if (frame != sums.size() + 1 || (!sums.isEmpty() && rows != 1024))
                return {};
            sums << 0;
            rows = 0;
        }
        const int raw = qRound(f[2].toDouble() * 512 / 5);
        sums.last() += quint32(raw & 0xFF) + quint32((raw >> 8) & 0xFF);
        ++rows;
    }
    if (rows != 1024)
        return {};
    return sums;
}

inline QList<quint32> tracedSums(EmuProcess& emu) {
    emu.collect();
    QList<quint32> sums;
    const QRegularExpression frame(QStringLiteral("^frame (\\d+) sum (\\d+)$"));
    for (const QString& line : emu.trace()) {
        const auto m = frame.match(line);
        if (m.hasMatch())
            sums << m.captured(2).toUInt();
    }
    return sums;
}


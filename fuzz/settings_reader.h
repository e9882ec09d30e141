#pragma once

// Arbitrary bytes as the contents of settings.txt, through its reader. check() returns an
// empty string or a description of the broken rule.
#include "app/settingsfile.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

namespace settingsfuzz {

inline bool same(const SettingsFile::Stored& a, const SettingsFile::Stored& b) {
    return a.portName == b.portName && a.portSpeed == b.portSpeed && a.speedIndex == b.speedIndex;
}

inline QString check(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    const SettingsFile::Stored untouched{QStringLiteral("untouched"), -7, -8};
    SettingsFile::Stored stored = untouched;
    const bool accepted = SettingsFile::parse(&device, &stored);
    if (device.pos() > SettingsFile::maxWordBytes)
        return QStringLiteral("read %1 bytes").arg(device.pos());
    if (!accepted)
        return same(stored, untouched) ? QString() : QStringLiteral("refused line changed fields");
    if (bytes.left(int(SettingsFile::maxWordBytes)).indexOf('#') < 0)
        return QStringLiteral("accepted a line without #");
    for (const QChar c : stored.portName) {
        if (c.isSpace() || c == QLatin1Char('#'))
            return QStringLiteral("port name holds a blank or #");
    }
    // What the page writes back must read as the same fields (when it fits the read limit).
    const QByteArray line = SettingsFile::line(stored);
    if (line.size() > SettingsFile::maxWordBytes)
        return QString();
    QByteArray again = line;
    QBuffer second(&again);
    second.open(QIODevice::ReadOnly);
    SettingsFile::Stored reread;
    if (!SettingsFile::parse(&second, &reread) || !same(reread, stored))
        return QStringLiteral("written line does not read back: ") + QString::fromUtf8(line);
    return QString();
}

} // namespace settingsfuzz

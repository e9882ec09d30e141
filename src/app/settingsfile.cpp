#include "app/settingsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QStandardPaths>
#include <QTextStream>
#include <algorithm>

bool SettingsFile::parse(QIODevice* device, Stored* out) {
    const QByteArray head = device->read(maxWordBytes);
    QTextStream stream(head);
    // The same encoding the line is written in, whatever the locale, and no switch to UTF-16 on
    // a byte-order mark: that would read a name which, written back as UTF-8, reads differently.
    stream.setCodec("UTF-8");
    stream.setAutoDetectUnicode(false);
    QString word;
    stream >> word;
    if (!word.contains(QLatin1Char('#')))
        return false;
    out->portName = word.section(QLatin1Char('#'), 1, 1);
    out->portSpeed = word.section(QLatin1Char('#'), 2, 2).toInt();
    out->speedIndex = word.section(QLatin1Char('#'), 3, 3).toInt();
    return true;
}

bool SettingsFile::canHoldPort(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('#')) &&
           std::none_of(name.begin(), name.end(), [](QChar c) { return c.isSpace(); });
}

QByteArray SettingsFile::line(const Stored& fields) {
    // Joined, not chained arg(): a "%1" inside the port name must stay as it is.
    return "#" + fields.portName.toUtf8() + "#" + QByteArray::number(fields.portSpeed) + "#" +
           QByteArray::number(fields.speedIndex) + "#ZRV";
}

QString SettingsFile::locate() {
    const QString name = QString::fromLatin1(fileName);
    const QString local = QDir::current().absoluteFilePath(name);
    if (QFileInfo::exists(local))
        return local;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    // No home to write to: the working folder, as before.
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return local;
    return QDir(folder).absoluteFilePath(name);
}

#include "settingsfile.h"

#include "ustawienia.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString SettingsFile::locate() {
    const QString name = QString::fromLatin1(Ustawienia::fileName);
    const QString local = QDir::current().absoluteFilePath(name);
    if (QFileInfo::exists(local))
        return local;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    // No home to write to: the working folder, as before.
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return local;
    return QDir(folder).absoluteFilePath(name);
}

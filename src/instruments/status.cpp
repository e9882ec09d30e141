#include "instruments/status.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcStatus, "zrv.status", QtInfoMsg)

void Status::show(const QString& text) {
    current = text;
    emit changed(current);
}

void Status::fail(const QString& text) {
    qCWarning(lcStatus).noquote() << text;
    show(text);
}

void Status::unableToSave(const QString& path) {
    qCWarning(lcStatus).noquote() << "cannot write" << path;
    fail(QStringLiteral("Unable to save ") + QFileInfo(path).fileName());
}

void Status::settingsUnwritable(const QString& path) {
    if (unwritable.contains(path))
        return;
    unwritable.insert(path);
    fail(QStringLiteral("Unable to write settings ") + path);
}

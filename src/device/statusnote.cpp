#include "device/statusnote.h"

#include "device/status.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>

Q_LOGGING_CATEGORY(lcStatus, "zrv.status", QtInfoMsg)

namespace StatusNote {

void say(const QString& text) {
    sts = text;
    qCWarning(lcStatus).noquote() << text;
}

void unableToSave(const QString& path) {
    qCWarning(lcStatus).noquote() << "cannot write" << path;
    say(QStringLiteral("Unable to save ") + QFileInfo(path).fileName());
}

void settingsUnwritable(const QString& path) {
    static QSet<QString> said;
    if (said.contains(path))
        return;
    said.insert(path);
    say(QStringLiteral("Unable to write settings ") + path);
}

} // namespace StatusNote

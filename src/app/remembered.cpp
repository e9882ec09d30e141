#include "app/remembered.h"

#include "app/mainwindow.h"
#include "instruments/bode/bodepage.h"
#include "instruments/generator/generator.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/spectrum/analizator.h"
#include "instruments/status.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
// The pages whose settings are kept, in the order they are put back.
std::array<Page*, 5> keptPages(const MainWindow& w) {
    return {w.oscPage(), w.genPage(), w.anPage(), w.laPage(), w.bodePage()};
}
} // namespace

QString Remembered::path() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/zrv.conf");
}

void Remembered::restore(MainWindow& window) {
    const QString file = path();
    if (file.isEmpty())
        return;
    const QSettings store(file, QSettings::IniFormat);
    bool ok = false;
    if (store.status() != QSettings::NoError ||
        store.value(QStringLiteral("format")).toInt(&ok) != format || !ok)
        return;
    for (Page* page : keptPages(window))
        page->restoreSettings(store);
}

bool Remembered::save(const MainWindow& window) {
    const QString file = path();
    if (file.isEmpty())
        return false;
    QSettings store(file, QSettings::IniFormat);
    store.clear();
    store.setValue(QStringLiteral("format"), format);
    for (const Page* page : keptPages(window))
        page->saveSettings(store);
    store.sync();
    if (store.status() == QSettings::NoError)
        return true;
    window.statusLine()->settingsUnwritable(file);
    return false;
}

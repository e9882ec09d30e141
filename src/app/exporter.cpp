#include "app/exporter.h"

#include "app/mainwindow.h"
#include "instruments/page.h"
#include "instruments/status.h"
#include "instruments/textfile.h"

#include <QAction>
#include <QBuffer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPixmap>

namespace {
// "name (*.sr)" -> "sr"
QString filterSuffix(const QString& filter) {
    const int star = filter.lastIndexOf(QStringLiteral("*."));
    return filter.mid(star + 2).chopped(1);
}
} // namespace

Exporter::Exporter(MainWindow* window) : QObject(window), window(window) {
    exportAction = new QAction(tr("Export data…"), window);
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    pictureAction = new QAction(tr("Save picture…"), window);
    pictureAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    recordAction = new QAction(tr("Record…"), window);
    recordAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    window->addAction(exportAction);
    window->addAction(pictureAction);
    window->addAction(recordAction);
    connect(exportAction, &QAction::triggered, this, &Exporter::exportSlot);
    connect(pictureAction, &QAction::triggered, this, &Exporter::pictureSlot);
    connect(recordAction, &QAction::triggered, this, &Exporter::recordSlot);
    menu = new QMenu(window);
    menu->addAction(exportAction);
    menu->addAction(pictureAction);
    menu->addAction(recordAction);
    // A page may end its recording by itself (a change of mode): the menu asks each time.
    connect(menu, &QMenu::aboutToShow, this, &Exporter::showRecordState);
    menu->addSeparator();
    menu->addAction(window->quitAction());
}

QStringList Exporter::filters() const {
    return window->currentPage()->exportFilters();
}

void Exporter::sayNoData() {
    window->statusLine()->show(filters().isEmpty() ? tr("This page has no data to export")
                                                   : tr("Nothing to export yet"));
}

bool Exporter::hasData() const {
    return window->currentPage()->hasExportData();
}

Exporter::Snapshot Exporter::snapshot() const {
    Snapshot taken;
    for (const QString& filter : filters()) {
        bool known = false;
        const QString suffix = filterSuffix(filter);
        const QByteArray bytes = window->currentPage()->exportData(suffix, &known);
        if (known)
            taken.insert(suffix, bytes);
    }
    return taken;
}

bool Exporter::exportData(const QString& path) {
    if (!hasData()) {
        sayNoData();
        return false;
    }
    return write(snapshot(), path);
}

bool Exporter::write(const Snapshot& taken, const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const auto found = taken.constFind(QFileInfo(path).suffix().toLower());
    if (found == taken.constEnd()) {
        window->statusLine()->fail(tr("Unknown export format: %1").arg(name));
        return false;
    }
    if (found->isEmpty() || !TextFile::save(path, *found)) {
        window->statusLine()->fail(tr("Unable to write %1").arg(name));
        return false;
    }
    window->statusLine()->show(tr("Exported %1").arg(name));
    return true;
}

bool Exporter::savePicture(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    QByteArray png;
    QBuffer buffer(&png);
    // Encoded first, then written the way every file is, so a failed write keeps an old picture.
    const bool saved = buffer.open(QIODevice::WriteOnly) && window->grab().save(&buffer, "PNG") &&
                       TextFile::save(path, png);
    if (saved)
        window->statusLine()->show(tr("Saved %1").arg(name));
    else
        window->statusLine()->fail(tr("Unable to write %1").arg(name));
    return saved;
}

void Exporter::showMenu(const QPoint& globalPos) {
    menu->popup(globalPos);
}

QString Exporter::askFile(const QString& title, const QStringList& pageFilters) {
    QString chosen = pageFilters.first();
    QString path = QFileDialog::getSaveFileName(window, title, QString(),
                                                pageFilters.join(QStringLiteral(";;")), &chosen);
    // A name typed without a suffix gets the chosen filter's.
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + filterSuffix(chosen);
    return path;
}

bool Exporter::startRecording(const QString& path) {
    const bool started = window->currentPage()->startRecording(path);
    showRecordState();
    return started;
}

void Exporter::stopRecording() {
    window->currentPage()->stopRecording();
    showRecordState();
}

void Exporter::showRecordState() {
    recordAction->setText(window->currentPage()->isRecording() ? tr("Stop recording")
                                                               : tr("Record…"));
}

void Exporter::recordSlot() {
    Page* page = window->currentPage();
    if (page->isRecording()) {
        stopRecording();
        return;
    }
    const QStringList pageFilters = page->recordFilters();
    if (pageFilters.isEmpty()) {
        window->statusLine()->show(tr("This page has nothing to record"));
        return;
    }
    const QString path = askFile(tr("Record"), pageFilters);
    // The page may have changed while the dialog was open.
    if (!path.isEmpty() && window->currentPage() == page)
        startRecording(path);
}

void Exporter::exportSlot() {
    const QStringList pageFilters = filters();
    if (!hasData()) {
        sayNoData();
        return;
    }
    // Before the dialog: frames go on arriving while it is open.
    const Snapshot taken = snapshot();
    const QString path = askFile(tr("Export data"), pageFilters);
    if (!path.isEmpty())
        write(taken, path);
}

void Exporter::pictureSlot() {
    QString path = QFileDialog::getSaveFileName(window, tr("Save picture"), QString(),
                                                tr("PNG image (*.png)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    savePicture(path);
}

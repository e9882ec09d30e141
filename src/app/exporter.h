#pragma once

#include <QObject>
#include <QStringList>

class MainWindow;
class QAction;
class QMenu;
class QPoint;

// Takes the measurements out of the program: the current page's data ("Export data…", Ctrl+E)
// as CSV, sigrok session or VCD by the file name's suffix, and a PNG of the window ("Save
// picture…", Ctrl+Shift+E). Both are also in the plot's context menu. Every outcome is told in
// the status line.
class Exporter : public QObject {
    Q_OBJECT
public:
    explicit Exporter(MainWindow* window);

    // The file dialog's filters for the current page; empty when the page has no data to export.
    QStringList filters() const;
    // Writes the current page's data to `path` in the format its suffix names. False, and no
    // file, when there is nothing to export yet, the suffix names no format of the page, or the
    // file cannot be written (an existing one is then left as it was).
    bool exportData(const QString& path);
    // Writes a PNG of the window as shown.
    bool savePicture(const QString& path);
    // The context menu of the plot at a global position.
    void showMenu(const QPoint& globalPos);

    QAction* exportAction;
    QAction* pictureAction;

private slots:
    void exportSlot();
    void pictureSlot();

private:
    QByteArray pageData(const QString& suffix, bool* known) const;
    bool hasData() const;
    void sayNoData();

    MainWindow* window;
    QMenu* menu;
};

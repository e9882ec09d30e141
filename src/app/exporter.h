#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

class MainWindow;
class QAction;
class QMenu;
class QPoint;

// Takes the measurements out of the program: the current page's data ("Export data…", Ctrl+E)
// as CSV, sigrok session or VCD by the file name's suffix, and a PNG of the window ("Save
// picture…", Ctrl+Shift+E), and every frame of the current page into a file as it comes
// ("Record…", Ctrl+R, which stops a running recording). All are also in the plot's context
// menu. Every outcome is told in the status line.
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
    // The current page's data in every format it offers, by suffix, as it is now: what a
    // later write puts in the file, however long the file dialog stays open.
    using Snapshot = QHash<QString, QByteArray>;
    Snapshot snapshot() const;
    // Writes the snapshot's data for `path`'s suffix, with the status texts of exportData.
    bool write(const Snapshot& taken, const QString& path);
    // Writes a PNG of the window as shown.
    bool savePicture(const QString& path);
    // The context menu of the plot at a global position.
    void showMenu(const QPoint& globalPos);
    // Starts recording the current page's frames into `path`, or stops the running recording.
    bool startRecording(const QString& path);
    void stopRecording();

    QAction* exportAction;
    QAction* pictureAction;
    QAction* recordAction;

private slots:
    void exportSlot();
    void pictureSlot();
    void recordSlot();

private:
    bool hasData() const;
    void sayNoData();
    void showRecordState();
    // The save dialog over the page's filters; empty when cancelled.
    QString askFile(const QString& title, const QStringList& pageFilters);

    MainWindow* window;
    QMenu* menu;
};

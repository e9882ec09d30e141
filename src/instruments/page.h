#pragma once

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QStringList>

class QMouseEvent;
class ZRVCom;
struct Buffer;

// What the main window needs of every page. A page is never shown itself: its controls are
// children of the host window, and an instrument page paints its plot on the host.
class Page : public QMainWindow {
    Q_OBJECT
public:
    explicit Page(QWidget* host);

    // Shadow QWidget's show and hide on purpose: the page's controls appear, not the page.
    virtual void show();
    virtual void hide();
    virtual void enable();
    virtual void disable();
    // Puts the device into this page's mode and sends the page's settings.
    virtual void start() {}
    // One display cycle on the host; `newFrame` is true when `frame` arrived since the last one.
    virtual void drawGraph(Buffer* frame, bool newFrame);
    // True when the page paints the whole plot area itself on every frame.
    virtual bool coversPlot() const { return true; }
    virtual void mousePress(QMouseEvent*) {}
    virtual void mouseMove(QMouseEvent*) {}
    virtual void mouseRelease(QMouseEvent*) {}
    // The two lines of the readout at a point inside the plot, "\n" between them; empty when
    // the page shows none.
    virtual QString pointerReadout(QPoint) const { return {}; }
    // The main window's 50 ms tick, passed on to every page whether shown or not.
    virtual void tick() {}
    // Export: the file dialog's filters ("name (*.suffix)"), none when the page has nothing to
    // export; whether there is data yet; and the data in the format a suffix names (`known`
    // false when it names none of the page's).
    virtual QStringList exportFilters() const { return {}; }
    virtual bool hasExportData() const { return false; }
    virtual QByteArray exportData(const QString& suffix, bool* known) const;
    // Every control the page shows and hides.
    virtual QList<QWidget*> controls() const = 0;

    QWidget* host;
    ZRVCom* com = nullptr;

protected:
    // The dialogs of the pages' waveform text files, over the host window; empty when the user
    // cancels.
    QString askOpenTextFile();
    QString askSaveTextFile();
};

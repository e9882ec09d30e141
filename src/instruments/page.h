#pragma once

#include "device/framegate.h"
#include "instruments/recording.h"
#include "plot/plotview.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QSettings;
class QTimer;
class Status;
class ZRVCom;
struct Frame;

// One page of the window: a widget over the window's area (its origin is the window's, so its
// controls stand at their window positions) that owns its controls, its settings, their
// remembered values and tooltips, and its plot view. Frames reach it through takeFrame while it
// is the current page; it hands them to its window-free processor and shows the result, at
// most every 50 ms.
class Page : public QWidget, public PlotClient {
    Q_OBJECT
public:
    // Results are shown at most this often (ms).
    static constexpr int showIntervalMs = 50;

    Page(QWidget* parent, Status* status);

    // The link of the latest port opening (null before the first); not owned.
    ZRVCom* com = nullptr;

    // Puts the device into this page's mode and sends the page's settings.
    virtual void start() {}
    // The page was left or the port closed: its frames are no longer expected.
    virtual void stop();
    // A frame from the device while this page is the current one.
    virtual void takeFrame(const Frame&) {}

    // The page's remembered settings, each in the page's own group of the store.
    virtual void saveSettings(QSettings&) const {}
    virtual void restoreSettings(const QSettings&) {}

    // Export: the file dialog's filters ("name (*.suffix)"), none when the page has nothing to
    // export; whether there is data yet; and the data in the format a suffix names (`known`
    // false when it names none of the page's).
    virtual QStringList exportFilters() const { return {}; }
    virtual bool hasExportData() const { return false; }
    virtual QByteArray exportData(const QString& suffix, bool* known) const;

    // Recording ("Record…", Ctrl+R): the file dialog's filters, none on a page that cannot
    // record. From startRecording on, every frame the page takes goes to the file as it comes,
    // even while its picture is stopped, until stopRecording. False, with the reason on the
    // status line, when the file cannot be written.
    virtual QStringList recordFilters() const { return {}; }
    bool startRecording(const QString& path);
    void stopRecording();
    bool isRecording() const { return recording.isOpen(); }
    // The device was lost: the recording notes the gap and goes on once the page restarts.
    void recordingGap() { recording.noteGap(); }
    quint64 recordedFrames() const { return recording.frames(); }

    // The plot area, or null on a page without one.
    PlotView* plot() const { return view; }
    void paintPlot(Graph&) override {}

    // Readouts mean something: a frame of the current settings has come since the page's start,
    // and the device has not gone silent since.
    bool live() const;
    const FrameGate& frames() const { return gate; }

    // What the status line says while a page that expects frames gets none.
    static QString noDataText() { return QStringLiteral("No data from the device"); }

protected:
    void addPlotView();
    // The result changed: show it now, or once showIntervalMs have passed since the last time.
    void resultChanged();
    // Puts the result into the readouts; the plot view repaints after it.
    virtual void showResult() {}
    // The frame time of the page's current settings (pages that take frames).
    virtual FrameTiming frameTiming() const { return {}; }
    // Whether the device owes the running page a frame now; a page whose frames come only on an
    // event of the signal (a capture waiting for its trigger) says no while it waits.
    virtual bool expectsFrames() const { return true; }

    // Before a setting that goes to the device changes: what has arrived belongs to the old one.
    void flushFrames();
    // The page sent its start and settings, or a setting: frames from now on must come after.
    void framesStarted();
    void settingSent();
    // True when the frame belongs to the page's current settings; once its result is shown the
    // frame counts as the one on screen (for the log).
    bool admit(const Frame& frame);

    // Opens the recording for the page's frames (kind, mode) at `path`.
    virtual bool openRecording(Recording&, const QString&) { return false; }
    // A frame went into the recording: the status line's count follows, a few times a second.
    void recorded();
    Recording recording;

    // The dialogs of the pages' waveform text files; empty when the user cancels.
    QString askOpenTextFile();
    QString askSaveTextFile();

    Status* status;

private:
    void showNow();
    void watchSilence();
    void sayNoData();
    void unsayNoData();
    void plotPainted() override;

    PlotView* view = nullptr;
    QTimer* showTimer;
    QTimer* silenceTimer;
    QElapsedTimer lastShown;
    QElapsedTimer lastCounted; // the recording's count on the status line
    FrameGate gate;
    bool wasLive = false;
    // "No data from the device" is on the status line, put there over `beforeNoData`.
    bool noDataShown = false;
    QString beforeNoData;
    // The newest frame taken, and the newest one that changed the result and is not yet logged
    // as drawn: their lengths and byte sums.
    int takenLength = -1;
    quint32 takenSum = 0;
    int frameLength = -1;
    quint32 frameSum = 0;
};

#pragma once

#include "instruments/oscilloscope/oscprocessor.h"
#include "instruments/page.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QMouseEvent;
class QPushButton;
class QScrollBar;
class QSpinBox;
class RunButtons;

// The oscilloscope page: one or two traces with trigger, measurements, cursors and waveform
// files. Its controls set an OscSettings; every frame goes through its OscProcessor, and the
// page shows the processor's result.
class Oscyloskop : public Page {
    Q_OBJECT
public:
    // The page's widgets, for the tests.
    struct Widgets {
        QComboBox* tBox;
        QComboBox* vBox1;
        QComboBox* vBox2;
        QScrollBar* xPosBar;
        QScrollBar* yPosBar1;
        QScrollBar* yPosBar2;
        QCheckBox* ch2Box;
        QComboBox* trigModeBox;
        QComboBox* trigEdgeBox;
        QComboBox* trigBandBox;
        QComboBox* averageBox; // "Avg 1" (off) .. "Avg 64": windows averaged
        QSpinBox* trigLevelBox;
        QCheckBox* timeCursorBox;
        QCheckBox* voltCursorBox;
        QPushButton* saveButton;
        QLabel* xPosLabel;
        QLabel* yPosLabel1;
        QLabel* yPosLabel2;
        QLabel* rmsLabel1;
        QLabel* rmsLabel2;
        QLabel* avgLabel1;
        QLabel* avgLabel2;
        QLabel* vppLabel1;
        QLabel* vppLabel2;
        QLabel* freqLabel1;
        QLabel* freqLabel2;
        QLabel* cursorsLabel;
        QLabel* cursorVoltLabel1;
        QLabel* cursorVoltLabel2;
        QLabel* cursorTimeLabel;
        QLabel* cursorFreqLabel;
        QLabel* trigStateLabel;
        RunButtons* run;
        // The extra measurements, each a check box and, checked, its readouts (CH1 [CH2]).
        QListWidget* measureList;
    };
    const Widgets& widgets() const { return ui; }

    Oscyloskop(QWidget* parent, Status* status);

    void start() override;
    void takeFrame(const Frame& frame) override;
    void paintPlot(Graph& graph) override;
    QString pointerReadout(QPoint p) const override;
    void plotPress(QMouseEvent* e) override { setCursor(e); }
    void plotMove(QMouseEvent* e) override { setCursor(e); }
    void saveSettings(QSettings& store) const override;
    void restoreSettings(const QSettings& store) override;
    QStringList exportFilters() const override;
    QStringList recordFilters() const override;
    bool hasExportData() const override { return hasFrame; }
    QByteArray exportData(const QString& suffix, bool* known) const override;

    // Mouse press or move on the plot: trigger level by left click, cursors by Shift-click.
    void setCursor(QMouseEvent* e);

    // Waveform files without a dialog: the raw frame, or the span between the time cursors
    // while the "Time" box is checked. Return false when nothing was written.
    bool saveWaveform(const QString& path);
    // Loads raw samples and shows them as a frame; returns how many were read.
    int loadWaveform(const QString& path);

    const OscSettings& settings() const { return set; }
    const OscProcessor& processor() const { return proc; }
    // The readouts show numbers: a window of this page's data, and no silent device.
    bool readoutsKnown() const;

public slots:
    void tSlot();
    void vSlot();
    void xPosSlot();
    void yPosSlot();
    void channel2Slot();
    void trigSlot();
    void averageSlot();
    void cursorSlot();
    void measureSlot();
    void openSlot();
    void saveSlot();

protected:
    bool openRecording(Recording& r, const QString& path) override;

protected:
    void showResult() override;
    FrameTiming frameTiming() const override;

private:
    void createControls();
    void createReadouts();
    void connectControls();
    void applyTooltips();
    // The settings changed: the processor takes them, and `again` the last samples again.
    void apply(bool again);
    void showReadouts();
    void showMeasureList(const OscChannel& c1, const OscChannel& c2);
    void onRunChanged(bool single);
    void updateScaleLines();

    OscSettings set;
    OscProcessor proc;
    bool hasFrame = false;   // a device frame has been taken since the program started
    bool fileShown = false;  // the window comes from a loaded file, not the device
    int trigShown = -1;      // the trigger state on trigStateLabel
    int measureShown = 0;    // bit k: the Measure list's row k is checked

    // The scales written on the plot, lowest line first: CH2, CH1, time per division.
    QString scaleLines[3];
    int scaleLineCount = 0;
    int scaleKey = -1;

    Widgets ui;
};

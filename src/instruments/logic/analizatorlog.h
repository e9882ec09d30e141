#pragma once

#include "instruments/logic/logicprocessor.h"
#include "instruments/page.h"

class QComboBox;
class QLabel;
class QMouseEvent;
class QPushButton;
class QScrollBar;
class QSpinBox;

// The eight-channel logic analyser page: sample rate, per-channel trigger conditions, the
// "Start" / "Force trig" capture cycle, and the timing display with zoom, offset and cursor.
// Its controls set a LogicSettings; the capture goes through its LogicProcessor.
class AnalizatorLog : public Page {
    Q_OBJECT
public:
    // The page's widgets, for the tests.
    struct Widgets {
        QComboBox* rateBox;
        QSpinBox* zoomBox;
        QLabel* valueLabel;
        QLabel* timeLabel;
        QScrollBar* offsetBar;
        QPushButton* startButton;
        QComboBox* trigBox[LaLogic::channels];
        QLabel* trigCaption[LaLogic::channels];
    };
    const Widgets& widgets() const { return ui; }

    AnalizatorLog(QWidget* parent, Status* status);

    void start() override;
    void takeFrame(const Frame& frame) override;
    void paintPlot(Graph& graph) override;
    void plotPress(QMouseEvent* event) override { drawCursor(event); }
    void plotMove(QMouseEvent* event) override { drawCursor(event); }
    void saveSettings(QSettings& store) const override;
    void restoreSettings(const QSettings& store) override;
    QStringList exportFilters() const override;
    QStringList recordFilters() const override;
    bool hasExportData() const override { return proc.result().captured; }
    QByteArray exportData(const QString& suffix, bool* known) const override;

    // Mouse press or move on the plot: the cursor to the pointer's column.
    void drawCursor(QMouseEvent* event);

    int captureState() const { return laState; }
    bool hasCapture() const { return proc.result().captured; }
    const uint8_t* captureData() const { return proc.result().capture; }
    const LogicSettings& settings() const { return set; }
    const LogicProcessor& processor() const { return proc; }
    const int* series(int channel) const { return proc.result().logicGraph[channel]; }

protected:
    void showResult() override;
    FrameTiming frameTiming() const override;
    // Only a forced capture is owed; an armed one waits for its trigger as long as it takes.
    bool expectsFrames() const override { return proc.isAwaiting() && laState == 0; }

private slots:
    void tlSlot();
    void xPosSlot();
    void zoomSlot();
    void startSlot();
    void trigSlot();

protected:
    bool openRecording(Recording& r, const QString& path) override;

private:
    void buildControls();
    void applyTooltips();
    void apply();
    void updateRuler();

    LogicSettings set;
    LogicProcessor proc;
    int laState = 0; // 0 idle ("Start"), 1 armed ("Force trig")

    // The time ruler along the plot's top: the time at every grid line, for this view.
    static constexpr int rulerMarks = 12;
    QString rulerTexts[rulerMarks];
    QString channelNames[LaLogic::channels];
    long long rulerKey = -1;

    Widgets ui;
};

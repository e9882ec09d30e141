#pragma once

#include "instruments/logic/decode/decode.h"
#include "instruments/logic/logicprocessor.h"
#include "instruments/page.h"

#include <QFutureWatcher>

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
        QPushButton* decodeButton;
        QLabel* annotationLabel; // the annotation under the cursor
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

    // The active decoders; a new list decodes the capture again.
    const QVector<Decode::Choice>& decoders() const { return decoding; }
    void setDecoders(const QVector<Decode::Choice>& choices);
    // The annotations of the capture shown (empty until its decoding is done).
    const QVector<Decode::Annotation>& annotations() const { return decoded; }
    // Captures taken, and the one whose annotations are shown (-1: none).
    int captureNumber() const { return captures; }
    int decodedCapture() const { return decodedNumber; }

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
    void decodeSlot();

protected:
    bool openRecording(Recording& r, const QString& path) override;

private:
    void buildControls();
    void applyTooltips();
    void apply();
    void updateRuler();
    // Decoding on a worker thread, one per capture; a result of an older capture is dropped.
    struct Decoding {
        int capture = 0;
        Decode::Result result;
    };
    void startDecoding();
    void decodingDone();
    void placeRows();
    void paintAnnotations(QPainter& p);
    int annotationAt(int sample) const;

    LogicSettings set;
    LogicProcessor proc;
    int laState = 0; // 0 idle ("Start"), 1 armed ("Force trig")

    // The time ruler along the plot's top: the time at every grid line, for this view.
    static constexpr int rulerMarks = 12;
    QString rulerTexts[rulerMarks];
    QString channelNames[LaLogic::channels];
    long long rulerKey = -1;

    QVector<Decode::Choice> decoding;
    QVector<Decode::Annotation> decoded;
    QVector<int> lanes;      // per annotation: the trace it is drawn under, -1 not shown
    QVector<QString> elided; // per annotation: its text as it fits its box at `elidedZoom`
    int elidedZoom = -1;
    int captures = 0;
    int decodedNumber = -1;
    QFutureWatcher<Decoding> decodeWatch;

    Widgets ui;
};

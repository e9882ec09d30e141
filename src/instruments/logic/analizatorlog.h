#pragma once

#include "device/trigger.h"
#include "instruments/logic/lalogic.h"
#include "instruments/page.h"

class QComboBox;
class QLabel;
class QMouseEvent;
class QPaintDevice;
class QPushButton;
class QScrollBar;
class QSpinBox;
struct Buffer;

// The eight-channel logic analyser page: sample rate, per-channel trigger conditions, the
// "Start" / "Force trig" capture cycle, and the timing display with zoom, offset and cursor.
// Its controls are children of the host window; it paints on the host.
class AnalizatorLog : public Page {
    Q_OBJECT
public:
    // The page's widgets: the one way the window, the tooltips, the remembered settings and the
    // tests reach them.
    struct Widgets {
        QComboBox* rateBox;
        QSpinBox* zoomBox;
        QLabel* valueLabel;
        QLabel* timeLabel;
        QScrollBar* offsetBar;
        QPushButton* startButton;
        QComboBox* trigBox[LaLogic::channels];
    };
    const Widgets& widgets() const { return ui; }

    explicit AnalizatorLog(QWidget* host);

    // The trigger boxes show and hide with the page; they are enabled from the start.
    void show() override;
    void hide() override;
    void start() override;
    void drawGraph(Buffer* frame, bool newFrame) override;
    void drawCursor(QMouseEvent* event);
    void mousePress(QMouseEvent* event) override { drawCursor(event); }
    void mouseMove(QMouseEvent* event) override { drawCursor(event); }
    QList<QWidget*> controls() const override;
    QStringList exportFilters() const override;
    bool hasExportData() const override { return captured; }
    QByteArray exportData(const QString& suffix, bool* known) const override;

    // Keeps `frame` as the page's capture when it is one: a logic frame (captureBytes long)
    // arriving after "Start" or "Force trig". Anything else (an oscilloscope frame still on the
    // line after a page switch, line noise) is not this page's data. True when taken.
    bool takeCapture(const Buffer* frame);
    // One screen on any paint device (the host during its paint, an image in tests and
    // benchmarks): the grid, and the last capture with its readouts once there is one.
    void paintScreen(QPaintDevice* device);
    // Calls `func` on the eight trigger boxes in channel order.
    void triggerFunc(void (QWidget::*func)());

    static int logicFromSignal(const Buffer* frame, int (*out)[LaLogic::positions], int start,
                               int zoom, int cursor);

    int captureState() const { return laState; }
    bool hasCapture() const { return captured; }
    const uint8_t* captureData() const { return capture; }
    int sampleRate() const { return rate; }
    Trigger trigger() const { return trig; }
    int cursorColumn() const { return cursorX; }
    int firstPosition() const { return xPos; }
    int zoomFactor() const { return zoom; }
    const int* series(int channel) const { return logicGraph[channel]; }

private slots:
    void tlSlot();
    void xPosSlot();
    void zoomSlot();
    void startSlot();
    void trigSlot();

private:
    void buildControls();

    int logicGraph[LaLogic::channels][LaLogic::positions] = {};
    int cursorX = 0;
    int xPos = 0;
    int zoom = 1;
    int laState = 0;              // 0 idle ("Start"), 1 armed ("Force trig")
    bool awaitingCapture = false; // "Start" or "Force trig" asked for a capture not yet here
    bool captured = false;
    uint8_t capture[LaLogic::captureBytes] = {};
    // Starts at the rate the box shows, so the time readout and the device agree with it.
    int rate = LaLogic::initialRate;
    Trigger trig;

    Widgets ui;
};

#pragma once

#include "lalogic.h"
#include "trigger.h"

#include <QMainWindow>

class QComboBox;
class QLabel;
class QMouseEvent;
class QPaintDevice;
class QPushButton;
class QScrollBar;
class QSpinBox;
class ZRVCom;
struct Buffer;

// The eight-channel logic analyser page: sample rate, per-channel trigger conditions, the
// "Start" / "Force trig" capture cycle, and the timing display with zoom, offset and cursor.
// Its controls are children of the host window; it paints on the host.
class AnalizatorLog : public QMainWindow {
    Q_OBJECT
public:
    explicit AnalizatorLog(QWidget* host);

    void show();
    void hide();
    void enable();
    void start();
    void drawGraph(Buffer* frame, bool newFrame);
    void drawCursor(QMouseEvent* event);

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

    QWidget* host;
    QComboBox* rateBox;
    QSpinBox* zoomBox;
    QLabel* valueLabel;
    QLabel* timeLabel;
    QScrollBar* offsetBar;
    QPushButton* startButton;
    QComboBox* trigBox[LaLogic::channels];
    ZRVCom* com = nullptr;

private slots:
    void tlSlot();
    void xPosSlot();
    void zoomSlot();
    void startSlot();
    void trigSlot();

private:
    void buildControls();
    void setControlsVisible(bool visible);

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
};

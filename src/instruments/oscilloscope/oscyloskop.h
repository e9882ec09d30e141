#pragma once

#include "instruments/oscilloscope/oscscale.h"
#include "instruments/oscilloscope/osctrigger.h"
#include "instruments/page.h"

#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QMouseEvent;
class QPaintDevice;
class QPushButton;
class QScrollBar;
class QSpinBox;
class Graph;
struct Buffer;

// Plot buffers of channel 1 and channel 2: the window on screen, in plot units (quarter pixels).
extern int bufGraph[OscScale::plotLen];
extern int bufGraph2[OscScale::plotLen];

// The oscilloscope page: one or two traces with trigger, measurements, cursors and waveform
// files. Its controls are children of the host window, and it paints on the host.
class Oscyloskop : public Page {
    Q_OBJECT
public:
    // The page's widgets: the one way the window, the tooltips, the remembered settings and the
    // tests reach them.
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
    };
    const Widgets& widgets() const { return ui; }

    explicit Oscyloskop(QWidget* host);

    void enable() override;
    void start() override;
    void drawGraph(Buffer* frame, bool newFrame) override;
    // The same display cycle on any device (tests, benchmarks).
    void drawGraph(Buffer* frame, QPaintDevice* device);
    void mousePress(QMouseEvent* e) override { setCursor(e); }
    void mouseMove(QMouseEvent* e) override { setCursor(e); }
    QString pointerReadout(QPoint p) const override;
    // Counts the display ticks the auto trigger waits on.
    void tick() override;
    QList<QWidget*> controls() const override;
    QStringList exportFilters() const override;
    bool hasExportData() const override { return hasFrame; }
    QByteArray exportData(const QString& suffix, bool* known) const override;
    // Mouse press or move on the host: trigger level by left click, cursors by Shift-click.
    void setCursor(QMouseEvent* e);

    int trigger(int* samples, int* out1, int* out2, int level, int mode, int xPos);

    static QString calcRMS(const int* s, int n, int g);
    static QString calcAvg(const int* s, int n, int g);
    static QString calcVpp(const int* s, int n, int g);
    static QString calcFreq(const int* s, int n, int tb);
    // Engineering-prefix formatter ("k", none, "m", "u"); the caller appends the unit.
    static QString value(double x);

    // Waveform files without a dialog: the raw frame, or the span between the time cursors
    // while the "Time" box is checked. Return false when nothing was written.
    bool saveWaveform(const QString& path);
    int loadWaveform(const QString& path);

    bool twoChannel() const;

    QStringList extraTimeItems;

    int timeBase = 7;
    int gain1 = 0;
    int gain2 = 0;
    int trigMode = 0;
    float trigLevel = 0.0f;
    OscTrigger::State trigState;
    int xPos = 0;
    int yPos1 = 0;
    int yPos2 = 0;
    int tCursor1 = 0;
    int tCursor2 = 0;
    int vCursor1 = 0;
    int vCursor2 = 0;
    int trigShown = 0; // OscTrigger::Shown on trigStateLabel

    // Samples of the last converted frame (or loaded file): 1024 of channel 1, or 512 of
    // channel 1 then 512 of channel 2.
    int sampleBuf[OscScale::frameSamples] = {};
    bool hasFrame = false; // a frame has been converted into sampleBuf

public slots:
    void tSlot();
    void vSlot();
    void xPosSlot();
    void yPosSlot();
    void channel2Slot();
    void trigSlot();
    void cursorSlot();
    void openSlot();
    void saveSlot();

private:
    void createControls();
    void createReadouts();
    void connectControls();
    void updateReadouts();
    void drawMarkers(Graph& graph);
    void drawCursors(Graph& graph);
    void showTriggerState(int copied);

    Widgets ui;
};

#pragma once

#include "instruments/page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPaintDevice;
class QScrollBar;
struct Buffer;

// The spectrum analyser page: one-channel acquisition, a Hamming-windowed 1024-point spectrum in
// dB with max hold, total power and THD+N. Its controls are children of the host window; it
// paints on the host.
class Analizator : public Page {
    Q_OBJECT
public:
    // The page's widgets: the one way the window, the tooltips, the remembered settings and the
    // tests reach them.
    struct Widgets {
        QComboBox* taBox;
        QComboBox* vaBox;
        QScrollBar* xPosBar;
        QCheckBox* holdBox;
        QLabel* powerLabel;
        QLabel* thdnLabel;
    };
    const Widgets& widgets() const { return ui; }

    static constexpr int points = 1024; // samples per frame and transform length
    static constexpr int order = 10;    // log2(points)
    static constexpr int sinTabLen = 1280;
    static constexpr int plotLen = 512;

    explicit Analizator(QWidget* host);

    void start() override;
    void drawGraph(Buffer* frame, bool newFrame) override;
    QString pointerReadout(QPoint p) const override;
    QList<QWidget*> controls() const override;
    QStringList exportFilters() const override;
    bool hasExportData() const override { return framed; }
    QByteArray exportData(const QString& suffix, bool* known) const override;
    // The same screen on any paint device (benchmarks, tests).
    void drawGraph(Buffer* frame, QPaintDevice* device);

    // Window, transform, power and levels in place: afterwards re holds the power of each bin
    // and im its level in dB, both in natural order. Returns the total power of bins
    // 0 .. 2^m/2 - 1 in dB.
    static double fft(double* re, double* im, int m, const double* table, int tableLen);
    // Maps 512 levels from bin -offset on (offset clamped to -128 .. 0) to plot values,
    // 26 units per dB with 0 at 2148/26 dB, never below -1024.
    static void adjustGraph(int* plot, const double* levels, int offset);

    const int* spectrum() const { return specGraph; }
    const int* held() const { return holdGraph; }
    // Level in dB of bins 0 .. plotLen - 1 from the last paint, and their max hold.
    const double* levels() const { return fftIm; }
    const double* heldLevels() const { return holdLevels; }
    bool holding() const;
    bool hasFrame() const { return framed; }

    int timeBase = 7; // sent with setTimeBase, OscScale::timeBaseOfItem(span index)
    int gain = 0;     // sent with setGain1, the range index
    int xPos = 0;     // display offset -128 .. 0: the plot starts at bin -xPos

private slots:
    void taSlot();
    void vaSlot();
    void xPosSlot();
    void maxHoldSlot();

private:
    void restartHold();

    double sinTab[sinTabLen];
    double fftRe[points];
    double fftIm[points];
    int specGraph[plotLen];
    int holdGraph[plotLen];
    int sampleBuf[points]; // samples of the last frame that was long enough
    double holdLevels[plotLen];
    bool framed = false;

    Widgets ui;
};

#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>

class QPaintDevice;

// Draws one screen of an instrument page: plot area x 10..778, y 30..542 of the main window,
// centre (394, 286). Trace values are quarter pixels: value v lies at y = 286 - v/4.
// Works on any paint device, so tests and benchmarks can draw into a QImage.
class Graph {
public:
    static constexpr int left = 10, right = 778, top = 30, bottom = 542;
    static constexpr int centreX = 394, centreY = 286;
    static constexpr int division = 64;

    // Trigger markers, the logic cursor, the generator's period end: apart from the green grid
    // and axes and from every trace colour, so a marker on a grid line stays visible.
    static QColor markerColour() { return QColor(255, 150, 30); }
    // The scales written in the plot's corner.
    static QColor scaleColour() { return QColor(200, 200, 200); }

    // The plot area, edges included, in main-window pixels.
    static QRect plotRect() { return QRect(QPoint(left, top), QPoint(right, bottom)); }
    static QPoint centre() { return QPoint(centreX, centreY); }
    // Strictly inside the plot, edges excluded: where the pointer reads, draws and sets cursors.
    static bool contains(QPoint p) {
        return p.x() > left && p.x() < right && p.y() > top && p.y() < bottom;
    }
    // A point in pixels from the centre, y growing upwards.
    static QPoint fromCentre(QPoint p) { return QPoint(p.x() - centreX, centreY - p.y()); }

    // Draws on `widget`, whose top-left pixel lies at `origin` in main-window pixels (a plot
    // view over the plot area has its origin at the plot's top-left corner).
    explicit Graph(QPaintDevice* widget, QPoint origin = QPoint());
    ~Graph();
    Graph(const Graph&) = delete;
    Graph& operator=(const Graph&) = delete;

    void svWindow();
    // 1024 signed 16-bit samples, low byte first, from the first 2048 bytes of a frame body.
    static void convBufToInt16(const uint8_t* data /* 2048 */, int* out /* 1024 */);
    void signal(const int* values /* 384 */, QColor colour);
    void signal2x(const int* values /* 768 */, QColor colour);
    // A spectrum's 384 values: as signal(), its brightness by spectrumAlpha.
    void spectrum(const int* values /* 384 */, QColor colour);
    // A small triangle pointing down at the value v (quarter pixels) of column x.
    void peakMarker(int x, int v, QColor colour);
    void cursorH(int y, QColor colour);
    void cursorV(int x, QColor colour);
    // A channel's zero level: a small arrow at the plot's left edge, `y` pixels above the centre
    // line, pinned to the top or bottom edge when the level lies off the plot.
    void zeroMarker(int y, QColor colour);
    // Lines of text in the plot's lower left corner, the first one lowest, each in its colour.
    void cornerText(const QString* lines, const QColor* colours, int count);

    // Alpha of a segment whose ends differ by `step` pixels: steep segments are drawn faint.
    static int slopeAlpha(int step);
    // Alpha of a spectrum's segment between the values v and w: by its higher end, from 96 at
    // the bottom edge to 255 at the top. A line is as bright as it is strong: the strongest is
    // never fainter than the rest (steepness would dim the tallest line most).
    static int spectrumAlpha(int v, int w);

    QPainter* painterPtr() { return painter.get(); }

private:
    void segment(int x1, int v, int x2, int w, const QColor& colour);
    void steepSegment(int x1, int y1, int x2, int y2, const QColor& colour);
    void hLine(int x1, int x2, int y, const QColor& colour);
    void vLine(int x, int y1, int y2, const QColor& colour);

    QPaintDevice* widget;
    std::unique_ptr<QPainter> painter;
};

#include "plot/graph.h"

#include "device/buffer.h"

#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

Graph::Graph(QPaintDevice* widget, QPoint origin) : widget(widget) {
    if (widget) {
        painter = std::make_unique<QPainter>(widget);
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->translate(-origin);
    }
}

Graph::~Graph() = default;

void Graph::svWindow() {
    if (!painter)
        return;
    painter->fillRect(QRect(QPoint(left, top), QPoint(right, bottom)), Qt::black);
    const QColor grid(10, 110, 10), axis(10, 240, 10);
    for (int k = 0; k <= 8; ++k)
        hLine(left, right, top + division * k, grid);
    for (int k = 0; k <= 12; ++k)
        vLine(left + division * k, top, bottom, grid);
    vLine(centreX, top, bottom, axis);
    hLine(left, right, centreY, axis);
}

// Axis-parallel one-pixel lines, end points included: the same pixels as a cosmetic pen draws,
// at a fraction of the cost of the line stroker.
void Graph::hLine(int x1, int x2, int y, const QColor& colour) {
    painter->fillRect(QRect(QPoint(qMin(x1, x2), y), QPoint(qMax(x1, x2), y)), colour);
}

void Graph::vLine(int x, int y1, int y2, const QColor& colour) {
    painter->fillRect(QRect(QPoint(x, qMin(y1, y2)), QPoint(x, qMax(y1, y2))), colour);
}

void Graph::convBufToInt16(const uint8_t* data, int* out) {
    samplesOfFrame(data, out);
}

int Graph::slopeAlpha(int step) {
    // |step| of 1386 px and more all give the floor of 10; the table spares a pow() per segment.
    static const std::array<uint8_t, 1387> table = [] {
        std::array<uint8_t, 1387> t{};
        for (size_t d = 0; d < t.size(); ++d) {
            const int alpha = int(255.0 - std::pow(double(d) * 65536.0, 0.3));
            t[d] = uint8_t(alpha < 10 ? 10 : (alpha > 255 ? 255 : alpha));
        }
        return t;
    }();
    const unsigned d = step < 0 ? 0u - unsigned(step) : unsigned(step);
    return d < table.size() ? table[d] : 10;
}

// Draws the segment between the values v (at column x1) and w (at x2), clipped to the plot.
void Graph::segment(int x1, int v, int x2, int w, const QColor& colour) {
    const int a = v / 4, b = w / 4;
    if ((a > 256 && b > 256) || (a < -256 && b < -256))
        return;
    auto row = [](int p) { return p > 256 ? top : (p < -256 ? bottom : centreY - p); };
    const int y1 = row(a), y2 = row(b);
    // Every segment as fills: the same pixels as Qt's line path, at a fraction of its cost.
    if (y1 == y2)
        hLine(x1, x2, y1, colour);
    else
        steepSegment(x1, y1, x2, y2, colour);
}

// A segment one column wide (|x2 - x1| == 1, y1 != y2) as the two vertical runs that Qt's
// cosmetic line stepper gives it: 16.16 fixed-point columns, one per row, the start moved half
// a row out by the square cap. Reproduced here so the runs can be fills with identical pixels.
void Graph::steepSegment(int x1, int y1, int x2, int y2, const QColor& colour) {
    if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const int rows = y2 - y1;
    const int step = int(int64_t(x2 - x1) * 65536 / rows); // columns per row, 16.16
    const int round = step > 0 ? 32 : 0;
    const int x = (x1 << 16) - (step >> 1) + (((32 + round) * step) >> 6);
    const int firstColumn = x >> 16;
    // Rows from the top that stay in the first column.
    int run = rows + 1;
    if (step > 0)
        run = int((((int64_t(firstColumn) + 1) << 16) - x + step - 1) / step);
    else if (step < 0)
        run = int((x - (int64_t(firstColumn) << 16)) / -step) + 1;
    if (run > rows) {
        vLine(firstColumn, y1, y2, colour);
        return;
    }
    vLine(firstColumn, y1, y1 + run - 1, colour);
    vLine(firstColumn + (step > 0 ? 1 : -1), y1 + run, y2, colour);
}

void Graph::signal(const int* values, QColor colour) {
    if (!painter)
        return;
    for (int i = 0; i < 383; ++i) {
        colour.setAlpha(slopeAlpha(values[i + 1] / 4 - values[i] / 4));
        segment(2 * i + 11, values[i], 2 * i + 12, values[i + 1], colour);
    }
}

int Graph::spectrumAlpha(int v, int w) {
    const int high = std::clamp(std::max(v, w) / 4, -256, 256); // pixels above the centre
    return 96 + (high + 256) * (255 - 96) / 512;
}

void Graph::spectrum(const int* values, QColor colour) {
    if (!painter)
        return;
    for (int i = 0; i < 383; ++i) {
        colour.setAlpha(spectrumAlpha(values[i], values[i + 1]));
        segment(2 * i + 11, values[i], 2 * i + 12, values[i + 1], colour);
    }
}

void Graph::peakMarker(int x, int v, QColor colour) {
    if (!painter)
        return;
    const int row = std::clamp(centreY - v / 4, top + 9, bottom);
    for (int k = 0; k < 4; ++k)
        hLine(x - k, x + k, row - 3 - k, colour);
}

void Graph::signal2x(const int* values, QColor colour) {
    if (!painter)
        return;
    for (int k = 1; k <= 766; ++k)
        segment(k + 10, values[k], k + 11, values[k + 1], colour);
}

void Graph::cursorH(int y, QColor colour) {
    if (!painter)
        return;
    hLine(left, right, centreY - y, colour);
}

void Graph::cursorV(int x, QColor colour) {
    if (!painter)
        return;
    vLine(x + left, bottom, top, colour);
}

void Graph::zeroMarker(int y, QColor colour) {
    if (!painter)
        return;
    const int row = std::clamp(centreY - y, top + 3, bottom - 3);
    // A triangle seven pixels high at the edge, narrowing to a point eight pixels in.
    for (int k = 0; k < 8; ++k) {
        const int half = 3 - k / 2;
        vLine(left + 1 + k, row - half, row + half, colour);
    }
}

void Graph::cornerText(const QString* lines, const QColor* colours, int count) {
    if (!painter)
        return;
    const int lineHeight = painter->fontMetrics().height();
    int baseline = bottom - 6;
    for (int i = 0; i < count; ++i, baseline -= lineHeight) {
        painter->setPen(colours[i]);
        painter->drawText(left + 6, baseline, lines[i]);
    }
}

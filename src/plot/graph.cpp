#include "graph.h"

#include "buffer.h"

#include <QPen>
#include <cmath>
#include <cstdlib>

Graph::Graph(QPaintDevice* widget) : widget(widget) {
    if (widget) {
        painter = std::make_unique<QPainter>(widget);
        painter->setRenderHint(QPainter::Antialiasing, false);
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

void Graph::convBufToInt16(const Buffer* buffer, int* out) {
    for (int i = 0; i < 1024; ++i) {
        const uint16_t raw = uint16_t(buffer->data[2 * i] | (buffer->data[2 * i + 1] << 8));
        out[i] = int16_t(raw);
    }
}

int Graph::slopeAlpha(int step) {
    const int alpha = int(255.0 - std::pow(double(std::abs(step)) * 65536.0, 0.3));
    return alpha < 10 ? 10 : (alpha > 255 ? 255 : alpha);
}

// Draws the segment between the values v (at column x1) and w (at x2), clipped to the plot.
void Graph::segment(int x1, int v, int x2, int w) {
    const int a = v / 4, b = w / 4;
    if ((a > 256 && b > 256) || (a < -256 && b < -256))
        return;
    auto row = [](int p) { return p > 256 ? top : (p < -256 ? bottom : centreY - p); };
    const int y1 = row(a), y2 = row(b);
    // Flat segments (most of a logic trace) as fills: the same pixels, far cheaper than Qt's
    // line path.
    if (y1 == y2)
        hLine(x1, x2, y1, painter->pen().color());
    else
        painter->drawLine(x1, y1, x2, y2);
}

void Graph::signal(const int* values, QColor colour) {
    if (!painter)
        return;
    QPen pen(colour, 0);
    for (int i = 0; i < 383; ++i) {
        colour.setAlpha(slopeAlpha(values[i + 1] / 4 - values[i] / 4));
        pen.setColor(colour);
        painter->setPen(pen);
        segment(2 * i + 11, values[i], 2 * i + 12, values[i + 1]);
    }
}

void Graph::signal2x(const int* values, QColor colour) {
    if (!painter)
        return;
    painter->setPen(QPen(colour, 0));
    for (int k = 1; k <= 766; ++k)
        segment(k + 10, values[k], k + 11, values[k + 1]);
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

#include "plot/plotview.h"

#include "plot/graph.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>

namespace {
// The same event at the position it has in main-window pixels.
QMouseEvent inWindow(const QMouseEvent* e) {
    const QPointF at = e->localPos() + QPointF(Graph::plotRect().topLeft());
    return QMouseEvent(e->type(), at, e->windowPos(), e->screenPos(), e->button(), e->buttons(),
                       e->modifiers());
}
} // namespace

PlotView::PlotView(PlotClient* client, QWidget* parent) : QWidget(parent), client(client) {
    setGeometry(Graph::plotRect());
    // Every paint covers the whole view: nothing to fill first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette green;
    green.setColor(QPalette::All, QPalette::WindowText, QColor(0, 255, 0));
    label1 = new QLabel(this);
    label2 = new QLabel(this);
    for (QLabel* label : {label1, label2}) {
        label->setPalette(green);
        label->hide();
    }
}

void PlotView::paintEvent(QPaintEvent*) {
    {
        Graph graph(this, Graph::plotRect().topLeft());
        client->paintPlot(graph);
    }
    client->plotPainted();
}

void PlotView::showReadout(QPoint p) {
    if (!Graph::contains(p))
        return;
    const QStringList lines = client->pointerReadout(p).split(QLatin1Char('\n'));
    if (lines.size() < 2)
        return;
    // Left of and above the pointer near the plot's right and bottom edges, so the text stays
    // on the plot.
    const QRect plot = Graph::plotRect();
    const int labelX = p.x() < plot.right() - 100 ? p.x() : p.x() - 100;
    const bool nearBottom = p.y() >= plot.bottom() - 35;
    const QPoint origin = plot.topLeft();
    label1->setGeometry(QRect(QPoint(labelX, nearBottom ? p.y() - 30 : p.y()) - origin,
                              QSize(100, 15)));
    label2->setGeometry(QRect(QPoint(labelX, nearBottom ? p.y() - 10 : p.y() + 20) - origin,
                              QSize(100, 15)));
    label1->setText(lines[0]);
    label2->setText(lines[1]);
    label1->show();
    label2->show();
}

void PlotView::mousePressEvent(QMouseEvent* event) {
    QMouseEvent e = inWindow(event);
    // The right button alone is no page's: it opens the context menu.
    if (e.button() == Qt::RightButton && e.modifiers() == Qt::NoModifier) {
        emit menuRequested(event->globalPos());
        return;
    }
    showReadout(e.pos());
    client->plotPress(&e);
}

void PlotView::mouseMoveEvent(QMouseEvent* event) {
    QMouseEvent e = inWindow(event);
    showReadout(e.pos());
    client->plotMove(&e);
}

void PlotView::mouseReleaseEvent(QMouseEvent* event) {
    QMouseEvent e = inWindow(event);
    label1->hide();
    label2->hide();
    client->plotRelease(&e);
}

#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QString>
#include <QWidget>

class Graph;
class QLabel;
class QMouseEvent;

// What a plot view shows and whom it tells about the mouse. Positions are in main-window
// pixels, the plot's own coordinates (Graph's).
class PlotClient {
public:
    virtual ~PlotClient() = default;
    // Draws the last result; computes nothing.
    virtual void paintPlot(Graph& graph) = 0;
    // Called once the picture is on the view.
    virtual void plotPainted() {}
    // The two lines of the pointer readout at `p`, "\n" between them; empty for none.
    virtual QString pointerReadout(QPoint) const { return {}; }
    virtual void plotPress(QMouseEvent*) {}
    virtual void plotMove(QMouseEvent*) {}
    virtual void plotRelease(QMouseEvent*) {}
};

// The plot area of a page: a widget over Graph::plotRect() of its parent (which lies at the
// main window's origin) that paints through its client, passes the mouse on in main-window
// pixels and shows the pointer readout. The right button alone asks for the context menu.
class PlotView : public QWidget {
    Q_OBJECT
public:
    PlotView(PlotClient* client, QWidget* parent);

    QLabel* readout1() const { return label1; }
    QLabel* readout2() const { return label2; }

signals:
    void menuRequested(const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showReadout(QPoint p);

    PlotClient* client;
    QLabel* label1;
    QLabel* label2;
};

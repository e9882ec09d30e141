#pragma once

#include <QMainWindow>
#include <QString>

class QMouseEvent;
class ZRVCom;
struct Buffer;

// The oscilloscope page. Its controls are children of the host window; it paints on the host.
class Oscyloskop : public QMainWindow {
    Q_OBJECT
public:
    explicit Oscyloskop(QWidget* host);

    void show();
    void hide();
    void enable();
    void start();
    void drawGraph(Buffer* frame);
    void setCursor(QMouseEvent* e);

    // Engineering-prefix formatter ("k", none, "m", "u"); the caller appends the unit.
    static QString value(double x);

    QWidget* host;
    ZRVCom* com = nullptr;
    int timeBase = 7;
    int gain1 = 0;
    int gain2 = 0;
    int autoCount = 0;
};

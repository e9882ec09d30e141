#pragma once

#include <QMainWindow>

class QMouseEvent;
class ZRVCom;
struct Buffer;

// The eight-channel logic analyser page.
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

    QWidget* host;
    ZRVCom* com = nullptr;
};

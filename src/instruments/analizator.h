#pragma once

#include <QMainWindow>

class ZRVCom;
struct Buffer;

// The spectrum analyser page.
class Analizator : public QMainWindow {
    Q_OBJECT
public:
    explicit Analizator(QWidget* host);

    void show();
    void hide();
    void enable();
    void start();
    void drawGraph(Buffer* frame);

    QWidget* host;
    ZRVCom* com = nullptr;
    int timeBase = 7;
    int gain = 0;
    int xPos = 0;
};

#pragma once

#include <QMainWindow>

class QMouseEvent;
class ZRVCom;

// The generator's output table: 512 12-bit signed values, uploaded to the device.
extern int buff_gen[512];

// The function and arbitrary-waveform generator page.
class Generator : public QMainWindow {
    Q_OBJECT
public:
    Generator(QWidget* host, int* outTab);

    void show();
    void hide();
    void enable();
    void start();
    void drawGraph(int x0, int y0);
    void drawArb(QMouseEvent* event);
    void drawArbRelease();

    QWidget* host;
    ZRVCom* com = nullptr;
    int freq = 1000; // requested frequency in Hz, read by the pointer readout
    int* outTab;
};

#include "analizator.h"

#include "graph.h"
#include "zrvcom.h"

Analizator::Analizator(QWidget* host) : QMainWindow(nullptr), host(host) {}

void Analizator::show() {}
void Analizator::hide() {}
void Analizator::enable() {}

void Analizator::start() {
    if (!com)
        return;
    com->osc1chStart();
    com->setGain1(gain);
    com->setTimeBase(timeBase);
}

void Analizator::drawGraph(Buffer*) {
    Graph graph(host);
    graph.svWindow();
}

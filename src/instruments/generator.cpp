#include "generator.h"

#include "graph.h"
#include "zrvcom.h"

int buff_gen[512];

Generator::Generator(QWidget* host, int* outTab) : QMainWindow(nullptr), host(host), outTab(outTab) {}

void Generator::show() {}
void Generator::hide() {}
void Generator::enable() {}

void Generator::start() {
    if (com)
        com->genStart();
}

void Generator::drawGraph(int, int) {
    Graph graph(host);
    graph.svWindow();
}

void Generator::drawArb(QMouseEvent*) {}
void Generator::drawArbRelease() {}

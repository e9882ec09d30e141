#include "analizatorlog.h"

#include "graph.h"
#include "zrvcom.h"

AnalizatorLog::AnalizatorLog(QWidget* host) : QMainWindow(nullptr), host(host) {}

void AnalizatorLog::show() {}
void AnalizatorLog::hide() {}
void AnalizatorLog::enable() {}

void AnalizatorLog::start() {
    if (com)
        com->laStart();
}

void AnalizatorLog::drawGraph(Buffer*, bool) {
    Graph graph(host);
    graph.svWindow();
}

void AnalizatorLog::drawCursor(QMouseEvent*) {}

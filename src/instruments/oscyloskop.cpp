#include "oscyloskop.h"

#include "graph.h"
#include "zrvcom.h"

#include <cmath>

Oscyloskop::Oscyloskop(QWidget* host) : QMainWindow(nullptr), host(host) {}

void Oscyloskop::show() {}
void Oscyloskop::hide() {}
void Oscyloskop::enable() {}

void Oscyloskop::start() {
    if (!com)
        return;
    com->osc1chStart();
    com->setTimeBase(timeBase);
    com->setGain1(gain1);
    com->setGain2(gain2);
}

void Oscyloskop::drawGraph(Buffer*) {
    Graph graph(host);
    graph.svWindow();
}

void Oscyloskop::setCursor(QMouseEvent*) {}

QString Oscyloskop::value(double x) {
    const double a = std::fabs(x);
    struct Row {
        double bound, scale;
        int decimals;
        const char* prefix;
    };
    static const Row rows[] = {{30000, 1e-3, 1, "k"}, {3000, 1e-3, 2, "k"}, {300, 1, 0, ""},
                               {30, 1, 1, ""},        {3, 1, 2, ""},        {0.3, 1e3, 0, "m"},
                               {0.03, 1e3, 1, "m"},   {0.003, 1e3, 2, "m"}, {0.0003, 1e6, 0, "u"},
                               {0.00003, 1e6, 1, "u"}};
    for (const Row& r : rows)
        if (a >= r.bound)
            return QString::number(x * r.scale, 'f', r.decimals) + QLatin1String(r.prefix);
    return QString::number(x * 1e6, 'f', 2) + QLatin1String("u");
}

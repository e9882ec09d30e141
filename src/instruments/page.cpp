#include "instruments/page.h"

Page::Page(QWidget* host) : QMainWindow(nullptr), host(host) {}

void Page::show() {
    for (QWidget* w : controls())
        w->setVisible(true);
}

void Page::hide() {
    for (QWidget* w : controls())
        w->setVisible(false);
}

void Page::enable() {
    for (QWidget* w : controls())
        w->setEnabled(true);
}

void Page::disable() {
    for (QWidget* w : controls())
        w->setEnabled(false);
}

void Page::drawGraph(Buffer*, bool) {}

QByteArray Page::exportData(const QString&, bool* known) const {
    *known = false;
    return {};
}

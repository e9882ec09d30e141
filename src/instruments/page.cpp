#include "instruments/page.h"

#include <QFileDialog>

namespace {
void setAll(const QList<QWidget*>& widgets, void (QWidget::*set)(bool), bool on) {
    for (QWidget* w : widgets)
        (w->*set)(on);
}
} // namespace

Page::Page(QWidget* host) : QMainWindow(nullptr), host(host) {}

void Page::show() {
    setAll(controls(), &QWidget::setVisible, true);
}

void Page::hide() {
    setAll(controls(), &QWidget::setVisible, false);
}

void Page::enable() {
    setAll(controls(), &QWidget::setEnabled, true);
}

void Page::disable() {
    setAll(controls(), &QWidget::setEnabled, false);
}

void Page::drawGraph(Buffer*, bool) {}

QByteArray Page::exportData(const QString&, bool* known) const {
    *known = false;
    return {};
}

QString Page::askOpenTextFile() {
    return QFileDialog::getOpenFileName(host, tr("Open file"), QString(), tr("Text files (*.txt)"));
}

QString Page::askSaveTextFile() {
    return QFileDialog::getSaveFileName(host, tr("Save file"), QString(), tr("Text files (*.txt)"));
}

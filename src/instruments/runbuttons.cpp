#include "instruments/runbuttons.h"

#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

RunButtons::RunButtons(QWidget* page, int x, int y) : QObject(page) {
    runStop = new QPushButton(tr("Run/Stop"), page);
    runStop->setGeometry(x, y, 70, 20);
    singleShot = new QPushButton(tr("Single"), page);
    singleShot->setGeometry(x + 75, y, 60, 20);
    label = new QLabel(page);
    label->setGeometry(x + 142, y, 45, 20);
    label->setFixedSize(45, 20);
    runStop->setToolTip(tr("Freeze the picture and readouts, or run again (Space)"));
    singleShot->setToolTip(
        tr("Take one picture with the trigger as set (the next frame in ----), then stop"));
    label->setToolTip(tr("Run: live; Stop: frozen; Armed: waiting for the one picture"));
    // The window's shortcut, live only while this page is shown.
    space = new QShortcut(QKeySequence(Qt::Key_Space), page);
    space->setContext(Qt::WindowShortcut);
    connect(runStop, &QPushButton::clicked, this, &RunButtons::onRunStop);
    connect(singleShot, &QPushButton::clicked, this, &RunButtons::onSingle);
    connect(space, &QShortcut::activated, this, &RunButtons::onRunStop);
    showState();
}

void RunButtons::onRunStop() {
    run.runStop();
    showState();
    emit changed(false);
}

void RunButtons::onSingle() {
    run.single();
    showState();
    emit changed(true);
}

void RunButtons::pictureTaken() {
    if (!run.armed())
        return;
    run.pictureTaken();
    showState();
}

void RunButtons::showState() {
    label->setText(tr(RunState::text(run.state())));
}

#include "instruments/page.h"

#include "device/clock.h"
#include "device/frame.h"
#include "device/zrvcom.h"
#include "instruments/instrumentlog.h"
#include "instruments/status.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>

namespace {
// How often a page that expects frames looks whether the device has gone silent (ms).
constexpr int silenceCheckMs = 200;
} // namespace

Page::Page(QWidget* parent, Status* status) : QWidget(parent), status(status) {
    // The window's area: controls keep the window positions they always had.
    setGeometry(0, 0, 1028, 612);
    showTimer = new QTimer(this);
    showTimer->setSingleShot(true);
    connect(showTimer, &QTimer::timeout, this, &Page::showNow);
    silenceTimer = new QTimer(this);
    silenceTimer->setInterval(silenceCheckMs);
    connect(silenceTimer, &QTimer::timeout, this, &Page::watchSilence);
}

void Page::addPlotView() {
    view = new PlotView(this, this);
}

QByteArray Page::exportData(const QString&, bool* known) const {
    *known = false;
    return {};
}

void Page::stop() {
    const bool wasRunning = gate.isRunning();
    gate.stop();
    silenceTimer->stop();
    // Whatever shows next (another page's name, "closed") replaces the silence text.
    noDataShown = false;
    // No device behind the page any more: its readouts read "---".
    if (wasRunning)
        resultChanged();
}

bool Page::live() const {
    return gate.isRunning() && gate.hasFrame() && !gate.silent(Clock::nowNs());
}

void Page::resultChanged() {
    // The frame taken last is the one the next picture shows.
    if (takenLength >= 0) {
        frameLength = takenLength;
        frameSum = takenSum;
        takenLength = -1;
    }
    if (showTimer->isActive())
        return;
    const qint64 since = lastShown.isValid() ? lastShown.elapsed() : showIntervalMs;
    if (since >= showIntervalMs)
        showNow();
    else
        showTimer->start(int(showIntervalMs - since));
}

void Page::showNow() {
    lastShown.start();
    wasLive = live();
    showResult();
    if (view)
        view->update();
}

void Page::watchSilence() {
    // Only a change is shown: the readouts turn to "---" once, and back with the next frame.
    if (live() != wasLive)
        resultChanged();
    const bool owed = gate.isRunning() && expectsFrames();
    if (owed && gate.silent(Clock::nowNs()))
        sayNoData();
    else if (!owed)
        unsayNoData();
}

void Page::sayNoData() {
    if (noDataShown || !status)
        return;
    noDataShown = true;
    beforeNoData = status->text();
    status->fail(noDataText());
}

void Page::unsayNoData() {
    if (!noDataShown)
        return;
    noDataShown = false;
    // Only the silence text is taken back: a newer message stays.
    if (status->text() == noDataText())
        status->show(beforeNoData);
}

void Page::flushFrames() {
    if (com)
        com->absorbInput();
}

void Page::framesStarted() {
    gate.start(Clock::nowNs(), frameTiming());
    silenceTimer->start();
    resultChanged();
}

void Page::settingSent() {
    if (gate.isRunning())
        gate.changed(Clock::nowNs(), frameTiming());
}

bool Page::admit(const Frame& frame) {
    if (!gate.accept(frame))
        return false;
    unsayNoData();
    if (lcFrames().isDebugEnabled()) {
        takenSum = 0;
        for (int i = 0; i < frame.length; ++i)
            takenSum += frame.data[i];
        takenLength = frame.length;
    }
    return true;
}

void Page::plotPainted() {
    if (frameLength < 0)
        return;
    qCDebug(lcFrames).nospace() << "frame on screen: " << frameLength << " bytes, sum "
                                << frameSum;
    frameLength = -1;
}

QString Page::askOpenTextFile() {
    return QFileDialog::getOpenFileName(this, tr("Open file"), QString(), tr("Text files (*.txt)"));
}

QString Page::askSaveTextFile() {
    QString name =
        QFileDialog::getSaveFileName(this, tr("Save file"), QString(), tr("Text files (*.txt)"));
    // The filter promises .txt, and the open dialog shows only those.
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += name.endsWith(QLatin1Char('.')) ? QStringLiteral("txt") : QStringLiteral(".txt");
    return name;
}

bool Page::startRecording(const QString& path) {
    stopRecording();
    if (!openRecording(recording, path)) {
        if (status)
            status->unableToSave(path);
        return false;
    }
    lastCounted.invalidate();
    recorded();
    return true;
}

void Page::stopRecording() {
    if (!recording.isOpen())
        return;
    recording.finish();
    if (status)
        status->show(QStringLiteral("Recorded %1 frames to %2")
                         .arg(recording.frames())
                         .arg(recording.path()));
}

void Page::recorded() {
    if (!status || (lastCounted.isValid() && lastCounted.elapsed() < 250))
        return;
    lastCounted.start();
    status->show(QStringLiteral("Recording: %1 frames to %2")
                     .arg(recording.frames())
                     .arg(recording.path()));
}

#include "instruments/spectrum/analizator.h"

#include "device/buffer.h"
#include "device/frame.h"
#include "device/zrvcom.h"
#include "instruments/controls.h"
#include "instruments/runbuttons.h"
#include "instruments/csv.h"
#include "instruments/labels.h"
#include "instruments/oscilloscope/oscscale.h"
#include "instruments/readout.h"
#include "instruments/spectrum/spectrum.h"
#include "plot/graph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QSettings>
#include <iterator>

namespace {

// The span box: the device is set to 32 samples per division.
const auto& spanLabels = Labels::span;
const auto& rangeLabels = Labels::range;

constexpr int initialSpan = 7; // 2.5 kHz per division, time base 7

const QColor liveColour(20, 30, 240, 255);
const QColor holdColour(200, 30, 20, 255);

template <typename W> W* place(W* w, int x, int y, int width, int height) {
    w->setGeometry(x, y, width, height);
    return w;
}

} // namespace

Analizator::Analizator(QWidget* parent, Status* status) : Page(parent, status) {
    ui.taBox = place(new QComboBox(this), 100, 580, 110, 20);
    for (const char* label : spanLabels)
        ui.taBox->addItem(QString::fromLatin1(label));
    ui.taBox->setCurrentIndex(initialSpan);
    connect(ui.taBox, QOverload<int>::of(&QComboBox::activated), this, &Analizator::taSlot);

    ui.vaBox = place(new QComboBox(this), 250, 580, 110, 20);
    for (const char* label : rangeLabels)
        ui.vaBox->addItem(QString::fromLatin1(label));
    connect(ui.vaBox, QOverload<int>::of(&QComboBox::activated), this, &Analizator::vaSlot);

    ui.xPosBar = place(new QScrollBar(Qt::Horizontal, this), 0, 552, 788, 20);
    ui.xPosBar->setRange(-192, 192);
    ui.xPosBar->setValue(0);
    connect(ui.xPosBar, &QScrollBar::valueChanged, this, &Analizator::xPosSlot);

    ui.holdBox = place(new QCheckBox(tr("Max hold"), this), 400, 580, 100, 20);
    connect(ui.holdBox, &QCheckBox::stateChanged, this, &Analizator::maxHoldSlot);

    ui.powerLabel = place(new QLabel(this), 838, 100, 200, 20);
    ui.powerLabel->setFixedSize(200, 20);
    ui.thdnLabel = place(new QLabel(this), 838, 120, 200, 20);
    ui.thdnLabel->setFixedSize(200, 20);

    ui.run = new RunButtons(this, 838, 464);
    connect(ui.run, &RunButtons::changed, this, &Analizator::onRunChanged);

    applyTooltips();
    addPlotView();
    proc.setSettings(set);
    showResult();
}

void Analizator::applyTooltips() {
    Controls::tips({
        {ui.taBox, "Frequency span: hertz per division (dz)"},
        {ui.vaBox, "Input range: amplitude at full scale"},
        {ui.xPosBar, "Scrolls the spectrum to higher frequencies"},
        {ui.holdBox, "Max hold: keeps the highest level of every frequency"},
        {ui.powerLabel, "Total power, in dB (daB: decibels of the sample values)"},
        {ui.thdnLabel, "Total harmonic distortion plus noise, in %"},
    });
}

FrameTiming Analizator::frameTiming() const {
    return SpectrumProcessor::frameTiming(set.timeBase, com ? com->bitRate() : 0);
}

void Analizator::start() {
    if (!com)
        return;
    flushFrames();
    // A stopped spectrum stays what it was: the user froze it.
    if (ui.run->state().takesFrames())
        proc.restart();
    com->osc1chStart();
    com->setGain1(set.gain);
    com->setTimeBase(set.timeBase);
    framesStarted();
}

void Analizator::takeFrame(const Frame& frame) {
    // Stopped, frames keep coming and are let go (a recording still keeps them): the spectrum
    // and readouts stay.
    const bool running = ui.run->state().takesFrames();
    if (frame.length < scopeFrameBytes || (!running && !isRecording()) || !admit(frame))
        return;
    if (isRecording()) {
        // A processor of its own: the recording goes on while the picture is stopped.
        if (recorder->settings().timeBase != set.timeBase || recorder->settings().gain != set.gain)
            recorder->setSettings(set);
        if (recorder->process(frame.data, frame.length)) {
            recording.spectrumFrame(recorder->result().levels, plotLen,
                                    core::hertzPerBin(set.timeBase, points));
            recorded();
        }
    }
    if (!running)
        return;
    if (proc.process(frame.data, frame.length)) {
        ui.run->pictureTaken();
        resultChanged();
    }
}

QStringList Analizator::recordFilters() const {
    return {Csv::filter()};
}

bool Analizator::openRecording(Recording& r, const QString& path) {
    if (!recorder)
        recorder = std::make_unique<SpectrumProcessor>();
    recorder->setSettings(set);
    recorder->restart();
    return r.open(path, Recording::Kind::Spectrum);
}

bool Analizator::readoutsKnown() const {
    return proc.result().hasFrame && (live() || !ui.run->state().takesFrames());
}

void Analizator::onRunChanged(bool single) {
    if (single) {
        // The one spectrum is of a capture made after the click.
        flushFrames();
        settingSent();
    }
    resultChanged();
}

void Analizator::taSlot() {
    flushFrames();
    set.timeBase = OscScale::timeBaseOfItem(ui.taBox->currentIndex());
    if (com)
        com->setTimeBase(set.timeBase);
    settingSent();
    proc.setSettings(set);
    resultChanged();
}

void Analizator::vaSlot() {
    flushFrames();
    set.gain = ui.vaBox->currentIndex();
    if (com)
        com->setGain1(set.gain);
    settingSent();
    proc.setSettings(set);
    resultChanged();
}

void Analizator::xPosSlot() {
    const int v = ui.xPosBar->value();
    set.xPos = v < -128 ? -128 : (v > 0 ? 0 : v);
    proc.setSettings(set);
    resultChanged();
}

void Analizator::maxHoldSlot() {
    set.hold = ui.holdBox->checkState() == Qt::Checked;
    proc.setSettings(set);
    resultChanged();
}

void Analizator::showResult() {
    const SpectrumResult& r = proc.result();
    // The span of the spectrum shown (a stopped one keeps its own), and the input range.
    const int span = 14 - (r.hasFrame ? r.timeBase : set.timeBase);
    const int key = span + 16 * set.gain;
    if (key != scaleKey && span >= 0 && span < int(std::size(spanLabels))) {
        scaleKey = key;
        scaleLines[0] = QStringLiteral("Range ") + QString::fromLatin1(rangeLabels[set.gain]);
        scaleLines[1] = QString::fromLatin1(spanLabels[span]);
    }
    const bool known = readoutsKnown();
    ui.powerLabel->setText(QStringLiteral("Power: ") +
                           (known ? Readout::fixed(r.power, 1) + QStringLiteral("daB")
                                  : Readout::none()));
    ui.thdnLabel->setText(QStringLiteral("THD+N: ") +
                          (known && r.thdn ? Readout::fixed(*r.thdn, 2) + QStringLiteral("%")
                                           : Readout::none()));
}

void Analizator::paintPlot(Graph& graph) {
    const SpectrumResult& r = proc.result();
    graph.svWindow();
    const QColor scaleColours[] = {Graph::scaleColour(), Graph::scaleColour()};
    graph.cornerText(scaleLines, scaleColours, 2);
    if (!r.hasFrame)
        return;
    graph.signal(r.specGraph, liveColour);
    if (set.hold)
        graph.signal(r.holdGraph, holdColour);
}

QStringList Analizator::exportFilters() const {
    return {Csv::filter()};
}

QByteArray Analizator::exportData(const QString& suffix, bool* known) const {
    *known = suffix == QLatin1String("csv");
    if (!*known)
        return {};
    const SpectrumResult& r = proc.result();
    return Csv::spectrum(r.levels, set.hold ? r.holdLevels : nullptr, plotLen,
                         core::hertzPerBin(r.timeBase, points));
}

QString Analizator::pointerReadout(QPoint p) const {
    // Two pixels per bin from the plot's left edge; the first bin shown is -xPos.
    const QPoint c = Graph::fromCentre(p);
    const double bin = double(p.x() - Graph::left) / 2 - set.xPos;
    const double f = core::hertzPerBin(set.timeBase, points) * bin;
    return QStringLiteral("  F: ") + Readout::format(f) + "Hz\n" + QStringLiteral("  U/Uz: ") +
           Readout::format(double(c.y()) * 10 / 64) + "dB";
}

void Analizator::saveSettings(QSettings& s) const {
    s.setValue(QStringLiteral("spectrum/span"), ui.taBox->currentIndex());
    s.setValue(QStringLiteral("spectrum/range"), ui.vaBox->currentIndex());
    s.setValue(QStringLiteral("spectrum/offset"), ui.xPosBar->value());
    s.setValue(QStringLiteral("spectrum/maxHold"), int(ui.holdBox->isChecked()));
}

void Analizator::restoreSettings(const QSettings& s) {
    Controls::pick(s, QStringLiteral("spectrum/span"), ui.taBox);
    Controls::pick(s, QStringLiteral("spectrum/range"), ui.vaBox);
    Controls::setValue(s, QStringLiteral("spectrum/offset"), ui.xPosBar);
    int hold = 0;
    if (Controls::readInt(s, QStringLiteral("spectrum/maxHold"), 0, 1, &hold))
        ui.holdBox->setChecked(hold);
}

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
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <cmath>
#include <iterator>

namespace {

// The span box: the device is set to 32 samples per division.
const auto& spanLabels = Labels::span;
const auto& rangeLabels = Labels::range;

constexpr int initialSpan = 7; // 2.5 kHz per division, time base 7

const QColor liveColour(20, 30, 240, 255);
const QColor holdColour(200, 30, 20, 255);

const char* const windowLabels[] = {"Hamming", "Hann", "Blackman-Harris", "Flat top"};
const char* const referenceLabels[] = {"dBFS", "dBV"};
const char* const averagingLabels[] = {"Avg off", "Avg linear", "Avg exp."};
const char* const figureNames[] = {"THD: ", "SNR: ", "SINAD: ", "SFDR: ", "ENOB: ", "Peak: "};

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

    ui.windowBox = place(new QComboBox(this), 510, 580, 120, 20);
    for (const char* label : windowLabels)
        ui.windowBox->addItem(QString::fromLatin1(label));
    connect(ui.windowBox, QOverload<int>::of(&QComboBox::activated), this, &Analizator::windowSlot);
    ui.referenceBox = place(new QComboBox(this), 640, 580, 70, 20);
    for (const char* label : referenceLabels)
        ui.referenceBox->addItem(QString::fromLatin1(label));
    connect(ui.referenceBox, QOverload<int>::of(&QComboBox::activated), this,
            &Analizator::referenceSlot);

    ui.averagingBox = place(new QComboBox(this), 838, 270, 100, 20);
    for (const char* label : averagingLabels)
        ui.averagingBox->addItem(QString::fromLatin1(label));
    connect(ui.averagingBox, QOverload<int>::of(&QComboBox::activated), this,
            &Analizator::averagingSlot);
    ui.averagesBox = place(new QSpinBox(this), 943, 270, 55, 20);
    ui.averagesBox->setRange(2, SpectrumProcessor::maxAverages);
    ui.averagesBox->setValue(set.averages);
    ui.averagesBox->setKeyboardTracking(false);
    connect(ui.averagesBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &Analizator::averagingSlot);
    ui.resetButton = place(new QPushButton(tr("Reset"), this), 838, 295, 60, 20);
    connect(ui.resetButton, &QPushButton::clicked, this, &Analizator::resetSlot);
    ui.averagedLabel = place(new QLabel(this), 905, 295, 120, 20);
    ui.averagedLabel->setFixedSize(120, 20);

    for (int i = 0; i < Widgets::figureCount; ++i) {
        ui.figureLabels[i] = place(new QLabel(this), 838, 140 + 20 * i, 190, 20);
        ui.figureLabels[i]->setFixedSize(190, 20);
    }

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
        {ui.windowBox, "Window of the spectrum shown (the figures use Blackman-Harris)"},
        {ui.referenceBox, "Level reference: dBFS (full-scale sine) or dBV (1 V rms)"},
        {ui.averagingBox, "Power average: of the last N frames, or exponential, weight 1/N"},
        {ui.averagesBox, "N: frames averaged"},
        {ui.resetButton, "Starts the average again"},
        {ui.averagedLabel, "Frames in the average shown"},
        {ui.figureLabels[0], "Total harmonic distortion (harmonics 2 to 10), in % of the tone"},
        {ui.figureLabels[1], "Signal to noise ratio, harmonics left out"},
        {ui.figureLabels[2], "Signal to noise and distortion ratio"},
        {ui.figureLabels[3], "Spurious-free dynamic range: the tone over the next strongest line"},
        {ui.figureLabels[4], "Effective number of bits, from SINAD"},
        {ui.figureLabels[5], "The strongest line: frequency between bins, level of its lobe"},
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
        // The page's settings as they are now (a no-op while nothing changed).
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

void Analizator::windowSlot() {
    set.window = core::Window(ui.windowBox->currentIndex());
    proc.setSettings(set);
    resultChanged();
}

void Analizator::referenceSlot() {
    set.reference = SpectrumSettings::Reference(ui.referenceBox->currentIndex());
    proc.setSettings(set);
    resultChanged();
}

void Analizator::averagingSlot() {
    set.averaging = SpectrumSettings::Averaging(ui.averagingBox->currentIndex());
    set.averages = ui.averagesBox->value();
    proc.setSettings(set);
    resultChanged();
}

void Analizator::resetSlot() {
    proc.restartAverage();
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
    const QString unit = QString::fromLatin1(referenceLabels[set.reference]);
    const QString figures[] = {
        r.thd ? Readout::fixed(*r.thd, 3) + QStringLiteral("%") : Readout::none(),
        r.snr ? Readout::fixed(*r.snr, 1) + QStringLiteral("dB") : Readout::none(),
        r.sinad ? Readout::fixed(*r.sinad, 1) + QStringLiteral("dB") : Readout::none(),
        r.sfdr ? Readout::fixed(*r.sfdr, 1) + QStringLiteral("dB") : Readout::none(),
        r.enob ? Readout::fixed(*r.enob, 2) + QStringLiteral("bit") : Readout::none(),
        r.peakHz && r.peakLevel
            ? Readout::hertz(r.peakHz) + QLatin1Char(' ') + Readout::fixed(*r.peakLevel, 1) + unit
            : Readout::none(),
    };
    for (int i = 0; i < Widgets::figureCount; ++i)
        ui.figureLabels[i]->setText(QString::fromLatin1(figureNames[i]) +
                                    (known ? figures[i] : Readout::none()));
    ui.averagedLabel->setText(set.averaging == SpectrumSettings::Off
                                  ? QString()
                                  : QStringLiteral("Averaged: %1").arg(r.averaged));
}

void Analizator::paintPlot(Graph& graph) {
    const SpectrumResult& r = proc.result();
    graph.svWindow();
    const QColor scaleColours[] = {Graph::scaleColour(), Graph::scaleColour()};
    graph.cornerText(scaleLines, scaleColours, 2);
    if (!r.hasFrame)
        return;
    graph.spectrum(r.specGraph, liveColour);
    if (set.hold)
        graph.spectrum(r.holdGraph, holdColour);
    // The peak's mark above its line, at its frequency between bins: two pixels a bin.
    if (r.peakBin) {
        const double bin = *r.peakBin + set.xPos;
        const int column = int(bin + 0.5);
        if (column >= 0 && column < 384)
            graph.peakMarker(int(std::lround(11 + 2 * bin)), r.specGraph[column],
                             Graph::markerColour());
    }
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
                         core::hertzPerBin(r.timeBase, points), r.referenceDb,
                         referenceLabels[set.reference]);
}

QString Analizator::pointerReadout(QPoint p) const {
    // Two pixels per bin from the plot's left edge; the first bin shown is -xPos.
    const QPoint c = Graph::fromCentre(p);
    const double bin = double(p.x() - Graph::left) / 2 - set.xPos;
    const double f = core::hertzPerBin(set.timeBase, points) * bin;
    // The plot's level there: 6.5 pixels per dB, the centre line at 2148/26 dB of `levels`.
    const double level = (4.0 * c.y() + 2148) / 26 + proc.result().referenceDb;
    return QStringLiteral("  F: ") + Readout::format(f) + "Hz\n" + QStringLiteral("  U/Uz: ") +
           Readout::format(double(c.y()) * 10 / 64) + "dB\n  L: " + Readout::fixed(level, 1) +
           QString::fromLatin1(referenceLabels[set.reference]);
}

void Analizator::saveSettings(QSettings& s) const {
    s.setValue(QStringLiteral("spectrum/span"), ui.taBox->currentIndex());
    s.setValue(QStringLiteral("spectrum/range"), ui.vaBox->currentIndex());
    s.setValue(QStringLiteral("spectrum/offset"), ui.xPosBar->value());
    s.setValue(QStringLiteral("spectrum/maxHold"), int(ui.holdBox->isChecked()));
    s.setValue(QStringLiteral("spectrum/window"), ui.windowBox->currentIndex());
    s.setValue(QStringLiteral("spectrum/reference"), ui.referenceBox->currentIndex());
    s.setValue(QStringLiteral("spectrum/averaging"), ui.averagingBox->currentIndex());
    s.setValue(QStringLiteral("spectrum/averages"), ui.averagesBox->value());
}

void Analizator::restoreSettings(const QSettings& s) {
    Controls::pick(s, QStringLiteral("spectrum/span"), ui.taBox);
    Controls::pick(s, QStringLiteral("spectrum/range"), ui.vaBox);
    Controls::setValue(s, QStringLiteral("spectrum/offset"), ui.xPosBar);
    int hold = 0;
    if (Controls::readInt(s, QStringLiteral("spectrum/maxHold"), 0, 1, &hold))
        ui.holdBox->setChecked(hold);
    Controls::pick(s, QStringLiteral("spectrum/window"), ui.windowBox);
    Controls::pick(s, QStringLiteral("spectrum/reference"), ui.referenceBox);
    Controls::setValue(s, QStringLiteral("spectrum/averages"), ui.averagesBox);
    Controls::pick(s, QStringLiteral("spectrum/averaging"), ui.averagingBox);
}

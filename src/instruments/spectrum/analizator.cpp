#include "instruments/spectrum/analizator.h"

#include "device/buffer.h"
#include "device/zrvcom.h"
#include "instruments/csv.h"
#include "instruments/oscilloscope/oscscale.h"
#include "instruments/readout.h"
#include "instruments/spectrum/spectrum.h"
#include "plot/graph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace {

// Frequency per division of each span entry; the device is set to 32 samples per division.
const char* const spanLabels[13] = {"10Hz/dz",  "25Hz/dz",  "50Hz/dz",   "100Hz/dz", "250Hz/dz",
                                    "500Hz/dz", "1kHz/dz",  "2.5kHz/dz", "5kHz/dz",  "10kHz/dz",
                                    "25kHz/dz", "50kHz/dz", "62.5kHz/dz"};
const char* const rangeLabels[7] = {"500mV", "250mV", "125mV", "62.5mV", "31mV", "15.6mV", "7.8mV"};

constexpr int initialSpan = 7; // 2.5 kHz per division, time base 7
constexpr int plotFloor = -1024;
// Far above the top edge (+1024): keeps the float-to-int conversion defined for any level.
constexpr int plotCeiling = 1 << 20;

const QColor liveColour(20, 30, 240, 255);
const QColor holdColour(200, 30, 20, 255);

} // namespace

Analizator::Analizator(QWidget* host) : Page(host) {
    ui.taBox = new QComboBox(host);
    ui.taBox->setGeometry(100, 580, 110, 20);
    for (const char* label : spanLabels)
        ui.taBox->addItem(QString::fromLatin1(label));
    ui.taBox->setCurrentIndex(initialSpan);
    connect(ui.taBox, QOverload<int>::of(&QComboBox::activated), this, &Analizator::taSlot);

    ui.vaBox = new QComboBox(host);
    ui.vaBox->setGeometry(250, 580, 110, 20);
    for (const char* label : rangeLabels)
        ui.vaBox->addItem(QString::fromLatin1(label));
    connect(ui.vaBox, QOverload<int>::of(&QComboBox::activated), this, &Analizator::vaSlot);

    ui.xPosBar = new QScrollBar(Qt::Horizontal, host);
    ui.xPosBar->setGeometry(0, 552, 788, 20);
    ui.xPosBar->setRange(-192, 192);
    ui.xPosBar->setValue(0);
    connect(ui.xPosBar, &QScrollBar::valueChanged, this, &Analizator::xPosSlot);

    ui.holdBox = new QCheckBox(tr("Max hold"), host);
    ui.holdBox->setGeometry(400, 580, 100, 20);
    connect(ui.holdBox, &QCheckBox::stateChanged, this, &Analizator::maxHoldSlot);

    ui.powerLabel = new QLabel(QStringLiteral("Power: 0daB"), host);
    ui.powerLabel->setGeometry(838, 100, 200, 20);
    ui.powerLabel->setFixedSize(200, 20);
    ui.thdnLabel = new QLabel(QStringLiteral("THD+N: 0daB"), host);
    ui.thdnLabel->setGeometry(838, 120, 200, 20);
    ui.thdnLabel->setFixedSize(200, 20);

    for (QWidget* w : controls())
        w->setEnabled(false);

    // pi is taken as 3.14159 here; the window and the twiddle factors inherit it.
    for (int k = 0; k < sinTabLen; ++k)
        sinTab[k] = std::sin(3.14159 * 2 * k / 1024);
    std::fill(std::begin(fftRe), std::end(fftRe), 0.0);
    std::fill(std::begin(fftIm), std::end(fftIm), 0.0);
    std::fill(std::begin(specGraph), std::end(specGraph), plotFloor);
    restartHold();
    std::fill(std::begin(sampleBuf), std::end(sampleBuf), 0);
}

QList<QWidget*> Analizator::controls() const {
    return {ui.taBox, ui.vaBox, ui.xPosBar, ui.holdBox, ui.powerLabel, ui.thdnLabel};
}

void Analizator::start() {
    if (!com)
        return;
    com->osc1chStart();
    com->setGain1(gain);
    com->setTimeBase(timeBase);
}

void Analizator::taSlot() {
    const int chosen = OscScale::timeBaseOfItem(ui.taBox->currentIndex());
    if (chosen != timeBase)
        restartHold();
    timeBase = chosen;
    if (com)
        com->setTimeBase(timeBase);
}

void Analizator::vaSlot() {
    gain = ui.vaBox->currentIndex();
    if (com)
        com->setGain1(gain);
}

void Analizator::xPosSlot() {
    const int v = ui.xPosBar->value();
    const int shifted = v < -128 ? -128 : (v > 0 ? 0 : v);
    if (shifted != xPos)
        restartHold();
    xPos = shifted;
}

void Analizator::maxHoldSlot() {
    if (ui.holdBox->checkState() == Qt::Checked)
        restartHold();
}

void Analizator::restartHold() {
    // The held trace is kept per displayed column: peaks of another span or offset would stand
    // at the wrong frequencies.
    std::fill(std::begin(holdGraph), std::end(holdGraph), plotFloor);
    std::fill(std::begin(holdLevels), std::end(holdLevels), -HUGE_VAL);
}

bool Analizator::holding() const {
    return ui.holdBox->isChecked();
}

void Analizator::drawGraph(Buffer* frame, bool) {
    drawGraph(frame, host);
}

QStringList Analizator::exportFilters() const {
    return {Csv::filter()};
}

QByteArray Analizator::exportData(const QString& suffix, bool* known) const {
    *known = suffix == QLatin1String("csv");
    if (!*known)
        return {};
    return Csv::spectrum(levels(), holding() ? heldLevels() : nullptr, plotLen,
                         core::hertzPerBin(timeBase, points));
}

QString Analizator::pointerReadout(QPoint p) const {
    // Two pixels per bin from the plot's left edge; the first bin shown is -xPos.
    const QPoint c = Graph::fromCentre(p);
    const double bin = double(p.x() - Graph::left) / 2 - xPos;
    const double f = core::hertzPerBin(timeBase, points) * bin;
    return QStringLiteral("  F: ") + Readout::format(f) + "Hz\n" + QStringLiteral("  U/Uz: ") +
           Readout::format(double(c.y()) * 10 / 64) + "dB";
}

void Analizator::drawGraph(Buffer* frame, QPaintDevice* device) {
    Graph graph(device);
    // A short frame is not an error: the spectrum of the previous samples is shown again.
    if (frame && frame->length > 2047) {
        Graph::convBufToInt16(frame, sampleBuf);
        framed = true;
    }
    graph.svWindow();

    for (int i = 0; i < points; ++i)
        fftRe[i] = sampleBuf[i];
    const double power = fft(fftRe, fftIm, order, sinTab, 1024);
    const double distortion = core::thdn(fftRe, plotLen, power);
    adjustGraph(specGraph, fftIm, xPos);

    graph.signal(specGraph, liveColour);
    if (ui.holdBox->isChecked()) {
        for (int i = 0; i < plotLen; ++i)
            holdGraph[i] = std::max(holdGraph[i], specGraph[i]);
        for (int i = 0; i < plotLen; ++i)
            holdLevels[i] = std::max(holdLevels[i], fftIm[i]);
        graph.signal(holdGraph, holdColour);
    }

    ui.powerLabel->setText(QStringLiteral("Power: ") + Readout::fixed(power, 1) +
                           QStringLiteral("daB"));
    ui.thdnLabel->setText(QStringLiteral("THD+N: ") + Readout::fixed(distortion, 2) +
                          QStringLiteral("%"));
}

double Analizator::fft(double* re, double* im, int m, const double* table, int tableLen) {
    if (m < 0 || m > 30)
        return core::decabel(0.0);
    const int n = 1 << m;
    core::windowedButterflies(re, im, m, table, tableLen);

    for (int i = 0; i < n; ++i)
        re[i] = re[i] * re[i] + im[i] * im[i];

    // Bit-reversed to natural order; r runs through reverse(i, m).
    for (int i = 0, r = 0; i < n; ++i, r = core::nextReversed(r, m))
        im[r] = re[i];
    for (int i = 0; i < n; ++i)
        re[i] = im[i];

    for (int i = 0; i < n; ++i)
        im[i] = core::decabel(im[i]);

    double total = 0.0;
    for (int i = 0; i < n / 2; ++i)
        total += re[i];
    return core::decabel(total);
}

void Analizator::adjustGraph(int* plot, const double* levels, int offset) {
    const int first = -(offset < -128 ? -128 : (offset > 0 ? 0 : offset));
    for (int i = 0; i < plotLen; ++i) {
        const double v = 26.0 * levels[first + i] - 2148.0;
        if (std::isnan(v) || v < plotFloor)
            plot[i] = plotFloor;
        else if (v > plotCeiling)
            plot[i] = plotCeiling;
        else
            plot[i] = int(v);
    }
}

#include "instruments/oscilloscope/oscyloskop.h"

#include "device/buffer.h"
#include "device/statusnote.h"
#include "device/zrvcom.h"
#include "instruments/csv.h"
#include "instruments/oscilloscope/oscfile.h"
#include "instruments/oscilloscope/oscmeasure.h"
#include "instruments/oscilloscope/osctrigger.h"
#include "instruments/readout.h"
#include "plot/graph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <cmath>
#include <limits>

int bufGraph[OscScale::plotLen];
int bufGraph2[OscScale::plotLen];

namespace {

const char* const timeItems[] = {"100ms/dz", "40ms/dz", "20ms/dz",  "10ms/dz",  "4ms/dz",
                                 "2ms/dz",   "1ms/dz",  "400us/dz", "200us/dz", "100us/dz",
                                 "40us/dz",  "20us/dz", "16us/dz"};
const char* const gainItems[] = {"2.5V/dz",  "1V/dz",   "500mV/dz", "250mV/dz",
                                 "100mV/dz", "50mV/dz", "25mV/dz"};
const char* const modeItems[] = {"----", "Norm", "Auto", "Single"};
const char* const edgeItems[] = {"Fall", "Ris"};
const char* const bandItems[] = {"LF", "HF"};

// The time/div box holds at most this many entries in two-channel mode (no time-base below 4)
// and in one-channel mode (all fifteen time-bases).
constexpr int twoChannelTimeItems = 11;
constexpr int oneChannelTimeItems = 15;

// The auto-trigger count saturates here: in "Norm" without a trigger it would otherwise grow for
// as long as the program runs; anything above the auto-trigger limit means the same.
constexpr int autoCountLimit = 1 << 20;

QColor ch1Colour() {
    return QColor(50, 60, 255);
}
QColor ch2Colour() {
    return QColor(255, 60, 50);
}
QColor markerColour() {
    return QColor(20, 80, 60);
}
QColor cursorColour() {
    return QColor(150, 150, 0);
}

// Fixed size as well: a readout's new text then asks for no relayout of the whole window.
template <typename W> W* place(W* w, int x, int y, int width, int height) {
    w->setGeometry(x, y, width, height);
    w->setFixedSize(width, height);
    w->setEnabled(false);
    return w;
}

template <size_t N> QComboBox* comboBox(QWidget* host, const char* const (&items)[N]) {
    auto* box = new QComboBox(host);
    for (const char* item : items)
        box->addItem(QString::fromLatin1(item));
    return box;
}

} // namespace

Oscyloskop::Oscyloskop(QWidget* host) : Page(host) {
    createControls();
    createReadouts();
    connectControls();
}

void Oscyloskop::createControls() {
    ui.tBox = place(comboBox(host, timeItems), 100, 580, 110, 20);
    ui.tBox->setCurrentIndex(OscScale::timeBaseOfItem(timeBase));
    ui.vBox1 = place(comboBox(host, gainItems), 250, 580, 110, 20);
    ui.vBox2 = place(comboBox(host, gainItems), 400, 580, 110, 20);

    ui.xPosBar = place(new QScrollBar(Qt::Horizontal, host), 0, 552, 788, 20);
    ui.xPosBar->setRange(-192, 192);
    ui.yPosBar1 = place(new QScrollBar(Qt::Vertical, host), 788, 23, 20, 529);
    ui.yPosBar1->setRange(-256, 256);
    ui.yPosBar2 = place(new QScrollBar(Qt::Vertical, host), 808, 23, 20, 529);
    ui.yPosBar2->setRange(-256, 256);

    ui.ch2Box = place(new QCheckBox(host), 380, 580, 20, 20);
    extraTimeItems << QStringLiteral("10u") << QStringLiteral("8u") << QStringLiteral("5u")
                   << QStringLiteral("2u");

    ui.trigModeBox = place(comboBox(host, modeItems), 550, 580, 65, 20);
    ui.trigEdgeBox = place(comboBox(host, edgeItems), 620, 580, 55, 20);
    ui.trigBandBox = place(comboBox(host, bandItems), 680, 580, 50, 20);
    ui.trigLevelBox = place(new QSpinBox(host), 740, 580, 90, 20);
    ui.trigLevelBox->setRange(-40000, 40000);
    ui.trigLevelBox->setSuffix(tr("mV"));

    ui.timeCursorBox = place(new QCheckBox(tr("Time"), host), 848, 320, 80, 20);
    ui.voltCursorBox = place(new QCheckBox(tr("Voltage"), host), 848, 400, 80, 20);
    ui.saveButton = place(new QPushButton(tr("SAVE"), host), 880, 540, 100, 20);
}

void Oscyloskop::createReadouts() {
    auto label = [this](const char* text, int x, int y, int width) {
        return place(new QLabel(tr(text), host), x, y, width, 20);
    };
    ui.xPosLabel = label("Xpos: 0", 838, 30, 100);
    ui.yPosLabel1 = label("Ypos1: 0", 838, 50, 100);
    ui.yPosLabel2 = label("Ypos2: 0", 938, 50, 100);
    ui.rmsLabel1 = label("CH1 RMS: 0V", 838, 100, 200);
    ui.rmsLabel2 = label("CH2 RMS: 0V", 838, 120, 200);
    ui.avgLabel1 = label("CH1 Avg: 0V", 838, 150, 200);
    ui.avgLabel2 = label("CH2 Avg: 0V", 838, 170, 200);
    ui.vppLabel1 = label("CH1 Vpp = 0V", 838, 200, 200);
    ui.vppLabel2 = label("CH2 Vpp = 0V", 838, 220, 200);
    ui.freqLabel1 = label("CH1 Freq = 0Hz", 838, 250, 200);
    ui.freqLabel2 = label("CH2 Freq = 0Hz", 838, 270, 200);
    ui.cursorsLabel = label("Cursors", 838, 300, 200);
    ui.cursorVoltLabel1 = label("Voltage: 0V", 848, 420, 200);
    ui.cursorVoltLabel2 = label("Voltage: 0V", 848, 440, 200);
    ui.cursorTimeLabel = label("Time: 0s", 848, 340, 200);
    ui.cursorFreqLabel = label("Freq: 0Hz", 848, 360, 200);
    ui.trigStateLabel = label("", 838, 75, 200);
}

void Oscyloskop::connectControls() {
    const auto activated = QOverload<int>::of(&QComboBox::activated);
    connect(ui.tBox, activated, this, &Oscyloskop::tSlot);
    connect(ui.vBox1, activated, this, &Oscyloskop::vSlot);
    connect(ui.vBox2, activated, this, &Oscyloskop::vSlot);
    connect(ui.xPosBar, &QScrollBar::valueChanged, this, &Oscyloskop::xPosSlot);
    connect(ui.yPosBar1, &QScrollBar::valueChanged, this, &Oscyloskop::yPosSlot);
    connect(ui.yPosBar2, &QScrollBar::valueChanged, this, &Oscyloskop::yPosSlot);
    connect(ui.ch2Box, &QCheckBox::clicked, this, &Oscyloskop::channel2Slot);
    connect(ui.trigModeBox, activated, this, &Oscyloskop::trigSlot);
    connect(ui.trigEdgeBox, activated, this, &Oscyloskop::trigSlot);
    connect(ui.trigBandBox, activated, this, &Oscyloskop::trigSlot);
    connect(ui.trigLevelBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &Oscyloskop::trigSlot);
    connect(ui.timeCursorBox, &QCheckBox::clicked, this, &Oscyloskop::cursorSlot);
    connect(ui.voltCursorBox, &QCheckBox::clicked, this, &Oscyloskop::cursorSlot);
    connect(ui.saveButton, &QPushButton::clicked, this, &Oscyloskop::saveSlot);
}

QList<QWidget*> Oscyloskop::controls() const {
    return {ui.tBox,
            ui.vBox1,
            ui.vBox2,
            ui.xPosBar,
            ui.yPosBar1,
            ui.yPosBar2,
            ui.ch2Box,
            ui.trigModeBox,
            ui.trigEdgeBox,
            ui.trigBandBox,
            ui.trigLevelBox,
            ui.timeCursorBox,
            ui.voltCursorBox,
            ui.saveButton,
            ui.xPosLabel,
            ui.yPosLabel1,
            ui.yPosLabel2,
            ui.rmsLabel1,
            ui.rmsLabel2,
            ui.avgLabel1,
            ui.avgLabel2,
            ui.vppLabel1,
            ui.vppLabel2,
            ui.freqLabel1,
            ui.freqLabel2,
            ui.cursorsLabel,
            ui.cursorVoltLabel1,
            ui.cursorVoltLabel2,
            ui.cursorTimeLabel,
            ui.cursorFreqLabel,
            ui.trigStateLabel};
}

void Oscyloskop::enable() {
    for (QWidget* w :
         {static_cast<QWidget*>(ui.tBox),          static_cast<QWidget*>(ui.vBox1),
          static_cast<QWidget*>(ui.xPosBar),       static_cast<QWidget*>(ui.yPosBar1),
          static_cast<QWidget*>(ui.ch2Box),        static_cast<QWidget*>(ui.trigModeBox),
          static_cast<QWidget*>(ui.trigEdgeBox),   static_cast<QWidget*>(ui.trigBandBox),
          static_cast<QWidget*>(ui.trigLevelBox),  static_cast<QWidget*>(ui.saveButton),
          static_cast<QWidget*>(ui.rmsLabel1),     static_cast<QWidget*>(ui.avgLabel1),
          static_cast<QWidget*>(ui.vppLabel1),     static_cast<QWidget*>(ui.freqLabel1),
          static_cast<QWidget*>(ui.xPosLabel),     static_cast<QWidget*>(ui.yPosLabel1),
          static_cast<QWidget*>(ui.yPosLabel2),    static_cast<QWidget*>(ui.voltCursorBox),
          static_cast<QWidget*>(ui.timeCursorBox), static_cast<QWidget*>(ui.cursorsLabel),
          static_cast<QWidget*>(ui.trigStateLabel)})
        w->setEnabled(true);
}

void Oscyloskop::start() {
    if (!com)
        return;
    if (twoChannel())
        com->osc2chStart();
    else
        com->osc1chStart();
    com->setTimeBase(timeBase);
    com->setGain1(gain1);
    com->setGain2(gain2);
}

bool Oscyloskop::twoChannel() const {
    return ui.ch2Box->isChecked();
}

void Oscyloskop::drawGraph(Buffer* frame, bool) {
    drawGraph(frame, host);
}

QStringList Oscyloskop::exportFilters() const {
    return {Csv::filter()};
}

QByteArray Oscyloskop::exportData(const QString& suffix, bool* known) const {
    *known = suffix == QLatin1String("csv");
    return *known ? Csv::oscilloscope(sampleBuf, twoChannel(), timeBase, gain1, gain2)
                  : QByteArray();
}

void Oscyloskop::tick() {
    if (trigState.autoCount < autoCountLimit)
        ++trigState.autoCount;
}

QString Oscyloskop::pointerReadout(QPoint p) const {
    // The scales of the page's grid, cursors and measurements.
    const QPoint c = Graph::fromCentre(p);
    const double t = OscScale::sampleTime(timeBase, double(c.x()) / OscScale::pixelsPerSample);
    const double u = OscScale::volts(gain1, double(c.y()) * OscScale::unitsPerPixel);
    return QStringLiteral("  T: ") + value(t) + "s\n" + QStringLiteral("  U: ") + value(u) + "V";
}

void Oscyloskop::drawGraph(Buffer* frame, QPaintDevice* device) {
    Graph graph(device);
    if (frame && frame->length > 2047) {
        Graph::convBufToInt16(frame, sampleBuf);
        hasFrame = true;
    }
    const int copied = trigger(sampleBuf, bufGraph, bufGraph2, int(trigLevel), trigMode, xPos);
    showTriggerState(copied);
    if (copied) {
        updateReadouts();
        OscTrigger::adjustGraph(bufGraph, yPos1);
        if (twoChannel())
            OscTrigger::adjustGraph(bufGraph2, yPos2);
    }
    graph.svWindow();
    drawMarkers(graph);
    drawCursors(graph);
    graph.signal(bufGraph, ch1Colour());
    if (twoChannel())
        graph.signal(bufGraph2, ch2Colour());
}

int Oscyloskop::trigger(int* samples, int* out1, int* out2, int level, int mode, int xPos) {
    OscTrigger::Setup setup;
    setup.level = level;
    setup.mode = mode;
    setup.xPos = xPos;
    setup.gain1 = gain1;
    setup.gain2 = gain2;
    setup.twoChannel = twoChannel();
    return OscTrigger::run(trigState, samples, out1, out2, setup);
}

void Oscyloskop::showTriggerState(int copied) {
    const auto now =
        OscTrigger::shownState(trigMode, trigState, copied, OscTrigger::Shown(trigShown));
    // Only a change touches the label: this runs for every frame drawn.
    if (now == trigShown)
        return;
    trigShown = now;
    static const QString texts[] = {QString(), QStringLiteral("Trigger: waiting"),
                                    QStringLiteral("Trigger: triggered"),
                                    QStringLiteral("Trigger: held")};
    ui.trigStateLabel->setText(texts[now]);
}

void Oscyloskop::updateReadouts() {
    const int n = OscScale::plotLen;
    if (twoChannel()) {
        ui.rmsLabel1->setText(QStringLiteral("CH1 RMS: ") + calcRMS(bufGraph, n, gain1));
        ui.rmsLabel2->setText(QStringLiteral("CH2 RMS: ") + calcRMS(bufGraph2, n, gain2));
        ui.avgLabel1->setText(QStringLiteral("CH1 Avg: ") + calcAvg(bufGraph, n, gain1));
        ui.avgLabel2->setText(QStringLiteral("CH2 Avg: ") + calcAvg(bufGraph2, n, gain2));
        ui.vppLabel1->setText(QStringLiteral("CH1 Vpp: ") + calcVpp(bufGraph, n, gain1));
        ui.vppLabel2->setText(QStringLiteral("CH2 Vpp: ") + calcVpp(bufGraph2, n, gain2));
        ui.freqLabel1->setText(QStringLiteral("CH1 Freq: ") + calcFreq(bufGraph, n, timeBase));
        ui.freqLabel2->setText(QStringLiteral("CH2 Freq: ") + calcFreq(bufGraph2, n, timeBase));
    } else {
        ui.rmsLabel1->setText(QStringLiteral("CH1 RMS: ") + calcRMS(bufGraph, n, gain1));
        ui.avgLabel1->setText(QStringLiteral("CH1 Avg: ") + calcAvg(bufGraph, n, gain1));
        ui.vppLabel1->setText(QStringLiteral("CH1 Vpp: ") + calcVpp(bufGraph, n, gain1));
        ui.freqLabel1->setText(QStringLiteral("CH1 Freq: ") + calcFreq(bufGraph, n, timeBase));
    }
}

void Oscyloskop::drawMarkers(Graph& graph) {
    int row = 0;
    if (OscTrigger::levelMarker(trigLevel, gain1, yPos1, &row))
        graph.cursorH(row, markerColour());
    graph.cursorV(OscTrigger::positionMarker(xPos), markerColour());
}

void Oscyloskop::drawCursors(Graph& graph) {
    if (ui.timeCursorBox->isChecked()) {
        graph.cursorV(tCursor1, cursorColour());
        graph.cursorV(tCursor2, cursorColour());
        const double samples = double(tCursor2 - tCursor1) / OscScale::pixelsPerSample;
        const double seconds = OscScale::sampleTime(timeBase, samples);
        // Coincident cursors: no period to invert.
        const double hertz = samples != 0.0 ? OscScale::sampleRate(timeBase) / std::fabs(samples)
                                            : std::numeric_limits<double>::infinity();
        ui.cursorTimeLabel->setText(QStringLiteral("Time: ") + value(seconds) + "s");
        ui.cursorFreqLabel->setText(QStringLiteral("Freq: ") + value(hertz) + "Hz");
    }
    if (ui.voltCursorBox->isChecked()) {
        graph.cursorH(vCursor1, cursorColour());
        graph.cursorH(vCursor2, cursorColour());
        const double units = double(vCursor2 - vCursor1) * OscScale::unitsPerPixel;
        ui.cursorVoltLabel1->setText(QStringLiteral("CH1 Voltage: ") +
                                     value(OscScale::volts(gain1, units)) + "V");
        if (twoChannel())
            ui.cursorVoltLabel2->setText(QStringLiteral("CH2 Voltage: ") +
                                         value(OscScale::volts(gain2, units)) + "V");
    }
}

void Oscyloskop::setCursor(QMouseEvent* e) {
    const QPoint p = e->pos();
    if (!Graph::contains(p))
        return;
    const Qt::KeyboardModifiers mods = e->modifiers();
    const Qt::MouseButtons buttons = e->buttons();
    if (mods == Qt::NoModifier && buttons == Qt::LeftButton) {
        // Level in mV at the pointer: 13 pixels per gainTab unit.
        ui.trigLevelBox->setValue((Graph::fromCentre(p).y() - yPos1) * OscScale::gainAt(gain1) /
                                  13);
    } else if (mods == Qt::ShiftModifier && buttons == Qt::LeftButton) {
        tCursor1 = p.x() - Graph::left;
        vCursor1 = Graph::fromCentre(p).y();
    } else if (mods == Qt::ShiftModifier && buttons == Qt::RightButton) {
        tCursor2 = p.x() - Graph::left;
        vCursor2 = Graph::fromCentre(p).y();
    } else {
        return;
    }
    host->update();
}

QString Oscyloskop::calcRMS(const int* s, int n, int g) {
    return Readout::thousands(OscMeasure::rms(s, n, g), "mV", "V");
}

QString Oscyloskop::calcAvg(const int* s, int n, int g) {
    return Readout::thousands(OscMeasure::average(s, n, g), "mV", "V");
}

QString Oscyloskop::calcVpp(const int* s, int n, int g) {
    return Readout::thousands(OscMeasure::peakToPeak(s, n, g), "mV", "V");
}

QString Oscyloskop::calcFreq(const int* s, int n, int tb) {
    return Readout::thousands(OscMeasure::frequency(s, n, tb), "Hz", "kHz");
}

QString Oscyloskop::value(double x) {
    return Readout::format(x);
}

void Oscyloskop::tSlot() {
    timeBase = OscScale::clampTimeBase(OscScale::timeBaseOfItem(ui.tBox->currentIndex()));
    if (com)
        com->setTimeBase(timeBase);
}

void Oscyloskop::vSlot() {
    gain1 = OscScale::clampGain(ui.vBox1->currentIndex());
    gain2 = OscScale::clampGain(ui.vBox2->currentIndex());
    if (com) {
        com->setGain1(gain1);
        com->setGain2(gain2);
    }
}

void Oscyloskop::xPosSlot() {
    xPos = ui.xPosBar->value();
    ui.xPosLabel->setText(QStringLiteral("Xpos: ") + QString::number(xPos));
    host->update();
}

void Oscyloskop::yPosSlot() {
    yPos1 = -ui.yPosBar1->value();
    ui.yPosLabel1->setText(QStringLiteral("Ypos1: ") + QString::number(yPos1));
    yPos2 = -ui.yPosBar2->value();
    ui.yPosLabel2->setText(QStringLiteral("Ypos2: ") + QString::number(yPos2));
    host->update();
}

void Oscyloskop::channel2Slot() {
    const bool two = twoChannel();
    if (com) {
        if (two)
            com->enable2channel();
        else
            com->disable2channel();
    }
    for (QWidget* w : {static_cast<QWidget*>(ui.vBox2), static_cast<QWidget*>(ui.yPosBar2),
                       static_cast<QWidget*>(ui.rmsLabel2), static_cast<QWidget*>(ui.avgLabel2),
                       static_cast<QWidget*>(ui.vppLabel2), static_cast<QWidget*>(ui.freqLabel2)})
        w->setEnabled(two);
    if (two) {
        ui.tBox->setMaxCount(twoChannelTimeItems);
    } else {
        // Entries past the limit are dropped by the box itself.
        ui.tBox->setMaxCount(oneChannelTimeItems);
        ui.tBox->addItems(extraTimeItems);
    }
    cursorSlot();
}

void Oscyloskop::trigSlot() {
    trigMode = ui.trigModeBox->currentIndex() + 4 * ui.trigEdgeBox->currentIndex() +
               8 * ui.trigBandBox->currentIndex();
    trigState.rearm = true;
    trigLevel = float(ui.trigLevelBox->value()) / OscTrigger::millivoltsPerLevel;
}

void Oscyloskop::cursorSlot() {
    const bool volt = ui.voltCursorBox->isChecked();
    ui.cursorVoltLabel1->setEnabled(volt);
    ui.cursorVoltLabel2->setEnabled(volt && twoChannel());
    const bool time = ui.timeCursorBox->isChecked();
    ui.cursorTimeLabel->setEnabled(time);
    ui.cursorFreqLabel->setEnabled(time);
}

bool Oscyloskop::saveWaveform(const QString& path) {
    const bool saved = ui.timeCursorBox->isChecked()
                           ? OscFile::saveSpan(path, bufGraph, tCursor1, tCursor2)
                           : OscFile::saveValues(path, sampleBuf, OscScale::frameSamples);
    if (!saved)
        StatusNote::unableToSave(path);
    return saved;
}

int Oscyloskop::loadWaveform(const QString& path) {
    return OscFile::load(path, sampleBuf, OscScale::frameSamples);
}

void Oscyloskop::openSlot() {
    const QString name = askOpenTextFile();
    if (!name.isEmpty())
        loadWaveform(name);
}

void Oscyloskop::saveSlot() {
    const QString name = askSaveTextFile();
    if (!name.isEmpty())
        saveWaveform(name);
}

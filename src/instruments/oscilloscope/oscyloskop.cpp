#include "instruments/oscilloscope/oscyloskop.h"

#include "device/clock.h"
#include "device/frame.h"
#include "device/zrvcom.h"
#include "instruments/csv.h"
#include "instruments/labels.h"
#include "instruments/oscilloscope/oscfile.h"
#include "instruments/controls.h"
#include "instruments/runbuttons.h"
#include "instruments/status.h"
#include "plot/graph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <iterator>

namespace {

const char* const modeItems[] = {"----", "Norm", "Auto", "Single"};
const char* const edgeItems[] = {"Fall", "Ris"};
const char* const bandItems[] = {"LF", "HF"};
// Entry k averages 2^k windows.
const char* const averageItems[] = {"Avg 1", "Avg 2", "Avg 4", "Avg 8", "Avg 16", "Avg 32",
                                    "Avg 64"};

// The Measure list's rows: a short name (the row also holds a value per channel) and the
// reading it shows.
struct Measurement {
    const char* name;
    Reading OscChannel::*value;
    enum Kind { Seconds, Percent, Volts } kind;
};
const Measurement measurements[] = {
    {"Per", &OscChannel::period, Measurement::Seconds},
    {"+Wid", &OscChannel::pwidth, Measurement::Seconds},
    {"-Wid", &OscChannel::nwidth, Measurement::Seconds},
    {"Duty", &OscChannel::duty, Measurement::Percent},
    {"Min", &OscChannel::min, Measurement::Volts},
    {"Max", &OscChannel::max, Measurement::Volts},
    {"Rise", &OscChannel::rise, Measurement::Seconds},
    {"Fall", &OscChannel::fall, Measurement::Seconds},
};
constexpr int measurementCount = int(std::size(measurements));

QString measurementText(const Measurement& m, const OscChannel& c) {
    const Reading& r = c.*m.value;
    switch (m.kind) {
    case Measurement::Seconds:
        return Readout::prefixed(r, "s");
    case Measurement::Percent:
        return r ? Readout::fixed(*r, 1) + QLatin1Char('%') : Readout::none();
    case Measurement::Volts:
        break;
    }
    return Readout::volts(r);
}

constexpr int twoChannelTimeItems = Labels::twoChannelTimeDivs;
constexpr int oneChannelTimeItems = int(std::size(Labels::timeDiv));

const QColor ch1Colour(50, 60, 255);
const QColor ch2Colour(255, 60, 50);
const QColor cursorColour(150, 150, 0);

// Fixed size as well: a readout's new text then asks for no relayout of the page.
template <typename W> W* place(W* w, int x, int y, int width, int height) {
    w->setGeometry(x, y, width, height);
    w->setFixedSize(width, height);
    return w;
}

template <size_t N> QComboBox* comboBox(QWidget* parent, const char* const (&items)[N]) {
    auto* box = new QComboBox(parent);
    for (const char* item : items)
        box->addItem(QString::fromLatin1(item));
    return box;
}

} // namespace

Oscyloskop::Oscyloskop(QWidget* parent, Status* status) : Page(parent, status) {
    createControls();
    createReadouts();
    connectControls();
    applyTooltips();
    addPlotView();
    // Channel 2's controls and the cursor readouts wait for their boxes.
    channel2Slot();
    proc.setSettings(set);
    showResult();
}

void Oscyloskop::createControls() {
    ui.tBox = place(comboBox(this, Labels::timeDiv), 100, 580, 110, 20);
    ui.tBox->setCurrentIndex(OscScale::timeBaseOfItem(set.timeBase));
    ui.vBox1 = place(comboBox(this, Labels::voltDiv), 250, 580, 110, 20);
    ui.vBox2 = place(comboBox(this, Labels::voltDiv), 400, 580, 110, 20);

    ui.xPosBar = place(new QScrollBar(Qt::Horizontal, this), 0, 552, 788, 20);
    ui.xPosBar->setRange(-192, 192);
    ui.yPosBar1 = place(new QScrollBar(Qt::Vertical, this), 788, 23, 20, 529);
    ui.yPosBar1->setRange(-256, 256);
    ui.yPosBar2 = place(new QScrollBar(Qt::Vertical, this), 808, 23, 20, 529);
    ui.yPosBar2->setRange(-256, 256);

    ui.ch2Box = place(new QCheckBox(this), 380, 580, 20, 20);

    ui.trigModeBox = place(comboBox(this, modeItems), 550, 580, 65, 20);
    ui.trigEdgeBox = place(comboBox(this, edgeItems), 620, 580, 55, 20);
    ui.trigBandBox = place(comboBox(this, bandItems), 680, 580, 50, 20);
    ui.trigLevelBox = place(new QSpinBox(this), 740, 580, 90, 20);
    ui.trigLevelBox->setRange(-40000, 40000);
    ui.trigLevelBox->setSuffix(tr("mV"));
    // Left of the time/div box, under the plot's left end.
    ui.averageBox = place(comboBox(this, averageItems), 10, 580, 80, 20);

    ui.timeCursorBox = place(new QCheckBox(tr("Time"), this), 848, 320, 80, 20);
    ui.voltCursorBox = place(new QCheckBox(tr("Voltage"), this), 848, 400, 80, 20);
    ui.saveButton = place(new QPushButton(tr("SAVE"), this), 880, 540, 100, 20);
    // Below the cursor readouts, and below them the Measure list: 190 x 48 px, three rows in
    // view (the others scroll), no frame so that the readouts have the width.
    ui.run = new RunButtons(this, 838, 464);
    ui.measureList = place(new QListWidget(this), 838, 488, 190, 48);
    ui.measureList->setFrameShape(QFrame::NoFrame);
    // A point smaller than the page: a row with both channels' volts ("Min -244.1mV -244.1mV")
    // then fits beside its check box and the scroll bar.
    QFont small = font();
    if (small.pointSizeF() > 2) {
        small.setPointSizeF(small.pointSizeF() - 1);
        ui.measureList->setFont(small);
    }
    ui.measureList->setUniformItemSizes(true);
    ui.measureList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui.measureList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const Measurement& m : measurements) {
        auto* item = new QListWidgetItem(QString::fromLatin1(m.name), ui.measureList);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
    }
}

void Oscyloskop::createReadouts() {
    auto label = [this](const char* text, int x, int y, int width) {
        return place(new QLabel(tr(text), this), x, y, width, 20);
    };
    ui.xPosLabel = label("Xpos: 0", 838, 30, 100);
    ui.yPosLabel1 = label("Ypos1: 0", 838, 50, 100);
    ui.yPosLabel2 = label("Ypos2: 0", 938, 50, 100);
    ui.rmsLabel1 = label("", 838, 100, 200);
    ui.rmsLabel2 = label("", 838, 120, 200);
    ui.avgLabel1 = label("", 838, 150, 200);
    ui.avgLabel2 = label("", 838, 170, 200);
    ui.vppLabel1 = label("", 838, 200, 200);
    ui.vppLabel2 = label("", 838, 220, 200);
    ui.freqLabel1 = label("", 838, 250, 200);
    ui.freqLabel2 = label("", 838, 270, 200);
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
    // Toggled, not clicked: the settings follow the box however it changes.
    connect(ui.ch2Box, &QCheckBox::toggled, this, &Oscyloskop::channel2Slot);
    connect(ui.trigModeBox, activated, this, &Oscyloskop::trigSlot);
    connect(ui.trigEdgeBox, activated, this, &Oscyloskop::trigSlot);
    connect(ui.trigBandBox, activated, this, &Oscyloskop::trigSlot);
    connect(ui.averageBox, activated, this, &Oscyloskop::averageSlot);
    connect(ui.trigLevelBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &Oscyloskop::trigSlot);
    connect(ui.timeCursorBox, &QCheckBox::toggled, this, &Oscyloskop::cursorSlot);
    connect(ui.voltCursorBox, &QCheckBox::toggled, this, &Oscyloskop::cursorSlot);
    connect(ui.saveButton, &QPushButton::clicked, this, &Oscyloskop::saveSlot);
    connect(ui.run, &RunButtons::changed, this, &Oscyloskop::onRunChanged);
    connect(ui.measureList, &QListWidget::itemChanged, this, &Oscyloskop::measureSlot);
}

void Oscyloskop::applyTooltips() {
    Controls::tips({
        {ui.tBox, "Time base: time per division (dz = one grid division)"},
        {ui.vBox1, "Channel 1 sensitivity: volts per division (dz)"},
        {ui.vBox2, "Channel 2 sensitivity: volts per division (dz)"},
        {ui.ch2Box, "Channel 2 on: two traces, half the samples each"},
        {ui.xPosBar, "Horizontal position of the trigger point, in samples"},
        {ui.yPosBar1, "Channel 1 vertical position, in pixels"},
        {ui.yPosBar2, "Channel 2 vertical position, in pixels"},
        {ui.trigModeBox, "Trigger mode: ---- free run (no trigger), Norm waits for an edge, "
                         "Auto free-runs after 1.5 s without one, Single holds the first edge"},
        {ui.trigEdgeBox, "Trigger edge: Fall(ing) or Ris(ing), on channel 1"},
        {ui.trigBandBox, "Trigger filter: LF compares three-sample sums (slow or noisy signals), "
                         "HF single steps (fast edges)"},
        {ui.trigLevelBox, "Trigger level on channel 1, in mV; a left click on the plot sets it"},
        {ui.averageBox, "Average of the last 1 (off) .. 64 triggered windows, sample by sample: "
                        "noise on a repetitive signal falls by 10 log10(N) dB. Starts again on "
                        "any change of time base, gain, channels, trigger or position and on Run"},
        {ui.timeCursorBox, "Time cursors: Shift+left and Shift+right click place them; SAVE then "
                           "writes only the span between them"},
        {ui.voltCursorBox, "Voltage cursors: Shift+left and Shift+right click place them"},
        {ui.saveButton, "Save the samples as text, one value per line"},
        {ui.xPosLabel, "Horizontal position, in samples"},
        {ui.yPosLabel1, "Channel 1 vertical position, in pixels"},
        {ui.yPosLabel2, "Channel 2 vertical position, in pixels"},
        {ui.rmsLabel1, "Channel 1 RMS voltage over whole periods (two or more), otherwise over "
                       "the screen; --- before the first frame"},
        {ui.rmsLabel2, "Channel 2 RMS voltage over whole periods (two or more), otherwise over "
                       "the screen; --- before the first frame"},
        {ui.avgLabel1, "Channel 1 mean voltage over whole periods (two or more), otherwise over "
                       "the screen"},
        {ui.avgLabel2, "Channel 2 mean voltage over whole periods (two or more), otherwise over "
                       "the screen"},
        {ui.vppLabel1, "Channel 1 peak-to-peak voltage on the screen"},
        {ui.vppLabel2, "Channel 2 peak-to-peak voltage on the screen"},
        {ui.freqLabel1, "Channel 1 frequency from its rising crossings; --- below two whole "
                        "periods or without a regular signal"},
        {ui.freqLabel2, "Channel 2 frequency from its rising crossings; --- below two whole "
                        "periods or without a regular signal"},
        {ui.cursorsLabel, "Readouts of the cursors"},
        {ui.cursorTimeLabel, "Time between the two time cursors"},
        {ui.cursorFreqLabel, "1 / the time between the two time cursors"},
        {ui.cursorVoltLabel1, "Channel 1 voltage between the two voltage cursors"},
        {ui.cursorVoltLabel2, "Channel 2 voltage between the two voltage cursors"},
        {ui.trigStateLabel,
         "Trigger in Norm and Single: waiting for an edge, triggered, or a Single capture held"},
        {ui.measureList,
         "Measure: tick a row to read it for CH1 (and CH2). Per(iod); +Wid and -Wid: positive and "
         "negative width at the middle; Duty: +Wid / Per; Min, Max of the screen; Rise, Fall: 10-90 % "
         "of the top and base levels. --- where the screen does not define it"},
    });
}

FrameTiming Oscyloskop::frameTiming() const {
    return OscProcessor::frameTiming(set, com ? com->bitRate() : 0);
}

void Oscyloskop::start() {
    if (!com)
        return;
    // Frames still on the way belong to the page that was shown before.
    flushFrames();
    // A stopped picture stays what it was: the user froze it.
    if (ui.run->state().takesFrames()) {
        proc.restart(Clock::nowNs());
        fileShown = false;
    }
    if (set.twoChannel)
        com->osc2chStart();
    else
        com->osc1chStart();
    com->setTimeBase(set.timeBase);
    com->setGain1(set.gain1);
    com->setGain2(set.gain2);
    framesStarted();
}

void Oscyloskop::takeFrame(const Frame& frame) {
    // Stopped, frames keep coming and are let go (a recording still keeps them): the picture
    // and readouts stay.
    const bool running = ui.run->state().takesFrames();
    if (frame.length < scopeFrameBytes || (!running && !isRecording()) || !admit(frame))
        return;
    if (!running) {
        int raw[OscScale::frameSamples];
        samplesOfFrame(frame.data, raw);
        recording.scopeFrame(raw, set, proc.result().windowStart + set.xPos + OscTrigger::centrePre);
        recorded();
        return;
    }
    hasFrame = true;
    fileShown = false;
    const bool changed = proc.process(frame.data, frame.length, frame.lastByteNs);
    if (isRecording()) {
        // Time 0 under the trigger position marker, as the export has it.
        recording.scopeFrame(proc.samples(), proc.samplesSettings(),
                             proc.result().windowStart + set.xPos + OscTrigger::centrePre);
        recorded();
    }
    if (proc.tookWindow() && ui.run->state().armed()) {
        ui.run->pictureTaken();
        set.singleShot = false;
        proc.setSettings(set);
    }
    if (changed)
        resultChanged();
}

void Oscyloskop::onRunChanged(bool single) {
    // Run after Stop (or Single) averages only windows that come from now on.
    proc.restartAverage();
    set.singleShot = ui.run->state().armed();
    proc.setSettings(set);
    if (single) {
        // The one picture is of a capture made after the click.
        flushFrames();
        proc.rearm();
        settingSent();
    }
    resultChanged();
}

bool Oscyloskop::readoutsKnown() const {
    // A stopped picture keeps its numbers: they describe what is on screen.
    const bool frozen = !ui.run->state().takesFrames();
    return proc.result().hasWindow && (fileShown || frozen || live());
}

void Oscyloskop::apply(bool again) {
    proc.setSettings(set);
    if (again)
        proc.redo();
    resultChanged();
}

void Oscyloskop::showResult() {
    showReadouts();
    updateScaleLines();
    const OscResult& r = proc.result();
    if (r.trigger != trigShown) {
        trigShown = r.trigger;
        static const QString texts[] = {QString(), QStringLiteral("Trigger: waiting"),
                                        QStringLiteral("Trigger: triggered"),
                                        QStringLiteral("Trigger: held")};
        ui.trigStateLabel->setText(texts[r.trigger]);
    }
    if (set.timeCursors) {
        ui.cursorTimeLabel->setText(QStringLiteral("Time: ") +
                                    Readout::prefixed(r.cursorTime, "s"));
        ui.cursorFreqLabel->setText(QStringLiteral("Freq: ") +
                                    Readout::prefixed(r.cursorFreq, "Hz"));
    }
    if (set.voltCursors) {
        ui.cursorVoltLabel1->setText(QStringLiteral("CH1 Voltage: ") +
                                     Readout::prefixed(r.cursorVolt1, "V"));
        if (set.twoChannel)
            ui.cursorVoltLabel2->setText(QStringLiteral("CH2 Voltage: ") +
                                         Readout::prefixed(r.cursorVolt2, "V"));
    }
}

void Oscyloskop::showReadouts() {
    const OscResult& r = proc.result();
    const bool known = readoutsKnown();
    const OscChannel none;
    const OscChannel& c1 = known ? r.ch1 : none;
    // Channel 2 reads only from a two-channel window while two channels are on.
    const OscChannel& c2 = known && r.twoChannel && set.twoChannel ? r.ch2 : none;
    const auto put = [](QLabel* label, const QString& text) {
        // Only a change touches the label: results may come many times a second.
        if (label->text() != text)
            label->setText(text);
    };
    put(ui.rmsLabel1, QStringLiteral("CH1 RMS: ") + Readout::volts(c1.rms));
    put(ui.avgLabel1, QStringLiteral("CH1 Avg: ") + Readout::volts(c1.avg));
    put(ui.vppLabel1, QStringLiteral("CH1 Vpp: ") + Readout::volts(c1.vpp));
    put(ui.freqLabel1, QStringLiteral("CH1 Freq: ") + Readout::hertz(c1.freq));
    put(ui.rmsLabel2, QStringLiteral("CH2 RMS: ") + Readout::volts(c2.rms));
    put(ui.avgLabel2, QStringLiteral("CH2 Avg: ") + Readout::volts(c2.avg));
    put(ui.vppLabel2, QStringLiteral("CH2 Vpp: ") + Readout::volts(c2.vpp));
    put(ui.freqLabel2, QStringLiteral("CH2 Freq: ") + Readout::hertz(c2.freq));
    showMeasureList(c1, c2);
}

void Oscyloskop::showMeasureList(const OscChannel& c1, const OscChannel& c2) {
    // Texts set here are no user's change of the list.
    const QSignalBlocker quiet(ui.measureList);
    for (int k = 0; k < measurementCount; ++k) {
        const Measurement& m = measurements[k];
        QString text = QString::fromLatin1(m.name);
        if (measureShown & (1 << k)) {
            text += QLatin1Char(' ') + measurementText(m, c1);
            if (set.twoChannel)
                text += QLatin1Char(' ') + measurementText(m, c2);
        }
        QListWidgetItem* item = ui.measureList->item(k);
        if (item->text() != text)
            item->setText(text);
    }
}

void Oscyloskop::paintPlot(Graph& graph) {
    const OscResult& r = proc.result();
    graph.svWindow();
    if (r.levelShown)
        graph.cursorH(r.levelRow, Graph::markerColour());
    graph.cursorV(r.positionColumn, Graph::markerColour());
    graph.zeroMarker(set.yPos1, ch1Colour);
    if (set.twoChannel)
        graph.zeroMarker(set.yPos2, ch2Colour);
    if (set.timeCursors) {
        graph.cursorV(set.tCursor1, cursorColour);
        graph.cursorV(set.tCursor2, cursorColour);
    }
    if (set.voltCursors) {
        graph.cursorH(set.vCursor1, cursorColour);
        graph.cursorH(set.vCursor2, cursorColour);
    }
    const QColor scaleColours[] = {ch2Colour, ch1Colour, Graph::scaleColour()};
    graph.cornerText(scaleLines + (scaleLineCount == 3 ? 0 : 1),
                     scaleColours + (scaleLineCount == 3 ? 0 : 1), scaleLineCount);
    // Before the first window of this start there is nothing to draw: no trace reads 0 V.
    if (!r.hasWindow)
        return;
    graph.signal(r.bufGraph, ch1Colour);
    if (r.twoChannel && set.twoChannel)
        graph.signal(r.bufGraph2, ch2Colour);
}

void Oscyloskop::updateScaleLines() {
    // The scales of the picture: those its samples were taken with, which a stopped picture
    // keeps whatever the boxes say since.
    const OscSettings& s = proc.hasSamples() ? proc.samplesSettings() : set;
    const int key = s.timeBase + 16 * (s.gain1 + 8 * (s.gain2 + 8 * int(s.twoChannel)));
    if (key == scaleKey)
        return;
    scaleKey = key;
    const int item = 14 - s.timeBase; // the time/div entry of the time base
    scaleLines[2] = item >= 0 && item < oneChannelTimeItems
                        ? QString::fromLatin1(Labels::timeDiv[item])
                        : Readout::format(OscScale::sampleTime(s.timeBase, 32)) + "s/dz";
    scaleLines[1] = QStringLiteral("CH1 ") + QString::fromLatin1(Labels::voltDiv[s.gain1]);
    scaleLines[0] = QStringLiteral("CH2 ") + QString::fromLatin1(Labels::voltDiv[s.gain2]);
    scaleLineCount = s.twoChannel ? 3 : 2;
}

QString Oscyloskop::pointerReadout(QPoint p) const {
    // The scales of the page's grid, cursors and measurements.
    const QPoint c = Graph::fromCentre(p);
    const double t = OscScale::sampleTime(set.timeBase, double(c.x()) / OscScale::pixelsPerSample);
    const double u = OscScale::volts(set.gain1, double(c.y()) * OscScale::unitsPerPixel);
    return QStringLiteral("  T: ") + Readout::format(t) + "s\n" + QStringLiteral("  U: ") +
           Readout::format(u) + "V";
}

void Oscyloskop::setCursor(QMouseEvent* e) {
    const QPoint p = e->pos();
    if (!Graph::contains(p))
        return;
    const Qt::KeyboardModifiers mods = e->modifiers();
    const Qt::MouseButtons buttons = e->buttons();
    if (mods == Qt::NoModifier && buttons == Qt::LeftButton) {
        // Level in mV at the pointer: 13 pixels per gainTab unit.
        ui.trigLevelBox->setValue((Graph::fromCentre(p).y() - set.yPos1) *
                                  OscScale::gainAt(set.gain1) / 13);
        return;
    }
    if (mods == Qt::ShiftModifier && buttons == Qt::LeftButton) {
        set.tCursor1 = p.x() - Graph::left;
        set.vCursor1 = Graph::fromCentre(p).y();
    } else if (mods == Qt::ShiftModifier && buttons == Qt::RightButton) {
        set.tCursor2 = p.x() - Graph::left;
        set.vCursor2 = Graph::fromCentre(p).y();
    } else {
        return;
    }
    apply(false);
}

void Oscyloskop::tSlot() {
    flushFrames();
    set.timeBase = OscScale::clampTimeBase(OscScale::timeBaseOfItem(ui.tBox->currentIndex()));
    if (com)
        com->setTimeBase(set.timeBase);
    settingSent();
    apply(false);
}

void Oscyloskop::vSlot() {
    flushFrames();
    set.gain1 = OscScale::clampGain(ui.vBox1->currentIndex());
    set.gain2 = OscScale::clampGain(ui.vBox2->currentIndex());
    if (com) {
        com->setGain1(set.gain1);
        com->setGain2(set.gain2);
    }
    settingSent();
    apply(false);
}

void Oscyloskop::xPosSlot() {
    set.xPos = ui.xPosBar->value();
    ui.xPosLabel->setText(QStringLiteral("Xpos: ") + QString::number(set.xPos));
    apply(true);
}

void Oscyloskop::yPosSlot() {
    set.yPos1 = -ui.yPosBar1->value();
    ui.yPosLabel1->setText(QStringLiteral("Ypos1: ") + QString::number(set.yPos1));
    set.yPos2 = -ui.yPosBar2->value();
    ui.yPosLabel2->setText(QStringLiteral("Ypos2: ") + QString::number(set.yPos2));
    apply(true);
}

void Oscyloskop::channel2Slot() {
    const bool two = ui.ch2Box->isChecked();
    const bool changed = two != set.twoChannel;
    if (changed) {
        flushFrames();
        // The recording's columns are those of the mode it began in.
        stopRecording();
    }
    set.twoChannel = two;
    for (QWidget* w : {static_cast<QWidget*>(ui.vBox2), static_cast<QWidget*>(ui.yPosBar2),
                       static_cast<QWidget*>(ui.rmsLabel2), static_cast<QWidget*>(ui.avgLabel2),
                       static_cast<QWidget*>(ui.vppLabel2), static_cast<QWidget*>(ui.freqLabel2)})
        w->setEnabled(two);
    if (changed && com) {
        if (two)
            com->enable2channel();
        else
            com->disable2channel();
    }
    // The list always names the time bases the device can run in this mode, with the labels
    // of the start; the box and the device never disagree.
    if (two) {
        ui.tBox->setMaxCount(twoChannelTimeItems);
    } else {
        ui.tBox->setMaxCount(oneChannelTimeItems);
        for (int i = ui.tBox->count(); i < oneChannelTimeItems; ++i)
            ui.tBox->addItem(QString::fromLatin1(Labels::timeDiv[i]));
    }
    const int shownBase = OscScale::timeBaseOfItem(ui.tBox->currentIndex());
    if (shownBase != set.timeBase) {
        // The entry in use went with the shortening: the box shows the fastest one left, and
        // that is what the device now runs.
        set.timeBase = shownBase;
        if (com)
            com->setTimeBase(set.timeBase);
    }
    if (changed)
        settingSent();
    cursorSlot();
}

void Oscyloskop::trigSlot() {
    set.trigMode = ui.trigModeBox->currentIndex() + 4 * ui.trigEdgeBox->currentIndex() +
                   8 * ui.trigBandBox->currentIndex();
    set.trigLevelMv = ui.trigLevelBox->value();
    proc.rearm();
    // A re-armed "Single" waits for a new frame; the other modes show at once what the last
    // samples give with the new trigger.
    // An armed Single waits for a new frame too.
    apply((set.trigMode & 3) != OscTrigger::Single && !ui.run->state().armed());
}

void Oscyloskop::averageSlot() {
    set.average = 1 << ui.averageBox->currentIndex();
    apply(true);
}

void Oscyloskop::cursorSlot() {
    set.voltCursors = ui.voltCursorBox->isChecked();
    ui.cursorVoltLabel1->setEnabled(set.voltCursors);
    ui.cursorVoltLabel2->setEnabled(set.voltCursors && set.twoChannel);
    set.timeCursors = ui.timeCursorBox->isChecked();
    ui.cursorTimeLabel->setEnabled(set.timeCursors);
    ui.cursorFreqLabel->setEnabled(set.timeCursors);
    apply(false);
}

void Oscyloskop::measureSlot() {
    int shown = 0;
    for (int k = 0; k < measurementCount; ++k)
        if (ui.measureList->item(k)->checkState() == Qt::Checked)
            shown |= 1 << k;
    measureShown = shown;
    showReadouts();
}

QStringList Oscyloskop::exportFilters() const {
    return {Csv::filter()};
}

QStringList Oscyloskop::recordFilters() const {
    return {Csv::filter()};
}

bool Oscyloskop::openRecording(Recording& r, const QString& path) {
    return r.open(path, Recording::Kind::Scope, set.twoChannel);
}

QByteArray Oscyloskop::exportData(const QString& suffix, bool* known) const {
    *known = suffix == QLatin1String("csv");
    // On the scales the samples were taken with, whatever the boxes say since.
    const OscSettings& taken = proc.samplesSettings();
    // Time 0 under the trigger position marker: the window's start plus its pre-trigger part.
    const int atMarker =
        proc.result().windowStart + proc.settings().xPos + OscTrigger::centrePre;
    return *known ? Csv::oscilloscope(proc.samples(), taken.twoChannel, taken.timeBase,
                                      taken.gain1, taken.gain2, atMarker)
                  : QByteArray();
}

bool Oscyloskop::saveWaveform(const QString& path) {
    const bool saved =
        set.timeCursors
            ? OscFile::saveSpan(path, proc.result().bufGraph, set.tCursor1, set.tCursor2)
            : OscFile::saveValues(path, proc.samples(), OscScale::frameSamples);
    if (!saved && status)
        status->unableToSave(path);
    return saved;
}

int Oscyloskop::loadWaveform(const QString& path) {
    int samples[OscScale::frameSamples];
    const int count = OscFile::load(path, samples, OscScale::frameSamples);
    fileShown = true;
    if (proc.processSamples(samples, Clock::nowNs()))
        resultChanged();
    return count;
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

void Oscyloskop::saveSettings(QSettings& s) const {
    s.setValue(QStringLiteral("osc/ch2"), int(ui.ch2Box->isChecked()));
    s.setValue(QStringLiteral("osc/timeDiv"), ui.tBox->currentIndex());
    s.setValue(QStringLiteral("osc/voltDiv1"), ui.vBox1->currentIndex());
    s.setValue(QStringLiteral("osc/voltDiv2"), ui.vBox2->currentIndex());
    s.setValue(QStringLiteral("osc/trigMode"), ui.trigModeBox->currentIndex());
    s.setValue(QStringLiteral("osc/trigEdge"), ui.trigEdgeBox->currentIndex());
    s.setValue(QStringLiteral("osc/trigFilter"), ui.trigBandBox->currentIndex());
    s.setValue(QStringLiteral("osc/trigLevel"), ui.trigLevelBox->value());
    s.setValue(QStringLiteral("osc/xPos"), ui.xPosBar->value());
    s.setValue(QStringLiteral("osc/yPos1"), ui.yPosBar1->value());
    s.setValue(QStringLiteral("osc/yPos2"), ui.yPosBar2->value());
    s.setValue(QStringLiteral("osc/measure"), measureShown);
    s.setValue(QStringLiteral("osc/average"), ui.averageBox->currentIndex());
}

void Oscyloskop::restoreSettings(const QSettings& s) {
    int two = 0;
    // First: the channel mode decides which time bases the list offers.
    if (Controls::readInt(s, QStringLiteral("osc/ch2"), 0, 1, &two))
        ui.ch2Box->setChecked(two);
    Controls::pick(s, QStringLiteral("osc/timeDiv"), ui.tBox);
    Controls::pick(s, QStringLiteral("osc/voltDiv1"), ui.vBox1);
    Controls::pick(s, QStringLiteral("osc/voltDiv2"), ui.vBox2);
    Controls::pick(s, QStringLiteral("osc/trigMode"), ui.trigModeBox);
    Controls::pick(s, QStringLiteral("osc/trigEdge"), ui.trigEdgeBox);
    Controls::pick(s, QStringLiteral("osc/trigFilter"), ui.trigBandBox);
    Controls::setValue(s, QStringLiteral("osc/trigLevel"), ui.trigLevelBox);
    Controls::setValue(s, QStringLiteral("osc/xPos"), ui.xPosBar);
    Controls::setValue(s, QStringLiteral("osc/yPos1"), ui.yPosBar1);
    Controls::setValue(s, QStringLiteral("osc/yPos2"), ui.yPosBar2);
    Controls::pick(s, QStringLiteral("osc/average"), ui.averageBox);
    int shown = 0;
    if (Controls::readInt(s, QStringLiteral("osc/measure"), 0, (1 << measurementCount) - 1, &shown))
        for (int k = 0; k < measurementCount; ++k)
            ui.measureList->item(k)->setCheckState(shown & (1 << k) ? Qt::Checked : Qt::Unchecked);
}

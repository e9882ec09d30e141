#include "app/tooltips.h"

#include "app/mainwindow.h"
#include "app/ustawienia.h"
#include "instruments/generator/generator.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/spectrum/analizator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <utility>

namespace {
using Tip = std::pair<QWidget*, const char*>;

void apply(std::initializer_list<Tip> tips) {
    for (const auto& [widget, text] : tips)
        widget->setToolTip(QObject::tr(text));
}

void oscilloscopeTips(const Oscyloskop& o) {
    apply({
        {o.widgets().tBox, "Time base: time per division (dz = one grid division)"},
        {o.widgets().vBox1, "Channel 1 sensitivity: volts per division (dz)"},
        {o.widgets().vBox2, "Channel 2 sensitivity: volts per division (dz)"},
        {o.widgets().ch2Box, "Channel 2 on: two traces, half the samples each"},
        {o.widgets().xPosBar, "Horizontal position of the trigger point, in samples"},
        {o.widgets().yPosBar1, "Channel 1 vertical position, in pixels"},
        {o.widgets().yPosBar2, "Channel 2 vertical position, in pixels"},
        {o.widgets().trigModeBox,
         "Trigger mode: ---- free run (no trigger), Norm waits for an edge, "
         "Auto free-runs after 1.5 s without one, Single holds the first edge"},
        {o.widgets().trigEdgeBox, "Trigger edge: Fall(ing) or Ris(ing), on channel 1"},
        {o.widgets().trigBandBox,
         "Trigger filter: LF compares three-sample sums (slow or noisy signals), "
         "HF single steps (fast edges)"},
        {o.widgets().trigLevelBox,
         "Trigger level on channel 1, in mV; a left click on the plot sets it"},
        {o.widgets().timeCursorBox,
         "Time cursors: Shift+left and Shift+right click place them; SAVE then "
         "writes only the span between them"},
        {o.widgets().voltCursorBox, "Voltage cursors: Shift+left and Shift+right click place them"},
        {o.widgets().saveButton, "Save the samples as text, one value per line"},
        {o.widgets().xPosLabel, "Horizontal position, in samples"},
        {o.widgets().yPosLabel1, "Channel 1 vertical position, in pixels"},
        {o.widgets().yPosLabel2, "Channel 2 vertical position, in pixels"},
        {o.widgets().rmsLabel1, "Channel 1 RMS voltage over whole periods"},
        {o.widgets().rmsLabel2, "Channel 2 RMS voltage over whole periods"},
        {o.widgets().avgLabel1, "Channel 1 mean voltage over whole periods"},
        {o.widgets().avgLabel2, "Channel 2 mean voltage over whole periods"},
        {o.widgets().vppLabel1, "Channel 1 peak-to-peak voltage"},
        {o.widgets().vppLabel2, "Channel 2 peak-to-peak voltage"},
        {o.widgets().freqLabel1, "Channel 1 frequency, from its rising crossings"},
        {o.widgets().freqLabel2, "Channel 2 frequency, from its rising crossings"},
        {o.widgets().cursorsLabel, "Readouts of the cursors"},
        {o.widgets().cursorTimeLabel, "Time between the two time cursors"},
        {o.widgets().cursorFreqLabel, "1 / the time between the two time cursors"},
        {o.widgets().cursorVoltLabel1, "Channel 1 voltage between the two voltage cursors"},
        {o.widgets().cursorVoltLabel2, "Channel 2 voltage between the two voltage cursors"},
        {o.widgets().trigStateLabel,
         "Trigger in Norm and Single: waiting for an edge, triggered, or a "
         "Single capture held"},
    });
}

void generatorTips(const Generator& g) {
    const Generator::Widgets& u = g.widgets();
    apply({
        {u.freqBox, "Output frequency, in Hz"},
        {u.mulBox, "Step of the frequency arrows: 10^n Hz"},
        {u.gainBox, "Amplitude, in mV (1250 mV plays the table at full scale)"},
        {u.typeBox, "Waveform; arbitrary: draw it on the plot with the mouse; function: the "
                    "expression on the right"},
        {u.dutyBox, "Duty cycle of square and triangle, in %"},
        {u.offsetBox, "DC offset, in mV"},
        {u.freqLabel, "Frequency the device actually plays, in Hz"},
        {u.xLabel, "XE: the range of x over one period of the expression"},
        {u.xFromBox, "x at the start of the period"},
        {u.xToBox, "x at the end of the period"},
        {u.exprEdit, "Expression in x and wt (the phase, 0 to 2 pi); Enter or Generate plays it"},
        {u.generateButton, "Evaluate the expression over one period and play it"},
        {u.mmlScroll, "The expression being generated"},
        {u.openButton, "Load a table: a text file of up to 512 numbers"},
        {u.saveButton, "Save the table as text, one number per line"},
    });
}

void spectrumTips(const Analizator& a) {
    apply({
        {a.widgets().taBox, "Frequency span: hertz per division (dz)"},
        {a.widgets().vaBox, "Input range: amplitude at full scale"},
        {a.widgets().xPosBar, "Scrolls the spectrum to higher frequencies"},
        {a.widgets().holdBox, "Max hold: keeps the highest level of every frequency"},
        {a.widgets().powerLabel, "Total power, in dB (daB: decibels of the sample values)"},
        {a.widgets().thdnLabel, "Total harmonic distortion plus noise, in %"},
    });
}

void logicTips(const AnalizatorLog& l) {
    apply({
        {l.widgets().rateBox, "Sample rate, in samples per second"},
        {l.widgets().zoomBox, "Zoom: magnification of the time axis"},
        {l.widgets().valueLabel, "The eight inputs at the cursor, as a number"},
        {l.widgets().timeLabel, "Time of the cursor from the start of the capture"},
        {l.widgets().offsetBar, "First sample shown"},
        {l.widgets().startButton, "Start: wait for the trigger; Force trig: capture now"},
    });
    for (int n = 0; n < LaLogic::channels; ++n)
        l.widgets().trigBox[n]->setToolTip(
            QObject::tr("Trigger on input %1: X any, 0 low, 1 high, / rising, \\ falling").arg(n));
}

void settingsTips(const Ustawienia& u) {
    apply({
        {u.widgets().speedBox, "Line speed, in bit/s"},
        {u.widgets().portBox, "Serial port of the device"},
        {u.widgets().refreshButton, "Look for serial ports again"},
    });
}
} // namespace

void app::applyTooltips(MainWindow& w) {
    oscilloscopeTips(*w.oscPage());
    generatorTips(*w.genPage());
    spectrumTips(*w.anPage());
    logicTips(*w.laPage());
    settingsTips(*w.settingsPage());
    apply({
        {w.portToggle(), "Open or close the serial port named on the Ustawienia page"},
        {w.readout1(), "Pointer: time (T) or frequency (F) at the pointer"},
        {w.readout2(), "Pointer: voltage (U), or level in dB against full scale (U/Uz)"},
    });
    const char* const pages[] = {"Oscilloscope", "Function and arbitrary-waveform generator",
                                 "Spectrum analyser", "Logic analyser",
                                 "Settings: serial port and line speed"};
    for (int i = 0; i < w.tabBar()->count(); ++i)
        w.tabBar()->setTabToolTip(i, QObject::tr(pages[i]));
}

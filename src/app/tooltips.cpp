#include "app/tooltips.h"

#include "app/mainwindow.h"
#include "app/ustawienia.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/spectrum/analizator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
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
        {o.tBox, "Time base: time per division (dz = one grid division)"},
        {o.vBox1, "Channel 1 sensitivity: volts per division (dz)"},
        {o.vBox2, "Channel 2 sensitivity: volts per division (dz)"},
        {o.ch2Box, "Channel 2 on: two traces, half the samples each"},
        {o.xPosBar, "Horizontal position of the trigger point, in samples"},
        {o.yPosBar1, "Channel 1 vertical position, in pixels"},
        {o.yPosBar2, "Channel 2 vertical position, in pixels"},
        {o.trigModeBox, "Trigger mode: ---- free run (no trigger), Norm waits for an edge, "
                        "Auto free-runs after 1.5 s without one, Single holds the first edge"},
        {o.trigEdgeBox, "Trigger edge: Fall(ing) or Ris(ing), on channel 1"},
        {o.trigBandBox, "Trigger filter: LF compares three-sample sums (slow or noisy signals), "
                        "HF single steps (fast edges)"},
        {o.trigLevelBox, "Trigger level on channel 1, in mV; a left click on the plot sets it"},
        {o.timeCursorBox, "Time cursors: Shift+left and Shift+right click place them; SAVE then "
                          "writes only the span between them"},
        {o.voltCursorBox, "Voltage cursors: Shift+left and Shift+right click place them"},
        {o.saveButton, "Save the samples as text, one value per line"},
        {o.xPosLabel, "Horizontal position, in samples"},
        {o.yPosLabel1, "Channel 1 vertical position, in pixels"},
        {o.yPosLabel2, "Channel 2 vertical position, in pixels"},
        {o.rmsLabel1, "Channel 1 RMS voltage over whole periods"},
        {o.rmsLabel2, "Channel 2 RMS voltage over whole periods"},
        {o.avgLabel1, "Channel 1 mean voltage over whole periods"},
        {o.avgLabel2, "Channel 2 mean voltage over whole periods"},
        {o.vppLabel1, "Channel 1 peak-to-peak voltage"},
        {o.vppLabel2, "Channel 2 peak-to-peak voltage"},
        {o.freqLabel1, "Channel 1 frequency, from its rising crossings"},
        {o.freqLabel2, "Channel 2 frequency, from its rising crossings"},
        {o.cursorsLabel, "Readouts of the cursors"},
        {o.cursorTimeLabel, "Time between the two time cursors"},
        {o.cursorFreqLabel, "1 / the time between the two time cursors"},
        {o.cursorVoltLabel1, "Channel 1 voltage between the two voltage cursors"},
        {o.cursorVoltLabel2, "Channel 2 voltage between the two voltage cursors"},
        {o.trigStateLabel, "Trigger in Norm and Single: waiting for an edge, triggered, or a "
                           "Single capture held"},
    });
}

template <typename W> W* named(const MainWindow& window, const char* name) {
    return window.findChild<W*>(QLatin1String(name));
}

void generatorTips(const MainWindow& w) {
    const std::pair<const char*, const char*> tips[] = {
        {"freqBox", "Output frequency, in Hz"},
        {"mulBox", "Step of the frequency arrows: 10^n Hz"},
        {"gainBox", "Amplitude, in mV (1250 mV plays the table at full scale)"},
        {"typeBox", "Waveform; arbitrary: draw it on the plot with the mouse; function: the "
                    "expression on the right"},
        {"dutyBox", "Duty cycle of square and triangle, in %"},
        {"offsetBox", "DC offset, in mV"},
        {"freqLabel", "Frequency the device actually plays, in Hz"},
        {"xLabel", "XE: the range of x over one period of the expression"},
        {"xFromBox", "x at the start of the period"},
        {"xToBox", "x at the end of the period"},
        {"exprEdit", "Expression in x and wt (the phase, 0 to 2 pi); Enter or Generate plays it"},
        {"generateButton", "Evaluate the expression over one period and play it"},
        {"mmlScroll", "The expression being generated"},
        {"openButton", "Load a table: a text file of up to 512 numbers"},
        {"saveButton", "Save the table as text, one number per line"},
    };
    for (const auto& [name, text] : tips)
        if (QWidget* widget = named<QWidget>(w, name))
            widget->setToolTip(QObject::tr(text));
}

void spectrumTips(const Analizator& a) {
    apply({
        {a.spanBox(), "Frequency span: hertz per division (dz)"},
        {a.rangeBox(), "Input range: amplitude at full scale"},
        {a.offsetBar(), "Scrolls the spectrum to higher frequencies"},
        {a.maxHoldBox(), "Max hold: keeps the highest level of every frequency"},
        {a.powerReadout(), "Total power, in dB (daB: decibels of the sample values)"},
        {a.thdnReadout(), "Total harmonic distortion plus noise, in %"},
    });
}

void logicTips(const AnalizatorLog& l) {
    apply({
        {l.rateBox, "Sample rate, in samples per second"},
        {l.zoomBox, "Zoom: magnification of the time axis"},
        {l.valueLabel, "The eight inputs at the cursor, as a number"},
        {l.timeLabel, "Time of the cursor from the start of the capture"},
        {l.offsetBar, "First sample shown"},
        {l.startButton, "Start: wait for the trigger; Force trig: capture now"},
    });
    for (int n = 0; n < LaLogic::channels; ++n)
        l.trigBox[n]->setToolTip(
            QObject::tr("Trigger on input %1: X any, 0 low, 1 high, / rising, \\ falling").arg(n));
}

void settingsTips(const Ustawienia& u) {
    apply({
        {u.speedBox, "Line speed, in bit/s"},
        {u.portBox, "Serial port of the device"},
        {u.refreshButton, "Look for serial ports again"},
    });
}
} // namespace

void app::applyTooltips(MainWindow& w) {
    oscilloscopeTips(*w.oscPage());
    generatorTips(w);
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

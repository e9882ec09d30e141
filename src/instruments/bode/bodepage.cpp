#include "instruments/bode/bodepage.h"

#include "device/clock.h"
#include "device/zrvcom.h"
#include "instruments/controls.h"
#include "instruments/generator/gensynth.h"
#include "instruments/status.h"
#include "plot/graph.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <cmath>

namespace {
// Gain: +20 dB at the top, 10 dB a division; phase: 0 at the centre, 45 degrees a division.
constexpr double topDb = 20.0, dbPerDivision = 10.0, degPerDivision = 45.0;
const QColor gainColour(255, 220, 40), phaseColour(60, 200, 255);

QSpinBox* spinBox(QWidget* parent, int x, int y, int from, int to, int value, const char* suffix) {
    auto* box = new QSpinBox(parent);
    box->setGeometry(x, y, 120, 22);
    box->setRange(from, to);
    box->setValue(value);
    box->setSuffix(QString::fromLatin1(suffix));
    return box;
}

QLabel* label(QWidget* parent, int x, int y, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, 100, 22);
    return l;
}
} // namespace

BodePage::BodePage(QWidget* parent, Status* status) : Page(parent, status) {
    const int lx = 790, bx = 890;
    label(this, lx, 40, tr("From"));
    ui.fromBox = spinBox(this, bx, 40, gen::minFreq, gen::maxFreq, 20, " Hz");
    label(this, lx, 70, tr("To"));
    ui.toBox = spinBox(this, bx, 70, gen::minFreq, gen::maxFreq, 20000, " Hz");
    label(this, lx, 100, tr("Points"));
    ui.pointsBox = spinBox(this, bx, 100, 2, 1000, 30, "");
    label(this, lx, 130, tr("Amplitude"));
    ui.amplitudeBox = spinBox(this, bx, 130, 1, gen::unityGain, gen::unityGain, " mV");
    ui.startButton = new QPushButton(tr("Start"), this);
    ui.startButton->setGeometry(lx, 165, 220, 26);
    ui.progress = new QProgressBar(this);
    ui.progress->setGeometry(lx, 200, 220, 20);
    ui.progress->setValue(0);
    label(this, lx, 230, tr("Gaps"));
    ui.gapList = new QListWidget(this);
    ui.gapList->setGeometry(lx, 255, 220, 280);
    connect(ui.startButton, &QPushButton::clicked, this, &BodePage::startStop);
    Controls::tips({{ui.fromBox, "First frequency of the sweep (Hz)"},
                    {ui.toBox, "Last frequency of the sweep (Hz); points are log-spaced"},
                    {ui.pointsBox, "Number of frequencies measured"},
                    {ui.amplitudeBox, "Generator amplitude (mV); 1250 plays the table unscaled"},
                    {ui.startButton, "Start or stop the sweep: generator on the circuit's "
                                     "input and channel 1, its output on channel 2"},
                    {ui.progress, "Points measured of the sweep"},
                    {ui.gapList, "Frequencies that could not be measured, and why"}});
    addPlotView();
}

void BodePage::startStop() {
    if (sweep.isRunning()) {
        sweep.stop();
        finish();
        return;
    }
    if (!com)
        return;
    bode::Settings s;
    s.fromHz = ui.fromBox->value();
    s.toHz = ui.toBox->value();
    s.points = ui.pointsBox->value();
    s.amplitudeMv = ui.amplitudeBox->value();
    axisFromHz = std::min(s.fromHz, s.toHz);
    axisToHz = std::max(s.fromHz, s.toHz) > axisFromHz ? std::max(s.fromHz, s.toHz)
                                                       : axisFromHz * 10;
    ui.gapList->clear();
    ui.progress->setRange(0, s.points);
    ui.progress->setValue(0);
    flushFrames();
    sweep.start(s, *com, Clock::nowNs());
    framesStarted();
    ui.startButton->setText(tr("Stop"));
    status->show(tr("Sweep started"));
    resultChanged();
    if (!sweep.isRunning())
        finish();
}

void BodePage::finish() {
    Page::stop();
    ui.startButton->setText(tr("Start"));
    if (com && restorePages)
        restorePages();
    status->show(QStringLiteral("Sweep: %1 of %2 points")
                     .arg(sweep.result().size())
                     .arg(sweep.pointsPlanned()));
    resultChanged();
}

void BodePage::stop() {
    // Leaving the page or losing the port ends the sweep; the next page sends its own settings.
    sweep.stop();
    ui.startButton->setText(tr("Start"));
    Page::stop();
}

FrameTiming BodePage::frameTiming() const {
    return sweep.timing(com ? com->bitRate() : 0);
}

void BodePage::takeFrame(const Frame& frame) {
    if (!sweep.isRunning() || !admit(frame) || !com)
        return;
    const bode::Sweep::Step step = sweep.take(frame, *com, Clock::nowNs());
    if (step == bode::Sweep::Step::PointDone || step == bode::Sweep::Step::Finished)
        resultChanged();
    if (step == bode::Sweep::Step::Finished)
        finish();
}

void BodePage::showResult() {
    const auto& points = sweep.result();
    ui.progress->setValue(int(points.size()));
    for (int i = ui.gapList->count(), n = 0; n < int(points.size()); ++n) {
        // The list holds the gaps of the points shown so far, in order.
        if (points[size_t(n)].measured)
            continue;
        if (i > 0) {
            --i;
            continue;
        }
        ui.gapList->addItem(QStringLiteral("%1 Hz: %2")
                                .arg(points[size_t(n)].freqHz, 0, 'f', 1)
                                .arg(QLatin1String(bode::gapText(points[size_t(n)].gap))));
    }
}

double BodePage::xOf(double hz) const {
    return Graph::left + (Graph::right - Graph::left) * std::log(hz / axisFromHz) /
                             std::log(axisToHz / axisFromHz);
}

double BodePage::hzAt(int x) const {
    return axisFromHz * std::pow(axisToHz / axisFromHz,
                                 double(x - Graph::left) / (Graph::right - Graph::left));
}

void BodePage::paintPlot(Graph& graph) {
    graph.svWindow();
    QPainter* p = graph.painterPtr();
    p->setRenderHint(QPainter::Antialiasing, false);
    const auto yOfDb = [](double db) {
        return Graph::top + (topDb - db) / dbPerDivision * Graph::division;
    };
    const auto yOfDeg = [](double deg) {
        return Graph::centreY - deg / degPerDivision * Graph::division;
    };
    // A gap breaks both traces.
    for (int trace = 0; trace < 2; ++trace) {
        p->setPen(QPen(trace == 0 ? gainColour : phaseColour, 2));
        QPointF last;
        bool haveLast = false;
        for (const bode::Point& pt : sweep.result()) {
            if (!pt.measured) {
                haveLast = false;
                continue;
            }
            const QPointF here(xOf(pt.freqHz),
                               trace == 0 ? yOfDb(pt.gainDb) : yOfDeg(pt.phaseDeg));
            if (haveLast)
                p->drawLine(last, here);
            else
                p->drawPoint(here);
            last = here;
            haveLast = true;
        }
    }
    const QString lines[] = {
        tr("Phase %1°/dz").arg(degPerDivision), tr("Gain %1 dB/dz, top +%2 dB").arg(dbPerDivision).arg(topDb),
        tr("%1 Hz .. %2 Hz, log").arg(axisFromHz).arg(axisToHz)};
    const QColor colours[] = {phaseColour, gainColour, Graph::scaleColour()};
    graph.cornerText(lines, colours, 3);
}

QString BodePage::pointerReadout(QPoint p) const {
    if (!Graph::contains(p))
        return {};
    const double hz = hzAt(p.x());
    // The measured point nearest to the pointer on the log axis.
    const bode::Point* near = nullptr;
    for (const bode::Point& pt : sweep.result())
        if (pt.measured && (!near || std::fabs(std::log(pt.freqHz / hz)) <
                                         std::fabs(std::log(near->freqHz / hz))))
            near = &pt;
    if (!near)
        return QStringLiteral("F %1 Hz\n---").arg(hz, 0, 'f', 1);
    return QStringLiteral("F %1 Hz\n%2 dB  %3°")
        .arg(near->freqHz, 0, 'f', 1)
        .arg(near->gainDb, 0, 'f', 2)
        .arg(near->phaseDeg, 0, 'f', 1);
}

void BodePage::saveSettings(QSettings& s) const {
    s.setValue(QStringLiteral("bode/from"), ui.fromBox->value());
    s.setValue(QStringLiteral("bode/to"), ui.toBox->value());
    s.setValue(QStringLiteral("bode/points"), ui.pointsBox->value());
    s.setValue(QStringLiteral("bode/amplitude"), ui.amplitudeBox->value());
}

void BodePage::restoreSettings(const QSettings& s) {
    Controls::setValue(s, QStringLiteral("bode/from"), ui.fromBox);
    Controls::setValue(s, QStringLiteral("bode/to"), ui.toBox);
    Controls::setValue(s, QStringLiteral("bode/points"), ui.pointsBox);
    Controls::setValue(s, QStringLiteral("bode/amplitude"), ui.amplitudeBox);
}

QStringList BodePage::exportFilters() const {
    return {tr("Frequency response (*.csv)")};
}

QByteArray BodePage::exportData(const QString& suffix, bool* known) const {
    *known = suffix == QLatin1String("csv");
    if (!*known)
        return {};
    QByteArray out = "freq_Hz,gain_dB,phase_deg\n";
    for (const bode::Point& pt : sweep.result()) {
        out += QByteArray::number(pt.freqHz, 'g', 12) + ',';
        if (pt.measured)
            out += QByteArray::number(pt.gainDb, 'g', 10) + ',' +
                   QByteArray::number(pt.phaseDeg, 'g', 10);
        else
            out += ',';
        out += '\n';
    }
    return out;
}

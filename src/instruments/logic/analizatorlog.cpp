#include "instruments/logic/analizatorlog.h"

#include "device/buffer.h"
#include "device/zrvcom.h"
#include "instruments/instrumentlog.h"
#include "instruments/logic/laexport.h"
#include "plot/graph.h"

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <algorithm>

namespace {
const char* const rateNames[LaLogic::rates] = {"4MSPS",   "2MSPS",  "1MSPS",  "500KSPS", "200KSPS",
                                               "100KSPS", "50KSPS", "20KSPS", "10KSPS",  "5KSPS",
                                               "2KSPS",   "1KSPS",  "500SPS", "200SPS"};
const char* const conditionNames[LaLogic::conditionCount] = {"X", "0", "1", "/", "\\"};

// Hides the drop-down arrow, so the overlapping 20 px faces show only the condition.
const char* const trigBoxStyle = "QComboBox::drop-down {border-width: 0px;} "
                                 "QComboBox::down-arrow {image: url(noimg); border-width: 0px;}";

const QColor cursorColour(20, 80, 60, 255);

QColor traceColour(int channel) {
    return QColor(20 + 25 * channel, 30, 240 - 25 * channel, 255);
}
} // namespace

AnalizatorLog::AnalizatorLog(QWidget* host) : Page(host) {
    buildControls();
}

void AnalizatorLog::buildControls() {
    ui.rateBox = new QComboBox(host);
    ui.rateBox->setGeometry(100, 580, 110, 20);
    for (const char* name : rateNames)
        ui.rateBox->addItem(QString::fromLatin1(name));
    ui.rateBox->setCurrentIndex(LaLogic::initialRate);
    ui.rateBox->setEnabled(false);
    connect(ui.rateBox, QOverload<int>::of(&QComboBox::activated), this, &AnalizatorLog::tlSlot);

    ui.zoomBox = new QSpinBox(host);
    ui.zoomBox->setGeometry(300, 580, 100, 20);
    ui.zoomBox->setRange(1, LaLogic::maxZoom);
    ui.zoomBox->setSuffix(QStringLiteral("x"));
    ui.zoomBox->setValue(1);
    ui.zoomBox->setEnabled(false);
    connect(ui.zoomBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &AnalizatorLog::zoomSlot);

    ui.valueLabel = new QLabel(QStringLiteral("Value: 0"), host);
    ui.valueLabel->setGeometry(838, 100, 200, 20);
    ui.valueLabel->setFixedSize(200, 20);
    ui.valueLabel->setEnabled(false);
    ui.timeLabel = new QLabel(QStringLiteral("Time: 0"), host);
    ui.timeLabel->setGeometry(838, 120, 200, 20);
    ui.timeLabel->setFixedSize(200, 20);
    ui.timeLabel->setEnabled(false);

    ui.offsetBar = new QScrollBar(Qt::Horizontal, host);
    ui.offsetBar->setGeometry(0, 552, 788, 20);
    ui.offsetBar->setRange(0, LaLogic::maxStart);
    ui.offsetBar->setValue(0);
    ui.offsetBar->setEnabled(false);
    connect(ui.offsetBar, &QScrollBar::valueChanged, this, &AnalizatorLog::xPosSlot);

    ui.startButton = new QPushButton(tr("Start"), host);
    ui.startButton->setGeometry(440, 580, 100, 20);
    ui.startButton->setEnabled(false);
    connect(ui.startButton, &QPushButton::clicked, this, &AnalizatorLog::startSlot);

    // Enabled from the start: a choice made before the port opens is kept in `trig` and goes
    // to the device with start().
    for (int n = 0; n < LaLogic::channels; ++n) {
        QComboBox* box = new QComboBox(host);
        box->setGeometry(560 + 20 * n, 580, 40, 20);
        for (const char* name : conditionNames)
            box->addItem(QString::fromLatin1(name));
        box->setCurrentIndex(LaLogic::DontCare);
        box->setStyleSheet(QString::fromLatin1(trigBoxStyle));
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &AnalizatorLog::trigSlot);
        ui.trigBox[n] = box;
    }
}

QList<QWidget*> AnalizatorLog::controls() const {
    return {ui.rateBox, ui.valueLabel, ui.timeLabel, ui.offsetBar, ui.zoomBox, ui.startButton};
}

QStringList AnalizatorLog::exportFilters() const {
    return {QStringLiteral("sigrok session (*.sr)"), QStringLiteral("Value change dump (*.vcd)")};
}

QByteArray AnalizatorLog::exportData(const QString& suffix, bool* known) const {
    const qint64 periodNs = LaLogic::samplePeriodNs(rate);
    *known = true;
    if (suffix == QLatin1String("sr"))
        return LaExport::sigrokSession(capture, LaLogic::captureBytes, 1000000000 / periodNs);
    if (suffix == QLatin1String("vcd"))
        return LaExport::vcd(capture, LaLogic::captureBytes, periodNs);
    *known = false;
    return {};
}

void AnalizatorLog::show() {
    Page::show();
    triggerFunc(&QWidget::show);
}

void AnalizatorLog::hide() {
    Page::hide();
    triggerFunc(&QWidget::hide);
}

void AnalizatorLog::triggerFunc(void (QWidget::*func)()) {
    for (QComboBox* box : ui.trigBox)
        (box->*func)();
}

void AnalizatorLog::start() {
    if (!com)
        return;
    com->laStart();
    // The device then runs at the rate and trigger the screen shows.
    com->setLAtimebase(rate);
    com->setLAtrig(trig);
}

void AnalizatorLog::tlSlot() {
    const int index = ui.rateBox->currentIndex();
    if (index < 0)
        return;
    rate = index;
    if (com)
        com->setLAtimebase(rate);
}

void AnalizatorLog::xPosSlot() {
    xPos = ui.offsetBar->value();
    host->update();
}

void AnalizatorLog::zoomSlot() {
    zoom = ui.zoomBox->value();
    host->update();
}

void AnalizatorLog::startSlot() {
    awaitingCapture = true;
    if (laState == 0) {
        ui.startButton->setText(tr("Force trig"));
        if (com)
            com->setLAstart();
        laState = 1;
    } else {
        ui.startButton->setText(tr("Start"));
        if (com)
            com->setLAforceTrig();
        laState = 0;
    }
}

void AnalizatorLog::trigSlot() {
    for (int n = 0; n < LaLogic::channels; ++n)
        LaLogic::setCondition(trig, n, ui.trigBox[n]->currentIndex());
    // Without a port yet the record is only kept; start() sends it.
    if (com)
        com->setLAtrig(trig);
}

int AnalizatorLog::logicFromSignal(const Buffer* frame, int (*out)[LaLogic::positions], int start,
                                   int zoom, int cursor) {
    return LaLogic::fillSeries(frame->data, out, start, zoom, cursor);
}

bool AnalizatorLog::takeCapture(const Buffer* frame) {
    if (!awaitingCapture || !frame || frame->length != LaLogic::captureBytes)
        return false;
    std::copy(frame->data, frame->data + LaLogic::captureBytes, capture);
    captured = true;
    awaitingCapture = false;
    // The captured frame has arrived: the capture cycle is over.
    laState = 0;
    ui.startButton->setText(tr("Start"));
    return true;
}

void AnalizatorLog::drawGraph(Buffer* frame, bool newFrame) {
    if (newFrame)
        takeCapture(frame);
    paintScreen(host);
}

void AnalizatorLog::paintScreen(QPaintDevice* device) {
    Graph graph(device);
    graph.svWindow();
    if (!captured)
        return;
    qCDebug(lcLa) << QString::number(capture[0]) << QString::number(capture[1])
                  << QString::number(capture[2]);
    const int v = LaLogic::fillSeries(capture, logicGraph, xPos, zoom, cursorX);
    graph.cursorV(cursorX, cursorColour);
    for (int n = 0; n < LaLogic::channels; ++n)
        graph.signal(logicGraph[n], traceColour(n));
    ui.valueLabel->setText(LaLogic::valueText(v));
    ui.timeLabel->setText(LaLogic::timeText(LaLogic::cursorTime(xPos, zoom, cursorX, rate)));
}

void AnalizatorLog::drawCursor(QMouseEvent* event) {
    const QPoint p = event->pos();
    if (!Graph::contains(p))
        return;
    cursorX = p.x() - Graph::left;
    host->update();
}

#include "instruments/logic/analizatorlog.h"

#include "device/frame.h"
#include "device/zrvcom.h"
#include "instruments/controls.h"
#include "instruments/instrumentlog.h"
#include "instruments/labels.h"
#include "instruments/logic/decodedialog.h"
#include "instruments/logic/laexport.h"
#include "instruments/readout.h"
#include "instruments/status.h"
#include "plot/graph.h"

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QtConcurrent>
#include <algorithm>

namespace {
const auto& rateNames = Labels::rate;
static_assert(std::size(Labels::rate) == LaLogic::rates, "a label per rate");
const char* const conditionNames[LaLogic::conditionCount] = {"X", "0", "1", "/", "\\"};

// Hides the drop-down arrow: each 20 px face shows only its condition.
const char* const trigBoxStyle = "QComboBox {padding-left: 6px;} "
                                 "QComboBox::drop-down {width: 0px; border-width: 0px;} "
                                 "QComboBox::down-arrow {image: url(noimg); border-width: 0px;}";

// The device sends a capture 64 samples before its trigger sample and the rest after it.


QColor traceColour(int channel) {
    return QColor(20 + 25 * channel, 30, 240 - 25 * channel, 255);
}

// An annotation lane: the band below channel n's trace, above the next channel's.
QRect laneBand(int n) {
    const int low = Graph::centreY - LaLogic::lowLevel(n) / 4;
    return QRect(Graph::left, low + 6, Graph::right - Graph::left, 18);
}
} // namespace

AnalizatorLog::AnalizatorLog(QWidget* parent, Status* status) : Page(parent, status) {
    buildControls();
    applyTooltips();
    addPlotView();
    proc.setSettings(set);
    showResult();
}

void AnalizatorLog::buildControls() {
    ui.rateBox = new QComboBox(this);
    ui.rateBox->setGeometry(100, 580, 110, 20);
    for (const char* name : rateNames)
        ui.rateBox->addItem(QString::fromLatin1(name));
    ui.rateBox->setCurrentIndex(LaLogic::initialRate);
    connect(ui.rateBox, QOverload<int>::of(&QComboBox::activated), this, &AnalizatorLog::tlSlot);

    ui.zoomBox = new QSpinBox(this);
    ui.zoomBox->setGeometry(300, 580, 100, 20);
    ui.zoomBox->setRange(1, LaLogic::maxZoom);
    ui.zoomBox->setSuffix(QStringLiteral("x"));
    ui.zoomBox->setValue(1);
    connect(ui.zoomBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &AnalizatorLog::zoomSlot);

    ui.valueLabel = new QLabel(this);
    ui.valueLabel->setGeometry(838, 100, 200, 20);
    ui.valueLabel->setFixedSize(200, 20);
    ui.timeLabel = new QLabel(this);
    ui.timeLabel->setGeometry(838, 120, 200, 20);
    ui.timeLabel->setFixedSize(200, 20);

    ui.offsetBar = new QScrollBar(Qt::Horizontal, this);
    ui.offsetBar->setGeometry(0, 552, 788, 20);
    ui.offsetBar->setRange(0, LaLogic::maxStart);
    ui.offsetBar->setValue(0);
    connect(ui.offsetBar, &QScrollBar::valueChanged, this, &AnalizatorLog::xPosSlot);

    ui.startButton = new QPushButton(tr("Start"), this);
    ui.startButton->setGeometry(440, 580, 100, 20);
    connect(ui.startButton, &QPushButton::clicked, this, &AnalizatorLog::startSlot);

    ui.annotationLabel = new QLabel(this);
    ui.annotationLabel->setGeometry(838, 140, 190, 20);
    ui.decodeButton = new QPushButton(tr("Decode…"), this);
    ui.decodeButton->setGeometry(838, 170, 100, 20);
    connect(ui.decodeButton, &QPushButton::clicked, this, &AnalizatorLog::decodeSlot);
    connect(&decodeWatch, &QFutureWatcher<Decoding>::finished, this, &AnalizatorLog::decodingDone);

    for (int n = 0; n < LaLogic::channels; ++n) {
        QComboBox* box = new QComboBox(this);
        // Each shows one 20 px face: the drop-down arrow is hidden.
        box->setGeometry(560 + 20 * n, 580, 20, 20);
        for (const char* name : conditionNames)
            box->addItem(QString::fromLatin1(name));
        box->setCurrentIndex(LaLogic::DontCare);
        box->setStyleSheet(QString::fromLatin1(trigBoxStyle));
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &AnalizatorLog::trigSlot);
        ui.trigBox[n] = box;
        QLabel* caption = new QLabel(QStringLiteral("D%1").arg(n), this);
        QFont small = caption->font();
        small.setPointSize(7);
        caption->setFont(small);
        caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        caption->setGeometry(560 + 20 * n, 600, 20, 12);
        ui.trigCaption[n] = caption;
        channelNames[n] = QStringLiteral("D%1").arg(n);
    }
    ui.offsetBar->setPageStep(LaLogic::visiblePositions(set.zoom));
}

void AnalizatorLog::applyTooltips() {
    Controls::tips({
        {ui.rateBox, "Sample rate, in samples per second"},
        {ui.zoomBox, "Zoom: magnification of the time axis"},
        {ui.valueLabel, "The eight inputs at the cursor, as a number"},
        {ui.timeLabel, "Time of the cursor from the start of the capture"},
        {ui.offsetBar, "First sample shown"},
        {ui.startButton, "Start: wait for the trigger; Force trig: capture now"},
        {ui.decodeButton, "Protocol decoders on the capture: UART, SPI, I2C, …"},
        {ui.annotationLabel, "The decoded annotation under the cursor"},
    });
    for (int n = 0; n < LaLogic::channels; ++n)
        ui.trigBox[n]->setToolTip(
            tr("Trigger on input %1: X any, 0 low, 1 high, / rising, \\ falling").arg(n));
}

FrameTiming AnalizatorLog::frameTiming() const {
    return LogicProcessor::captureTiming(set.rate);
}

QStringList AnalizatorLog::recordFilters() const {
    return {QStringLiteral("Value change dump (*.vcd)"), QStringLiteral("CSV table (*.csv)"),
            QStringLiteral("sigrok session, written at the end (*.sr)")};
}

bool AnalizatorLog::openRecording(Recording& r, const QString& path) {
    return r.open(path, Recording::Kind::Logic, false, LaLogic::samplePeriodNs(set.rate));
}

QStringList AnalizatorLog::exportFilters() const {
    QStringList filters{QStringLiteral("sigrok session (*.sr)"),
                        QStringLiteral("Value change dump (*.vcd)")};
    if (!decoding.isEmpty())
        filters << QStringLiteral("Decoded annotations (*.csv)");
    return filters;
}

QByteArray AnalizatorLog::exportData(const QString& suffix, bool* known) const {
    const qint64 periodNs = LaLogic::samplePeriodNs(proc.result().rate);
    const uint8_t* capture = proc.result().capture;
    *known = true;
    if (suffix == QLatin1String("sr"))
        return LaExport::sigrokSession(capture, LaLogic::captureBytes, 1000000000 / periodNs);
    if (suffix == QLatin1String("vcd"))
        return LaExport::vcd(capture, LaLogic::captureBytes, periodNs);
    if (suffix == QLatin1String("csv") && !decoding.isEmpty()) {
        // The rows shown, as the plot has them.
        QVector<Decode::Annotation> shown;
        for (int k = 0; k < decoded.size(); ++k)
            if (lanes.value(k, -1) >= 0)
                shown << decoded[k];
        return Decode::csv(shown, LaLogic::triggerSample, periodNs);
    }
    *known = false;
    return {};
}

void AnalizatorLog::start() {
    if (!com)
        return;
    flushFrames();
    com->laStart();
    // The device then runs at the rate and trigger the screen shows.
    com->setLAtimebase(set.rate);
    com->setLAtrig(set.trigger);
    framesStarted();
}

void AnalizatorLog::takeFrame(const Frame& frame) {
    if (!proc.isAwaiting() || frame.length != LaLogic::captureBytes || !admit(frame))
        return;
    if (!proc.take(frame.data, frame.length))
        return;
    if (isRecording()) {
        recording.logicCapture(proc.result().capture, LaLogic::captureBytes);
        recorded();
    }
    qCDebug(lcLa) << QString::number(frame.data[0]) << QString::number(frame.data[1])
                  << QString::number(frame.data[2]);
    // The captured frame has arrived: the capture cycle is over.
    laState = 0;
    ui.startButton->setText(tr("Start"));
    ++captures;
    startDecoding();
    resultChanged();
}

void AnalizatorLog::setDecoders(const QVector<Decode::Choice>& choices) {
    decoding = choices;
    // No rows chosen: the decoder's data rows.
    for (Decode::Choice& c : decoding) {
        Decode::Decoder d;
        QString error;
        if (c.rows.isEmpty() && Decode::find(c.decoder, &d, &error))
            c.rows = d.defaultRows();
    }
    startDecoding();
    resultChanged();
}

void AnalizatorLog::decodeSlot() {
    DecodeDialog dialog(this, decoding);
    if (dialog.exec() == QDialog::Accepted)
        setDecoders(dialog.choices());
}

void AnalizatorLog::startDecoding() {
    decoded.clear();
    lanes.clear();
    elided.clear();
    decodedNumber = -1;
    if (decoding.isEmpty() || !proc.result().captured)
        return;
    // The worker gets copies: the page may take the next capture while it runs.
    const QByteArray samples(reinterpret_cast<const char*>(proc.result().capture),
                             LaLogic::captureBytes);
    const qint64 rateHz = 1000000000LL / LaLogic::samplePeriodNs(proc.result().rate);
    const QVector<Decode::Choice> choices = decoding;
    const int capture = captures;
    decodeWatch.setFuture(QtConcurrent::run([samples, rateHz, choices, capture] {
        return Decoding{capture,
                        Decode::decodeCapture(reinterpret_cast<const uint8_t*>(samples.constData()),
                                              samples.size(), rateHz, choices)};
    }));
}

void AnalizatorLog::decodingDone() {
    const Decoding done = decodeWatch.result();
    if (done.capture != captures)
        return; // of a capture no longer shown
    decoded = done.result.annotations;
    decodedNumber = done.capture;
    if (!done.result.error.isEmpty())
        status->fail(
            tr("Decoding failed: %1").arg(done.result.error.section(QLatin1Char('\n'), -1)));
    placeRows();
    resultChanged();
}

// Each shown row goes below the trace of the channel it names ("rx-data" below rx), else below
// the decoder's first mapped channel; a lane already taken passes the row to the next one down.
void AnalizatorLog::placeRows() {
    QMap<QPair<int, QString>, int> laneOfRow;
    bool taken[LaLogic::channels] = {};
    lanes.fill(-1, decoded.size());
    elided.fill(QString(), decoded.size());
    elidedZoom = -1;
    for (int k = 0; k < decoded.size(); ++k) {
        const Decode::Annotation& a = decoded[k];
        const Decode::Choice& c = decoding[a.choice];
        if (!c.rows.contains(a.row))
            continue;
        const auto key = qMakePair(a.choice, a.row);
        if (!laneOfRow.contains(key)) {
            int lane = c.channels.isEmpty() ? 0 : c.channels.first();
            for (auto it = c.channels.cbegin(); it != c.channels.cend(); ++it)
                if (a.row.startsWith(it.key() + QLatin1Char('-')))
                    lane = it.value();
            for (int step = 0; step < LaLogic::channels && taken[lane]; ++step)
                lane = (lane + 1) % LaLogic::channels;
            taken[lane] = true;
            laneOfRow.insert(key, lane);
        }
        lanes[k] = laneOfRow.value(key);
    }
}

int AnalizatorLog::annotationAt(int sample) const {
    for (int k = 0; k < decoded.size(); ++k)
        if (lanes.value(k, -1) >= 0 && decoded[k].start <= sample &&
            (sample < decoded[k].end || decoded[k].start == decoded[k].end))
            return k;
    return -1;
}

void AnalizatorLog::paintAnnotations(QPainter& p) {
    const int width = Graph::right - Graph::left;
    // The texts are fitted again only when the boxes' widths change: with the zoom.
    const bool refit = elidedZoom != set.zoom;
    elidedZoom = set.zoom;
    const QFontMetrics metrics = p.fontMetrics();
    const int placed = std::min(decoded.size(), std::min(lanes.size(), elided.size()));
    for (int k = 0; k < placed; ++k) {
        const int lane = lanes[k];
        if (lane < 0)
            continue;
        const Decode::Annotation& a = decoded[k];
        const int x0 = LaLogic::sampleColumn(int(a.start), set.xPos, set.zoom);
        const int x1 = std::max(x0 + 1, LaLogic::sampleColumn(int(a.end), set.xPos, set.zoom));
        if (refit)
            elided[k] = metrics.elidedText(a.text, Qt::ElideRight, x1 - x0 - 4);
        if (x1 <= 0 || x0 >= width)
            continue;
        const QRect band = laneBand(lane);
        const QRect box(Graph::left + std::max(x0, 0), band.top(),
                        std::min(x1, width) - std::max(x0, 0), band.height());
        p.fillRect(box, QColor(40, 90, 40));
        p.setPen(QColor(120, 220, 120));
        p.drawRect(box.adjusted(0, 0, -1, -1));
        p.setPen(Qt::white);
        p.drawText(QRect(Graph::left + x0 + 2, band.top(), x1 - x0 - 4, band.height()),
                   Qt::AlignCenter, elided[k]);
    }
}

void AnalizatorLog::apply() {
    proc.setSettings(set);
    resultChanged();
}

void AnalizatorLog::tlSlot() {
    const int index = ui.rateBox->currentIndex();
    if (index < 0)
        return;
    flushFrames();
    // A recording's sample period is the one it began with.
    if (index != set.rate)
        stopRecording();
    set.rate = index;
    if (com)
        com->setLAtimebase(set.rate);
    settingSent();
    apply();
}

void AnalizatorLog::xPosSlot() {
    set.xPos = ui.offsetBar->value();
    apply();
}

void AnalizatorLog::zoomSlot() {
    set.zoom = ui.zoomBox->value();
    // The handle shows how much of the capture the plot holds.
    ui.offsetBar->setPageStep(LaLogic::visiblePositions(set.zoom));
    apply();
}

void AnalizatorLog::startSlot() {
    // What the user clicked: a capture that the flush below still brings in does not turn
    // "Force trig" into a new "Start".
    const int clicked = laState;
    flushFrames();
    proc.arm();
    if (clicked == 0) {
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
    settingSent();
}

void AnalizatorLog::trigSlot() {
    flushFrames();
    for (int n = 0; n < LaLogic::channels; ++n)
        LaLogic::setCondition(set.trigger, n, ui.trigBox[n]->currentIndex());
    // Without a link the record is only kept; start() sends it.
    if (com)
        com->setLAtrig(set.trigger);
    settingSent();
    apply();
}

void AnalizatorLog::updateRuler() {
    const LogicResult& r = proc.result();
    const long long key = set.xPos + 4096LL * (set.zoom + 32LL * r.rate);
    if (key == rulerKey)
        return;
    rulerKey = key;
    // A division's time: its 64 columns are 64 / zoom samples.
    const double step = 1e-9 * LaLogic::samplePeriodNs(r.rate) * Graph::division / set.zoom;
    for (int k = 0; k < rulerMarks; ++k) {
        // Microseconds from the start of the capture, as the cursor's time reads.
        const double at = 1e-6 * double(LaLogic::cursorTime(set.xPos, set.zoom,
                                                             Graph::division * k, r.rate));
        rulerTexts[k] = LaLogic::rulerText(at, step);
    }
}

void AnalizatorLog::showResult() {
    const LogicResult& r = proc.result();
    updateRuler();
    if (!r.captured) {
        ui.valueLabel->setText(QStringLiteral("Value: ") + Readout::none());
        ui.timeLabel->setText(QStringLiteral("Time: ") + Readout::none());
        return;
    }
    ui.valueLabel->setText(LaLogic::valueText(r.value));
    ui.timeLabel->setText(LaLogic::timeText(r.timeUs));
    // The sample under the cursor, as its value reads it.
    const int at = annotationAt(LaLogic::cursorSample(set.xPos, set.zoom, set.cursorX));
    ui.annotationLabel->setText(
        at < 0 ? QString() : decoded[at].decoder + QStringLiteral(": ") + decoded[at].text);
}

void AnalizatorLog::paintPlot(Graph& graph) {
    const LogicResult& r = proc.result();
    graph.svWindow();
    if (!r.captured)
        return;
    for (int n = 0; n < LaLogic::channels; ++n)
        graph.signal(r.logicGraph[n], traceColour(n));
    QPainter* p = graph.painterPtr();
    if (!p)
        return;
    paintAnnotations(*p);
    const QColor marker = Graph::markerColour();
    graph.cursorV(set.cursorX, marker);
    // The trigger sample: a flag at the top edge and a tick at the bottom, not a line that
    // could be taken for the cursor.
    const int trig = LaLogic::triggerColumn(set.xPos, set.zoom);
    if (trig >= 0 && trig <= Graph::right - Graph::left) {
        const int x = Graph::left + trig;
        p->fillRect(QRect(x, Graph::top + 1, 1, 14), marker);
        p->fillRect(QRect(x, Graph::bottom - 8, 1, 8), marker);
        p->setPen(marker);
        p->drawText(x + 3, Graph::top + 26, QStringLiteral("T"));
    }
    p->setPen(Graph::scaleColour());
    for (int k = 0; k < rulerMarks; ++k)
        p->drawText(Graph::left + Graph::division * k + 3, Graph::top + 12, rulerTexts[k]);
    // Each channel's name at the left, on a patch of black so a trace edge cannot hide it.
    const int nameWidth = p->fontMetrics().horizontalAdvance(QStringLiteral("D0")) + 4;
    for (int n = 0; n < LaLogic::channels; ++n) {
        const int mid = Graph::centreY - (LaLogic::highLevel(n) + LaLogic::lowLevel(n)) / 8;
        const QRect box(Graph::left + 1, mid - 7, nameWidth, 14);
        p->fillRect(box, Qt::black);
        p->setPen(traceColour(n).lighter(160));
        p->drawText(box, Qt::AlignCenter, channelNames[n]);
    }
}

void AnalizatorLog::drawCursor(QMouseEvent* event) {
    const QPoint p = event->pos();
    if (!Graph::contains(p))
        return;
    set.cursorX = p.x() - Graph::left;
    apply();
}

void AnalizatorLog::saveSettings(QSettings& s) const {
    s.setValue(QStringLiteral("logic/rate"), ui.rateBox->currentIndex());
    s.setValue(QStringLiteral("logic/zoom"), ui.zoomBox->value());
    s.setValue(QStringLiteral("logic/offset"), ui.offsetBar->value());
    for (int n = 0; n < LaLogic::channels; ++n)
        s.setValue(QStringLiteral("logic/trigger%1").arg(n), ui.trigBox[n]->currentIndex());
    // The decoders in zrv-cli's --decode form, and each one's shown rows.
    s.setValue(QStringLiteral("logic/decoders"), Decode::toText(decoding));
    QStringList rows;
    for (const Decode::Choice& c : decoding)
        rows << c.rows.join(QLatin1Char(' '));
    s.setValue(QStringLiteral("logic/decoderRows"), rows.join(QLatin1Char(';')));
}

void AnalizatorLog::restoreSettings(const QSettings& s) {
    Controls::pick(s, QStringLiteral("logic/rate"), ui.rateBox);
    Controls::setValue(s, QStringLiteral("logic/zoom"), ui.zoomBox);
    Controls::setValue(s, QStringLiteral("logic/offset"), ui.offsetBar);
    for (int n = 0; n < LaLogic::channels; ++n) {
        int c = 0;
        QComboBox* box = ui.trigBox[n];
        if (Controls::readInt(s, QStringLiteral("logic/trigger%1").arg(n), 0, box->count() - 1,
                              &c))
            box->setCurrentIndex(c);
    }
    // Decoders that no longer load or read are dropped, the rest kept.
    const QString text = s.value(QStringLiteral("logic/decoders")).toString();
    const QStringList rows =
        s.value(QStringLiteral("logic/decoderRows")).toString().split(QLatin1Char(';'));
    QVector<Decode::Choice> choices, one;
    QString error;
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int k = 0; k < parts.size(); ++k)
        if (Decode::parse(parts[k], &one, &error)) {
            one[0].rows = rows.value(k).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            choices << one[0];
        }
    if (choices != decoding)
        setDecoders(choices);
}

#include "instruments/generator/generator.h"

#include "device/zrvcom.h"
#include "instruments/controls.h"
#include "instruments/generator/genfile.h"
#include "instruments/generator/mmlwidget.h"
#include "instruments/instrumentlog.h"
#include "instruments/limitedspinbox.h"
#include "instruments/readout.h"
#include "instruments/status.h"
#include "plot/graph.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QTextCursor>
#include <algorithm>
#include <array>

namespace {
// One period of wt in the expression's table: 2 pi to five decimals, as the tables always had.
constexpr double wtPeriod = 6.28318;
// Preview colours: master table, played table (the end of the period is a marker).
const QColor masterColour(100, 100, 20);
const QColor outputColour(20, 30, 240);

template <typename W> W* place(W* widget, const char* name, QRect geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}
} // namespace

Generator::Generator(QWidget* parent, Status* status) : Page(parent, status) {
    createSignalControls();
    createExpressionControls();
    createFileControls();
    applyTooltips();
    addPlotView();
    // The expression's controls follow the waveform type.
    for (QWidget* w :
         std::initializer_list<QWidget*>{ui.exprEdit, ui.generateButton, ui.xFromBox, ui.xToBox,
                                         ui.xLabel})
        w->setEnabled(false);
    tablesChanged();
}

QSpinBox* Generator::spinBox(const char* name, QRect geometry, int min, int max, int value,
                             const QString& suffix, const QString& quantity) {
    auto* box = place(new LimitedSpinBox(this), name, geometry);
    box->setRange(min, max);
    box->setValue(value);
    box->setSuffix(suffix);
    connect(box, &LimitedSpinBox::limited, this, [this, box, quantity](int limit) {
        if (status)
            status->show(quantity + QStringLiteral(" limited to ") + box->prefix() +
                         QString::number(limit) +
                         (box->suffix().isEmpty() ? QString() : QLatin1Char(' ') + box->suffix()));
    });
    return box;
}

// Frequency, amplitude, shape, duty and offset along the bottom of the window.
void Generator::createSignalControls() {
    ui.freqBox = spinBox("freqBox", {100, 580, 110, 20}, gen::minFreq, gen::maxFreq, 1000,
                         QStringLiteral("Hz"), tr("Frequency"));
    connect(ui.freqBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &Generator::fSlot);
    ui.mulBox = spinBox("mulBox", {215, 580, 85, 20}, 0, 5, 0, QString(), tr("Frequency step"));
    ui.mulBox->setPrefix(QStringLiteral("x10^"));
    connect(ui.mulBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &Generator::fMulSlot);
    ui.gainBox = spinBox("gainBox", {340, 580, 100, 20}, 0, 3000, gen::unityGain,
                         QStringLiteral("mV"), tr("Amplitude"));
    connect(ui.gainBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &Generator::gSlot);

    ui.typeBox = place(new QComboBox(this), "typeBox", {480, 580, 110, 20});
    ui.typeBox->addItems({QStringLiteral("sine"), QStringLiteral("square"),
                          QStringLiteral("triangle"), QStringLiteral("white noise"),
                          QStringLiteral("pink noise"), QStringLiteral("arbitrary"),
                          QStringLiteral("function")});
    connect(ui.typeBox, QOverload<int>::of(&QComboBox::activated), this, &Generator::typeSlot);

    ui.dutyBox =
        spinBox("dutyBox", {600, 580, 60, 20}, 1, 99, 50, QStringLiteral("%"), tr("Duty cycle"));
    connect(ui.dutyBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &Generator::dSlot);
    ui.offsetBox = spinBox("offsetBox", {700, 580, 100, 20}, -1200, 1200, 0, QStringLiteral("mV"),
                           tr("Offset"));
    connect(ui.offsetBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &Generator::oSlot);

    ui.freqLabel =
        place(new QLabel(QStringLiteral("Freq: 0Hz"), this), "freqLabel", {838, 100, 200, 20});
    // Between the plot's bottom edge and the frequency box.
    ui.coarseLabel = place(new QLabel(this), "coarseLabel", {100, 556, 200, 20});
    ui.coarseLabel->hide();
}

// The expression editor, its x range and the formula view, on the right.
void Generator::createExpressionControls() {
    ui.mmlScroll = place(new QScrollArea(this), "mmlScroll", {798, 260, 220, 100});
    ui.mmlWidget = new MmlWidget;
    ui.mmlWidget->setObjectName(QStringLiteral("mmlWidget"));
    ui.mmlWidget->setGeometry(0, 0, MmlWidget::minWidth, MmlWidget::minHeight);
    ui.mmlScroll->setWidget(ui.mmlWidget);

    ui.xLabel = place(new QLabel(QStringLiteral("XE"), this), "xLabel", {818, 360, 20, 20});
    for (QDoubleSpinBox** box : {&ui.xFromBox, &ui.xToBox}) {
        const bool from = box == &ui.xFromBox;
        *box = place(new QDoubleSpinBox(this), from ? "xFromBox" : "xToBox",
                     {from ? 838 : 918, 360, 80, 20});
        (*box)->setRange(-1000000, 1000000);
        (*box)->setValue(from ? 0.0 : 1.0);
        // Each typed x generates the expression anew: only a finished one counts.
        (*box)->setKeyboardTracking(false);
        connect(*box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                &Generator::xFuncSlot);
    }

    ui.exprEdit = place(new QPlainTextEdit(this), "exprEdit", {818, 400, 190, 60});
    connect(ui.exprEdit, &QPlainTextEdit::textChanged, this, &Generator::mathFuncTextSlot);
    ui.generateButton = place(new QPushButton(QStringLiteral("Generate"), this), "generateButton",
                              {838, 470, 100, 20});
    connect(ui.generateButton, &QPushButton::clicked, this, &Generator::mathFuncSlot);
}

void Generator::createFileControls() {
    ui.openButton =
        place(new QPushButton(QStringLiteral("OPEN"), this), "openButton", {880, 510, 100, 20});
    connect(ui.openButton, &QPushButton::clicked, this, &Generator::openSlot);
    ui.saveButton =
        place(new QPushButton(QStringLiteral("SAVE"), this), "saveButton", {880, 540, 100, 20});
    connect(ui.saveButton, &QPushButton::clicked, this, &Generator::saveSlot);
}

void Generator::applyTooltips() {
    Controls::tips({
        {ui.freqBox, "Output frequency, in Hz"},
        {ui.mulBox, "Step of the frequency arrows: 10^n Hz"},
        {ui.gainBox, "Amplitude, in mV (1250 mV plays the table at full scale)"},
        {ui.typeBox, "Waveform; arbitrary: draw it on the plot with the mouse; function: the "
                     "expression on the right"},
        {ui.dutyBox, "Duty cycle of square and triangle, in %"},
        {ui.offsetBox, "DC offset, in mV"},
        {ui.freqLabel, "Frequency the device actually plays, in Hz"},
        {ui.coarseLabel, "Few table points per period at this frequency: the output is a coarse "
                         "staircase of the waveform"},
        {ui.xLabel, "XE: the range of x over one period of the expression"},
        {ui.xFromBox, "x at the start of the period"},
        {ui.xToBox, "x at the end of the period"},
        {ui.exprEdit, "Expression in x and wt (the phase, 0 to 2 pi); Enter or Generate plays it"},
        {ui.generateButton, "Evaluate the expression over one period and play it"},
        {ui.mmlScroll, "The expression being generated"},
        {ui.openButton, "Load a table: a text file of up to 512 numbers"},
        {ui.saveButton, "Save the table as text, one number per line"},
    });
}

void Generator::hideEvent(QHideEvent* event) {
    Page::hideEvent(event);
    drawArbRelease();
}

QString Generator::pointerReadout(QPoint p) const {
    const QPoint c = Graph::fromCentre(p);
    const double X = c.x(), Y = c.y();
    // A frequency of 0 cannot be set; guard anyway so the readout never divides by it.
    const double t = freq > 0 ? X * 5 / 2560 / freq : 0.0;
    return QStringLiteral("  T: ") + Readout::format(t) + "s\n" + QStringLiteral("  U: ") +
           Readout::format(Y * 488 / 100000) + "V";
}

void Generator::start() {
    if (com)
        com->genStart();
    if (!tableSent)
        last = Params{};
    fSlot();
    typeSlot();
    gSlot();
}

void Generator::upload() {
    if (!com)
        return;
    com->sendGenChannel(outTab);
    tableSent = true;
}

void Generator::bufChange(int tabs, int type, int gain, int duty, int dcShift) {
    const int d = gen::dutyPoints(duty);
    switch (type) {
    case gen::Sine:
        gen::synthSine(wave, dcShift);
        break;
    case gen::Square:
        gen::synthSquare(wave, d, dcShift);
        break;
    case gen::Triangle:
        gen::synthTriangle(wave, d, dcShift);
        break;
    case gen::WhiteNoise:
    case gen::PinkNoise:
        if (noiseType != type) {
            noiseSeed = noiseSeed * 1664525u + 1013904223u;
            gen::synthNoise(noiseShape, type == gen::PinkNoise, noiseSeed);
            noiseType = type;
        }
        gen::applyOffset(noiseShape, wave, dcShift);
        break;
    case gen::Arbitrary:
        gen::shiftArbitrary(wave, dcShift);
        break;
    case gen::Function:
        // Evaluated before resampling, so that the one upload carries the current expression;
        // with none generated yet there is no table to play, and nothing is sent.
        if (generatedExpression.isEmpty()) {
            last = Params{tabs, type, gain, d, dcShift};
            tablesChanged();
            return;
        }
        refreshBuff();
        break;
    default:
        break;
    }
    if (tabs > 0)
        gen::resample(wave, outTab, tabs, gain);

    const Params now{tabs, type, gain, d, dcShift};
    if (now != last || type == gen::Function)
        upload();
    last = now;
    tablesChanged();
}

void Generator::tablesChanged() {
    gen::previewMaster(wave, masterPlot);
    gen::previewOutput(outTab, tabs, 0, 0, outputPlot);
    resultChanged();
}

void Generator::refreshBuff() {
    const double xFrom = ui.xFromBox->value(), xTo = ui.xToBox->value();
    for (int i = 0; i < gen::tableSize; ++i) {
        values[Scriptcalc::wtEntry] = float(wtPeriod * i * (1.0 / gen::tableSize));
        values[Scriptcalc::xEntry] = float((xTo - xFrom) * i * (1.0 / gen::tableSize) + xFrom);
        wave[i] = gen::tableValue(calc.calculateRPN(rpn, values));
    }
}

void Generator::paintPlot(Graph& graph) {
    graph.svWindow();
    graph.cursorV(gen::tableSize, Graph::markerColour());
    graph.signal2x(masterPlot, masterColour);
    graph.signal2x(outputPlot, outputColour);
}

void Generator::fMulSlot() {
    int step = 1;
    for (int m = ui.mulBox->value(); m > 0; --m)
        step *= 10;
    ui.freqBox->setSingleStep(step);
}

void Generator::planFreq() {
    freq = ui.freqBox->value();
    const gen::FreqPlan plan = gen::planFrequency(freq);
    tabs = plan.tabs;
    divider = plan.divider;
    ui.freqLabel->setText(QStringLiteral("Freq: ") + QString::number(plan.achieved) +
                          QStringLiteral("Hz"));
    ui.coarseLabel->setVisible(tabs < coarsePoints);
    ui.coarseLabel->setText(QString::number(tabs) + QStringLiteral(" points per period"));
    if (com)
        com->setFreq(divider, tabs);
}

void Generator::fSlot() {
    planFreq();
    bufChange(tabs, type, gain, duty, dcShift);
}

void Generator::sendSettings() {
    // Nothing generated yet: the function type has no table of its own to play.
    if (type == gen::Function && generatedExpression.isEmpty())
        return;
    last = Params{};
    planFreq();
    // A drawn or loaded table already holds its offset (bufChange would add it once more).
    const bool arbitrary = type == gen::Arbitrary;
    bufChange(tabs, type, gain, arbitrary ? 50 : duty, arbitrary ? 0 : dcShift);
}

void Generator::typeSlot() {
    type = ui.typeBox->currentIndex();
    const bool function = type == gen::Function;
    for (QWidget* w :
         std::initializer_list<QWidget*>{ui.exprEdit, ui.xFromBox, ui.xToBox, ui.xLabel})
        w->setEnabled(function);
    ui.generateButton->setEnabled(function && canGenerate());
    bufChange(tabs, type, gain, duty, dcShift);
}

void Generator::gSlot() {
    gain = ui.gainBox->value();
    bufChange(tabs, type, gain, duty, dcShift);
}

void Generator::dSlot() {
    duty = ui.dutyBox->value();
    bufChange(tabs, type, gain, duty, dcShift);
}

void Generator::oSlot() {
    dcShift = ui.offsetBox->value();
    bufChange(tabs, type, gain, duty, dcShift);
}

// Blank text would only give a flat line, and text the checker refuses has no defined meaning:
// neither is generated.
bool Generator::canGenerate() {
    const QString text = ui.exprEdit->toPlainText();
    return !text.trimmed().isEmpty() && calc.syntaxCheck(text);
}

void Generator::mathFuncSlot() {
    if (canGenerate())
        drawFunc();
}

// Removes every line break from the editor; true if there was one (the user pressed Enter, or
// pasted several lines). The removal joins the edit that brought the breaks in, so that one
// undo takes back both.
bool Generator::joinLines() {
    const QString text = ui.exprEdit->toPlainText();
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return false;
    joiningLines = true;
    // Document positions match the plain text one to one, a block break counting as one.
    QTextCursor cursor(ui.exprEdit->document());
    cursor.joinPreviousEditBlock();
    for (int i = text.size() - 1; i >= 0; --i) {
        if (text[i] == QLatin1Char('\n') || text[i] == QLatin1Char('\r')) {
            cursor.setPosition(i);
            cursor.deleteChar();
        }
    }
    cursor.endEditBlock();
    joiningLines = false;
    return true;
}

void Generator::mathFuncTextSlot() {
    if (joiningLines)
        return;
    const bool enter = joinLines();
    const bool ok = canGenerate();
    ui.generateButton->setEnabled(ok);
    // Until the text is generated the view shows an older formula: dim it and say why.
    ui.mmlWidget->setStale(true);
    ui.mmlScroll->setToolTip(
        ok ? tr("Formula last generated; press Generate (or Enter) for the new "
                "text")
           : tr("Not a valid expression; the formula shown is the last one "
                "generated"));
    if (enter && ok)
        drawFunc();
}

void Generator::xFuncSlot() {
    if (canGenerate())
        drawFunc();
}

void Generator::drawFunc() {
    std::fill(outTab, outTab + gen::tableSize, 0);
    const QString text = ui.exprEdit->toPlainText();
    char infix[Scriptcalc::infixSize] = {};
    calc.expressToInfix(text, infix, values);
    qCDebug(lcGen) << text;
    qCDebug(lcGen) << infix;

    QString message;
    int line = 0, column = 0;
    ui.mmlWidget->setContent(calc.presentExpress(infix, values), &message, &line, &column);
    ui.mmlWidget->resize(
        ui.mmlWidget->sizeHint().expandedTo(QSize(MmlWidget::minWidth, MmlWidget::minHeight)));
    ui.mmlWidget->setStale(false);
    ui.mmlScroll->setToolTip(tr("The expression being generated"));

    calc.infixToRPN(reinterpret_cast<const unsigned char*>(infix), rpn);
    generatedExpression = text;
    qCDebug(lcGen).noquote().nospace() << "RPN: " << reinterpret_cast<const char*>(rpn);

    bufChange(tabs, gen::Function, gain, 50, dcShift);
}

void Generator::drawArb(QMouseEvent* event) {
    const QPoint p = event->pos();
    if (type != gen::Arbitrary || event->buttons() != Qt::LeftButton)
        return;
    if (!Graph::contains(p))
        return;
    const int px = p.x() - Graph::left;
    const int v = Graph::fromCentre(p).y() * 8; // 8 table counts per pixel
    wave[px % gen::tableSize] = v;
    if (lastX >= 0)
        lineArb(wave, tabs, lastX, lastY, px, v);
    lastX = px;
    lastY = v;
    bufChange(tabs, gen::Arbitrary, gain, 50, 0);
}

void Generator::drawArbRelease() {
    if (lastX >= 0)
        upload();
    lastX = -1;
}

bool Generator::loadFile(const QString& path) {
    // Read into the master table only once the file is known to open: a mistyped name must not
    // replace what the device is playing with silence.
    int table[gen::tableSize];
    const core::GenRead read = core::readGenFile(path, table);
    if (read != core::GenRead::Ok) {
        // A picture, a binary or text without a number is no table: nothing changes.
        if (status)
            status->fail((read == core::GenRead::CannotOpen
                              ? QStringLiteral("Unable to read ")
                              : QStringLiteral("Not a waveform file: ")) +
                         QFileInfo(path).fileName());
        return false;
    }
    std::copy(table, table + gen::tableSize, wave);
    type = gen::Arbitrary;
    ui.typeBox->setCurrentIndex(gen::Arbitrary);
    bufChange(tabs, gen::Arbitrary, gain, 50, 0);
    upload();
    return true;
}

bool Generator::saveFile(const QString& path) const {
    if (core::writeGenFile(path, wave))
        return true;
    if (status)
        status->unableToSave(path);
    return false;
}

void Generator::openSlot() {
    const QString name = askOpenTextFile();
    if (!name.isEmpty())
        loadFile(name);
}

void Generator::saveSlot() {
    const QString name = askSaveTextFile();
    if (!name.isEmpty())
        saveFile(name);
}

namespace {
// The generator's spin boxes and their keys; the multiplier first: it sets the frequency box's
// step, not its value.
using GenSpin = QSpinBox* Generator::Widgets::*;
const std::pair<GenSpin, const char*> genSpins[] = {{&Generator::Widgets::mulBox, "gen/multiplier"},
                                                    {&Generator::Widgets::freqBox, "gen/frequency"},
                                                    {&Generator::Widgets::gainBox, "gen/amplitude"},
                                                    {&Generator::Widgets::dutyBox, "gen/duty"},
                                                    {&Generator::Widgets::offsetBox, "gen/offset"}};
// Longer text is no expression anyone typed; it would only slow the start down.
constexpr int maxExpression = 4096;
} // namespace

void Generator::saveSettings(QSettings& s) const {
    s.setValue(QStringLiteral("gen/type"), ui.typeBox->currentIndex());
    for (const auto& [box, key] : genSpins)
        s.setValue(QLatin1String(key), (ui.*box)->value());
    s.setValue(QStringLiteral("gen/xFrom"), ui.xFromBox->value());
    s.setValue(QStringLiteral("gen/xTo"), ui.xToBox->value());
    s.setValue(QStringLiteral("gen/expression"), generatedExpression);
}

void Generator::restoreSettings(const QSettings& s) {
    for (const auto& [box, key] : genSpins)
        Controls::setValue(s, QLatin1String(key), ui.*box);
    Controls::setValue(s, QStringLiteral("gen/xFrom"), ui.xFromBox);
    Controls::setValue(s, QStringLiteral("gen/xTo"), ui.xToBox);
    const QString expression = s.value(QStringLiteral("gen/expression")).toString();
    if (expression.size() <= maxExpression)
        ui.exprEdit->setPlainText(expression);
    int type = 0;
    // A drawn table is not kept: an arbitrary type has nothing to restore from.
    if (!Controls::readInt(s, QStringLiteral("gen/type"), 0, gen::Function, &type) ||
        type == gen::Arbitrary)
        return;
    // A function is generated first, as by "Generate"; a text the check refuses stays unplayed.
    if (type == gen::Function && canGenerate())
        drawFunc();
    ui.typeBox->setCurrentIndex(type);
    emit ui.typeBox->activated(type);
}

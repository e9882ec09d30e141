#include "app/remembered.h"

#include "app/mainwindow.h"
#include "device/statusnote.h"
#include "instruments/generator/generator.h"
#include "instruments/generator/gensynth.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/spectrum/analizator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <cmath>
#include <utility>

namespace {
// Longer text is no expression anyone typed; it would only slow the start down.
constexpr int maxExpression = 4096;

// The generator's spin boxes and their keys.
using GenSpin = QSpinBox* Generator::Widgets::*;
const std::pair<GenSpin, const char*> genSpins[] = {{&Generator::Widgets::mulBox, "gen/multiplier"},
                                                    {&Generator::Widgets::freqBox, "gen/frequency"},
                                                    {&Generator::Widgets::gainBox, "gen/amplitude"},
                                                    {&Generator::Widgets::dutyBox, "gen/duty"},
                                                    {&Generator::Widgets::offsetBox, "gen/offset"}};

bool readInt(const QSettings& store, const QString& key, int min, int max, int* out) {
    bool ok = false;
    const int v = store.value(key).toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

// The user's choice of an entry: the page's slot runs as for a pick from the list.
void pick(const QSettings& store, const QString& key, QComboBox* box) {
    int i = 0;
    if (!readInt(store, key, 0, box->count() - 1, &i))
        return;
    box->setCurrentIndex(i);
    emit box->activated(i);
}

void setValue(const QSettings& store, const QString& key, QSpinBox* box) {
    int v = 0;
    if (readInt(store, key, box->minimum(), box->maximum(), &v))
        box->setValue(v);
}

void setValue(const QSettings& store, const QString& key, QScrollBar* bar) {
    int v = 0;
    if (readInt(store, key, bar->minimum(), bar->maximum(), &v))
        bar->setValue(v);
}

void setValue(const QSettings& store, const QString& key, QDoubleSpinBox* box) {
    bool ok = false;
    const double v = store.value(key).toDouble(&ok);
    if (ok && std::isfinite(v) && v >= box->minimum() && v <= box->maximum())
        box->setValue(v);
}

void restoreOscilloscope(const QSettings& s, Oscyloskop& osc) {
    int two = 0;
    // First: the channel mode decides how many time bases the list offers.
    if (readInt(s, QStringLiteral("osc/ch2"), 0, 1, &two) &&
        two != int(osc.widgets().ch2Box->isChecked())) {
        osc.widgets().ch2Box->setChecked(two);
        emit osc.widgets().ch2Box->clicked(two);
    }
    pick(s, QStringLiteral("osc/timeDiv"), osc.widgets().tBox);
    pick(s, QStringLiteral("osc/voltDiv1"), osc.widgets().vBox1);
    pick(s, QStringLiteral("osc/voltDiv2"), osc.widgets().vBox2);
    pick(s, QStringLiteral("osc/trigMode"), osc.widgets().trigModeBox);
    pick(s, QStringLiteral("osc/trigEdge"), osc.widgets().trigEdgeBox);
    pick(s, QStringLiteral("osc/trigFilter"), osc.widgets().trigBandBox);
    setValue(s, QStringLiteral("osc/trigLevel"), osc.widgets().trigLevelBox);
    setValue(s, QStringLiteral("osc/xPos"), osc.widgets().xPosBar);
    setValue(s, QStringLiteral("osc/yPos1"), osc.widgets().yPosBar1);
    setValue(s, QStringLiteral("osc/yPos2"), osc.widgets().yPosBar2);
}

void restoreGenerator(const QSettings& s, const Generator& gen) {
    const Generator::Widgets& u = gen.widgets();
    // The multiplier first: it sets the frequency box's step, not its value.
    for (const auto& [box, key] : genSpins)
        setValue(s, QLatin1String(key), u.*box);
    setValue(s, QStringLiteral("gen/xFrom"), u.xFromBox);
    setValue(s, QStringLiteral("gen/xTo"), u.xToBox);
    const QString expression = s.value(QStringLiteral("gen/expression")).toString();
    if (expression.size() <= maxExpression)
        u.exprEdit->setPlainText(expression);
    int type = 0;
    // A drawn table is not kept: an arbitrary type has nothing to restore from.
    if (!readInt(s, QStringLiteral("gen/type"), 0, gen::Function, &type) || type == gen::Arbitrary)
        return;
    // A function is generated first, as by "Generate"; a text the check refuses stays unplayed.
    QPushButton* generate = u.generateButton;
    if (type == gen::Function && generate->isEnabled())
        emit generate->clicked(false);
    QComboBox* typeBox = u.typeBox;
    typeBox->setCurrentIndex(type);
    emit typeBox->activated(type);
}

void restoreSpectrum(const QSettings& s, Analizator& an) {
    pick(s, QStringLiteral("spectrum/span"), an.widgets().taBox);
    pick(s, QStringLiteral("spectrum/range"), an.widgets().vaBox);
    setValue(s, QStringLiteral("spectrum/offset"), an.widgets().xPosBar);
    int hold = 0;
    if (readInt(s, QStringLiteral("spectrum/maxHold"), 0, 1, &hold))
        an.widgets().holdBox->setChecked(hold);
}

void restoreLogic(const QSettings& s, AnalizatorLog& la) {
    pick(s, QStringLiteral("logic/rate"), la.widgets().rateBox);
    setValue(s, QStringLiteral("logic/zoom"), la.widgets().zoomBox);
    setValue(s, QStringLiteral("logic/offset"), la.widgets().offsetBar);
    for (int n = 0; n < LaLogic::channels; ++n) {
        int c = 0;
        QComboBox* box = la.widgets().trigBox[n];
        if (readInt(s, QStringLiteral("logic/trigger%1").arg(n), 0, box->count() - 1, &c))
            box->setCurrentIndex(c);
    }
}

void saveOscilloscope(QSettings& s, const Oscyloskop& osc) {
    s.setValue(QStringLiteral("osc/ch2"), int(osc.widgets().ch2Box->isChecked()));
    s.setValue(QStringLiteral("osc/timeDiv"), osc.widgets().tBox->currentIndex());
    s.setValue(QStringLiteral("osc/voltDiv1"), osc.widgets().vBox1->currentIndex());
    s.setValue(QStringLiteral("osc/voltDiv2"), osc.widgets().vBox2->currentIndex());
    s.setValue(QStringLiteral("osc/trigMode"), osc.widgets().trigModeBox->currentIndex());
    s.setValue(QStringLiteral("osc/trigEdge"), osc.widgets().trigEdgeBox->currentIndex());
    s.setValue(QStringLiteral("osc/trigFilter"), osc.widgets().trigBandBox->currentIndex());
    s.setValue(QStringLiteral("osc/trigLevel"), osc.widgets().trigLevelBox->value());
    s.setValue(QStringLiteral("osc/xPos"), osc.widgets().xPosBar->value());
    s.setValue(QStringLiteral("osc/yPos1"), osc.widgets().yPosBar1->value());
    s.setValue(QStringLiteral("osc/yPos2"), osc.widgets().yPosBar2->value());
}

void saveGenerator(QSettings& s, const Generator& gen) {
    const Generator::Widgets& u = gen.widgets();
    s.setValue(QStringLiteral("gen/type"), u.typeBox->currentIndex());
    for (const auto& [box, key] : genSpins)
        s.setValue(QLatin1String(key), (u.*box)->value());
    s.setValue(QStringLiteral("gen/xFrom"), u.xFromBox->value());
    s.setValue(QStringLiteral("gen/xTo"), u.xToBox->value());
    s.setValue(QStringLiteral("gen/expression"), u.exprEdit->toPlainText());
}

void saveSpectrum(QSettings& s, Analizator& an) {
    s.setValue(QStringLiteral("spectrum/span"), an.widgets().taBox->currentIndex());
    s.setValue(QStringLiteral("spectrum/range"), an.widgets().vaBox->currentIndex());
    s.setValue(QStringLiteral("spectrum/offset"), an.widgets().xPosBar->value());
    s.setValue(QStringLiteral("spectrum/maxHold"), int(an.widgets().holdBox->isChecked()));
}

void saveLogic(QSettings& s, const AnalizatorLog& la) {
    s.setValue(QStringLiteral("logic/rate"), la.widgets().rateBox->currentIndex());
    s.setValue(QStringLiteral("logic/zoom"), la.widgets().zoomBox->value());
    s.setValue(QStringLiteral("logic/offset"), la.widgets().offsetBar->value());
    for (int n = 0; n < LaLogic::channels; ++n)
        s.setValue(QStringLiteral("logic/trigger%1").arg(n),
                   la.widgets().trigBox[n]->currentIndex());
}
} // namespace

QString Remembered::path() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/zrv.conf");
}

void Remembered::restore(MainWindow& window) {
    const QString file = path();
    if (file.isEmpty())
        return;
    const QSettings store(file, QSettings::IniFormat);
    int version = 0;
    if (store.status() != QSettings::NoError ||
        !readInt(store, QStringLiteral("format"), format, format, &version))
        return;
    restoreOscilloscope(store, *window.oscPage());
    restoreGenerator(store, *window.genPage());
    restoreSpectrum(store, *window.anPage());
    restoreLogic(store, *window.laPage());
}

bool Remembered::save(const MainWindow& window) {
    const QString file = path();
    if (file.isEmpty())
        return false;
    QSettings store(file, QSettings::IniFormat);
    store.clear();
    store.setValue(QStringLiteral("format"), format);
    saveOscilloscope(store, *window.oscPage());
    saveGenerator(store, *window.genPage());
    saveSpectrum(store, *window.anPage());
    saveLogic(store, *window.laPage());
    store.sync();
    if (store.status() == QSettings::NoError)
        return true;
    StatusNote::settingsUnwritable(file);
    return false;
}

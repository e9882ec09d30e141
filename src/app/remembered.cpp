#include "app/remembered.h"

#include "app/mainwindow.h"
#include "device/statusnote.h"
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
// Generator types with nothing to restore from: the drawn table is not kept.
constexpr int arbitraryType = 5, functionType = 6;

// The generator's spin boxes (found by object name) and their keys.
const std::pair<const char*, const char*> genSpins[] = {{"mulBox", "gen/multiplier"},
                                                        {"freqBox", "gen/frequency"},
                                                        {"gainBox", "gen/amplitude"},
                                                        {"dutyBox", "gen/duty"},
                                                        {"offsetBox", "gen/offset"}};

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

template <typename W> W* named(const MainWindow& window, const char* name) {
    return window.findChild<W*>(QLatin1String(name));
}

void restoreOscilloscope(const QSettings& s, Oscyloskop& osc) {
    int two = 0;
    // First: the channel mode decides how many time bases the list offers.
    if (readInt(s, QStringLiteral("osc/ch2"), 0, 1, &two) && two != int(osc.ch2Box->isChecked())) {
        osc.ch2Box->setChecked(two);
        emit osc.ch2Box->clicked(two);
    }
    pick(s, QStringLiteral("osc/timeDiv"), osc.tBox);
    pick(s, QStringLiteral("osc/voltDiv1"), osc.vBox1);
    pick(s, QStringLiteral("osc/voltDiv2"), osc.vBox2);
    pick(s, QStringLiteral("osc/trigMode"), osc.trigModeBox);
    pick(s, QStringLiteral("osc/trigEdge"), osc.trigEdgeBox);
    pick(s, QStringLiteral("osc/trigFilter"), osc.trigBandBox);
    setValue(s, QStringLiteral("osc/trigLevel"), osc.trigLevelBox);
    setValue(s, QStringLiteral("osc/xPos"), osc.xPosBar);
    setValue(s, QStringLiteral("osc/yPos1"), osc.yPosBar1);
    setValue(s, QStringLiteral("osc/yPos2"), osc.yPosBar2);
}

void restoreGenerator(const QSettings& s, const MainWindow& w) {
    // The multiplier first: it sets the frequency box's step, not its value.
    for (const auto& [box, key] : genSpins)
        setValue(s, QLatin1String(key), named<QSpinBox>(w, box));
    setValue(s, QStringLiteral("gen/xFrom"), named<QDoubleSpinBox>(w, "xFromBox"));
    setValue(s, QStringLiteral("gen/xTo"), named<QDoubleSpinBox>(w, "xToBox"));
    const QString expression = s.value(QStringLiteral("gen/expression")).toString();
    if (expression.size() <= maxExpression)
        named<QPlainTextEdit>(w, "exprEdit")->setPlainText(expression);
    int type = 0;
    if (!readInt(s, QStringLiteral("gen/type"), 0, functionType, &type) || type == arbitraryType)
        return;
    // A function is generated first, as by "Generate"; a text the check refuses stays unplayed.
    auto* generate = named<QPushButton>(w, "generateButton");
    if (type == functionType && generate->isEnabled())
        emit generate->clicked(false);
    auto* typeBox = named<QComboBox>(w, "typeBox");
    typeBox->setCurrentIndex(type);
    emit typeBox->activated(type);
}

void restoreSpectrum(const QSettings& s, Analizator& an) {
    pick(s, QStringLiteral("spectrum/span"), an.spanBox());
    pick(s, QStringLiteral("spectrum/range"), an.rangeBox());
    setValue(s, QStringLiteral("spectrum/offset"), an.offsetBar());
    int hold = 0;
    if (readInt(s, QStringLiteral("spectrum/maxHold"), 0, 1, &hold))
        an.maxHoldBox()->setChecked(hold);
}

void restoreLogic(const QSettings& s, AnalizatorLog& la) {
    pick(s, QStringLiteral("logic/rate"), la.rateBox);
    setValue(s, QStringLiteral("logic/zoom"), la.zoomBox);
    setValue(s, QStringLiteral("logic/offset"), la.offsetBar);
    for (int n = 0; n < LaLogic::channels; ++n) {
        int c = 0;
        QComboBox* box = la.trigBox[n];
        if (readInt(s, QStringLiteral("logic/trigger%1").arg(n), 0, box->count() - 1, &c))
            box->setCurrentIndex(c);
    }
}

void saveOscilloscope(QSettings& s, const Oscyloskop& osc) {
    s.setValue(QStringLiteral("osc/ch2"), int(osc.ch2Box->isChecked()));
    s.setValue(QStringLiteral("osc/timeDiv"), osc.tBox->currentIndex());
    s.setValue(QStringLiteral("osc/voltDiv1"), osc.vBox1->currentIndex());
    s.setValue(QStringLiteral("osc/voltDiv2"), osc.vBox2->currentIndex());
    s.setValue(QStringLiteral("osc/trigMode"), osc.trigModeBox->currentIndex());
    s.setValue(QStringLiteral("osc/trigEdge"), osc.trigEdgeBox->currentIndex());
    s.setValue(QStringLiteral("osc/trigFilter"), osc.trigBandBox->currentIndex());
    s.setValue(QStringLiteral("osc/trigLevel"), osc.trigLevelBox->value());
    s.setValue(QStringLiteral("osc/xPos"), osc.xPosBar->value());
    s.setValue(QStringLiteral("osc/yPos1"), osc.yPosBar1->value());
    s.setValue(QStringLiteral("osc/yPos2"), osc.yPosBar2->value());
}

void saveGenerator(QSettings& s, const MainWindow& w) {
    s.setValue(QStringLiteral("gen/type"), named<QComboBox>(w, "typeBox")->currentIndex());
    for (const auto& [box, key] : genSpins)
        s.setValue(QLatin1String(key), named<QSpinBox>(w, box)->value());
    s.setValue(QStringLiteral("gen/xFrom"), named<QDoubleSpinBox>(w, "xFromBox")->value());
    s.setValue(QStringLiteral("gen/xTo"), named<QDoubleSpinBox>(w, "xToBox")->value());
    s.setValue(QStringLiteral("gen/expression"),
               named<QPlainTextEdit>(w, "exprEdit")->toPlainText());
}

void saveSpectrum(QSettings& s, Analizator& an) {
    s.setValue(QStringLiteral("spectrum/span"), an.spanBox()->currentIndex());
    s.setValue(QStringLiteral("spectrum/range"), an.rangeBox()->currentIndex());
    s.setValue(QStringLiteral("spectrum/offset"), an.offsetBar()->value());
    s.setValue(QStringLiteral("spectrum/maxHold"), int(an.maxHoldBox()->isChecked()));
}

void saveLogic(QSettings& s, const AnalizatorLog& la) {
    s.setValue(QStringLiteral("logic/rate"), la.rateBox->currentIndex());
    s.setValue(QStringLiteral("logic/zoom"), la.zoomBox->value());
    s.setValue(QStringLiteral("logic/offset"), la.offsetBar->value());
    for (int n = 0; n < LaLogic::channels; ++n)
        s.setValue(QStringLiteral("logic/trigger%1").arg(n), la.trigBox[n]->currentIndex());
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
    restoreGenerator(store, window);
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
    saveGenerator(store, window);
    saveSpectrum(store, *window.anPage());
    saveLogic(store, *window.laPage());
    store.sync();
    if (store.status() == QSettings::NoError)
        return true;
    StatusNote::settingsUnwritable(file);
    return false;
}

#include "instruments/controls.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <cmath>

namespace Controls {

void tips(std::initializer_list<std::pair<QWidget*, const char*>> tips) {
    for (const auto& [widget, text] : tips)
        widget->setToolTip(QObject::tr(text));
}

bool readInt(const QSettings& store, const QString& key, int min, int max, int* out) {
    bool ok = false;
    const int v = store.value(key).toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

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

} // namespace Controls

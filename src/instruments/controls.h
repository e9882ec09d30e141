#pragma once

#include <QString>
#include <initializer_list>
#include <utility>

class QComboBox;
class QDoubleSpinBox;
class QScrollBar;
class QSettings;
class QSpinBox;
class QWidget;

// What every page does with its controls: tooltips, and remembered values put back the way a
// user would set them. A value out of its control's range (an older or damaged store) is passed
// over: the control keeps its default.
namespace Controls {

// Each widget's tooltip: what it does, in which unit ("dz" is one grid division).
void tips(std::initializer_list<std::pair<QWidget*, const char*>> tips);

// An int in min .. max stored under `key`; false (and `out` untouched) otherwise.
bool readInt(const QSettings& store, const QString& key, int min, int max, int* out);
// The entry stored under `key` chosen as a user picks it: the box's activated signal runs.
void pick(const QSettings& store, const QString& key, QComboBox* box);
// The value stored under `key`, set as by the user (its valueChanged signal runs).
void setValue(const QSettings& store, const QString& key, QSpinBox* box);
void setValue(const QSettings& store, const QString& key, QScrollBar* bar);
void setValue(const QSettings& store, const QString& key, QDoubleSpinBox* box);

} // namespace Controls

#include "instruments/limitedspinbox.h"

#include <algorithm>

LimitedSpinBox::LimitedSpinBox(QWidget* parent) : QSpinBox(parent) {
    setKeyboardTracking(false);
}

bool LimitedSpinBox::typedNumber(const QString& text, qlonglong* number) const {
    QString digits = text;
    if (!prefix().isEmpty() && digits.startsWith(prefix()))
        digits.remove(0, prefix().size());
    if (!suffix().isEmpty() && digits.endsWith(suffix()))
        digits.chop(suffix().size());
    bool ok = false;
    *number = locale().toLongLong(digits.trimmed(), &ok);
    return ok;
}

QValidator::State LimitedSpinBox::validate(QString& text, int& pos) const {
    const QValidator::State state = QSpinBox::validate(text, pos);
    qlonglong number = 0;
    // Not acceptable yet, but kept: fixup() limits it once the value is applied.
    if (state == QValidator::Invalid && typedNumber(text, &number))
        return QValidator::Intermediate;
    return state;
}

void LimitedSpinBox::fixup(QString& text) const {
    qlonglong number = 0;
    if (!typedNumber(text, &number) || (number >= minimum() && number <= maximum())) {
        QSpinBox::fixup(text);
        return;
    }
    const int value = int(std::clamp<qlonglong>(number, minimum(), maximum()));
    text = prefix() + textFromValue(value) + suffix();
    emit limited(value);
}

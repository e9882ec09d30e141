#pragma once

#include <QSpinBox>

// A spin box whose typed value counts once it is complete: keyboard tracking is off (Enter,
// leaving the box or an arrow step applies it), and a typed number beyond the range is taken,
// limited to the range and reported through limited(), where a plain QSpinBox would refuse the
// last key and keep a different number without a word.
class LimitedSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit LimitedSpinBox(QWidget* parent = nullptr);

    QValidator::State validate(QString& text, int& pos) const override;
    void fixup(QString& text) const override;

signals:
    // A typed number was out of range and became `value`.
    void limited(int value) const;

private:
    // The typed number without prefix and suffix; false when it is no integer.
    bool typedNumber(const QString& text, qlonglong* number) const;
};

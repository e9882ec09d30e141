#pragma once

// The generator's path from typed text to values, for the calculator tests.
#include "scriptcalc.h"

#include <QString>

#include <cmath>

struct CalcRun {
    Scriptcalc calc;
    char infix[Scriptcalc::infixSize] = {};
    unsigned char rpn[Scriptcalc::rpnSize] = {};
    float values[Scriptcalc::valueCount] = {};

    explicit CalcRun(const QString& text) {
        calc.expressToInfix(text, infix, values);
        calc.infixToRPN(reinterpret_cast<const unsigned char*>(infix), rpn);
    }
    float at(float x, float wt = 0.0f) {
        values[0] = x;
        values[13] = wt;
        return calc.calculateRPN(rpn, values);
    }
    QString postfix() const { return QString::fromLatin1(reinterpret_cast<const char*>(rpn)); }
};

// Entry of the value table that the n-th literal (1-based) of a text lands in.
inline int literalEntry(int n) {
    return n <= 9 ? n : n + 4;
}

// Equal within tol, NaN equal to NaN, infinities equal by sign.
inline bool near(double actual, double expected, double tol) {
    if (std::isnan(expected))
        return std::isnan(actual);
    if (std::isinf(expected))
        return actual == expected;
    return std::fabs(actual - expected) <= tol;
}

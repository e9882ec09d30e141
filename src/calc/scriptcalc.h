#pragma once

#include <QString>

namespace calc {
// Character classes of typed expressions and of infix code strings.
bool isNumber(char c);
bool isNumberInf(char c);
bool isFloat(char c);
bool isExpr(char c);
// True for the operators (+ - * / ^ ...), not for operands, despite its name.
bool isOperand(char c);
bool isFunc(char c);
bool isVariableInfix(char c);
unsigned int factorial(unsigned int n);
} // namespace calc

// The expression calculator: typed text -> infix codes -> postfix codes -> value, plus the
// syntax check and the MathML presentation. Keeps no state between calls.
//
// Value codes: "0" is x, "1".."9" literal slots 1..9, ":" e, ";" pi, "<" j, "=" wt (entry 13),
// and ">", "?", "@" literal slots 10..12 (entries 14..16). A value table therefore needs
// valueCount entries; every code indexes it as code - '0'.
class Scriptcalc {
public:
    static constexpr int infixSize = 216;   // bytes of an infix code buffer, NUL included
    static constexpr int rpnSize = 500;     // bytes of a postfix code buffer, NUL included
    static constexpr int valueCount = 17;   // value table: x, literals, wt at 13, literals 14..16
    static constexpr int xEntry = 0;        // the value table's entry of x
    static constexpr int wtEntry = 13;      // the value table's entry of wt
    static constexpr int literalSlots = 12; // literal slots an infix string can use
    static constexpr int maxNumbers = 10;   // numbers a checked text may contain

    bool readFunc(const char* s, char* code, int* length);
    void expressToInfix(const QString& text, char* infix, float* values);
    void infixToRPN(const unsigned char* infix, unsigned char* rpn);
    float calculateRPN(const unsigned char* rpn, const float* values);
    float operation(float a, float b, unsigned char op);
    void operationComplex(float* re, float* im, float aRe, float aIm, float bRe, float bIm,
                          unsigned char op);
    bool syntaxCheck(const QString& text);
    QString presentExpress(const char* infix, const float* values);
    QString createMML(const QString& s);

    // expressToInfix without the debug lines. Returns false, leaving infix empty, when the
    // text needs more than infixSize - 1 codes or more than literalSlots literal slots.
    static bool translate(const QString& text, char* infix, float* values);
    // The typed text as Latin-1 bytes (0 for a character without one), without spaces and
    // without characters that have no role (unknown capitals, "y", "z", "w" without "t",
    // ":".."@", "["..."`" except "^").
    static QByteArray compactText(const QString& text);
};

#pragma once

#include <QString>

// Character classes of typed expressions and of infix code strings.
bool isNumber(char c);
bool isNumberInf(char c);
bool isFloat(char c);
bool isExpr(char c);
bool isOperand(char c);
bool isFunc(char c);
bool isVariableInfix(char c);
unsigned int factorial(unsigned int n);

// The expression calculator: typed text -> infix codes -> postfix codes -> value, plus the
// syntax check and the MathML presentation. Keeps no state between calls.
class Scriptcalc {
public:
    static constexpr int infixSize = 216; // bytes of an infix code buffer, NUL included
    static constexpr int rpnSize = 500;   // bytes of a postfix code buffer, NUL included
    static constexpr int valueCount = 14; // value table: x, literal slots, wt at 13

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
};

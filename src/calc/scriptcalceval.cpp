// Infix codes -> postfix codes (shunting-yard), and evaluation of postfix codes on complex values.
#include "calc/calccodes.h"
#include "calc/scriptcalc.h"

#include <cmath>
#include <complex>
#include <cstring>

using namespace calc;

namespace {

bool isAdditive(unsigned char c) {
    return c == '+' || c == '-';
}
bool isMultiplicative(unsigned char c) {
    return c == '*' || c == '/' || c == '%';
}
bool isOperatorCode(unsigned char c) {
    return isOperand(char(c));
}

// Postfix output and operator stack of one conversion, both bounded.
class Converter {
public:
    explicit Converter(unsigned char* rpn) : rpn(rpn) { std::memset(rpn, 0, Scriptcalc::rpnSize); }

    void emit(unsigned char c) {
        if (out < Scriptcalc::rpnSize - 1)
            rpn[out++] = c;
    }
    void push(unsigned char c) {
        if (top < Scriptcalc::rpnSize)
            stack[top++] = c;
    }
    unsigned char peek() const { return top ? stack[top - 1] : '\0'; }
    void popToOutput() { emit(stack[--top]); }

    // Pops up to the innermost "(" (left on the stack); a missing "(" empties the stack.
    void popToBracket() {
        while (top && peek() != '(')
            popToOutput();
    }

    void dropBracket() {
        if (peek() == '(')
            --top;
    }

    void operatorCode(unsigned char c) {
        while (top && calccode::isFunctionCode(peek()))
            popToOutput();
        if (isAdditive(c)) {
            while (top && isOperatorCode(peek()))
                popToOutput();
        } else if (isMultiplicative(c)) {
            while (top && isOperatorCode(peek()) && !isAdditive(peek()))
                popToOutput();
        }
        push(c);
    }

    void finish() {
        while (top)
            popToOutput();
    }

private:
    unsigned char* rpn;
    int out = 0;
    unsigned char stack[Scriptcalc::rpnSize];
    int top = 0;
};

void applyFunction(unsigned char f, float& re, float& im) {
    switch (f) {
    case 'a':
        re = float(std::log(double(re)));
        break;
    case 'b':
        re = float(std::tan(double(re)));
        break;
    case 'e':
        re = float(std::sin(double(re)));
        break;
    case 'f':
        re = float(std::cos(double(re)));
        break;
    case 'g':
        re = float(std::log10(double(re)));
        break;
    case 'h':
        re = float(std::sqrt(double(re) * re + double(im) * im));
        im = 0.0f;
        break;
    case 'i':
        re = re < 0.0f ? 1.0f : 0.0f;
        break;
    default: // "c", "d" and other letters leave the value alone
        break;
    }
}

} // namespace

void Scriptcalc::infixToRPN(const unsigned char* infix, unsigned char* rpn) {
    Converter conv(rpn);
    for (int i = 0; i < infixSize - 1 && infix[i]; ++i) {
        const unsigned char c = infix[i];
        if (calccode::isOperandCode(c)) {
            conv.emit(c);
        } else if (c == '(' || calccode::isFunctionCode(c)) {
            conv.push(c);
        } else if (c == ',') {
            conv.popToBracket();
        } else if (c == ')') {
            conv.popToBracket();
            conv.dropBracket();
        } else if (isOperatorCode(c)) {
            conv.operatorCode(c);
        }
    }
    conv.finish();
}

float Scriptcalc::calculateRPN(const unsigned char* rpn, const float* values) {
    // One entry per code at most, so the stack cannot overflow.
    float re[rpnSize];
    float im[rpnSize];
    int sp = 0;
    for (int i = 0; i < rpnSize - 1 && rpn[i]; ++i) {
        const unsigned char c = rpn[i];
        if (calccode::isValueCode(c) || c == ':' || c == ';' || c == '<') {
            re[sp] = c == ':'   ? 2.71828f
                     : c == ';' ? 3.14159f
                     : c == '<' ? 0.0f
                                : values[calccode::valueIndex(c)];
            im[sp] = c == '<' ? 1.0f : 0.0f;
            ++sp;
        } else if (calccode::isFunctionCode(c) || c == '!') {
            if (sp < 1)
                return 0.0f; // nothing to apply it to
            if (c == '!')
                re[sp - 1] = operation(re[sp - 1], 0.0f, '!');
            else
                applyFunction(c, re[sp - 1], im[sp - 1]);
        } else if (isOperatorCode(c)) {
            if (sp < 2)
                return 0.0f; // an operand is missing
            --sp;
            float& aRe = re[sp - 1];
            float& aIm = im[sp - 1];
            if (aIm == 0.0f && im[sp] == 0.0f) {
                aRe = operation(aRe, re[sp], c);
            } else {
                float r = 0.0f;
                float j = 0.0f;
                operationComplex(&r, &j, aRe, aIm, re[sp], im[sp], c);
                aRe = r;
                aIm = j;
            }
        }
    }
    return sp ? re[sp - 1] : 0.0f;
}

float Scriptcalc::operation(float a, float b, unsigned char op) {
    switch (op) {
    case '+':
        return a + b;
    case '-':
        return a - b;
    case '*':
        return a * b;
    case '/':
        return a / b;
    case '^':
        return float(std::pow(double(a), double(b)));
    case '!':
        // a truncated to an integer; the 32-bit product wraps. NaN has no integer part and stays
        // NaN; anything from 34 on (infinity too) wraps to 0.
        if (std::isnan(a))
            return a;
        if (a < 2.0f)
            return 1.0f;
        return float(factorial(a >= 34.0f ? 34u : static_cast<unsigned int>(a)));
    default:
        return 0.0f;
    }
}

void Scriptcalc::operationComplex(float* re, float* im, float aRe, float aIm, float bRe, float bIm,
                                  unsigned char op) {
    switch (op) {
    case '+':
        *re = aRe + bRe;
        *im = aIm + bIm;
        break;
    case '-':
        *re = aRe - bRe;
        *im = aIm - bIm;
        break;
    case '*':
        *re = aRe * bRe - aIm * bIm;
        *im = aRe * bIm + bRe * aIm;
        break;
    case '/': {
        const float d = bRe * bRe + bIm * bIm;
        *re = (aRe * bRe + aIm * bIm) / d;
        *im = (aIm * bRe - aRe * bIm) / d;
        break;
    }
    case '^': {
        // std::pow on complex<float> is the C library's cpowf.
        const std::complex<float> r =
            std::pow(std::complex<float>(aRe, aIm), std::complex<float>(bRe, bIm));
        *re = r.real();
        *im = r.imag();
        break;
    }
    default:
        break;
    }
}

// Character classes, function names and the tokenizer: typed text -> infix code string.
#include "calc/scriptcalc.h"
#include "calc/calccodes.h"
#include "calc/calclog.h"
#include "calc/funcnames.h"

#include <cstdlib>

namespace calc {

bool isNumber(char c) {
    return isNumberInf(c) || c == '.';
}
bool isNumberInf(char c) {
    return c >= '0' && c <= '9';
}
bool isFloat(char c) {
    return isNumber(c) || c == '-';
}
bool isExpr(char c) {
    return (c >= '!' && c <= '/' && c != '.') || c == '^';
}
bool isOperand(char c) {
    return isExpr(c) && c != '(' && c != ')';
}
bool isFunc(char c) {
    return c >= 'a' && c <= 'w' && c != 'e' && c != 'j' && c != 'p' && c != 'w';
}
bool isVariableInfix(char c) {
    return c == '0' || c == ':' || c == ';' || c == '<';
}

unsigned int factorial(unsigned int n) {
    // From 34 on the product holds 2^32 as a factor, so its low 32 bits are 0. Returning that
    // directly also keeps a huge n from looping for seconds.
    if (n >= 34)
        return 0;
    unsigned int r = 1;
    for (unsigned int i = 2; i <= n; ++i)
        r *= i;
    return r;
}

} // namespace calc

using namespace calc;

bool Scriptcalc::readFunc(const char* s, char* code, int* length) {
    return matchFunc(s, code, length);
}

namespace {

// Characters with no role in an expression: ":" .. "@", capitals other than "I", "[" .. "`",
// "y", "z". They are dropped like spaces, so that "2^y3" reads as "2^3" for both the check and
// the tokenizer.
bool isIgnored(char c) {
    return (c >= ':' && c <= '@') || (c >= 'A' && c <= 'Z' && c != 'I') ||
           (c >= '[' && c <= '`' && c != '^') || c == 'y' || c == 'z';
}

} // namespace

QByteArray Scriptcalc::compactText(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar ch : text) {
        if (ch != QLatin1Char(' '))
            bytes.append(ch.unicode() < 256 ? char(ch.unicode()) : '\0');
    }
    QByteArray out;
    out.reserve(bytes.size());
    const char* s = bytes.constData(); // NUL-terminated, so s[i + 1] is always there
    for (int i = 0; i < bytes.size(); ++i) {
        if (!isIgnored(s[i]) && (s[i] != 'w' || s[i + 1] == 't'))
            out.append(s[i]);
    }
    return out;
}

void Scriptcalc::expressToInfix(const QString& text, char* infix, float* values) {
    qCDebug(lcCalc).nospace() << "len: " << text.length();
    qCDebug(lcCalc) << compactText(text);
    translate(text, infix, values);
}

namespace {

// A '-' after one of these starts a signed literal rather than a subtraction. The postfix "!"
// ends an operand like ")", so "x!-1" is a subtraction.
bool opensOperand(char p) {
    return (p >= '!' && p <= '/' && p != '.' && p != ')' && p != '!') || p == '^';
}

// Operators that bind no tighter than "*": a negation bracket closes before them.
bool isLoose(char c) {
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '%' || c == ',';
}

// Length of the operand letter at s ("x", "e", "p", "j" or "wt"), 0 if there is none.
int operandLength(const char* s) {
    if (s[0] == 'x' || s[0] == 'e' || s[0] == 'p' || s[0] == 'j')
        return 1;
    return s[0] == 'w' && s[1] == 't' ? 2 : 0;
}

char operandCode(char c) {
    switch (c) {
    case 'x':
        return '0';
    case 'e':
        return ':';
    case 'p':
        return ';';
    case 'j':
        return '<';
    default:
        return '=';
    }
}

// Reads the digits and dots at s[i] as one decimal number and advances i past them. The digits
// after the first dot are the decimals; further dots are skipped. Any count of digits is read
// exactly (no fixed-width accumulator), so long literals round instead of overflowing.
float readNumber(const char* s, int& i) {
    QByteArray digits;
    int decimals = 0;
    bool dot = false;
    for (; isNumber(s[i]); ++i) {
        if (s[i] == '.') {
            dot = true;
            continue;
        }
        digits.append(s[i]);
        if (dot)
            ++decimals;
    }
    if (digits.isEmpty())
        return 0.0f;
    digits.append("e-").append(QByteArray::number(decimals));
    return float(std::strtod(digits.constData(), nullptr));
}

// Output side of the tokenizer: bounded writes, literal slots and negation brackets.
class InfixWriter {
public:
    InfixWriter(char* out, float* values) : out(out), values(values) {}

    bool failed() const { return fail; }
    bool empty() const { return len == 0; }
    char last() const { return len ? out[len - 1] : '\0'; }

    void put(char c) {
        if (len >= Scriptcalc::infixSize - 1) {
            fail = true;
            return;
        }
        out[len++] = c;
    }

    // An operator or bracket as typed (or an implied "*").
    void putOperator(char c) {
        if (c == ')' || isLoose(c))
            closeNegations();
        put(c);
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
    }

    void putLiteral(float v) {
        if (usedSlots >= Scriptcalc::literalSlots) {
            fail = true;
            return;
        }
        const char code = calccode::slotCode(++usedSlots);
        values[calccode::valueIndex(code)] = v;
        put(code);
    }

    // "-" before a letter, function or bracket: -1 times what follows. After a tighter
    // operator ("/", "^", ...) the product is bracketed, so that x/-x is x/(-x), not (x/-1)x.
    // All negations share one slot, which bounds the usedSlots a text can use.
    void putNegation(bool bracket) {
        if (bracket) {
            put('(');
            ++depth;
            if (negations == Scriptcalc::infixSize) {
                fail = true;
                return;
            }
            negationDepth[negations++] = depth;
        }
        if (minusOne)
            put(minusOne);
        else {
            putLiteral(-1.0f);
            minusOne = last();
        }
        put('*');
    }

    bool finish() {
        while (negations > 0) {
            put(')');
            --negations;
        }
        out[fail ? 0 : len] = '\0';
        return !fail;
    }

private:
    void closeNegations() {
        while (negations > 0 && negationDepth[negations - 1] == depth) {
            put(')');
            --depth;
            --negations;
        }
    }

    char* out;
    float* values;
    int len = 0;
    int usedSlots = 0;
    int depth = 0;
    bool fail = false;
    char minusOne = '\0';
    int negations = 0;
    int negationDepth[Scriptcalc::infixSize];
};

// A literal at s[i] ("-" signs and/or digits and dots), p the character that was read before
// it. Returns the position after it.
int readLiteral(const char* s, int i, char p, InfixWriter& w) {
    const bool tight = p != '+' && p != '-' && p != '*' && p != '(' && p != ',';
    bool negative = false;
    for (; s[i] == '-'; ++i)
        negative = !negative; // "--" cancels
    if (isNumber(s[i])) {
        const float v = readNumber(s, i);
        w.putLiteral(negative ? -v : v);
        return i;
    }
    char code;
    int length;
    const bool negatable = operandLength(s + i) || s[i] == '(' || matchFunc(s + i, &code, &length);
    if (negative && negatable)
        w.putNegation(tight);
    // A sign before nothing it could apply to is dropped.
    return i;
}

// An operand letter at s[i], with its implied products and a directly following exponent.
int readOperandLetter(const char* s, int i, int length, char p, InfixWriter& w) {
    if (!w.empty() && (calccode::isOperandCode(w.last()) || p == ')'))
        w.putOperator('*');
    w.put(operandCode(s[i]));
    i += length;
    if (isNumber(s[i])) {
        const float v = readNumber(s, i);
        w.putOperator('^');
        w.putLiteral(v);
    } else if (s[i] == '(') {
        w.putOperator('*');
    }
    return i;
}

} // namespace

bool Scriptcalc::translate(const QString& text, char* infix, float* values) {
    // Two NULs after the text, so that every look-ahead stays inside the copy.
    const QByteArray copy = compactText(text) + QByteArray(2, '\0');
    const char* s = copy.constData();
    const int n = copy.size() - 2;
    InfixWriter w(infix, values);
    char p = '('; // the last character read as part of a token
    for (int i = 0; i < n && !w.failed();) {
        const char c = s[i];
        char code;
        int length;
        if (isFloat(c) && opensOperand(p)) {
            i = readLiteral(s, i, p, w);
        } else if (isExpr(c)) {
            w.putOperator(c);
            ++i;
        } else if (matchFunc(s + i, &code, &length)) {
            w.put(code);
            i += length;
        } else if ((length = operandLength(s + i)) > 0) {
            i = readOperandLetter(s, i, length, p, w);
        } else {
            ++i; // unknown function letter, dropped digit, NUL, character beyond "z"
            continue;
        }
        p = s[i - 1];
    }
    return w.finish();
}

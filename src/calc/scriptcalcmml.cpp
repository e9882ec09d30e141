// The syntax check of typed text and the MathML presentation of infix code strings.
#include "calc/calccodes.h"
#include "calc/funcnames.h"
#include "calc/scriptcalc.h"

#include <QStringView>

using namespace calc;

namespace {

constexpr int maxNumberLength = 21; // characters of one number, dots included
constexpr int maxGroups = 20;       // the presentation gives up when it needs this many groups

// Operators without a meaning (they evaluate to 0 and show nothing): the check rejects them.
bool isVoidOperator(char c) {
    return c == '"' || c == '#' || c == '$' || c == '&' || c == '\'' || c == ',';
}

bool isOperandLetter(const char* s) {
    return s[0] == 'x' || s[0] == 'e' || s[0] == 'p' || s[0] == 'j' || (s[0] == 'w' && s[1] == 't');
}

// The token rules, applied to the compact copy (NUL-terminated) token by token. Every byte is
// scanned, so a character without a Latin-1 byte (stored as 0) is rejected, not taken as the
// end of the text.
class TokenChecker {
public:
    explicit TokenChecker(const QByteArray& copy) : s(copy.constData()), n(copy.size()) {}

    bool accepts() {
        for (int i = 0; i < n;) {
            before = prev;
            prev = Before();
            first = atStart;
            atStart = false;
            if (!token(i))
                return false;
        }
        return numbers <= Scriptcalc::maxNumbers && !pending && depth == 0;
    }

private:
    // What the token before the current one was.
    struct Before {
        bool number = false;
        bool letter = false;
        bool open = false;
        bool close = false;
    };

    // Checks the token at s[i] and moves i past it.
    bool token(int& i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '(' || c == ')') {
            ++i;
            return c == '(' ? openBracket() : closeBracket();
        }
        if (c < 0x20 || c > 0x7A)
            return false;
        if (isNumber(char(c)))
            return number(i);
        if (isOperand(char(c))) {
            ++i;
            return operatorSign(c);
        }
        if (isOperandLetter(s + i)) {
            i += c == 'w' ? 2 : 1;
            return operandLetter();
        }
        if (isFunc(char(c)) || c == 'I')
            return function(i);
        prev = before; // nothing else is left in the copy; kept neutral all the same
        atStart = first;
        ++i;
        return true;
    }

    bool openBracket() {
        ++depth;
        prev.open = true;
        atStart = true;
        return !before.number && !before.close;
    }

    bool closeBracket() {
        prev.close = true;
        return !before.open && --depth >= 0;
    }

    bool number(int& i) {
        const int start = i;
        while (i < n && isNumber(s[i]))
            ++i;
        ++numbers;
        pending = false;
        prev.number = true;
        return !bang && !before.close && i - start <= maxNumberLength;
    }

    bool operatorSign(unsigned char c) {
        if (isVoidOperator(char(c)) || (c != '-' && (pending || first)))
            return false;
        if (c == '!') {
            bang = true;
        } else if (!pending) { // a "-" while pending is a sign and changes nothing
            pending = true;
            bang = false;
        }
        return true;
    }

    bool operandLetter() {
        pending = false;
        prev.letter = true;
        return !bang;
    }

    bool function(int& i) {
        char code;
        int length;
        if (before.close || before.letter || bang || !matchFunc(s + i, &code, &length))
            return false;
        i += length;
        return s[i] == '(' || isOperandLetter(s + i); // the argument follows the name
    }

    const char* s;
    int n;
    Before before;
    Before prev;
    bool first = true;
    bool atStart = true;  // start of the text or of a bracket: no binary operator yet
    bool bang = false;    // a postfix "!" waits for an operator
    bool pending = false; // an operator waits for its right operand
    int depth = 0;
    int numbers = 0;
};

QString codeText(QChar c, QChar prev, QChar next) {
    switch (c.unicode()) {
    case '=':
        return QStringLiteral("<mrow><mo>&omega;</mo><mi>t</mi></mrow>");
    case '^':
        return QStringLiteral("</mrow><mrow>");
    case '0':
        return QStringLiteral("<mi>x</mi>");
    case ':':
        return QStringLiteral("<mi>e</mi>");
    case ';':
        return QStringLiteral("<mo>&pi;</mo>");
    case '<':
        return QStringLiteral("<mi>j</mi>");
    case '+':
        return QStringLiteral("<mo>+</mo>");
    case '-':
        return QStringLiteral("<mo>-</mo>");
    case 'a':
        return QStringLiteral("<mo>ln</mo>");
    case 'b':
        return QStringLiteral("<mo>tg</mo>");
    case 'e':
        return QStringLiteral("<mo>sin</mo>");
    case 'f':
        return QStringLiteral("<mo>cos</mo>");
    case 'g':
        return QStringLiteral("<mo>log</mo>");
    case 'h':
        return QStringLiteral("<mo>abs</mo>");
    case 'i':
        return QStringLiteral("<mo>&wp;</mo>");
    case '!':
        return QStringLiteral("<mo>!</mo>");
    case '(':
        return QStringLiteral("<mo>(</mo>");
    case ')':
        return QStringLiteral("<mo>)</mo>");
    case '*':
        // x, e, pi and j stand beside their factor without a dot
        if (isVariableInfix(prev.toLatin1()) || isVariableInfix(next.toLatin1()))
            return QString();
        return QStringLiteral("<mo>&middot;</mo>");
    default:
        break;
    }
    if (c.unicode() < 128 && calccode::isLiteralCode(uchar(c.unicode())))
        return QStringLiteral("<mn>") + c + QStringLiteral("</mn>");
    if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        return QString(c); // a group, expanded later
    return QString();
}

// Groups of one presentation: bracketed spans and powers cut out of the code string, each
// replaced by its letter "A" + index.
class Groups {
public:
    int count() const { return k; }
    const QString& at(int g) const { return group[g]; }

    // Moves from[start..end] into a new group. False once the group limit is reached.
    bool cut(QString& from, int start, int end) {
        group[k] = from.mid(start, end - start + 1);
        from.replace(start, end - start + 1, QChar(QLatin1Char(char('A' + k))));
        return ++k < maxGroups;
    }

    // Every "^" with its two operands, last one first.
    bool cutPowers(QString& s) {
        for (int t; (t = s.lastIndexOf(QLatin1Char('^'))) >= 0;) {
            if (!cut(s, qMax(0, t - 1), qMin(int(s.size()) - 1, t + 1)))
                return false;
        }
        return true;
    }

    // Bracketed spans, the last "(" first, each with the function code in front of it.
    bool cutBrackets(QString& s) {
        for (int p; (p = s.lastIndexOf(QLatin1Char('('))) >= 0;) {
            int q = s.indexOf(QLatin1Char(')'), p);
            if (q < 0)
                q = s.size() - 1; // unbalanced text: the group runs to the end
            if (p > 0 && s[p - 1] >= QLatin1Char('a') && s[p - 1] <= QLatin1Char('k'))
                --p;
            const int g = k;
            if (!cut(s, p, q) || !cutPowers(group[g]))
                return false;
        }
        return true;
    }

private:
    QString group[maxGroups];
    int k = 0;
};

int firstCapital(const QString& s) {
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] >= QLatin1Char('A') && s[i] <= QLatin1Char('Z'))
            return i;
    }
    return -1;
}

// A bracketed group that is a whole numerator or denominator loses its two bracket characters.
void dropFractionBrackets(const QString& result, int at, QString& m) {
    static const QString open = QStringLiteral("<mo>(</mo>");
    if (!m.startsWith(open))
        return;
    const QStringView r(result);
    if (!r.left(at).endsWith(QLatin1String("<mfrac><mrow>")) &&
        !r.mid(at + 1).startsWith(QLatin1String("</mrow></mfrac>")))
        return;
    const int last = m.lastIndexOf(QLatin1String("<mo>"));
    if (last > 0 && QStringView(m).mid(last + 4, 1) == QLatin1String(")"))
        m.remove(last + 4, 1);
    m.remove(4, 1);
}

// Puts the value of every literal code inside "<mn>...</mn>", 6 significant digits.
QString substituteLiterals(const QString& in, const float* values) {
    static const QString mn = QStringLiteral("<mn>");
    QString s = in;
    for (int at = s.indexOf(mn); at >= 0; at = s.indexOf(mn, at)) {
        at += mn.size();
        const QChar c = s[at];
        if (c.unicode() < 128 && calccode::isLiteralCode(uchar(c.unicode())) &&
            QStringView(s).mid(at + 1).startsWith(QLatin1String("</mn>"))) {
            const QString v =
                QString::number(double(values[calccode::valueIndex(uchar(c.unicode()))]), 'g', 6);
            s.replace(at, 1, v);
            at += v.size();
        }
    }
    return s;
}

} // namespace

bool Scriptcalc::syntaxCheck(const QString& text) {
    const QByteArray copy = compactText(text);
    if (copy.isEmpty())
        return true;
    if (!TokenChecker(copy).accepts())
        return false;
    // Accept only what the fixed buffers can hold.
    char infix[infixSize];
    float values[valueCount];
    return translate(text, infix, values);
}

QString Scriptcalc::presentExpress(const char* infix, const float* values) {
    QString expr;
    for (int i = 0; i < infixSize - 1 && infix[i]; ++i) {
        const uchar c = uchar(infix[i]);
        if (c < 'A' || c > 'Z') // capitals name groups; none comes from the tokenizer
            expr.append(QLatin1Char(char(c)));
    }
    Groups groups;
    if (!groups.cutBrackets(expr) || !groups.cutPowers(expr))
        return QString();

    QString result = QStringLiteral("<math>") + createMML(expr);
    // Each group letter stands exactly once, so this expands every group once.
    for (int at; (at = firstCapital(result)) >= 0;) {
        const int g = result[at].unicode() - 'A';
        QString m = g < groups.count() ? createMML(groups.at(g)) : QString();
        dropFractionBrackets(result, at, m);
        result.replace(at, 1, m);
    }
    return substituteLiterals(result, values) + QStringLiteral("</math>");
}

QString Scriptcalc::createMML(const QString& s) {
    QString r;
    int f = 0; // "/" of the fraction being written
    for (int i = 0; i < s.size(); ++i) {
        QChar c = s[i];
        const QChar prev = i > 0 ? s[i - 1] : QChar();
        const QChar next = i + 1 < s.size() ? s[i + 1] : QChar();
        if (next == QLatin1Char('^'))
            r += QLatin1String("<msup><mrow>");
        if (c == QLatin1Char('/')) {
            if (f <= 1)
                r += QLatin1String("</mrow><mrow>");
            else
                c = QLatin1Char('*'); // a further division inside a denominator is a product
        }
        if (next == QLatin1Char('/')) {
            if (f == 0)
                r += QLatin1String("<mfrac><mrow>");
            ++f;
        }
        r += codeText(c, prev, next);
        if (prev == QLatin1Char('^')) {
            r += QLatin1String("</mrow></msup>");
        } else if (prev == QLatin1Char('/') && next != QLatin1Char('/')) {
            r += QLatin1String("</mrow></mfrac>");
            f = 0;
        }
    }
    return r;
}

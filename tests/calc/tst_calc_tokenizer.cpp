#include "calcrun.h"

#include <QtTest>

#include <cstring>

using Floats = QVector<float>;

class TestCalcTokenizer : public QObject {
    Q_OBJECT

private slots:
    void characterClasses_data();
    void characterClasses();
    void factorialWraps_data();
    void factorialWraps();
    void functionNames_data();
    void functionNames();
    void infixCodes_data();
    void infixCodes();
    void leavesXAndWtAlone();
    void bufferLimits_data();
    void bufferLimits();
};

// Letters for the classes a character belongs to: N isNumber, D isNumberInf, F isFloat,
// E isExpr, O isOperand, U isFunc, V isVariableInfix.
static QString classesOf(char c) {
    QString s;
    const struct {
        bool (*test)(char);
        char letter;
    } classes[] = {{isNumber, 'N'},  {isNumberInf, 'D'}, {isFloat, 'F'},        {isExpr, 'E'},
                   {isOperand, 'O'}, {isFunc, 'U'},      {isVariableInfix, 'V'}};
    for (const auto& k : classes) {
        if (k.test(c))
            s += QLatin1Char(k.letter);
    }
    return s;
}

void TestCalcTokenizer::characterClasses_data() {
    QTest::addColumn<char>("c");
    QTest::addColumn<QString>("classes");
    const struct {
        char c;
        const char* classes;
    } rows[] = {{'0', "NDFV"}, {'9', "NDF"}, {'.', "NF"},  {'-', "FEO"}, {'!', "EO"}, {'/', "EO"},
                {'(', "E"},    {')', "E"},   {'^', "EO"},  {',', "EO"},  {'%', "EO"}, {' ', ""},
                {':', "V"},    {';', "V"},   {'<', "V"},   {'=', ""},    {'a', "U"},  {'d', "U"},
                {'v', "U"},    {'e', ""},    {'j', ""},    {'p', ""},    {'w', ""},   {'x', ""},
                {'I', ""},     {'_', ""},    {'\x7f', ""}, {'\0', ""}};
    for (const auto& r : rows)
        QTest::addRow("0x%02x", unsigned(uchar(r.c))) << r.c << QString::fromLatin1(r.classes);
}

void TestCalcTokenizer::characterClasses() {
    QFETCH(char, c);
    QFETCH(QString, classes);
    QCOMPARE(classesOf(c), classes);
}

void TestCalcTokenizer::factorialWraps_data() {
    QTest::addColumn<uint>("n");
    QTest::addColumn<uint>("product");
    QTest::newRow("0") << 0u << 1u;
    QTest::newRow("5") << 5u << 120u;
    QTest::newRow("13 wraps") << 13u << 1932053504u;
    QTest::newRow("33 last non-zero") << 33u << 2147483648u;
    QTest::newRow("34 holds 2^32") << 34u << 0u;
    QTest::newRow("largest n returns at once") << 4294967295u << 0u;
}

void TestCalcTokenizer::factorialWraps() {
    QFETCH(uint, n);
    QFETCH(uint, product);
    QCOMPARE(factorial(n), product);
}

void TestCalcTokenizer::functionNames_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("known");
    QTest::addColumn<char>("code");
    QTest::addColumn<int>("length");
    QTest::newRow("sin") << QByteArray("sin(x)") << true << 'e' << 3;
    QTest::newRow("cos") << QByteArray("cosx") << true << 'f' << 3;
    QTest::newRow("log") << QByteArray("log") << true << 'g' << 3;
    QTest::newRow("abs") << QByteArray("abs") << true << 'h' << 3;
    QTest::newRow("ln") << QByteArray("ln") << true << 'a' << 2;
    QTest::newRow("tg") << QByteArray("tgx") << true << 'b' << 2;
    QTest::newRow("pi") << QByteArray("pi") << true << 'c' << 2;
    QTest::newRow("ch after cos fails") << QByteArray("chx") << true << 'd' << 2;
    QTest::newRow("I") << QByteArray("I(x)") << true << 'i' << 1;
    QTest::newRow("case matters") << QByteArray("Sin") << false << '?' << -1;
    QTest::newRow("cut short") << QByteArray("si") << false << '?' << -1;
    QTest::newRow("empty") << QByteArray("") << false << '?' << -1;
    QTest::newRow("lowercase i") << QByteArray("i") << false << '?' << -1;
}

void TestCalcTokenizer::functionNames() {
    QFETCH(QByteArray, text);
    QFETCH(bool, known);
    QFETCH(char, code);
    QFETCH(int, length);
    Scriptcalc calc;
    char gotCode = '?';
    int gotLength = -1;
    QCOMPARE(calc.readFunc(text.constData(), &gotCode, &gotLength), known);
    QCOMPARE(gotCode, code);
    QCOMPARE(gotLength, length);
}

void TestCalcTokenizer::infixCodes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("infix");
    QTest::addColumn<Floats>("literals");
    QTest::newRow("2x + 1") << "2x + 1"
                            << "1*0+2" << Floats{2, 1};
    QTest::newRow("sin(wt)") << "sin(wt)"
                             << "e(=)" << Floats{};
    QTest::newRow("sin wt") << "sin wt"
                            << "e=" << Floats{};
    QTest::newRow("x2") << "x2"
                        << "0^1" << Floats{2};
    QTest::newRow("2x3") << "2x3"
                         << "1*0^2" << Floats{2, 3};
    QTest::newRow("e0.5") << "e0.5"
                          << ":^1" << Floats{0.5f};
    QTest::newRow("-x") << "-x"
                        << "1*0" << Floats{-1};
    QTest::newRow("x*-3") << "x*-3"
                          << "0*1" << Floats{-3};
    QTest::newRow("x-3") << "x-3"
                         << "0-1" << Floats{3};
    QTest::newRow("ej") << "ej"
                        << ":*<" << Floats{};
    QTest::newRow("(x+1)x") << "(x+1)x"
                            << "(0+1)*0" << Floats{1};
    QTest::newRow("x(x+1)") << "x(x+1)"
                            << "0*(0+1)" << Floats{1};
    QTest::newRow("0.25") << "0.25"
                          << "1" << Floats{0.25f};
    QTest::newRow("1.2.3") << "1.2.3"
                           << "1" << Floats{1.23f};
    QTest::newRow("p") << "p"
                       << ";" << Floats{};
    QTest::newRow("pi") << "pi"
                        << "c" << Floats{};
    QTest::newRow("abs(x)") << "abs(x)"
                            << "h(0)" << Floats{};
    QTest::newRow("I(x)") << "I(x)"
                          << "i(0)" << Floats{};
    QTest::newRow("w") << "w"
                       << "" << Floats{};
    QTest::newRow("2(x)") << "2(x)"
                          << "1(0)" << Floats{2};
    QTest::newRow("2sin(x)") << "2sin(x)"
                             << "1e(0)" << Floats{2};
    QTest::newRow("11 digits") << "12345678901"
                               << "1" << Floats{12345678901.0f};
    QTest::newRow("21 digits") << "123456789012345678901"
                               << "1" << Floats{1.23456789e20f};
    // A minus before a function, bracket or wt negates it; after "/" or "^" the product is
    // bracketed, so that the minus binds like a sign.
    QTest::newRow("-sin(x)") << "-sin(x)"
                             << "1*e(0)" << Floats{-1};
    QTest::newRow("-(x+1)") << "-(x+1)"
                            << "1*(0+2)" << Floats{-1, 1};
    QTest::newRow("-wt") << "-wt"
                         << "1*=" << Floats{-1};
    QTest::newRow("x/-x") << "x/-x"
                          << "0/(1*0)" << Floats{-1};
    QTest::newRow("x/-x(x+1)") << "x/-x(x+1)"
                               << "0/(1*0)*(0+2)" << Floats{-1, 1};
    QTest::newRow("e^-x^2") << "e^-x^2"
                            << ":^(1*0^2)" << Floats{-1, 2};
    QTest::newRow("x^-(x)+1") << "x^-(x)+1"
                              << "0^(1*(0))+2" << Floats{-1, 1};
    QTest::newRow("(x/-x)") << "(x/-x)"
                            << "(0/(1*0))" << Floats{-1};
    QTest::newRow("negations share a slot") << "-x-x*-x"
                                            << "1*0-0*1*0" << Floats{-1};
    QTest::newRow("x!-1 subtracts") << "x!-1"
                                    << "0!-1" << Floats{1};
    QTest::newRow("double minus") << "x*--x"
                                  << "0*0" << Floats{};
    QTest::newRow("triple minus") << "x---1"
                                  << "0-1" << Floats{1};
    QTest::newRow("letters without a role") << "2^y3+Z-Yx"
                                            << "1^2+3*0" << Floats{2, 3, -1};
    QTest::newRow("tenth literal")
        << "1+2+3+4+5+6+7+8+9+10"
        << "1+2+3+4+5+6+7+8+9+>" << Floats{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    QTest::newRow("twelve slots") << "1+2+3+4+5+6+7+8+9+10+11-x*-x"
                                  << "1+2+3+4+5+6+7+8+9+>+?-0*@*0"
                                  << Floats{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, -1};
}

void TestCalcTokenizer::infixCodes() {
    QFETCH(QString, text);
    QFETCH(QString, infix);
    QFETCH(Floats, literals);
    Scriptcalc calc;
    char out[Scriptcalc::infixSize];
    float values[Scriptcalc::valueCount] = {};
    calc.expressToInfix(text, out, values);
    QCOMPARE(QString::fromLatin1(out), infix);
    for (int n = 1; n <= literals.size(); ++n)
        QCOMPARE(values[literalEntry(n)], literals[n - 1]);
}

void TestCalcTokenizer::leavesXAndWtAlone() {
    float values[Scriptcalc::valueCount];
    std::fill(values, values + Scriptcalc::valueCount, 7.0f);
    char infix[Scriptcalc::infixSize];
    QVERIFY(Scriptcalc::translate("1+2+3+4+5+6+7+8+9+10+11-x*-x", infix, values));
    for (int entry : {0, 10, 11, 12, 13})
        QCOMPARE(values[entry], 7.0f);
}

void TestCalcTokenizer::bufferLimits_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("codes"); // -1: does not fit
    const QString sum107 = "x" + QString("+x").repeated(107);
    QTest::newRow("215 codes") << sum107 << 215;
    QTest::newRow("216 codes") << sum107 + "!" << -1;
    QTest::newRow("217 codes") << sum107 + "+x" << -1;
    QTest::newRow("exponent past the end") << sum107 + "2" << -1;
    QTest::newRow("negation brackets fit") << "x" + QString("/-x").repeated(35) << 211;
    QTest::newRow("negation brackets overflow") << "x" + QString("/-x").repeated(36) << -1;
    QTest::newRow("12 literals") << "1+2+3+4+5+6+7+8+9+10+11+12" << 23;
    QTest::newRow("13 literals") << "1+2+3+4+5+6+7+8+9+10+11+12+13" << -1;
    QTest::newRow("a million characters") << QString("x+").repeated(500000) << -1;
    QTest::newRow("a million digits") << QString(1000000, QLatin1Char('9')) << 1;
}

void TestCalcTokenizer::bufferLimits() {
    QFETCH(QString, text);
    QFETCH(int, codes);
    // Canaries after both buffers catch a write past their ends.
    char infix[Scriptcalc::infixSize + 8];
    float values[Scriptcalc::valueCount + 4];
    std::memset(infix, '#', sizeof infix);
    std::fill(values, values + Scriptcalc::valueCount + 4, 7.0f);
    QCOMPARE(Scriptcalc::translate(text, infix, values), codes >= 0);
    QCOMPARE(int(std::strlen(infix)), qMax(codes, 0));
    for (int i = Scriptcalc::infixSize; i < int(sizeof infix); ++i)
        QCOMPARE(infix[i], '#');
    for (int i = Scriptcalc::valueCount; i < Scriptcalc::valueCount + 4; ++i)
        QCOMPARE(values[i], 7.0f);
}

QTEST_GUILESS_MAIN(TestCalcTokenizer)
#include "tst_calc_tokenizer.moc"

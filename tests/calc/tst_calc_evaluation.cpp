#include "calcrun.h"

#include <QtTest>

#include <cstring>
#include <limits>

class TestCalcEvaluation : public QObject {
    Q_OBJECT

private slots:
    void postfix_data();
    void postfix();
    void value_data();
    void value();
    void missingOperands_data();
    void missingOperands();
    void readsNoFurtherThanTheBuffers();
    void realOperation_data();
    void realOperation();
    void complexOperation_data();
    void complexOperation();
};

static const float inf = std::numeric_limits<float>::infinity();
static const float notANumber = std::numeric_limits<float>::quiet_NaN();

void TestCalcEvaluation::postfix_data() {
    QTest::addColumn<QByteArray>("infix");
    QTest::addColumn<QByteArray>("rpn");
    QTest::newRow("function before +") << QByteArray("e(0)+1") << QByteArray("0e1+");
    QTest::newRow("function of a sum") << QByteArray("e(0+1)") << QByteArray("01+e");
    QTest::newRow("^ right-assoc") << QByteArray("1^2^3") << QByteArray("123^^");
    QTest::newRow("/ left-assoc") << QByteArray("1/2/3") << QByteArray("12/3/");
    QTest::newRow("* over +") << QByteArray("1+2*3") << QByteArray("123*+");
    QTest::newRow("% level of *") << QByteArray("1%2*3") << QByteArray("12%3*");
    QTest::newRow("! before +") << QByteArray("0!+1") << QByteArray("0!1+");
    QTest::newRow("function binds its operand") << QByteArray("e0^1") << QByteArray("0e1^");
    QTest::newRow("abs of complex") << QByteArray("h(1+2*<)") << QByteArray("12<*+h");
    QTest::newRow("comma separates") << QByteArray("h(0,1)") << QByteArray("01h");
    QTest::newRow("# tightest") << QByteArray("1+2#3") << QByteArray("123#+");
    QTest::newRow("stray )") << QByteArray("0)+1") << QByteArray("01+");
    QTest::newRow("unclosed (") << QByteArray("(0+1") << QByteArray("01+(");
    QTest::newRow("unknown codes ignored") << QByteArray("0.+[1") << QByteArray("01+");
    const QByteArray sum = "0" + QByteArray("+0").repeated(107);
    QTest::newRow("215 codes") << sum << QByteArray("00+").append(QByteArray("0+").repeated(106));
}

void TestCalcEvaluation::postfix() {
    QFETCH(QByteArray, infix);
    QFETCH(QByteArray, rpn);
    Scriptcalc calc;
    unsigned char out[Scriptcalc::rpnSize];
    std::memset(out, 'Z', sizeof out);
    calc.infixToRPN(reinterpret_cast<const unsigned char*>(infix.constData()), out);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out)), rpn);
    // The whole buffer is cleared, not only the string's end.
    for (int i = rpn.size(); i < Scriptcalc::rpnSize; ++i)
        QCOMPARE(out[i], uchar(0));
}

void TestCalcEvaluation::value_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("wt");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("tolerance");
    const double e = double(2.71828f);
    QTest::newRow("x+1") << "x+1" << 0.5f << 0.f << 1.5 << 0.0;
    QTest::newRow("sin(x)+1") << "sin(x)+1" << 0.5f << 0.f << std::sin(0.5) + 1 << 1e-6;
    QTest::newRow("sin(x+1)") << "sin(x+1)" << 0.5f << 0.f << std::sin(1.5) << 1e-6;
    QTest::newRow("2^3^2") << "2^3^2" << 0.f << 0.f << 512.0 << 0.0;
    QTest::newRow("8/2/2") << "8/2/2" << 0.f << 0.f << 2.0 << 0.0;
    QTest::newRow("7%2") << "7%2" << 0.f << 0.f << 0.0 << 0.0;
    QTest::newRow("j*j") << "j*j" << 0.f << 0.f << -1.0 << 0.0;
    QTest::newRow("abs(3+4j)") << "abs(3+4j)" << 0.f << 0.f << 5.0 << 0.0;
    QTest::newRow("e^(j*p)") << "e^(j*p)" << 0.f << 0.f << -1.0 << 1e-5;
    QTest::newRow("5!") << "5!" << 0.f << 0.f << 120.0 << 0.0;
    QTest::newRow("13! wraps") << "13!" << 0.f << 0.f << 1932053504.0 << 0.0;
    QTest::newRow("0!") << "0!" << 0.f << 0.f << 1.0 << 0.0;
    QTest::newRow("(-3)!") << "(-3)!" << 0.f << 0.f << 1.0 << 0.0;
    QTest::newRow("ln(e)") << "ln(e)" << 0.f << 0.f << 1.0 << 1e-5; // e is 2.71828
    QTest::newRow("I below") << "I(x-0.5)" << 0.49f << 0.f << 1.0 << 0.0;
    QTest::newRow("I from 0.5") << "I(x-0.5)" << 0.5f << 0.f << 0.0 << 0.0;
    QTest::newRow("ch(x) is x") << "ch(x)" << 0.3f << 0.f << double(0.3f) << 0.0;
    QTest::newRow("tg") << "tg(x)" << 0.5f << 0.f << std::tan(0.5) << 1e-6;
    QTest::newRow("log") << "log(x)" << 100.f << 0.f << 2.0 << 1e-6;
    QTest::newRow("cos wt") << "cos(wt)" << 0.f << 1.f << std::cos(1.0) << 1e-6;
    QTest::newRow("x/0") << "x/0" << 1.f << 0.f << double(inf) << 0.0;
    QTest::newRow("ln of negative") << "ln(x)" << -1.f << 0.f << double(notANumber) << 0.0;
    QTest::newRow("-sin(x)") << "-sin(x)" << 0.5f << 0.f << -std::sin(0.5) << 1e-6;
    QTest::newRow("-(x+1)") << "-(x+1)" << 0.5f << 0.f << -1.5 << 0.0;
    QTest::newRow("x/-x") << "x/-x" << 0.5f << 0.f << -1.0 << 0.0;
    QTest::newRow("e^-x^2") << "e^-x^2" << 1.f << 0.f << 1 / e << 1e-6;
    QTest::newRow("-x^2") << "-x^2" << 3.f << 0.f << -9.0 << 0.0;
    QTest::newRow("x!-1") << "x!-1" << 3.f << 0.f << 5.0 << 0.0;
    QTest::newRow("tenth literal is 10") << "1+2+3+4+5+6+7+8+9+10" << 0.f << 0.f << 55.0 << 0.0;
    QTest::newRow("twelve slots") << "1+2+3+4+5+6+7+8+9+10+11-x*-x" << 2.f << 0.f << 70.0 << 0.0;
    QTest::newRow("beyond 32 codes")
        << "x" + QString("+x").repeated(49) << 0.5f << 0.f << 25.0 << 0.0;
    // 31 entries on the stack before the first "+".
    QTest::newRow("beyond 20 stack entries")
        << QString("x+(").repeated(30) + "x" + QString(")").repeated(30) << 0.5f << 0.f << 15.5
        << 0.0;
}

void TestCalcEvaluation::value() {
    QFETCH(QString, text);
    QFETCH(float, x);
    QFETCH(float, wt);
    QFETCH(double, expected);
    QFETCH(double, tolerance);
    CalcRun run(text);
    const float got = run.at(x, wt);
    QVERIFY2(near(got, expected, tolerance),
             qPrintable(QString("%1 -> %2 gives %3").arg(text, run.postfix()).arg(double(got))));
}

void TestCalcEvaluation::missingOperands_data() {
    QTest::addColumn<QByteArray>("rpn");
    QTest::addColumn<float>("expected");
    QTest::newRow("empty") << QByteArray("") << 0.f;
    QTest::newRow("operator alone") << QByteArray("+") << 0.f;
    QTest::newRow("one operand") << QByteArray("0+") << 0.f;
    QTest::newRow("one complex operand") << QByteArray("<*") << 0.f;
    QTest::newRow("function alone") << QByteArray("e") << 0.f;
    QTest::newRow("! alone") << QByteArray("!") << 0.f;
    QTest::newRow("only ignored codes") << QByteArray("(.)") << 0.f;
    QTest::newRow("missing after a result") << QByteArray("01+*") << 0.f;
    QTest::newRow("two left: the top") << QByteArray("01") << 2.f;
}

void TestCalcEvaluation::missingOperands() {
    QFETCH(QByteArray, rpn);
    QFETCH(float, expected);
    Scriptcalc calc;
    float values[Scriptcalc::valueCount] = {};
    values[0] = 5.f;
    values[1] = 2.f;
    QCOMPARE(calc.calculateRPN(reinterpret_cast<const unsigned char*>(rpn.constData()), values),
             expected);
}

void TestCalcEvaluation::readsNoFurtherThanTheBuffers() {
    Scriptcalc calc;
    // Unterminated buffers followed by codes that would change the result if they were read.
    unsigned char infix[Scriptcalc::infixSize + 8];
    std::memset(infix, '0', Scriptcalc::infixSize - 1);
    std::memcpy(infix + Scriptcalc::infixSize - 1, "+1+1+1+", 8);
    unsigned char rpn[Scriptcalc::rpnSize];
    calc.infixToRPN(infix, rpn);
    QCOMPARE(int(std::strlen(reinterpret_cast<const char*>(rpn))), Scriptcalc::infixSize - 1);
    QVERIFY(!std::strchr(reinterpret_cast<const char*>(rpn), '+'));

    unsigned char codes[Scriptcalc::rpnSize + 8];
    std::memset(codes, '1', Scriptcalc::rpnSize - 1);
    std::memcpy(codes + Scriptcalc::rpnSize - 1, "0+0+0+0", 8);
    float values[Scriptcalc::valueCount] = {};
    values[0] = 100.f;
    values[1] = 2.f;
    QCOMPARE(calc.calculateRPN(codes, values), 2.f);
}

void TestCalcEvaluation::realOperation_data() {
    QTest::addColumn<float>("a");
    QTest::addColumn<float>("b");
    QTest::addColumn<char>("op");
    QTest::addColumn<float>("expected");
    QTest::newRow("+") << 2.5f << 1.f << '+' << 3.5f;
    QTest::newRow("/") << 5.f << 2.f << '/' << 2.5f;
    QTest::newRow("^") << 2.f << 10.f << '^' << 1024.f;
    QTest::newRow("%") << 7.f << 2.f << '%' << 0.f;
    QTest::newRow("#") << 7.f << 2.f << '#' << 0.f;
    QTest::newRow("5!") << 5.f << 0.f << '!' << 120.f;
    QTest::newRow("5.9! truncates") << 5.9f << 0.f << '!' << 120.f;
    QTest::newRow("-3!") << -3.f << 0.f << '!' << 1.f;
    QTest::newRow("33!") << 33.f << 0.f << '!' << 2147483648.f;
    QTest::newRow("34!") << 34.f << 0.f << '!' << 0.f;
    QTest::newRow("1e30!") << 1e30f << 0.f << '!' << 0.f;
    QTest::newRow("inf!") << inf << 0.f << '!' << 0.f;
    QTest::newRow("-inf!") << -inf << 0.f << '!' << 1.f;
}

void TestCalcEvaluation::realOperation() {
    QFETCH(float, a);
    QFETCH(float, b);
    QFETCH(char, op);
    QFETCH(float, expected);
    Scriptcalc calc;
    QCOMPARE(calc.operation(a, b, uchar(op)), expected);
    QVERIFY(std::isnan(calc.operation(notANumber, 0.f, '!')));
}

void TestCalcEvaluation::complexOperation_data() {
    QTest::addColumn<QVector<float>>("ab"); // aRe, aIm, bRe, bIm
    QTest::addColumn<char>("op");
    QTest::addColumn<float>("re");
    QTest::addColumn<float>("im");
    using V = QVector<float>;
    QTest::newRow("+") << V{1, 2, 3, 4} << '+' << 4.f << 6.f;
    QTest::newRow("-") << V{1, 2, 3, 4} << '-' << -2.f << -2.f;
    QTest::newRow("*") << V{1, 2, 3, 4} << '*' << -5.f << 10.f;
    QTest::newRow("/") << V{-5, 10, 3, 4} << '/' << 1.f << 2.f;
    QTest::newRow("j^2") << V{0, 1, 2, 0} << '^' << -1.f << 0.f;
    QTest::newRow("% leaves the result") << V{1, 2, 3, 4} << '%' << 7.f << 8.f;
}

void TestCalcEvaluation::complexOperation() {
    QFETCH(QVector<float>, ab);
    QFETCH(char, op);
    QFETCH(float, re);
    QFETCH(float, im);
    Scriptcalc calc;
    float gotRe = 7.f;
    float gotIm = 8.f;
    calc.operationComplex(&gotRe, &gotIm, ab[0], ab[1], ab[2], ab[3], uchar(op));
    QVERIFY2(near(gotRe, re, 1e-6) && near(gotIm, im, 1e-6),
             qPrintable(QString("(%1, %2)").arg(double(gotRe)).arg(double(gotIm))));
}

QTEST_GUILESS_MAIN(TestCalcEvaluation)
#include "tst_calc_evaluation.moc"

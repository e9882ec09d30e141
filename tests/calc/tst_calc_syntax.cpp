#include "scriptcalc.h"

#include <QtTest>

class TestCalcSyntax : public QObject {
    Q_OBJECT

private slots:
    void check_data();
    void check();
};

void TestCalcSyntax::check_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    const char* const accepted[] = {"sin(x)", "sinx", "sin wt", "2x+1", "x^-2", "-x", "(-3)!",
                                    "x!+1", "ch(x)", "I(x)", "", "   ", "x--1", "7%2", "x*--x",
                                    "e^-x^2", "-sin(x)", "x!-1", "Ix", "2^y3", "(-x)", "w",
                                    "123456789012345678901", "1+2+3+4+5+6+7+8+9+10",
                                    // negations share one slot beside ten numbers
                                    "1+2+3+4+5+6+7+8+9+10-x*-x/-wt^-sin(x)*-(x)/-I(x)"};
    for (const char* t : accepted)
        QTest::addRow("accept \"%s\"", t) << QString::fromLatin1(t) << true;
    const char* const rejected[] = {
        "*x", "pi", "2(x)", ")x(", "()", "x+", "x+*2", "x!x", "x!2", "sin2", "xsin(x)", "k(x)",
        "x~1", "x-+1", "1234567890123456789012", "1+2+3+4+5+6+7+8+9+10+11",
        // no meaning of their own
        "x\"2", "x#2", "x$2", "x&2", "x'2", "abs(x,x)",
        // skipped characters do not hide a fault
        "2y(x)", "(x)y2", "y^x", "xyI(x)",
        // a binary operator after "(" as at the start
        "(^x)", "(*x)", "(!x)",
        // I is a function like the others
        "xI(x)", "I2", "I",
        // characters outside the range, and characters without a Latin-1 byte
        "x\t+1", "x\n", "x{1}", "x+\xe9"};
    for (const char* t : rejected)
        QTest::addRow("reject \"%s\"", t) << QString::fromLatin1(t) << false;
    QTest::newRow("reject omega") << QString("sin(") + QChar(0x3C9) + "t)" << false;
    QTest::newRow("reject euro after x") << QString("x") + QChar(0x20AC) << false;
    const QString sum = "x" + QString("+x").repeated(107); // 215 codes
    QTest::newRow("accept 215 codes") << sum << true;
    QTest::newRow("reject 217 codes") << sum + "+x" << false;
    QTest::newRow("reject 100000 characters") << QString("x+").repeated(50000) + "x" << false;
    QTest::newRow("reject 1000000 digits") << QString(1000000, QLatin1Char('9')) << false;
}

void TestCalcSyntax::check() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    Scriptcalc calc;
    QCOMPARE(calc.syntaxCheck(text), accepted);
}

QTEST_GUILESS_MAIN(TestCalcSyntax)
#include "tst_calc_syntax.moc"

// The generator's calculator: typed text evaluated against the C library's own functions, and
// the syntax rules that decide which texts the page accepts.
#include "calc/scriptcalc.h"

#include <QtTest>
#include <cmath>
#include <limits>

class TestCalc : public QObject {
    Q_OBJECT
private slots:
    void evaluation_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("wt");
        QTest::addColumn<double>("expected");
        const double e = double(2.71828f), inf = std::numeric_limits<double>::infinity();
        const struct {
            const char* text;
            float x, wt;
            double expected;
        } rows[] = {
            {"x+1", 0.5f, 0, 1.5},
            {"sin(x)+1", 0.5f, 0, std::sin(0.5) + 1},
            {"cos(wt)", 0, 1, std::cos(1.0)},
            {"2^3^2", 0, 0, 512.0},
            {"2*3^2", 0, 0, 18.0},
            {"2^3*2", 0, 0, 16.0},
            {"1+2*3", 0, 0, 7.0},
            {"j*j", 0, 0, -1.0},
            {"abs(3+4j)", 0, 0, 5.0},
            {"e^(j*p)", 0, 0, -1.0},
            {"5!", 0, 0, 120.0},
            {"13! wraps", 0, 0, 1932053504.0},
            {"ln(e)", 0, 0, 1.0},
            {"I(x-0.5)", 0.49f, 0, 1.0},
            {"I(x-0.5)", 0.5f, 0, 0.0},
            {"x/0", 1, 0, inf},
            {"-x^2", 3, 0, -9.0},
            {"e^-x^2", 1, 0, 1 / e},
            {"1+2+3+4+5+6+7+8+9+10", 0, 0, 55.0},
        };
        for (const auto& r : rows)
            QTest::addRow("%s at %g, %g", r.text, double(r.x), double(r.wt))
                << QString::fromLatin1(r.text).section(' ', 0, 0) << r.x << r.wt << r.expected;
        QTest::newRow("ln of negative") << "ln(x)" << -1.f << 0.f << std::nan("");
    }

    void evaluation() {
        QFETCH(QString, text);
        QFETCH(double, expected);
        Scriptcalc calc;
        char infix[Scriptcalc::infixSize] = {};
        unsigned char rpn[Scriptcalc::rpnSize] = {};
        float values[Scriptcalc::valueCount] = {};
        calc.expressToInfix(text, infix, values);
        calc.infixToRPN(reinterpret_cast<const unsigned char*>(infix), rpn);
        QFETCH(float, x);
        QFETCH(float, wt);
        values[0] = x;
        values[13] = wt;
        const double got = calc.calculateRPN(rpn, values);
        const bool same = std::isnan(expected)
                              ? std::isnan(got)
                              : got == expected || std::fabs(got - expected) < 1e-5;
        QVERIFY2(same, qPrintable(QString("%1 gives %2").arg(text).arg(got)));
    }

    void syntax_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        // "|" between texts; negations share one slot beside ten numbers.
        const QString accepted =
            "sin(x)|sinx|sin wt|2x+1|x^-2|-x|(-3)!|x!+1|I(x)||x--1|x*--x|e^-x^2|w|"
            "123456789012345678901|1+2+3+4+5+6+7+8+9+10|"
            "1+2+3+4+5+6+7+8+9+10-x*-x/-wt^-sin(x)*-(x)/-I(x)";
        for (const QString& t : accepted.split('|'))
            QTest::addRow("accept \"%s\"", qPrintable(t)) << t << true;
        const QString rejected = QString::fromLatin1(
            "*x|pi|2(x)|)x(|()|x+|x+*2|x!x|sin2|k(x)|x-+1|abs(x,x)|I|xI(x)|2y(x)|"
            "(^x)|x\t+1|x+\xe9|1234567890123456789012|1+2+3+4+5+6+7+8+9+10+11");
        for (const QString& t : rejected.split('|'))
            QTest::addRow("reject \"%s\"", qPrintable(t)) << t << false;
        QTest::newRow("reject omega") << QString("sin(") + QChar(0x3C9) + "t)" << false;
        const QString sum = "x" + QString("+x").repeated(107); // 215 codes
        QTest::newRow("accept 215 codes") << sum << true;
        QTest::newRow("reject 217 codes") << sum + "+x" << false;
    }

    void syntax() {
        QFETCH(QString, text);
        Scriptcalc calc;
        QTEST(calc.syntaxCheck(text), "accepted");
    }
};

QTEST_GUILESS_MAIN(TestCalc)
#include "tst_calc.moc"

#include "../../fuzz/calc_chain.h"
#include "calcrun.h"

#include <QRandomGenerator>
#include <QtTest>

class TestCalcMathml : public QObject {
    Q_OBJECT

private slots:
    void presentation_data();
    void presentation();
    void fragment_data();
    void fragment();
    void groupLimit_data();
    void groupLimit();
    void capitalsInInfixAreIgnored();
    void xmlCheckCatchesFaults_data();
    void xmlCheckCatchesFaults();
    void acceptedTextsGiveXml();
};

void TestCalcMathml::presentation_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mml");
    QTest::newRow("sin(wt)") << "sin(wt)"
                             << "<math><mo>sin</mo><mo>(</mo><mrow><mo>&omega;</mo><mi>t</mi>"
                                "</mrow><mo>)</mo></math>";
    QTest::newRow("x^2") << "x^2"
                         << "<math><msup><mrow><mi>x</mi></mrow><mrow><mn>2</mn></mrow></msup>"
                            "</math>";
    QTest::newRow("0.5x") << "0.5x"
                          << "<math><mn>0.5</mn><mi>x</mi></math>";
    QTest::newRow("2*3") << "2*3"
                         << "<math><mn>2</mn><mo>&middot;</mo><mn>3</mn></math>";
    QTest::newRow("(x+1)/2") << "(x+1)/2"
                             << "<math><mfrac><mrow><mo></mo><mi>x</mi><mo>+</mo><mn>1</mn>"
                                "<mo></mo></mrow><mrow><mn>2</mn></mrow></mfrac></math>";
    QTest::newRow("x/2+x/3") << "x/2+x/3"
                             << "<math><mfrac><mrow><mi>x</mi></mrow><mrow><mn>2</mn></mrow>"
                                "</mfrac><mo>+</mo><mfrac><mrow><mi>x</mi></mrow><mrow><mn>3</mn>"
                                "</mrow></mfrac></math>";
    QTest::newRow("2+x+x+x+x+x") << "2+x+x+x+x+x"
                                 << "<math><mn>2</mn><mo>+</mo><mi>x</mi><mo>+</mo><mi>x</mi>"
                                    "<mo>+</mo><mi>x</mi><mo>+</mo><mi>x</mi><mo>+</mo><mi>x</mi>"
                                    "</math>";
    QTest::newRow("8/2/2: over a product")
        << "8/2/2"
        << "<math><mfrac><mrow><mn>8</mn></mrow><mrow><mn>2</mn><mo>&middot;</mo><mn>2</mn>"
           "</mrow></mfrac></math>";
    QTest::newRow("2^3^2") << "2^3^2"
                           << "<math><msup><mrow><mn>2</mn></mrow><mrow><msup><mrow><mn>3</mn>"
                              "</mrow><mrow><mn>2</mn></mrow></msup></mrow></msup></math>";
    QTest::newRow("e^(j*p)") << "e^(j*p)"
                             << "<math><msup><mrow><mi>e</mi></mrow><mrow><mo>(</mo><mi>j</mi>"
                                "<mo>&pi;</mo><mo>)</mo></mrow></msup></math>";
    QTest::newRow("I and ch") << "I(x)+ch(x)"
                              << "<math><mo>&wp;</mo><mo>(</mo><mi>x</mi><mo>)</mo><mo>+</mo>"
                                 "<mo>(</mo><mi>x</mi><mo>)</mo></math>";
    QTest::newRow("-x") << "-x"
                        << "<math><mn>-1</mn><mi>x</mi></math>";
    QTest::newRow("x/-x") << "x/-x"
                          << "<math><mfrac><mrow><mi>x</mi></mrow><mrow><mo></mo><mn>-1</mn>"
                             "<mi>x</mi><mo></mo></mrow></mfrac></math>";
    QTest::newRow("7%2 shows no operator") << "7%2"
                                           << "<math><mn>7</mn><mn>2</mn></math>";
    QTest::newRow("long literal") << "12345678901"
                                  << "<math><mn>1.23457e+10</mn></math>";
    QTest::newRow("literal slots 10 to 12")
        << "1+2+3+4+5+6+7+8+9+10+11-x*-x"
        << "<math><mn>1</mn><mo>+</mo><mn>2</mn><mo>+</mo><mn>3</mn><mo>+</mo><mn>4</mn><mo>+</mo>"
           "<mn>5</mn><mo>+</mo><mn>6</mn><mo>+</mo><mn>7</mn><mo>+</mo><mn>8</mn><mo>+</mo>"
           "<mn>9</mn><mo>+</mo><mn>10</mn><mo>+</mo><mn>11</mn><mo>-</mo><mi>x</mi><mn>-1</mn>"
           "<mi>x</mi></math>";
    QTest::newRow("empty") << ""
                           << "<math></math>";
}

void TestCalcMathml::presentation() {
    QFETCH(QString, text);
    QFETCH(QString, mml);
    CalcRun run(text);
    QCOMPARE(run.calc.presentExpress(run.infix, run.values), mml);
}

void TestCalcMathml::fragment_data() {
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("mml");
    QTest::newRow("x beside a literal") << "0*1"
                                        << "<mi>x</mi><mn>1</mn>";
    QTest::newRow("dot between literals") << "1*2"
                                          << "<mn>1</mn><mo>&middot;</mo><mn>2</mn>";
    QTest::newRow("dot before a group") << "1*A"
                                        << "<mn>1</mn><mo>&middot;</mo>A";
    QTest::newRow("power") << "0^1"
                           << "<msup><mrow><mi>x</mi></mrow><mrow><mn>1</mn></mrow></msup>";
    QTest::newRow("silent codes") << "cd%,&"
                                  << "";
    QTest::newRow("functions") << "abefghi"
                               << "<mo>ln</mo><mo>tg</mo><mo>sin</mo><mo>cos</mo><mo>log</mo>"
                                  "<mo>abs</mo><mo>&wp;</mo>";
    QTest::newRow("literal codes beyond 9") << ">?@"
                                            << "<mn>></mn><mn>?</mn><mn>@</mn>";
}

void TestCalcMathml::fragment() {
    QFETCH(QString, codes);
    QFETCH(QString, mml);
    Scriptcalc calc;
    QCOMPARE(calc.createMML(codes), mml);
}

void TestCalcMathml::groupLimit_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shown");
    QTest::newRow("19 brackets") << QString("(").repeated(19) + "x" + QString(")").repeated(19)
                                 << true;
    QTest::newRow("20 brackets") << QString("(").repeated(20) + "x" + QString(")").repeated(20)
                                 << false;
    QTest::newRow("19 powers") << QString("x^").repeated(19) + "x" << true;
    QTest::newRow("20 powers") << QString("x^").repeated(20) + "x" << false;
}

void TestCalcMathml::groupLimit() {
    QFETCH(QString, text);
    QFETCH(bool, shown);
    CalcRun run(text);
    const QString mml = run.calc.presentExpress(run.infix, run.values);
    QCOMPARE(!mml.isEmpty(), shown);
    if (shown)
        QCOMPARE(calcchain::xmlProblem(mml), QString());
}

// Capitals name groups inside the presentation; one arriving in the infix string must neither
// loop nor index past the groups.
void TestCalcMathml::capitalsInInfixAreIgnored() {
    Scriptcalc calc;
    const float values[Scriptcalc::valueCount] = {};
    const QString plain = calc.presentExpress("(0)", values);
    QCOMPARE(calc.presentExpress("(A0Z)", values), plain);
    QCOMPARE(calc.presentExpress("T(0)", values), plain);
}

void TestCalcMathml::xmlCheckCatchesFaults_data() {
    QTest::addColumn<QString>("mml");
    QTest::addColumn<bool>("wellFormed");
    QTest::newRow("entities") << "<math><mo>&omega;&pi;&middot;&wp;</mo></math>" << true;
    QTest::newRow("open element") << "<math><msup><mrow></mrow></math>" << false;
    QTest::newRow("unknown entity") << "<math><mo>&alpha;</mo></math>" << false;
    QTest::newRow("other root") << "<mrow></mrow>" << false;
}

void TestCalcMathml::xmlCheckCatchesFaults() {
    QFETCH(QString, mml);
    QFETCH(bool, wellFormed);
    QCOMPARE(calcchain::xmlProblem(mml).isEmpty(), wellFormed);
}

// Every text up to four tokens long over a small alphabet, and longer random ones: each that
// passes the check is shown as well-formed MathML.
void TestCalcMathml::acceptedTextsGiveXml() {
    const QStringList tokens = {"x", "2", "0.5", "e", "p", "j", "wt", "sin", "ln",
                                "I", "(", ")",   "+", "-", "*", "/",  "^",   "!"};
    Scriptcalc calc;
    int accepted = 0;
    auto verify = [&](const QString& text) {
        if (!calc.syntaxCheck(text))
            return true;
        ++accepted;
        char infix[Scriptcalc::infixSize];
        float values[Scriptcalc::valueCount] = {};
        Scriptcalc::translate(text, infix, values);
        const QString mml = calc.presentExpress(infix, values);
        const QString problem = mml.isEmpty() ? QString() : calcchain::xmlProblem(mml);
        if (!problem.isEmpty())
            qWarning().noquote() << text << "->" << mml << ":" << problem;
        return problem.isEmpty();
    };
    const int n = tokens.size();
    for (int count = 1; count <= 4; ++count) {
        int combos = 1;
        for (int i = 0; i < count; ++i)
            combos *= n;
        for (int c = 0; c < combos; ++c) {
            QString text;
            for (int i = 0, rest = c; i < count; ++i, rest /= n)
                text += tokens[rest % n];
            QVERIFY(verify(text));
        }
    }
    QRandomGenerator random(20240611);
    for (int k = 0; k < 20000; ++k) {
        QString text;
        for (int i = 0, count = random.bounded(5, 40); i < count; ++i)
            text += tokens[random.bounded(n)];
        QVERIFY(verify(text));
    }
    QVERIFY2(accepted > 5000, qPrintable(QString::number(accepted)));
}

QTEST_GUILESS_MAIN(TestCalcMathml)
#include "tst_calc_mathml.moc"

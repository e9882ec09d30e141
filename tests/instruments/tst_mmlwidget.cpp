#include "mmlwidget.h"

#include <QtTest>

namespace {
QImage render(MmlWidget& w) {
    QImage img(w.size(), QImage::Format_RGB32);
    img.fill(Qt::red);
    w.render(&img);
    return img;
}

// Brightest grey level in the picture: 0 for an empty black view.
int ink(const QImage& img) {
    int best = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            best = std::max(best, qGray(img.pixel(x, y)));
    return best;
}

// The longest horizontal run of light pixels: its row, first column and length.
struct Run {
    int y = -1, x = 0, length = 0;
};
Run longestRun(const QImage& img) {
    Run best;
    for (int y = 0; y < img.height(); ++y) {
        int run = 0;
        for (int x = 0; x < img.width(); ++x) {
            run = qGray(img.pixel(x, y)) > 100 ? run + 1 : 0;
            if (run > best.length)
                best = {y, x - run + 1, run};
        }
    }
    return best;
}

bool inkIn(const QImage& img, int x0, int x1, int y0, int y1) {
    for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y)
        for (int x = x0; x < x1; ++x)
            if (qGray(img.pixel(x, y)) > 100)
                return true;
    return false;
}

QString math(const QString& body) {
    return QStringLiteral("<math>") + body + QStringLiteral("</math>");
}
} // namespace

class TestMmlWidget : public QObject {
    Q_OBJECT
private slots:
    void validDocument();
    void invalidDocument_data();
    void invalidDocument();
    void clearEmptiesTheView();
    void sizeFollowsContent();
    void entities();
    void fractionBar_data();
    void fractionBar();
};

void TestMmlWidget::validDocument() {
    MmlWidget w;
    QString message = "untouched";
    int line = -1, column = -1;
    const QString doc = math("<mi>x</mi><mo>+</mo><mn>1</mn>");
    QVERIFY(w.setContent(doc, &message, &line, &column));
    QVERIFY(message.isEmpty());
    QCOMPARE(w.content(), doc);
    w.resize(w.sizeHint());
    const QImage img = render(w);
    QCOMPARE(img.pixel(0, 0), qRgb(0, 0, 0)); // black base
    QCOMPARE(img.pixel(img.width() - 1, img.height() - 1), qRgb(0, 0, 0));
    QVERIFY(ink(img) > 180); // a light formula on it
}

void TestMmlWidget::invalidDocument_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::newRow("empty") << QString() << 1;
    QTest::newRow("unclosed") << math("<mi>x</mi>").chopped(7) << 1;
    QTest::newRow("mismatched") << "<math>\n<mi>x</mo></math>" << 2;
    QTest::newRow("two roots") << "<math></math><math></math>" << 1;
}

void TestMmlWidget::invalidDocument() {
    QFETCH(QString, text);
    QFETCH(int, line);
    MmlWidget w;
    QVERIFY(w.setContent(math("<mi>x</mi>")));
    QString message;
    int errLine = -1, errColumn = -1;
    QVERIFY(!w.setContent(text, &message, &errLine, &errColumn));
    QVERIFY(!message.isEmpty());
    QCOMPARE(errLine, line);
    QVERIFY(errColumn >= 1);
    // The previous formula is gone; the view is plain black.
    QVERIFY(w.content().isEmpty());
    w.resize(MmlWidget::minWidth, MmlWidget::minHeight);
    QCOMPARE(ink(render(w)), 0);
    // The outputs are optional.
    QVERIFY(!w.setContent(text));
}

void TestMmlWidget::clearEmptiesTheView() {
    MmlWidget w;
    QString wide;
    for (int i = 0; i < 40; ++i)
        wide += "<mi>x</mi>";
    QVERIFY(w.setContent(math(wide)));
    w.resize(w.sizeHint());
    QVERIFY(w.width() > 216);
    QVERIFY(ink(render(w)) > 180);
    w.clear();
    QVERIFY(w.content().isEmpty());
    QCOMPARE(w.sizeHint(), QSize(216, 96));
    QCOMPARE(ink(render(w)), 0);
}

void TestMmlWidget::sizeFollowsContent() {
    MmlWidget w;
    QCOMPARE(w.sizeHint(), QSize(216, 96));
    QVERIFY(w.setContent(math("<mi>x</mi>")));
    QCOMPARE(w.sizeHint(), QSize(216, 96));
    w.resize(10, 10);
    QCOMPARE(w.size(), QSize(216, 96)); // never smaller, even when asked

    QString wide;
    for (int i = 0; i < 40; ++i)
        wide += "<mi>x</mi><mo>+</mo>";
    QVERIFY(w.setContent(math(wide + "<mn>1</mn>")));
    const QSize wideHint = w.sizeHint();
    QVERIFY(wideHint.width() > 216);
    QCOMPARE(wideHint.height(), 96);

    QString tall;
    for (int i = 0; i < 8; ++i)
        tall += "<mtr><mtd><mi>x</mi></mtd></mtr>";
    QVERIFY(w.setContent(math("<mtable>" + tall + "</mtable>")));
    QVERIFY(w.sizeHint().height() > 96);
    // The whole formula fits in the hinted size: the border rows stay black.
    w.resize(w.sizeHint());
    const QImage img = render(w);
    for (int x = 0; x < img.width(); ++x) {
        QCOMPARE(img.pixel(x, 0), qRgb(0, 0, 0));
        QCOMPARE(img.pixel(x, img.height() - 1), qRgb(0, 0, 0));
    }
}

// Each named entity typesets as its own character: like its numeric reference, unlike the
// others, and not as nothing.
void TestMmlWidget::entities() {
    const QStringList named = {"&omega;", "&pi;", "&middot;", "&wp;"};
    const QStringList numeric = {"&#x3C9;", "&#x3C0;", "&#xB7;", "&#x2118;"};
    auto picture = [](const QString& entity) {
        MmlWidget w;
        w.setContent(math("<mi>x</mi><mo>" + entity + "</mo><mi>x</mi>"));
        w.resize(MmlWidget::minWidth, MmlWidget::minHeight);
        return render(w);
    };
    QVector<QImage> images;
    for (int i = 0; i < named.size(); ++i) {
        images.append(picture(named[i]));
        if (!qEnvironmentVariableIsEmpty("ZRV_KEEP_IMAGES"))
            images.last().save(QStringLiteral("mml-%1.png").arg(i));
        QVERIFY(ink(images[i]) > 180);
        QVERIFY2(images[i] == picture(numeric[i]), qPrintable(named[i]));
        for (int j = 0; j < i; ++j)
            QVERIFY2(images[i] != images[j], qPrintable(named[i] + " looks like " + named[j]));
    }
}

void TestMmlWidget::fractionBar_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("minLength"); // px: at least the width of the wider part
    const QString half = "<mfrac><mrow><mi>x</mi></mrow><mrow><mn>2</mn></mrow></mfrac>";
    QTest::newRow("x over 2") << half << 10;
    QTest::newRow("wide numerator after a term")
        << "<mi>y</mi><mo>+</mo><mfrac><mrow><mi>x</mi><mo>+</mo><mn>1</mn></mrow>"
           "<mrow><mn>2</mn></mrow></mfrac>"
        << 35;
    QTest::newRow("nested") << "<mfrac><mrow>" + half + "</mrow><mrow><mn>3</mn></mrow></mfrac>"
                            << 12;
    QTest::newRow("with entity") << "<mfrac><mrow><mo>&omega;</mo><mi>t</mi></mrow>"
                                    "<mrow><mo>&pi;</mo></mrow></mfrac>"
                                 << 20;
}

// A fraction shows its bar between numerator and denominator, and nothing is drawn outside
// the formula (the engine's own bar would land in the corner).
void TestMmlWidget::fractionBar() {
    QFETCH(QString, body);
    QFETCH(int, minLength);
    MmlWidget w;
    QVERIFY(w.setContent(math(body)));
    w.resize(w.sizeHint());
    const QImage img = render(w);
    if (!qEnvironmentVariableIsEmpty("ZRV_KEEP_IMAGES"))
        img.save(QStringLiteral("frac-%1.png").arg(QTest::currentDataTag()));
    for (int x = 0; x < img.width(); ++x)
        for (int y : {0, 1, 2, img.height() - 1})
            QCOMPARE(img.pixel(x, y), qRgb(0, 0, 0));
    for (int y = 0; y < img.height(); ++y)
        QCOMPARE(img.pixel(0, y), qRgb(0, 0, 0));
    const Run bar = longestRun(img);
    QVERIFY2(bar.length >= minLength, qPrintable(QString::number(bar.length)));
    // Numerator right above the bar, denominator right below, within the bar's columns.
    QVERIFY(inkIn(img, bar.x, bar.x + bar.length, bar.y - 20, bar.y - 1));
    QVERIFY(inkIn(img, bar.x, bar.x + bar.length, bar.y + 2, bar.y + 21));
}

QTEST_MAIN(TestMmlWidget)
#include "tst_mmlwidget.moc"

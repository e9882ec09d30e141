// Drawing primitives of the plot: grid, traces with clipping and slope brightness, cursors,
// frame conversion. Drawn into an image and checked pixel by pixel.
#include "buffer.h"
#include "graph.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>
#include <cstring>
#include <memory>
#include <vector>

namespace {
const QRgb background = qRgb(200, 200, 200);
const QColor traceColour(50, 60, 255);

QImage blankImage() {
    QImage image(1028, 612, QImage::Format_RGB32);
    image.fill(background);
    return image;
}

// Rows of column x that hold exactly `colour`.
QList<int> rowsOf(const QImage& image, int x, QRgb colour) {
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == colour)
            rows << y;
    return rows;
}
} // namespace

class TestGraph : public QObject {
    Q_OBJECT

private slots:
    void gridColours_data();
    void gridColours();
    void flatTraceIsOpaqueOnTheAxis();
    void segmentClipping_data();
    void segmentClipping();
    void slopeAlpha_data();
    void slopeAlpha();
    void steepSegmentIsFaint();
    void signal2xRange();
    void tracesMatchQtLines_data();
    void tracesMatchQtLines();
    void cursorLines_data();
    void cursorLines();
    void convBufToInt16_data();
    void convBufToInt16();
};

void TestGraph::tracesMatchQtLines_data() {
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("spread"); // plot units between neighbouring values
    QTest::newRow("gentle") << quint32(1) << 40;
    QTest::newRow("steep, often clipped") << quint32(2) << 6000;
    QTest::newRow("logic-like steps") << quint32(3) << -110;
}

// Traces are drawn with fills; they must give exactly the pixels of Qt's own cosmetic lines,
// drawn segment by segment with the same colours (alpha blending included) and clipping.
void TestGraph::tracesMatchQtLines() {
    QFETCH(quint32, seed);
    QFETCH(int, spread);
    QRandomGenerator random(seed);
    int values[768];
    int v = 0;
    for (int& value : values) {
        v = spread < 0 ? (random.bounded(4) ? v : (v ? 0 : -spread))
                       : qBound(-1400, v + random.bounded(-spread, spread + 1), 1400);
        value = v;
    }
    QImage fills = blankImage(), lines = blankImage();
    {
        Graph graph(&fills);
        graph.signal(values, traceColour);
        graph.signal2x(values, QColor(200, 80, 20, 90));
    }
    QPainter painter(&lines);
    auto row = [](int value) { return Graph::centreY - qBound(-256, value / 4, 256); };
    auto line = [&](int x1, int a, int x2, int b, const QColor& colour) {
        if ((a / 4 > 256 && b / 4 > 256) || (a / 4 < -256 && b / 4 < -256))
            return;
        painter.setPen(QPen(colour, 0));
        painter.drawLine(x1, row(a), x2, row(b));
    };
    for (int i = 0; i < 383; ++i) {
        QColor colour = traceColour;
        colour.setAlpha(Graph::slopeAlpha(values[i + 1] / 4 - values[i] / 4));
        line(2 * i + 11, values[i], 2 * i + 12, values[i + 1], colour);
    }
    for (int k = 1; k <= 766; ++k)
        line(k + 10, values[k], k + 11, values[k + 1], QColor(200, 80, 20, 90));
    painter.end();
    QCOMPARE(fills, lines);
}

void TestGraph::gridColours_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QColor>("colour");
    const QColor grid(10, 110, 10), axis(10, 240, 10);
    QTest::newRow("inside a division") << QPoint(40, 60) << QColor(Qt::black);
    QTest::newRow("bottom right inside") << QPoint(777, 541) << QColor(Qt::black);
    QTest::newRow("top grid line") << QPoint(40, 30) << grid;
    QTest::newRow("bottom grid line") << QPoint(40, 542) << grid;
    QTest::newRow("left grid line") << QPoint(10, 60) << grid;
    QTest::newRow("right grid line") << QPoint(778, 60) << grid;
    QTest::newRow("grid line x 74") << QPoint(74, 100) << grid;
    QTest::newRow("grid line y 94") << QPoint(100, 94) << grid;
    QTest::newRow("vertical axis") << QPoint(394, 60) << axis;
    QTest::newRow("horizontal axis") << QPoint(40, 286) << axis;
    QTest::newRow("axes cross") << QPoint(394, 286) << axis;
    QTest::newRow("left of the plot") << QPoint(9, 100) << QColor(background);
    QTest::newRow("above the plot") << QPoint(100, 29) << QColor(background);
    QTest::newRow("right of the plot") << QPoint(779, 100) << QColor(background);
    QTest::newRow("below the plot") << QPoint(100, 543) << QColor(background);
}

void TestGraph::gridColours() {
    QFETCH(QPoint, point);
    QFETCH(QColor, colour);
    QImage image = blankImage();
    {
        Graph graph(&image);
        graph.svWindow();
    }
    QCOMPARE(QColor(image.pixel(point)), colour);
}

void TestGraph::flatTraceIsOpaqueOnTheAxis() {
    QImage image = blankImage();
    int zeros[384] = {};
    {
        Graph graph(&image);
        graph.svWindow();
        graph.signal(zeros, QColor(50, 60, 255, 20)); // the trace's own alpha is replaced
    }
    for (int x = 11; x <= 776; ++x)
        QCOMPARE(QColor(image.pixel(x, 286)), traceColour);
    QCOMPARE(QColor(image.pixel(777, 286)), QColor(10, 240, 10));
    QCOMPARE(QColor(image.pixel(10, 286)), QColor(10, 240, 10));
}

// The first segment, from value v at x 11 to value w at x 12: topRow/bottomRow give the extent
// drawn in those two columns, -1 for nothing. The next segment starts at x 13.
void TestGraph::segmentClipping_data() {
    QTest::addColumn<int>("v");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("topRow");
    QTest::addColumn<int>("bottomRow");
    QTest::newRow("1027 at the top edge") << 1027 << 1027 << 30 << 30;
    QTest::newRow("1028 clipped to the top edge") << 1028 << 1028 << -1 << -1;
    QTest::newRow("1028 beside a visible end") << 1028 << 0 << 30 << 286;
    QTest::newRow("-1027 at the bottom edge") << -1027 << -1027 << 542 << 542;
    QTest::newRow("-1028 beside a visible end") << -1028 << 0 << 286 << 542;
    QTest::newRow("4000 to -4000 spans the plot") << 4000 << -4000 << 30 << 542;
    QTest::newRow("4000 to 5000 not drawn") << 4000 << 5000 << -1 << -1;
    QTest::newRow("-4000 to -5000 not drawn") << -4000 << -5000 << -1 << -1;
    QTest::newRow("quarter pixels truncate toward zero") << 7 << -7 << 285 << 287;
    QTest::newRow("100 is 25 pixels up") << 100 << 100 << 261 << 261;
}

void TestGraph::segmentClipping() {
    QFETCH(int, v);
    QFETCH(int, w);
    QFETCH(int, topRow);
    QFETCH(int, bottomRow);
    std::vector<int> values(384, 100000);
    values[0] = v;
    values[1] = w;
    QImage image(1028, 612, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        Graph graph(&image);
        graph.signal(values.data(), QColor(255, 255, 255));
    }
    QList<int> rows;
    for (int x : {11, 12})
        for (int y = 0; y < image.height(); ++y)
            if (qRed(image.pixel(x, y)) != 0)
                rows << y;
    for (int y = 0; y < image.height(); ++y)
        QCOMPARE(qRed(image.pixel(10, y)), 0);
    if (topRow < 0) {
        QVERIFY(rows.isEmpty());
        return;
    }
    QVERIFY(!rows.isEmpty());
    QCOMPARE(*std::min_element(rows.begin(), rows.end()), topRow);
    QCOMPARE(*std::max_element(rows.begin(), rows.end()), bottomRow);
}

void TestGraph::slopeAlpha_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("alpha");
    QTest::newRow("flat") << 0 << 255;
    QTest::newRow("1") << 1 << 227;
    QTest::newRow("-1") << -1 << 227;
    QTest::newRow("10") << 10 << 199;
    QTest::newRow("100") << 100 << 144;
    QTest::newRow("256") << 256 << 107;
    QTest::newRow("512") << 512 << 73;
    QTest::newRow("1385") << 1385 << 11;
    QTest::newRow("1386") << 1386 << 10;
    QTest::newRow("huge") << 100000 << 10;
}

void TestGraph::slopeAlpha() {
    QFETCH(int, step);
    QFETCH(int, alpha);
    QCOMPARE(Graph::slopeAlpha(step), alpha);
}

// The alpha follows the step in whole pixels (values / 4), blended over black.
void TestGraph::steepSegmentIsFaint() {
    std::vector<int> values(384, 0);
    values[100] = 40; // 10 pixels above its neighbours: two segments with a step of 10
    QImage image(1028, 612, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        Graph graph(&image);
        graph.signal(values.data(), QColor(255, 255, 255));
    }
    // Segment 99 rises from (209, 286) to (210, 276), segment 100 falls from (211, 276) to
    // (212, 286); segment 101 is flat at x 213..214.
    for (const QPoint& p : {QPoint(209, 286), QPoint(211, 276)}) {
        const int faint = qRed(image.pixel(p));
        QVERIFY2(qAbs(faint - 199) <= 1, qPrintable(QString::number(faint)));
    }
    QCOMPARE(qRed(image.pixel(213, 286)), 255);
    QCOMPARE(qRed(image.pixel(208, 286)), 255);
}

void TestGraph::signal2xRange() {
    std::vector<int> values(768, 0);
    values[0] = -1000; // never drawn
    values[767] = 400; // the last point, at x 777
    QImage image(1028, 612, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QColor half(255, 255, 255, 128);
    {
        Graph graph(&image);
        graph.signal2x(values.data(), half);
    }
    // The colour keeps its own alpha on every segment.
    const int level = qRed(image.pixel(11, 286));
    QVERIFY2(qAbs(level - 128) <= 1, qPrintable(QString::number(level)));
    QCOMPARE(qRed(image.pixel(10, 286)), 0);
    QCOMPARE(qRed(image.pixel(10, 536)), 0);
    QCOMPARE(qRed(image.pixel(11, 536)), 0);
    QVERIFY(qRed(image.pixel(777, 186)) > 0);
    QCOMPARE(qRed(image.pixel(778, 186)), 0);
    QCOMPARE(qRed(image.pixel(778, 286)), 0);
}

void TestGraph::cursorLines_data() {
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("line"); // column or row in the image
    QTest::newRow("cursorV 0 on the left edge") << true << 0 << 10;
    QTest::newRow("cursorV 768 on the right edge") << true << 768 << 778;
    QTest::newRow("cursorV 384 on the axis") << true << 384 << 394;
    QTest::newRow("cursorH 0 on the axis") << false << 0 << 286;
    QTest::newRow("cursorH 256 on the top edge") << false << 256 << 30;
    QTest::newRow("cursorH -100") << false << -100 << 386;
}

void TestGraph::cursorLines() {
    QFETCH(bool, vertical);
    QFETCH(int, position);
    QFETCH(int, line);
    const QColor colour(150, 150, 0);
    QImage image = blankImage();
    {
        Graph graph(&image);
        if (vertical)
            graph.cursorV(position, colour);
        else
            graph.cursorH(position, colour);
    }
    if (vertical) {
        const QList<int> rows = rowsOf(image, line, colour.rgb());
        QCOMPARE(rows.size(), 513);
        QCOMPARE(rows.first(), 30);
        QCOMPARE(rows.last(), 542);
        QCOMPARE(rowsOf(image, line + 1, colour.rgb()).size(), 0);
    } else {
        for (int x = 0; x < image.width(); ++x) {
            const bool on = x >= 10 && x <= 778;
            QCOMPARE(image.pixel(x, line) == colour.rgb(), on);
        }
    }
}

void TestGraph::convBufToInt16_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("value");
    QTest::newRow("largest") << 0xFF << 0x7F << 32767;
    QTest::newRow("smallest") << 0x00 << 0x80 << -32768;
    QTest::newRow("low byte first") << 0x34 << 0x12 << 4660;
    QTest::newRow("minus one") << 0xFF << 0xFF << -1;
    QTest::newRow("zero") << 0x00 << 0x00 << 0;
}

void TestGraph::convBufToInt16() {
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, value);
    auto buffer = std::make_unique<Buffer>();
    std::memset(buffer.get(), 0x11, sizeof(Buffer));
    buffer->length = 0; // not looked at
    for (int i : {0, 511, 1023}) {
        buffer->data[2 * i] = uint8_t(low);
        buffer->data[2 * i + 1] = uint8_t(high);
    }
    int out[1025];
    out[1024] = 12345;
    Graph::convBufToInt16(buffer.get(), out);
    QCOMPARE(out[0], value);
    QCOMPARE(out[511], value);
    QCOMPARE(out[1023], value);
    QCOMPARE(out[1], 0x1111);
    QCOMPARE(out[1024], 12345); // exactly 1024 written
}

QTEST_MAIN(TestGraph)
#include "tst_graph.moc"

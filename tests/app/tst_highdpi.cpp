// The main window on a 2x screen: every page must come out as the 1x layout at twice the size,
// not a small window and not controls or plots drawn in device pixels.
#include "buffer.h"
#include "highdpi.h"
#include "mainwindow.h"

#include <QApplication>
#include <QPainter>
#include <QTabWidget>
#include <QWindow>
#include <QtTest>
#include <cmath>

namespace {
constexpr int scale = 2;

// Mean absolute difference per colour channel (0..255) and the share of pixels whose largest
// channel difference exceeds 96: a misplaced control or plot shows up in the second figure even
// when most of the window agrees.
struct Difference {
    double mean = 0;
    double strongShare = 0;
};

Difference compareImages(const QImage& a, const QImage& b) {
    Difference d;
    if (a.size() != b.size() || a.isNull()) {
        d.mean = 255;
        d.strongShare = 1;
        return d;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    long long strong = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = std::abs(qRed(p[col]) - qRed(q[col]));
            const int dg = std::abs(qGreen(p[col]) - qGreen(q[col]));
            const int db = std::abs(qBlue(p[col]) - qBlue(q[col]));
            sum += dr + dg + db;
            if (std::max({dr, dg, db}) > 96)
                ++strong;
        }
    }
    const double pixels = double(x.width()) * x.height();
    d.mean = sum / (3 * pixels);
    d.strongShare = double(strong) / pixels;
    return d;
}

// What the 1x and the scaled-down 2x picture may differ by: text and slanted traces are
// anti-aliased differently at the two sizes, which stays far below a layout fault.
constexpr double meanLimit = 6.0;
constexpr double strongLimit = 0.02;

bool sameLayout(const Difference& d) {
    return d.mean <= meanLimit && d.strongShare <= strongLimit;
}

// A frame for every page to draw: channel 1 a sine, channel 2 a square in the oscilloscope's
// two halves; the logic analyser reads the same bytes as eight busy channels.
void fillFrame() {
    for (int i = 0; i < 1024; ++i) {
        const int v = i < 512 ? int(3000 * std::sin(i * 6.283185307179586 / 128))
                              : ((i / 64) % 2 ? 1500 : -1500);
        buff.data[2 * i] = uint8_t(v & 0xFF);
        buff.data[2 * i + 1] = uint8_t((v >> 8) & 0xFF);
    }
    buff.length = 2048;
    bufReady = true;
}

// The window as drawn on screen (device pixels, here 2x) and as drawn into a 1x image.
QImage screenPicture(MainWindow& w) {
    return w.grab().toImage();
}

QImage oneXPicture(MainWindow& w) {
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    image.fill(Qt::white);
    w.render(&image);
    return image;
}

QImage scaledDown(const QImage& picture, const QSize& size) {
    QImage down = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    down.setDevicePixelRatio(1);
    return down;
}
} // namespace

class TestHighDpi : public QObject {
    Q_OBJECT

private slots:
    void windowIsTwiceTheSize();
    void pagesKeepTheirLayout_data();
    void pagesKeepTheirLayout();
    void comparisonSeesLayoutFaults();
};

void TestHighDpi::windowIsTwiceTheSize() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Logical size unchanged, so every fixed geometry keeps its meaning.
    QCOMPARE(w.size(), QSize(1028, 612));
    QCOMPARE(w.windowHandle()->devicePixelRatio(), qreal(scale));
    const QImage picture = screenPicture(w);
    QCOMPARE(picture.size(), QSize(1028 * scale, 612 * scale));
    // The window's own pixels, not a 1x picture blown up: the port button's text has detail
    // finer than one logical pixel, so adjacent device pixels differ somewhere inside it.
    const QRect button(880 * scale, 580 * scale, 100 * scale, 20 * scale);
    bool fine = false;
    for (int y = button.top(); y < button.bottom() && !fine; y += 2)
        for (int x = button.left(); x < button.right() && !fine; x += 2)
            fine = picture.pixel(x, y) != picture.pixel(x + 1, y) ||
                   picture.pixel(x, y) != picture.pixel(x, y + 1);
    QVERIFY2(fine, "the 2x picture is a 1x picture scaled up");
}

void TestHighDpi::pagesKeepTheirLayout_data() {
    QTest::addColumn<int>("page");
    QTest::newRow("oscilloscope") << int(MainWindow::OscPage);
    QTest::newRow("generator") << int(MainWindow::GenPage);
    QTest::newRow("spectrum") << int(MainWindow::AnPage);
    QTest::newRow("logic analyser") << int(MainWindow::LaPage);
    QTest::newRow("settings") << int(MainWindow::SettingsPage);
}

void TestHighDpi::pagesKeepTheirLayout() {
    QFETCH(int, page);
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.tabBar()->setCurrentIndex(page);
    fillFrame();
    const QImage twoX = screenPicture(w);
    fillFrame(); // the paint handler took the flag; draw the same frame again
    const QImage oneX = oneXPicture(w);
    const Difference d = compareImages(scaledDown(twoX, oneX.size()), oneX);
    qInfo("difference: mean %.2f, strong share %.4f", d.mean, d.strongShare);
    QVERIFY2(sameLayout(d),
             qPrintable(QStringLiteral("mean %1, strong %2").arg(d.mean).arg(d.strongShare)));
}

// The same measure must reject what a layout fault looks like: the whole picture moved by a
// few pixels, the plot drawn at half size, another page.
void TestHighDpi::comparisonSeesLayoutFaults() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    fillFrame();
    const QImage oneX = oneXPicture(w);

    QImage shifted(oneX.size(), oneX.format());
    shifted.fill(Qt::white);
    {
        QPainter p(&shifted);
        p.drawImage(QPoint(6, 6), oneX);
    }
    QVERIFY(!sameLayout(compareImages(shifted, oneX)));

    QImage halfPlot = oneX.copy();
    {
        QPainter p(&halfPlot);
        const QRect plot(10, 30, 768, 512);
        p.fillRect(plot, QApplication::palette().color(QPalette::Window));
        p.drawImage(QRect(10, 30, 384, 256), oneX.copy(plot));
    }
    QVERIFY(!sameLayout(compareImages(halfPlot, oneX)));

    w.tabBar()->setCurrentIndex(MainWindow::GenPage);
    QVERIFY(!sameLayout(compareImages(oneXPicture(w), oneX)));
}

int main(int argc, char* argv[]) {
    // Set before the application exists, as a 2x desktop session would.
    qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
    zrvApplyHighDpi(); // the program's own start-up setting
    QApplication app(argc, argv);
    TestHighDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"

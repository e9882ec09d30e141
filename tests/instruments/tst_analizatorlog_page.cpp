// The logic analyser page on a plain host window: trigger boxes, rate, capture cycle and the
// bytes they send over a pseudo-terminal, cursor, scrolling/zoom repaints and the drawn screen.
#include "analizatorlog.h"
#include "buffer.h"
#include "graph.h"
#include "ptypair.h"
#include "zrvcom.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>
#include <memory>

namespace {
// Stands in for the main window: paints the page from its paint handler with the global
// frame and a new-frame flag, like the real one does.
class PaintHost : public QWidget {
public:
    PaintHost() { resize(1028, 612); }
    AnalizatorLog* page = nullptr;
    bool frameFlag = false;
    int paints = 0;
    int plotPaints = 0; // paints that cover the whole plot (a child's repaint covers only itself)

protected:
    void paintEvent(QPaintEvent* event) override {
        if (page)
            page->drawGraph(&buff, frameFlag);
        frameFlag = false;
        ++paints;
        if (event->region().contains(QRect(Graph::left, Graph::top, 768, 512)))
            ++plotPaints;
    }
};

// A page on its own shown host, with an open link on a pseudo-terminal.
struct Bench {
    PaintHost host;
    std::unique_ptr<AnalizatorLog> page;
    PtyPair pty;
    ZRVCom com;

    Bench() : page(std::make_unique<AnalizatorLog>(&host)) { host.page = page.get(); }
    bool connect() {
        if (!pty.isValid() || !com.Open(pty.slavePath(), 19, &buff))
            return false;
        page->com = &com;
        page->enable();
        return true;
    }
    bool showHost() {
        page->show();
        host.show();
        return QTest::qWaitForWindowExposed(&host);
    }
    // Everything the page sent since the last call: a sentinel the page never sends ("G")
    // follows it down the same line, so no waiting on silence is needed.
    QByteArray sent() {
        com.genStart();
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (!got.endsWith('G') && timer.elapsed() < 10000)
            got += pty.read(1, 200);
        if (!got.endsWith('G'))
            return QByteArrayLiteral("<sentinel lost>") + got;
        got.chop(1);
        return got;
    }
    // A logic capture asked for with "Start" and delivered with the next paint.
    void capture() {
        buff.length = LaLogic::captureBytes;
        page->startButton->click();
        repaint(true);
    }
    void repaint(bool newFrame) {
        const int before = host.paints;
        host.frameFlag = newFrame;
        host.update();
        QTRY_VERIFY_WITH_TIMEOUT(host.paints > before, 10000);
    }
};

// Trigger record decoded from its seven wire bytes "[" + two 4-bit groups per byte.
struct Record {
    int edge, level, polarity;
};
QVector<Record> decodeRecords(const QByteArray& bytes, bool* ok) {
    QVector<Record> out;
    *ok = bytes.size() % 7 == 0;
    for (int k = 0; *ok && k + 7 <= bytes.size(); k += 7) {
        const QByteArray r = bytes.mid(k, 7);
        *ok = r[0] == '[';
        auto byteAt = [&r](int i) { return ((r[i] - 0x30) / 2) << 4 | ((r[i + 1] - 0x30) / 2); };
        out.append({byteAt(1), byteAt(3), byteAt(5)});
    }
    return out;
}

QByteArray rateCommand(int index) {
    return QByteArray("Y") + char(0x30 + 2 * index);
}

QMouseEvent press(int x, int y) {
    return QMouseEvent(QEvent::MouseButtonPress, QPointF(x, y), Qt::LeftButton, Qt::LeftButton,
                       Qt::NoModifier);
}

QColor traceColour(int channel) {
    return QColor(20 + 25 * channel, 30, 240 - 25 * channel);
}

QLoggingCategory::CategoryFilter previousFilter = nullptr;
void laDebugOn(QLoggingCategory* category) {
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), "zrv.la") == 0)
        category->setEnabled(QtDebugMsg, true);
}

int rowOf(int value) {
    return Graph::centreY - value / 4;
}
} // namespace

using Changes = QVector<QPair<int, int>>; // (channel, box index), applied in order
Q_DECLARE_METATYPE(Changes)

class TestAnalizatorLogPage : public QObject {
    Q_OBJECT
private slots:
    void controlsAtStart();
    void triggerRecords_data();
    void triggerRecords();
    void triggerBeforePortIsKeptForStart();
    void rateChoice_data();
    void rateChoice();
    void captureCycle_data();
    void captureCycle();
    void cursorClicks_data();
    void cursorClicks();
    void scrollAndZoomRepaint_data();
    void scrollAndZoomRepaint();
    void screenPixels_data();
    void screenPixels();
    void debugLinePerPaint();
};

void TestAnalizatorLogPage::controlsAtStart() {
    QWidget host;
    AnalizatorLog page(&host);
    QCOMPARE(page.rateBox->currentText(), QStringLiteral("20KSPS"));
    QCOMPARE(page.sampleRate(), 7); // the time readout must use the rate the box shows
    QWidget* waiting[] = {page.rateBox,   page.zoomBox,   page.valueLabel,
                          page.timeLabel, page.offsetBar, page.startButton};
    for (QWidget* w : waiting)
        QVERIFY(!w->isEnabled());
    for (QComboBox* box : page.trigBox)
        QVERIFY(box->isEnabled());
    page.enable();
    for (QWidget* w : waiting)
        QVERIFY(w->isEnabled());

    const auto controls = host.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 14);
    for (bool shown : {false, true, false}) {
        shown ? page.show() : page.hide();
        for (QWidget* w : controls)
            QCOMPARE(w->isHidden(), !shown);
    }
}

void TestAnalizatorLogPage::triggerRecords_data() {
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("polarity");

    QTest::newRow("back to all X") << Changes{{2, 1}, {2, 0}} << 0 << 0 << 0;
    QTest::newRow("ch0 rising, ch7 high") << Changes{{0, 3}, {7, 2}} << 1 << 128 << 129;
    QTest::newRow("ch3 high then falling") << Changes{{3, 2}, {3, 4}} << 8 << 0 << 0;
    QTest::newRow("ch5 low") << Changes{{5, 1}} << 0 << 32 << 0;
    QTest::newRow("every condition once")
        << Changes{{0, 1}, {1, 2}, {2, 3}, {3, 4}, {5, 1}, {6, 2}, {7, 3}} << 140 << 99 << 198;
    QTest::newRow("all rising, then ch4 X")
        << Changes{{0, 3}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}, {6, 3}, {7, 3}, {4, 0}} << 0xEF
        << 0 << 0xEF;
}

void TestAnalizatorLogPage::triggerRecords() {
    QFETCH(Changes, changes);
    Bench b;
    QVERIFY(b.connect());
    for (const auto& c : changes)
        b.page->trigBox[c.first]->setCurrentIndex(c.second);

    bool ok = false;
    const QVector<Record> records = decodeRecords(b.sent(), &ok);
    QVERIFY(ok);
    // The whole record goes out again on every change.
    QCOMPARE(records.size(), changes.size());
    QTEST(records.last().edge, "edge");
    QTEST(records.last().level, "level");
    QTEST(records.last().polarity, "polarity");
    QTEST(int(b.page->trigger().edge), "edge");
    QTEST(int(b.page->trigger().level), "level");
    QTEST(int(b.page->trigger().polarity), "polarity");
}

void TestAnalizatorLogPage::triggerBeforePortIsKeptForStart() {
    Bench b;
    // No link yet: the change must neither crash nor be lost.
    b.page->trigBox[0]->setCurrentIndex(3);
    b.page->trigBox[7]->setCurrentIndex(2);
    QCOMPARE(int(b.page->trigger().edge), 1);
    b.page->start(); // nothing to send through

    QVERIFY(b.connect());
    QCOMPARE(b.sent(), QByteArray()); // enable() alone sends nothing
    b.page->start();
    const QByteArray got = b.sent();
    QCOMPARE(got.left(3), QByteArray("I") + rateCommand(7));
    bool ok = false;
    const QVector<Record> records = decodeRecords(got.mid(3), &ok);
    QVERIFY(ok);
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0].edge, 1);
    QCOMPARE(records[0].level, 128);
    QCOMPARE(records[0].polarity, 129);
}

void TestAnalizatorLogPage::rateChoice_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("index");
    QTest::newRow("200SPS") << int(Qt::Key_End) << 13;
    QTest::newRow("4MSPS") << int(Qt::Key_Home) << 0;
    QTest::newRow("10KSPS") << int(Qt::Key_Down) << 8;
    QTest::newRow("50KSPS") << int(Qt::Key_Up) << 6;
}

void TestAnalizatorLogPage::rateChoice() {
    QFETCH(int, key);
    QFETCH(int, index);
    Bench b;
    QVERIFY(b.connect());
    QTest::keyClick(b.page->rateBox, Qt::Key(key));
    QCOMPARE(b.page->rateBox->currentIndex(), index);
    QCOMPARE(b.sent(), rateCommand(index));
    QCOMPARE(b.page->sampleRate(), index);
    // Entering the mode again tells the device the chosen rate.
    b.page->start();
    QCOMPARE(b.sent().left(3), QByteArray("I") + rateCommand(index));
}

void TestAnalizatorLogPage::captureCycle_data() {
    // c: button click, f: paint with a new logic frame, o: with a new oscilloscope frame (one
    // still on the line after a page switch), p: repaint
    QTest::addColumn<QString>("events");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("captured");

    QTest::newRow("start") << "c" << QByteArray("O") << "Force trig" << 1 << false;
    QTest::newRow("start, force") << "cc" << QByteArray("OQ") << "Start" << 0 << false;
    QTest::newRow("start, force, frame") << "ccf" << QByteArray("OQ") << "Start" << 0 << true;
    QTest::newRow("start, force, start")
        << "ccc" << QByteArray("OQO") << "Force trig" << 1 << false;
    QTest::newRow("start, frame") << "cf" << QByteArray("O") << "Start" << 0 << true;
    QTest::newRow("start, frame, start") << "cfc" << QByteArray("OO") << "Force trig" << 1 << true;
    QTest::newRow("repaint keeps it armed")
        << "cp" << QByteArray("O") << "Force trig" << 1 << false;
    QTest::newRow("frame while idle") << "f" << QByteArray() << "Start" << 0 << false;
    QTest::newRow("oscilloscope frames are not captures")
        << "ocooo" << QByteArray("O") << "Force trig" << 1 << false;
}

void TestAnalizatorLogPage::captureCycle() {
    QFETCH(QString, events);
    Bench b;
    QVERIFY(b.connect());
    QVERIFY(b.showHost());
    for (const QChar e : events) {
        buff.length = e == 'o' ? 2048 : LaLogic::captureBytes;
        if (e == 'c')
            QTest::mouseClick(b.page->startButton, Qt::LeftButton);
        else
            b.repaint(e != 'p');
    }
    QTEST(b.sent(), "bytes");
    QTEST(b.page->startButton->text(), "text");
    QTEST(b.page->captureState(), "state");
    QTEST(b.page->hasCapture(), "captured");
}

void TestAnalizatorLogPage::cursorClicks_data() {
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("cursorX");

    // The cursor starts at column 50 (a click at x 60).
    QTest::newRow("top-left corner inside") << QPoint(11, 31) << 1;
    QTest::newRow("bottom-right corner inside") << QPoint(777, 541) << 767;
    QTest::newRow("centre") << QPoint(394, 286) << 384;
    QTest::newRow("left edge") << QPoint(10, 100) << 50;
    QTest::newRow("right edge") << QPoint(778, 100) << 50;
    QTest::newRow("top edge") << QPoint(100, 30) << 50;
    QTest::newRow("bottom edge") << QPoint(100, 542) << 50;
    QTest::newRow("just below the plot") << QPoint(100, 545) << 50;
    QTest::newRow("on the controls") << QPoint(450, 590) << 50;
}

void TestAnalizatorLogPage::cursorClicks() {
    QFETCH(QPoint, at);
    QWidget host;
    AnalizatorLog page(&host);
    QMouseEvent first = press(60, 200);
    page.drawCursor(&first);
    QCOMPARE(page.cursorColumn(), 50);
    QMouseEvent e = press(at.x(), at.y());
    page.drawCursor(&e);
    QTEST(page.cursorColumn(), "cursorX");
}

void TestAnalizatorLogPage::scrollAndZoomRepaint_data() {
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("time");
    QTest::addColumn<int>("byteIndex"); // -1: "Value: --"

    // Cursor at column 100, 20KSPS.
    QTest::newRow("zoom 4") << 4 << 0 << "Time: 1.250ms" << 25;
    QTest::newRow("scrolled") << 1 << 1000 << "Time: 30.000ms" << 600;
    QTest::newRow("scrolled, zoom 4") << 4 << 1984 << "Time: 50.850ms" << 1017;
    QTest::newRow("scrolled past the data") << 1 << 1984 << "Time: 54.600ms" << -1;
}

void TestAnalizatorLogPage::scrollAndZoomRepaint() {
    QFETCH(int, zoom);
    QFETCH(int, offset);
    QFETCH(int, byteIndex);
    for (int j = 0; j < 1024; ++j)
        buff.data[j] = uint8_t(j * 37 + 11);
    Bench b;
    QVERIFY(b.showHost());
    b.page->enable();
    b.capture();
    int before = b.host.plotPaints;
    QMouseEvent click = press(110, 200);
    b.page->drawCursor(&click);
    QTRY_VERIFY(b.host.plotPaints > before);
    QTRY_COMPARE(b.page->timeLabel->text(), QStringLiteral("Time: 5.000ms"));
    QTRY_COMPARE(b.page->valueLabel->text(), QStringLiteral("Value: %1").arg(buff.data[100]));

    // No new frame arrives: the controls alone must bring the readouts up to date.
    // Each real change repaints the whole plot at once.
    if (zoom != b.page->zoomFactor()) {
        before = b.host.plotPaints;
        b.page->zoomBox->setValue(zoom);
        QTRY_VERIFY(b.host.plotPaints > before);
    }
    if (offset != b.page->firstPosition()) {
        before = b.host.plotPaints;
        b.page->offsetBar->setValue(offset);
        QTRY_VERIFY(b.host.plotPaints > before);
    }
    QCOMPARE(b.page->zoomFactor(), zoom);
    QCOMPARE(b.page->firstPosition(), offset);
    QFETCH(QString, time);
    QTRY_COMPARE(b.page->timeLabel->text(), time);
    QTRY_COMPARE(b.page->valueLabel->text(),
                 byteIndex < 0 ? QStringLiteral("Value: --")
                               : QStringLiteral("Value: %1").arg(buff.data[byteIndex]));
}

void TestAnalizatorLogPage::screenPixels_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("drawn");

    QTest::newRow("0xA5") << 0xA5 << 0 << 101 << true;
    QTest::newRow("0x5A") << 0x5A << 0 << 101 << true;
    QTest::newRow("0x01 at the right end") << 0x01 << 0 << 775 << true;
    QTest::newRow("end of view, inside the data") << 0xA5 << 1984 << 21 << true;
    QTest::newRow("end of view, past the data") << 0xA5 << 1984 << 101 << false;
}

void TestAnalizatorLogPage::screenPixels() {
    QFETCH(int, byte);
    QFETCH(int, offset);
    QFETCH(int, x);
    QFETCH(bool, drawn);
    memset(buff.data, byte, 1024);
    QWidget host;
    AnalizatorLog page(&host);
    page.enable();
    page.offsetBar->setValue(offset);
    QMouseEvent click = press(300, 200);
    page.drawCursor(&click);

    QImage image(1028, 612, QImage::Format_RGB32);
    image.fill(Qt::white);
    page.paintScreen(&image);
    // Before its first capture the page shows the empty grid, whatever the buffer holds.
    QCOMPARE(image.pixelColor(x, rowOf(950)), QColor(Qt::black));
    buff.length = LaLogic::captureBytes;
    page.startButton->click();
    QVERIFY(page.takeCapture(&buff));
    page.paintScreen(&image);

    for (int n = 0; n < 8; ++n) {
        const bool high = byte >> n & 1;
        const int on = rowOf(high ? 950 - 256 * n : 840 - 256 * n);
        const int off = rowOf(high ? 840 - 256 * n : 950 - 256 * n);
        QCOMPARE(image.pixelColor(x, on) == traceColour(n), drawn);
        QCOMPARE(image.pixelColor(x, off), QColor(Qt::black));
    }
    // Cursor at column 290, between the rows of channels 0 and 1.
    QCOMPARE(image.pixelColor(300, 90), QColor(20, 80, 60));
    QCOMPARE(image.pixelColor(20, 10), QColor(Qt::white)); // nothing outside the plot
}

void TestAnalizatorLogPage::debugLinePerPaint() {
    buff.data[0] = 12;
    buff.data[1] = 0;
    buff.data[2] = 255;
    QWidget host;
    AnalizatorLog page(&host);
    page.enable();
    QImage image(1028, 612, QImage::Format_RGB32);
    // The test runner silences zrv.* through the environment; turn this category on here.
    previousFilter = QLoggingCategory::installFilter(laDebugOn);
    buff.length = LaLogic::captureBytes;
    page.startButton->click();
    QVERIFY(page.takeCapture(&buff));
    QTest::ignoreMessage(QtDebugMsg, "\"12\" \"0\" \"255\"");
    page.paintScreen(&image);
    buff.data[1] = 7;
    page.startButton->click();
    QVERIFY(page.takeCapture(&buff));
    QTest::ignoreMessage(QtDebugMsg, "\"12\" \"7\" \"255\"");
    page.paintScreen(&image);
    QLoggingCategory::installFilter(previousFilter);
}

QTEST_MAIN(TestAnalizatorLogPage)
#include "tst_analizatorlog_page.moc"

#include "mmlwidget.h"
#include "tst_generator_rig.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QtTest>

namespace {
QByteArray freqParams(int divider, int tabs) {
    QByteArray b;
    for (int shift : {12, 8, 4, 0})
        b.append(ZRVCom::nibbleByte(divider >> shift));
    for (int shift : {8, 4, 0})
        b.append(ZRVCom::nibbleByte(tabs >> shift));
    return b;
}
} // namespace

class TestGeneratorPage : public QObject {
    Q_OBJECT
private slots:
    void controlsStartDisabledAndHidden();
    void showHideAndEnable();
    void startSendsStartFrequencyAndTable();
    void frequencyBox_data();
    void frequencyBox();
    void multiplierSetsArrowStep_data();
    void multiplierSetsArrowStep();
    void uploadOnlyOnChange_data();
    void uploadOnlyOnChange();
    void functionTypeUploadsEveryTime();
    void typeBoxSwitchesExpressionControls();
    void noiseTypesUploadNoise();
    void drawArb_data();
    void drawArb();
    void strokeJoinsMovesAndSkipsOutside();
    void releaseUploadsOnce();
    void previewShowsBothTables();
};

void TestGeneratorPage::controlsStartDisabledAndHidden() {
    GenRig rig;
    for (const char* name :
         {"freqBox", "gainBox", "typeBox", "dutyBox", "offsetBox", "openButton", "saveButton",
          "freqLabel", "xLabel", "exprEdit", "generateButton", "xFromBox", "xToBox", "mmlScroll"}) {
        QWidget* w = rig.child<QWidget>(name);
        QVERIFY2(w, name);
        QVERIFY2(!w->isEnabled(), name);
        QVERIFY2(w->isHidden(), name);
    }
    QVERIFY(rig.child<QSpinBox>("mulBox")->isEnabled());
    QCOMPARE(rig.child<QLabel>("freqLabel")->text(), QStringLiteral("Freq: 0Hz"));
    QCOMPARE(rig.child<QSpinBox>("freqBox")->value(), 1000);
    QCOMPARE(rig.child<QSpinBox>("gainBox")->value(), 1250);
    QCOMPARE(rig.child<QComboBox>("typeBox")->count(), 7);
    QCOMPARE(rig.child<QComboBox>("typeBox")->itemText(3), QStringLiteral("white noise"));
    QCOMPARE(rig.child<QDoubleSpinBox>("xToBox")->value(), 1.0);
    QCOMPARE(rig.child<QWidget>("mmlScroll")->geometry(), QRect(798, 260, 220, 100));
    QCOMPARE(rig.page->freq, 1000);
}

void TestGeneratorPage::showHideAndEnable() {
    GenRig rig;
    rig.host.show();
    rig.page->show();
    const QList<QWidget*> own = {
        rig.child<QWidget>("freqBox"),        rig.child<QWidget>("mulBox"),
        rig.child<QWidget>("gainBox"),        rig.child<QWidget>("typeBox"),
        rig.child<QWidget>("dutyBox"),        rig.child<QWidget>("offsetBox"),
        rig.child<QWidget>("freqLabel"),      rig.child<QWidget>("exprEdit"),
        rig.child<QWidget>("generateButton"), rig.child<QWidget>("xFromBox"),
        rig.child<QWidget>("xToBox"),         rig.child<QWidget>("xLabel"),
        rig.child<QWidget>("mmlScroll"),      rig.child<QWidget>("openButton"),
        rig.child<QWidget>("saveButton")};
    for (QWidget* w : own)
        QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(rig.child<MmlWidget>("mmlWidget")->isVisible());
    rig.page->hide();
    for (QWidget* w : own)
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));

    rig.page->enable();
    for (const char* name : {"freqBox", "gainBox", "typeBox", "dutyBox", "offsetBox", "freqLabel",
                             "openButton", "saveButton", "mmlScroll"})
        QVERIFY2(rig.child<QWidget>(name)->isEnabled(), name);
    for (const char* name : {"exprEdit", "generateButton", "xFromBox", "xToBox", "xLabel"})
        QVERIFY2(!rig.child<QWidget>(name)->isEnabled(), name);
}

void TestGeneratorPage::startSendsStartFrequencyAndTable() {
    GenRig rig;
    QVERIFY(rig.opened);
    rig.page->enable();
    const QVector<Command> cmds = rig.sent([&] { rig.page->start(); });
    // "G", the frequency of the box (1000 Hz: divider 62, 512 points) and the sine table once:
    // the type and gain steps of the start find nothing changed.
    QCOMPARE(cmds.size(), 3);
    QCOMPARE(cmds[0].letter, 'G');
    QCOMPARE(cmds[1].letter, 'M');
    QCOMPARE(cmds[1].params, freqParams(62, 512));
    QCOMPARE(cmds[2].letter, 'K');
    QCOMPARE(rig.table[0], 2047);
    QCOMPARE(rig.table[128], 0);
    QCOMPARE(cmds[2].params, encodedTable(rig.table));
    QCOMPARE(rig.child<QLabel>("freqLabel")->text(), QStringLiteral("Freq: 1008Hz"));

    // Starting again (page shown anew) re-sends "G" and the frequency, not the table.
    const QVector<Command> again = rig.sent([&] { rig.page->start(); });
    QCOMPARE(again.size(), 2);
    QCOMPARE(again[0].letter, 'G');
    QCOMPARE(again[1].letter, 'M');
}

void TestGeneratorPage::frequencyBox_data() {
    QTest::addColumn<int>("hz");
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("divider");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("uploads");
    QTest::newRow("440") << 440 << 512 << 142 << "Freq: 440Hz" << 0;
    QTest::newRow("1954") << 1954 << 510 << 32 << "Freq: 1960Hz" << 1;
    QTest::newRow("3000") << 3000 << 332 << 32 << "Freq: 3012Hz" << 1;
    QTest::newRow("5000 exact") << 5000 << 200 << 32 << "Freq: 5000Hz" << 1;
    QTest::newRow("333333") << 333333 << 2 << 48 << "Freq: 333333Hz" << 1;
    QTest::newRow("500000") << 500000 << 2 << 32 << "Freq: 500000Hz" << 1;
}

void TestGeneratorPage::frequencyBox() {
    QFETCH(int, hz);
    QFETCH(int, tabs);
    QFETCH(int, divider);
    QFETCH(QString, label);
    QFETCH(int, uploads);
    GenRig rig;
    QVERIFY(rig.opened);
    rig.page->enable();
    rig.sent([&] { rig.page->start(); });
    const QVector<Command> cmds = rig.sent([&] { rig.child<QSpinBox>("freqBox")->setValue(hz); });
    QVERIFY(!cmds.isEmpty());
    QCOMPARE(cmds[0].letter, 'M');
    QCOMPARE(cmds[0].params, freqParams(divider, tabs));
    // The table goes out again only when its played length changed.
    QCOMPARE(cmds.size(), 1 + uploads);
    QCOMPARE(rig.child<QLabel>("freqLabel")->text(), label);
    QCOMPARE(rig.page->freq, hz);
    QCOMPARE(rig.page->tableLength(), tabs);
    QCOMPARE(rig.page->clockDivider(), divider);
    // The played points are the master table resampled to the new length.
    const int* wave = rig.page->masterTable();
    for (int j = 0; j < tabs; ++j)
        QCOMPARE(rig.table[j], wave[j * 512 / tabs]);
}

void TestGeneratorPage::multiplierSetsArrowStep_data() {
    QTest::addColumn<int>("power");
    QTest::addColumn<int>("after");
    QTest::newRow("x10^0") << 0 << 1001;
    QTest::newRow("x10^3") << 3 << 2000;
    QTest::newRow("x10^5") << 5 << 101000;
}

void TestGeneratorPage::multiplierSetsArrowStep() {
    QFETCH(int, power);
    QFETCH(int, after);
    GenRig rig;
    auto* mul = rig.child<QSpinBox>("mulBox");
    mul->setValue(power == 0 ? 1 : 0); // make sure the value changes
    mul->setValue(power);
    auto* freq = rig.child<QSpinBox>("freqBox");
    freq->stepBy(1);
    QCOMPARE(freq->value(), after);
}

using Action = std::function<void(Generator&, QWidget&)>;
Q_DECLARE_METATYPE(Action)

void TestGeneratorPage::uploadOnlyOnChange_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("uploads");
    auto box = [](QWidget& host, const char* name) { return host.findChild<QSpinBox*>(name); };
    QTest::newRow("same parameters again")
        << Action([](Generator& g, QWidget&) { g.bufChange(g.tableLength(), 0, 1250, 50, 0); })
        << 0;
    QTest::newRow("amplitude") << Action([box](Generator&, QWidget& h) {
        box(h, "gainBox")->setValue(1000);
    }) << 1;
    QTest::newRow("offset") << Action([box](Generator&, QWidget& h) {
        box(h, "offsetBox")->setValue(-300);
    }) << 1;
    QTest::newRow("duty, even on a sine")
        << Action([box](Generator&, QWidget& h) { box(h, "dutyBox")->setValue(30); }) << 1;
    QTest::newRow("amplitude twice, same value") << Action([box](Generator& g, QWidget& h) {
        box(h, "gainBox")->setValue(900);
        g.bufChange(g.tableLength(), 0, 900, 50, 0);
    }) << 1;
    QTest::newRow("frequency with same length")
        << Action([box](Generator&, QWidget& h) { box(h, "freqBox")->setValue(900); }) << 0;
}

void TestGeneratorPage::uploadOnlyOnChange() {
    QFETCH(Action, action);
    QFETCH(int, uploads);
    GenRig rig;
    QVERIFY(rig.opened);
    rig.page->enable();
    rig.sent([&] { rig.page->start(); });
    QCOMPARE(rig.uploads([&] { action(*rig.page, rig.host); }), uploads);
}

void TestGeneratorPage::functionTypeUploadsEveryTime() {
    GenRig rig;
    QVERIFY(rig.opened);
    rig.page->enable();
    rig.sent([&] { rig.page->start(); });
    const int tabs = rig.page->tableLength();
    QCOMPARE(rig.uploads([&] { rig.page->bufChange(tabs, 6, 1250, 50, 0); }), 1);
    QCOMPARE(rig.uploads([&] { rig.page->bufChange(tabs, 6, 1250, 50, 0); }), 1);
    QCOMPARE(rig.uploads([&] {
        rig.page->bufChange(tabs, 6, 1250, 50, 0);
        rig.page->bufChange(tabs, 6, 1250, 50, 0);
    }),
             2);
}

void TestGeneratorPage::typeBoxSwitchesExpressionControls() {
    GenRig rig;
    rig.page->enable();
    rig.chooseType(6);
    QCOMPARE(rig.page->waveType(), 6);
    for (const char* name : {"exprEdit", "xFromBox", "xToBox", "xLabel"})
        QVERIFY2(rig.child<QWidget>(name)->isEnabled(), name);
    // Nothing typed yet: there is nothing to generate.
    QVERIFY(!rig.child<QPushButton>("generateButton")->isEnabled());
    rig.chooseType(1);
    for (const char* name : {"exprEdit", "generateButton", "xFromBox", "xToBox", "xLabel"})
        QVERIFY2(!rig.child<QWidget>(name)->isEnabled(), name);
    const int* wave = rig.page->masterTable();
    QCOMPARE(wave[0], 2047);
    QCOMPARE(wave[511], -2048);
}

void TestGeneratorPage::noiseTypesUploadNoise() {
    GenRig rig;
    QVERIFY(rig.opened);
    rig.page->enable();
    rig.sent([&] { rig.page->start(); });
    int sine[512];
    std::copy(rig.page->masterTable(), rig.page->masterTable() + 512, sine);
    const QVector<Command> cmds = rig.sent([&] { rig.chooseType(3); });
    QCOMPARE(cmds.size(), 1);
    QCOMPARE(cmds[0].params, encodedTable(rig.table));
    const int* wave = rig.page->masterTable();
    QVERIFY(!std::equal(wave, wave + 512, sine));
    QVERIFY(*std::max_element(wave, wave + 512) - *std::min_element(wave, wave + 512) > 3000);
    // The offset moves the same noise; it does not draw a new one.
    int white[512];
    std::copy(wave, wave + 512, white);
    rig.child<QSpinBox>("offsetBox")->setValue(100);
    for (int i = 0; i < 512; ++i)
        QCOMPARE(wave[i], std::min(white[i] + 100, 2047));
}

void TestGeneratorPage::drawArb_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("column"); // -1: nothing may change
    QTest::addColumn<int>("value");
    const int left = Qt::LeftButton, right = Qt::RightButton;
    QTest::newRow("centre line") << 5 << 200 << 286 << left << 190 << 0;
    QTest::newRow("top row") << 5 << 200 << 31 << left << 190 << 2040;
    QTest::newRow("bottom row") << 5 << 200 << 541 << left << 190 << -2040;
    QTest::newRow("first column") << 5 << 11 << 100 << left << 1 << 1488;
    QTest::newRow("next period wraps") << 5 << 610 << 286 << left << 88 << 0;
    QTest::newRow("last column") << 5 << 777 << 286 << left << 255 << 0;
    QTest::newRow("left edge") << 5 << 10 << 286 << left << -1 << 0;
    QTest::newRow("right edge") << 5 << 778 << 286 << left << -1 << 0;
    QTest::newRow("top edge") << 5 << 200 << 30 << left << -1 << 0;
    QTest::newRow("bottom edge") << 5 << 200 << 542 << left << -1 << 0;
    QTest::newRow("right button") << 5 << 200 << 100 << right << -1 << 0;
    QTest::newRow("both buttons") << 5 << 200 << 100 << (left | right) << -1 << 0;
    QTest::newRow("no button") << 5 << 200 << 100 << 0 << -1 << 0;
    QTest::newRow("sine type") << 0 << 200 << 100 << left << -1 << 0;
}

void TestGeneratorPage::drawArb() {
    QFETCH(int, type);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, buttons);
    QFETCH(int, column);
    QFETCH(int, value);
    GenRig rig;
    rig.page->enable();
    rig.chooseType(type);
    int before[512];
    std::copy(rig.page->masterTable(), rig.page->masterTable() + 512, before);
    QMouseEvent ev = moveEvent(x, y, Qt::MouseButtons(buttons));
    rig.page->drawArb(&ev);
    const int* wave = rig.page->masterTable();
    for (int i = 0; i < 512; ++i)
        QCOMPARE(wave[i], i == column ? value : before[i]);
}

void TestGeneratorPage::strokeJoinsMovesAndSkipsOutside() {
    GenRig rig;
    rig.page->enable();
    rig.chooseType(5);
    QMouseEvent a = moveEvent(110, 286, Qt::LeftButton);       // column 100, value 0
    QMouseEvent outside = moveEvent(900, 100, Qt::LeftButton); // skipped, stroke goes on
    QMouseEvent b = moveEvent(114, 186, Qt::LeftButton);       // column 104, value 800
    rig.page->drawArb(&a);
    rig.page->drawArb(&outside);
    rig.page->drawArb(&b);
    const int* wave = rig.page->masterTable();
    const int expected[] = {100, 300, 500, 700, 800};
    for (int k = 0; k < 5; ++k)
        QCOMPARE(wave[100 + k], expected[k]);
    // The played table follows the drawing.
    QCOMPARE(rig.table[104], 800);
    // After a release the next move starts a new stroke: no line back to column 104.
    rig.page->drawArbRelease();
    int before[512];
    std::copy(wave, wave + 512, before);
    QMouseEvent c = moveEvent(310, 236, Qt::LeftButton); // column 300, value 400
    rig.page->drawArb(&c);
    for (int i = 0; i < 512; ++i)
        QCOMPARE(wave[i], i == 300 ? 400 : before[i]);
}

void TestGeneratorPage::releaseUploadsOnce() {
    GenRig rig;
    QVERIFY(rig.opened);
    rig.page->enable();
    rig.sent([&] { rig.page->start(); });
    QCOMPARE(rig.uploads([&] { rig.chooseType(5); }), 1);
    // The stroke rebuilds the played table with unchanged parameters: nothing goes out until
    // the release.
    QCOMPARE(rig.uploads([&] {
        for (int x = 100; x < 140; ++x) {
            QMouseEvent ev = moveEvent(x, 200 + x % 7, Qt::LeftButton);
            rig.page->drawArb(&ev);
        }
    }),
             0);
    const QVector<Command> release = rig.sent([&] { rig.page->drawArbRelease(); });
    QCOMPARE(release.size(), 1);
    QCOMPARE(release[0].letter, 'K');
    QCOMPARE(release[0].params, encodedTable(rig.table));
    QCOMPARE(rig.uploads([&] { rig.page->drawArbRelease(); }), 0);
    // A release with no stroke at all (say on another page) sends nothing either.
    QCOMPARE(rig.uploads([&] { rig.page->drawArbRelease(); }), 0);
}

void TestGeneratorPage::previewShowsBothTables() {
    GenRig rig;
    rig.page->enable();
    rig.child<QSpinBox>("gainBox")->setValue(0); // played table flat, master still a sine
    QImage img(1028, 612, QImage::Format_RGB32);
    img.fill(Qt::gray);
    rig.page->paintPreview(&img, 0, 0);
    const QRgb output = QColor(20, 30, 240).rgb(), master = QColor(100, 100, 20).rgb();
    const QRgb cursor = QColor(20, 80, 60).rgb();
    // Played table (amplitude 0) on the centre line across the plot.
    for (int x : {20, 300, 600, 770})
        QCOMPARE(img.pixel(x, 286), output);
    // Master sine: column 1 is near the top (value 2047 / 2 in quarter pixels -> 255 px up).
    QCOMPARE(img.pixel(11, 286 - 255), master);
    // Its trough at column 256, and the next period starting at column 512.
    QCOMPARE(img.pixel(266, 286 + 255), master);
    QCOMPARE(img.pixel(523, 286 - 255), master);
    // End of the master period marked at column 512.
    QCOMPARE(img.pixel(522, 400), cursor);
    // Outside the plot nothing was painted.
    QCOMPARE(img.pixel(900, 300), QColor(Qt::gray).rgb());
}

QTEST_MAIN(TestGeneratorPage)
#include "tst_generator_page.moc"

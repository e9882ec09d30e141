// The oscilloscope page's controls: widgets, enabling, the bytes each control sends through a
// real serial line, the time/div list across channel switches, the mouse and the cursor boxes.
#include "buffer.h"
#include "oscyloskop.h"
#include "ptypair.h"
#include "zrvcom.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>
#include <functional>

using Action = std::function<void(Oscyloskop&)>;
using Pick = std::function<QWidget*(Oscyloskop&)>;
Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Pick)

namespace {
struct Page {
    Page() { host.resize(1028, 612); }
    QWidget host;
    Oscyloskop osc{&host};
};

// What the user does with a combo box: pick an entry.
void choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

QString textOf(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* box = qobject_cast<QComboBox*>(w))
        return box->currentText();
    if (auto* spin = qobject_cast<QSpinBox*>(w))
        return spin->text();
    if (auto* bar = qobject_cast<QScrollBar*>(w))
        return QString::number(bar->value());
    return QString();
}

QStringList entries(QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

const QStringList timeEntries13 = {"100ms/dz", "40ms/dz", "20ms/dz",  "10ms/dz",  "4ms/dz",
                                   "2ms/dz",   "1ms/dz",  "400us/dz", "200us/dz", "100us/dz",
                                   "40us/dz",  "20us/dz", "16us/dz"};
} // namespace

class TestOscControls : public QObject {
    Q_OBJECT

private slots:
    void widgetsAtStart_data();
    void widgetsAtStart();
    void exactlyThirtyWidgetsOnTheHost();
    void entriesAndRanges();
    void enableLeavesChannelTwoAndCursorReadouts();
    void showAndHide();
    void bytesSent_data();
    void bytesSent();
    void timeListAcrossChannelSwitches_data();
    void timeListAcrossChannelSwitches();
    void shorteningKeepsTheDeviceTimeBase();
    void channelTwoWidgets();
    void trigSettings_data();
    void trigSettings();
    void positionBars();
    void mouse_data();
    void mouse();
    void cursorReadoutsEnabled_data();
    void cursorReadoutsEnabled();
};

void TestOscControls::widgetsAtStart_data() {
    QTest::addColumn<Pick>("pick");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    auto row = [](const char* name, Pick pick, QRect g, QString text) {
        QTest::newRow(name) << pick << g << text;
    };
    row(
        "tBox", [](Oscyloskop& o) { return o.tBox; }, {100, 580, 110, 20}, "400us/dz");
    row(
        "vBox1", [](Oscyloskop& o) { return o.vBox1; }, {250, 580, 110, 20}, "2.5V/dz");
    row(
        "vBox2", [](Oscyloskop& o) { return o.vBox2; }, {400, 580, 110, 20}, "2.5V/dz");
    row(
        "xPosBar", [](Oscyloskop& o) { return o.xPosBar; }, {0, 552, 788, 20}, "0");
    row(
        "yPosBar1", [](Oscyloskop& o) { return o.yPosBar1; }, {788, 23, 20, 529}, "0");
    row(
        "yPosBar2", [](Oscyloskop& o) { return o.yPosBar2; }, {808, 23, 20, 529}, "0");
    row(
        "ch2Box", [](Oscyloskop& o) { return o.ch2Box; }, {380, 580, 20, 20}, "");
    row(
        "trigModeBox", [](Oscyloskop& o) { return o.trigModeBox; }, {550, 580, 65, 20}, "----");
    row(
        "trigEdgeBox", [](Oscyloskop& o) { return o.trigEdgeBox; }, {620, 580, 55, 20}, "Fall");
    row(
        "trigBandBox", [](Oscyloskop& o) { return o.trigBandBox; }, {680, 580, 50, 20}, "LF");
    row(
        "trigLevelBox", [](Oscyloskop& o) { return o.trigLevelBox; }, {740, 580, 90, 20}, "0mV");
    row(
        "timeCursorBox", [](Oscyloskop& o) { return o.timeCursorBox; }, {848, 320, 80, 20}, "Time");
    row(
        "voltCursorBox", [](Oscyloskop& o) { return o.voltCursorBox; }, {848, 400, 80, 20},
        "Voltage");
    row(
        "saveButton", [](Oscyloskop& o) { return o.saveButton; }, {880, 540, 100, 20}, "SAVE");
    row(
        "xPosLabel", [](Oscyloskop& o) { return o.xPosLabel; }, {838, 30, 100, 20}, "Xpos: 0");
    row(
        "yPosLabel1", [](Oscyloskop& o) { return o.yPosLabel1; }, {838, 50, 100, 20}, "Ypos1: 0");
    row(
        "yPosLabel2", [](Oscyloskop& o) { return o.yPosLabel2; }, {938, 50, 100, 20}, "Ypos2: 0");
    row(
        "rmsLabel1", [](Oscyloskop& o) { return o.rmsLabel1; }, {838, 100, 200, 20}, "CH1 RMS: 0V");
    row(
        "rmsLabel2", [](Oscyloskop& o) { return o.rmsLabel2; }, {838, 120, 200, 20}, "CH2 RMS: 0V");
    row(
        "avgLabel1", [](Oscyloskop& o) { return o.avgLabel1; }, {838, 150, 200, 20}, "CH1 Avg: 0V");
    row(
        "avgLabel2", [](Oscyloskop& o) { return o.avgLabel2; }, {838, 170, 200, 20}, "CH2 Avg: 0V");
    row(
        "vppLabel1", [](Oscyloskop& o) { return o.vppLabel1; }, {838, 200, 200, 20},
        "CH1 Vpp = 0V");
    row(
        "vppLabel2", [](Oscyloskop& o) { return o.vppLabel2; }, {838, 220, 200, 20},
        "CH2 Vpp = 0V");
    row(
        "freqLabel1", [](Oscyloskop& o) { return o.freqLabel1; }, {838, 250, 200, 20},
        "CH1 Freq = 0Hz");
    row(
        "freqLabel2", [](Oscyloskop& o) { return o.freqLabel2; }, {838, 270, 200, 20},
        "CH2 Freq = 0Hz");
    row(
        "cursorsLabel", [](Oscyloskop& o) { return o.cursorsLabel; }, {838, 300, 200, 20},
        "Cursors");
    row(
        "cursorVoltLabel1", [](Oscyloskop& o) { return o.cursorVoltLabel1; }, {848, 420, 200, 20},
        "Voltage: 0V");
    row(
        "cursorVoltLabel2", [](Oscyloskop& o) { return o.cursorVoltLabel2; }, {848, 440, 200, 20},
        "Voltage: 0V");
    row(
        "cursorTimeLabel", [](Oscyloskop& o) { return o.cursorTimeLabel; }, {848, 340, 200, 20},
        "Time: 0s");
    row(
        "cursorFreqLabel", [](Oscyloskop& o) { return o.cursorFreqLabel; }, {848, 360, 200, 20},
        "Freq: 0Hz");
}

void TestOscControls::widgetsAtStart() {
    QFETCH(Pick, pick);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    Page page;
    QWidget* w = pick(page.osc);
    QCOMPARE(w->parentWidget(), &page.host);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(textOf(w), text);
    QVERIFY(!w->isEnabled());
}

void TestOscControls::exactlyThirtyWidgetsOnTheHost() {
    Page page;
    QCOMPARE(page.host.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(), 30);
    QVERIFY(page.osc.parent() == nullptr);
}

void TestOscControls::entriesAndRanges() {
    Page page;
    Oscyloskop& o = page.osc;
    QCOMPARE(entries(o.tBox), timeEntries13);
    const QStringList gains = {"2.5V/dz",  "1V/dz",   "500mV/dz", "250mV/dz",
                               "100mV/dz", "50mV/dz", "25mV/dz"};
    QCOMPARE(entries(o.vBox1), gains);
    QCOMPARE(entries(o.vBox2), gains);
    QCOMPARE(entries(o.trigModeBox), QStringList({"----", "Norm", "Auto", "Single"}));
    QCOMPARE(entries(o.trigEdgeBox), QStringList({"Fall", "Ris"}));
    QCOMPARE(entries(o.trigBandBox), QStringList({"LF", "HF"}));
    QCOMPARE(o.extraTimeItems, QStringList({"10u", "8u", "5u", "2u"}));
    QCOMPARE(o.xPosBar->orientation(), Qt::Horizontal);
    QCOMPARE(o.yPosBar1->orientation(), Qt::Vertical);
    QCOMPARE(o.xPosBar->minimum(), -192);
    QCOMPARE(o.xPosBar->maximum(), 192);
    QCOMPARE(o.yPosBar2->minimum(), -256);
    QCOMPARE(o.yPosBar2->maximum(), 256);
    QCOMPARE(o.trigLevelBox->minimum(), -40000);
    QCOMPARE(o.trigLevelBox->maximum(), 40000);
    QVERIFY(!o.ch2Box->isChecked());
    QCOMPARE(o.timeBase, 7);
    QCOMPARE(o.gain1, 0);
}

void TestOscControls::enableLeavesChannelTwoAndCursorReadouts() {
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    const QList<QWidget*> on = {o.tBox,         o.vBox1,         o.xPosBar,       o.yPosBar1,
                                o.ch2Box,       o.trigModeBox,   o.trigEdgeBox,   o.trigBandBox,
                                o.trigLevelBox, o.saveButton,    o.rmsLabel1,     o.avgLabel1,
                                o.vppLabel1,    o.freqLabel1,    o.xPosLabel,     o.yPosLabel1,
                                o.yPosLabel2,   o.voltCursorBox, o.timeCursorBox, o.cursorsLabel};
    const QList<QWidget*> off = {
        o.vBox2,      o.yPosBar2,         o.rmsLabel2,        o.avgLabel2,       o.vppLabel2,
        o.freqLabel2, o.cursorVoltLabel1, o.cursorVoltLabel2, o.cursorTimeLabel, o.cursorFreqLabel};
    QCOMPARE(on.size() + off.size(), 30);
    for (QWidget* w : on)
        QVERIFY2(w->isEnabled(), qPrintable(textOf(w)));
    for (QWidget* w : off)
        QVERIFY2(!w->isEnabled(), qPrintable(textOf(w)));
}

void TestOscControls::showAndHide() {
    Page page;
    const QList<QWidget*> all =
        page.host.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    page.osc.hide();
    for (QWidget* w : all)
        QVERIFY(!w->isVisibleTo(&page.host));
    page.osc.show();
    for (QWidget* w : all)
        QVERIFY(w->isVisibleTo(&page.host));
}

void TestOscControls::bytesSent_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char* name, Action a, QByteArray b) { QTest::newRow(name) << a << b; };
    row(
        "start, one channel", [](Oscyloskop& o) { o.start(); }, "CAS>AU0AW0A");
    row(
        "start, two channels",
        [](Oscyloskop& o) {
            o.ch2Box->setChecked(true);
            o.start();
        },
        "EAS>AU0AW0A");
    row(
        "start sends the current settings",
        [](Oscyloskop& o) {
            o.timeBase = 14;
            o.gain1 = 6;
            o.gain2 = 3;
            o.start();
        },
        "CASLAU<AW6A");
    row(
        "time/div 100ms", [](Oscyloskop& o) { choose(o.tBox, 0); }, "SLA");
    row(
        "time/div 16us", [](Oscyloskop& o) { choose(o.tBox, 12); }, "S4A");
    row(
        "channel-1 V/div sends both gains", [](Oscyloskop& o) { choose(o.vBox1, 3); }, "U6AW0A");
    row(
        "channel-2 V/div sends both gains", [](Oscyloskop& o) { choose(o.vBox2, 6); }, "U0AW<A");
    row(
        "two channels on", [](Oscyloskop& o) { o.ch2Box->click(); }, "EA");
    row(
        "two channels on and off",
        [](Oscyloskop& o) {
            o.ch2Box->click();
            o.ch2Box->click();
        },
        "EACA");
    row(
        "the 2u entry after a switch back",
        [](Oscyloskop& o) {
            o.ch2Box->click();
            o.ch2Box->click();
            choose(o.tBox, 14);
        },
        "EACAS0A");
    row(
        "trigger mode sends nothing", [](Oscyloskop& o) { choose(o.trigModeBox, 1); }, "");
    row(
        "trigger edge sends nothing", [](Oscyloskop& o) { choose(o.trigEdgeBox, 1); }, "");
    row(
        "trigger band sends nothing", [](Oscyloskop& o) { choose(o.trigBandBox, 1); }, "");
    row(
        "trigger level sends nothing", [](Oscyloskop& o) { o.trigLevelBox->setValue(500); }, "");
    row(
        "positions send nothing",
        [](Oscyloskop& o) {
            o.xPosBar->setValue(10);
            o.yPosBar1->setValue(10);
            o.yPosBar2->setValue(10);
        },
        "");
    row(
        "cursor boxes send nothing",
        [](Oscyloskop& o) {
            o.timeCursorBox->click();
            o.voltCursorBox->click();
        },
        "");
    row(
        "a click on the plot sends nothing",
        [](Oscyloskop& o) {
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(300, 200), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            o.setCursor(&press);
        },
        "");
}

void TestOscControls::bytesSent() {
    QFETCH(Action, action);
    QFETCH(QByteArray, bytes);
    PtyPair pty;
    QVERIFY(pty.isValid());
    ZRVCom com;
    QCOMPARE(com.Open(pty.slavePath(), 19, &buff), 1);
    Page page;
    page.osc.com = &com;
    page.osc.enable();
    action(page.osc);
    com.laStart(); // sentinel: what comes before it is what the action sent
    QCOMPARE(pty.read(bytes.size() + 1), bytes + "I");
    com.Close();
}

void TestOscControls::timeListAcrossChannelSwitches_data() {
    QTest::addColumn<int>("switches");
    QTest::addColumn<QStringList>("list");
    const QStringList eleven = timeEntries13.mid(0, 11);
    const QStringList fifteen = eleven + QStringList{"10u", "8u", "5u", "2u"};
    QTest::newRow("at start") << 0 << timeEntries13;
    QTest::newRow("two channels") << 1 << eleven;
    QTest::newRow("back to one") << 2 << fifteen;
    QTest::newRow("two again") << 3 << eleven;
    QTest::newRow("one again") << 4 << fifteen;
    QTest::newRow("five switches") << 5 << eleven;
}

void TestOscControls::timeListAcrossChannelSwitches() {
    QFETCH(int, switches);
    QFETCH(QStringList, list);
    Page page;
    page.osc.enable();
    for (int i = 0; i < switches; ++i)
        page.osc.ch2Box->click();
    QCOMPARE(entries(page.osc.tBox), list);
    QCOMPARE(page.osc.twoChannel(), switches % 2 == 1);
}

void TestOscControls::shorteningKeepsTheDeviceTimeBase() {
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    choose(o.tBox, 12);
    QCOMPARE(o.timeBase, 2);
    o.ch2Box->click();
    QCOMPARE(o.tBox->currentText(), QString("40us/dz"));
    QCOMPARE(o.timeBase, 2);
    choose(o.tBox, 10);
    QCOMPARE(o.timeBase, 4);
    o.ch2Box->click();
    choose(o.tBox, 11);
    QCOMPARE(o.tBox->currentText(), QString("10u"));
    QCOMPARE(o.timeBase, 3);
}

void TestOscControls::channelTwoWidgets() {
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    const QList<QWidget*> ch2 = {o.vBox2,     o.yPosBar2,  o.rmsLabel2,
                                 o.avgLabel2, o.vppLabel2, o.freqLabel2};
    o.ch2Box->click();
    for (QWidget* w : ch2)
        QVERIFY(w->isEnabled());
    o.ch2Box->click();
    for (QWidget* w : ch2)
        QVERIFY(!w->isEnabled());
}

void TestOscControls::trigSettings_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("band");
    QTest::addColumn<int>("spin");
    QTest::addColumn<int>("trigMode");
    QTest::addColumn<float>("trigLevel");
    QTest::newRow("Norm, Fall, LF, 380 mV") << 1 << 0 << 0 << 380 << 1 << 10.0f;
    QTest::newRow("Auto, Ris, LF") << 2 << 1 << 0 << 0 << 6 << 0.0f;
    QTest::newRow("Single, Ris, HF, -38 mV") << 3 << 1 << 1 << -38 << 15 << -1.0f;
    QTest::newRow("----, Fall, HF, 1 mV") << 0 << 0 << 1 << 1 << 8 << 1.0f / 38.0f;
}

void TestOscControls::trigSettings() {
    QFETCH(int, mode);
    QFETCH(int, edge);
    QFETCH(int, band);
    QFETCH(int, spin);
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    o.trigModeBox->setCurrentIndex(mode);
    o.trigEdgeBox->setCurrentIndex(edge);
    o.trigBandBox->setCurrentIndex(band);
    QVERIFY(!o.rearm);
    choose(o.trigBandBox, band);
    QVERIFY(o.rearm);
    QTEST(o.trigMode, "trigMode");
    o.rearm = false;
    o.trigLevelBox->setValue(spin + 1); // any change re-arms
    QVERIFY(o.rearm);
    o.trigLevelBox->setValue(spin);
    QTEST(o.trigLevel, "trigLevel");
}

void TestOscControls::positionBars() {
    Page page;
    Oscyloskop& o = page.osc;
    o.xPosBar->setValue(-50);
    QCOMPARE(o.xPos, -50);
    QCOMPARE(o.xPosLabel->text(), QString("Xpos: -50"));
    o.yPosBar1->setValue(-30); // up: a positive position
    QCOMPARE(o.yPos1, 30);
    QCOMPARE(o.yPosLabel1->text(), QString("Ypos1: 30"));
    QCOMPARE(o.yPosLabel2->text(), QString("Ypos2: 0"));
    o.yPosBar2->setValue(40);
    QCOMPARE(o.yPos2, -40);
    QCOMPARE(o.yPosLabel2->text(), QString("Ypos2: -40"));
    QCOMPARE(o.yPos1, 30);
}

// level: the trigger-level spin value afterwards (it starts at 7); cursors: (tCursor, vCursor).
void TestOscControls::mouse_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("yPos1");
    QTest::addColumn<int>("gain1");
    QTest::addColumn<int>("level");
    QTest::addColumn<QPoint>("cursor1");
    QTest::addColumn<QPoint>("cursor2");
    const int press = QEvent::MouseButtonPress, move = QEvent::MouseMove;
    const int left = Qt::LeftButton, right = Qt::RightButton, none = Qt::NoModifier,
              shift = Qt::ShiftModifier;
    const QPoint zero(0, 0);
    QTest::newRow("left at y 186")
        << press << QPoint(394, 186) << left << none << 0 << 0 << 3846 << zero << zero;
    QTest::newRow("left below the centre")
        << press << QPoint(394, 386) << left << none << 0 << 0 << -3846 << zero << zero;
    QTest::newRow("left, trace lifted by 50")
        << press << QPoint(394, 186) << left << none << 50 << 0 << 1923 << zero << zero;
    QTest::newRow("left on 25mV/dz")
        << press << QPoint(100, 186) << left << none << 0 << 6 << 38 << zero << zero;
    QTest::newRow("left at the top row")
        << press << QPoint(11, 31) << left << none << 0 << 0 << 9807 << zero << zero;
    QTest::newRow("left at the bottom row")
        << press << QPoint(777, 541) << left << none << 0 << 0 << -9807 << zero << zero;
    QTest::newRow("drag with the left button")
        << move << QPoint(394, 236) << left << none << 0 << 0 << 1923 << zero << zero;
    QTest::newRow("x 778 is outside")
        << press << QPoint(778, 186) << left << none << 0 << 0 << 7 << zero << zero;
    QTest::newRow("x 10 is outside")
        << press << QPoint(10, 186) << left << none << 0 << 0 << 7 << zero << zero;
    QTest::newRow("y 30 is outside")
        << press << QPoint(394, 30) << left << none << 0 << 0 << 7 << zero << zero;
    QTest::newRow("y 542 is outside")
        << press << QPoint(394, 542) << left << none << 0 << 0 << 7 << zero << zero;
    QTest::newRow("shift left: first cursors")
        << press << QPoint(200, 286) << left << shift << 0 << 0 << 7 << QPoint(190, 0) << zero;
    QTest::newRow("shift right: second cursors")
        << press << QPoint(264, 100) << right << shift << 0 << 0 << 7 << zero << QPoint(254, 186);
    QTest::newRow("shift drag moves the cursors")
        << move << QPoint(500, 400) << left << shift << 0 << 0 << 7 << QPoint(490, -114) << zero;
    QTest::newRow("right alone") << press << QPoint(300, 200) << right << none << 0 << 0 << 7
                                 << zero << zero;
    QTest::newRow("left and right")
        << press << QPoint(300, 200) << (left | right) << none << 0 << 0 << 7 << zero << zero;
    QTest::newRow("shift, left and right")
        << press << QPoint(300, 200) << (left | right) << shift << 0 << 0 << 7 << zero << zero;
    QTest::newRow("control left") << press << QPoint(300, 200) << left << int(Qt::ControlModifier)
                                  << 0 << 0 << 7 << zero << zero;
    QTest::newRow("shift control left")
        << press << QPoint(300, 200) << left << int(Qt::ShiftModifier | Qt::ControlModifier) << 0
        << 0 << 7 << zero << zero;
    QTest::newRow("shift middle") << press << QPoint(300, 200) << int(Qt::MiddleButton) << shift
                                  << 0 << 0 << 7 << zero << zero;
}

void TestOscControls::mouse() {
    QFETCH(int, type);
    QFETCH(QPoint, pos);
    QFETCH(int, buttons);
    QFETCH(int, modifiers);
    QFETCH(int, yPos1);
    QFETCH(int, gain1);
    QFETCH(int, level);
    QFETCH(QPoint, cursor1);
    QFETCH(QPoint, cursor2);
    Page page;
    Oscyloskop& o = page.osc;
    o.trigLevelBox->setValue(7);
    o.rearm = false;
    o.yPos1 = yPos1;
    o.gain1 = gain1;
    const Qt::MouseButton button =
        type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButton(buttons & ~(buttons - 1));
    QMouseEvent event(QEvent::Type(type), QPointF(pos), button, Qt::MouseButtons(buttons),
                      Qt::KeyboardModifiers(modifiers));
    o.setCursor(&event);
    QCOMPARE(o.trigLevelBox->value(), level);
    QCOMPARE(o.rearm, level != 7); // the level reaches the trigger through its slot
    QCOMPARE(o.trigLevel, float(level) / 38.0f);
    QCOMPARE(QPoint(o.tCursor1, o.vCursor1), cursor1);
    QCOMPARE(QPoint(o.tCursor2, o.vCursor2), cursor2);
}

void TestOscControls::cursorReadoutsEnabled_data() {
    QTest::addColumn<bool>("time");
    QTest::addColumn<bool>("volt");
    QTest::addColumn<bool>("two");
    QTest::newRow("none") << false << false << false;
    QTest::newRow("time") << true << false << false;
    QTest::newRow("voltage, one channel") << false << true << false;
    QTest::newRow("voltage, two channels") << false << true << true;
    QTest::newRow("both, two channels") << true << true << true;
}

void TestOscControls::cursorReadoutsEnabled() {
    QFETCH(bool, time);
    QFETCH(bool, volt);
    QFETCH(bool, two);
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    // Start from the opposite state, so every readout has to change.
    o.timeCursorBox->setChecked(true);
    o.voltCursorBox->setChecked(true);
    o.ch2Box->click();
    o.timeCursorBox->setChecked(time);
    o.voltCursorBox->setChecked(volt);
    if (two)
        o.cursorSlot();
    else
        o.ch2Box->click(); // switching channels runs the cursor slot as well
    QCOMPARE(o.cursorTimeLabel->isEnabled(), time);
    QCOMPARE(o.cursorFreqLabel->isEnabled(), time);
    QCOMPARE(o.cursorVoltLabel1->isEnabled(), volt);
    QCOMPARE(o.cursorVoltLabel2->isEnabled(), volt && two);
    QCOMPARE(o.cursorTimeLabel->text(), QString("Time: 0s")); // texts stay until a redraw
}

QTEST_MAIN(TestOscControls)
#include "tst_oscyloskop_controls.moc"

// The main window: tabs, status line, port button, paint dispatch and pointer readout, with a
// pseudo-terminal standing in for the device.
#include "buffer.h"
#include "mainwindow.h"
#include "oscyloskop.h"
#include "ptypair.h"
#include "status.h"
#include "ustawienia.h"
#include "zrvcom.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

namespace {
const QString linkName = QStringLiteral("zrv-port");

// settings.txt names a link in the working folder, so each test can point it at a new line.
void pointSettingsAt(const QString& target) {
    QFile::remove(linkName);
    QVERIFY(QFile::link(target, linkName));
    QFile f(QString::fromLatin1(Ustawienia::fileName));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("#" + QDir::current().absoluteFilePath(linkName).toLocal8Bit() + "#24#6#ZRV");
}

QByteArray frameOf(int16_t value) {
    QByteArray frame = "s";
    for (int i = 0; i < 1024; ++i)
        frame.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
    return frame + "e";
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void windowShape();
    void statusShowsOffThenStatusText();
    void openingMissingDevice();
    void openingSendsCurrentPageStart();
    void switchingTabsWhileOpen_data();
    void switchingTabsWhileOpen();
    void closingPort();
    void pulledDeviceEndsClosedAndCanReopen();
    void newestFrameIsDrawn_data();
    void newestFrameIsDrawn();
    void plotIsPainted();
    void pointerReadout_data();
    void pointerReadout();
    void pointerOutsidePlotLeavesReadout();

private:
    std::unique_ptr<MainWindow> makeWindow();
};

void TestMainWindow::init() {
    sts.clear();
    bufReady = false;
    Ustawienia::portLister = [] { return QStringList(); };
    QFile::remove(QString::fromLatin1(Ustawienia::fileName));
}

std::unique_ptr<MainWindow> TestMainWindow::makeWindow() {
    auto w = std::make_unique<MainWindow>();
    w->show();
    return w;
}

void TestMainWindow::windowShape() {
    auto w = makeWindow();
    QCOMPARE(w->minimumSize(), QSize(1028, 612));
    QCOMPARE(w->font().pointSize(), 9);
    const QStringList texts = {"&Oscyloskop", "&Generator", "&Analizator", "Analizator st. &log.",
                               "&Ustawienia"};
    QCOMPARE(w->tabBar()->count(), texts.size());
    for (int i = 0; i < texts.size(); ++i)
        QCOMPARE(w->tabBar()->tabText(i), texts[i]);
    QCOMPARE(w->tabBar()->minimumWidth(), 788);
    QCOMPARE(w->portToggle()->text(), QStringLiteral("Open port"));
    QCOMPARE(w->portToggle()->geometry(), QRect(880, 580, 100, 20));
    QCOMPARE(w->status()->geometry(), QRect(10, 580, 200, 20));
    QCOMPARE(w->readout1()->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    QVERIFY(w->settingsPage()->speedBox->isHidden());
}

void TestMainWindow::statusShowsOffThenStatusText() {
    auto w = makeWindow();
    QCOMPARE(w->status()->text(), QStringLiteral("Off"));
    QTRY_COMPARE(w->status()->text(), QString());
    w->tabBar()->setCurrentIndex(3);
    QTRY_COMPARE(w->status()->text(), QStringLiteral("Analizator st. log."));
}

void TestMainWindow::openingMissingDevice() {
    pointSettingsAt(QStringLiteral("/dev/no-such-zrv-device"));
    auto w = makeWindow();
    w->portToggle()->click();
    QTRY_COMPARE(w->status()->text(), QStringLiteral("Unable to open"));
    QCOMPARE(w->portToggle()->text(), QStringLiteral("Open port"));
    QVERIFY(!w->isConnected());
    QVERIFY(w->settingsPage()->speedBox->isEnabled());
    // The pages hold the unopened link; what they send is refused, not crashed on.
    QVERIFY(w->oscPage()->com == w->device());
    QCOMPARE(w->device()->setGain1(2), 1);
}

void TestMainWindow::openingSendsCurrentPageStart() {
    PtyPair pty;
    pointSettingsAt(pty.slavePath());
    auto w = makeWindow();
    w->portToggle()->click();
    QTRY_COMPARE(w->status()->text(), QStringLiteral("Open"));
    QCOMPARE(w->portToggle()->text(), QStringLiteral("Close port"));
    QVERIFY(w->isConnected());
    QVERIFY(!w->settingsPage()->speedBox->isEnabled());
    // One-channel start, then time base 7, gains 0 and 0.
    const QByteArray expected = "CA"
                                "S>A"
                                "U0A"
                                "W0A";
    QCOMPARE(pty.read(expected.size()), expected);
}

void TestMainWindow::switchingTabsWhileOpen_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("spectrum") << 2 << "Analizator"
                              << QByteArray("CA"
                                            "U0A"
                                            "S>A");
    QTest::newRow("logic") << 3 << "Analizator st. log." << QByteArray("I");
    QTest::newRow("settings") << 4 << "Ustawienia" << QByteArray();
}

void TestMainWindow::switchingTabsWhileOpen() {
    QFETCH(int, tab);
    QFETCH(QString, status);
    QFETCH(QByteArray, start);
    PtyPair pty;
    pointSettingsAt(pty.slavePath());
    auto w = makeWindow();
    w->portToggle()->click();
    QVERIFY(w->isConnected());
    pty.read(11); // the oscilloscope's start
    w->tabBar()->setCurrentIndex(tab);
    QCOMPARE(w->current(), tab);
    QCOMPARE(sts, status);
    w->device()->setLAstart(); // sentinel
    const QByteArray sent = pty.read(start.size() + 1);
    QVERIFY2(sent.startsWith(start) && sent.endsWith("O"), sent.constData());
    QCOMPARE(sent.count('O'), 1);
    if (start.isEmpty())
        QCOMPARE(sent, QByteArray("O")); // the settings page sends nothing
    if (tab == MainWindow::SettingsPage) {
        QVERIFY(w->settingsPage()->speedBox->isVisible());
        QVERIFY(!w->settingsPage()->speedBox->isEnabled());
    }
}

void TestMainWindow::closingPort() {
    PtyPair pty;
    pointSettingsAt(pty.slavePath());
    auto w = makeWindow();
    w->portToggle()->click();
    QVERIFY(w->isConnected());
    w->portToggle()->click();
    QTRY_COMPARE(w->status()->text(), QStringLiteral("closed"));
    QCOMPARE(w->portToggle()->text(), QStringLiteral("Open port"));
    QVERIFY(!w->isConnected());
    QVERIFY(w->settingsPage()->speedBox->isEnabled());
    QVERIFY(!w->device()->isOpen());
}

void TestMainWindow::pulledDeviceEndsClosedAndCanReopen() {
    auto pty = std::make_unique<PtyPair>();
    pointSettingsAt(pty->slavePath());
    auto w = makeWindow();
    w->portToggle()->click();
    QVERIFY(w->isConnected());
    pty->closeMaster(); // the cable is pulled
    QTRY_VERIFY_WITH_TIMEOUT(!w->isConnected(), 10000);
    QTRY_COMPARE(w->status()->text(), QStringLiteral("closed"));
    QCOMPARE(w->portToggle()->text(), QStringLiteral("Open port"));
    QVERIFY(w->settingsPage()->speedBox->isEnabled());

    // The device comes back (on a new line behind the same name) and opens again.
    pty = std::make_unique<PtyPair>();
    pointSettingsAt(pty->slavePath());
    w->portToggle()->click();
    QTRY_COMPARE(w->status()->text(), QStringLiteral("Open"));
    QVERIFY(w->isConnected());
    QCOMPARE(pty->read(11), QByteArray("CA"
                                       "S>A"
                                       "U0A"
                                       "W0A"));
}

void TestMainWindow::newestFrameIsDrawn_data() {
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("chunk"); // bytes per write; 0: all in one write
    QTest::newRow("one frame") << 1 << 0;
    QTest::newRow("burst in one write") << 40 << 0;
    QTest::newRow("burst in odd pieces") << 40 << 1500;
}

// Frames faster than the display, then silence: the last one is what the page draws, without
// waiting for further bytes.
void TestMainWindow::newestFrameIsDrawn() {
    QFETCH(int, frames);
    QFETCH(int, chunk);
    PtyPair pty;
    pointSettingsAt(pty.slavePath());
    auto w = makeWindow();
    w->portToggle()->click();
    QByteArray line;
    for (int k = 1; k < frames; ++k)
        line += frameOf(int16_t(100 * k));
    line += frameOf(800);
    for (int from = 0; from < line.size(); from += chunk ? chunk : line.size())
        QVERIFY(pty.write(line.mid(from, chunk ? chunk : line.size())));
    const int* drawn = w->oscPage()->sampleBuf;
    QTRY_VERIFY_WITH_TIMEOUT(!bufReady && drawn[0] == 800 && drawn[1023] == 800, 10000);
}

void TestMainWindow::plotIsPainted() {
    auto w = makeWindow();
    const QImage shot = w->grab().toImage();
    QCOMPARE(shot.pixelColor(20, 40), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(394, 100), QColor(20, 80, 60)); // trigger position marker
    QCOMPARE(shot.pixelColor(5, 300), w->palette().color(QPalette::Window)); // left of the plot
    QCOMPARE(shot.pixelColor(74, 100), QColor(10, 110, 10)); // grid line x = 10 + 64
    QCOMPARE(shot.pixelColor(100, 94), QColor(10, 110, 10)); // grid line y = 30 + 64
}

void TestMainWindow::pointerReadout_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QPoint>("label1");
    QTest::addColumn<QPoint>("label2");
    QTest::newRow("scope centre") << 0 << QPoint(394, 286) << "  T: 0.00us"
                                  << "  U: 0.00uV" << QPoint(394, 286) << QPoint(394, 306);
    // One division right and up reads what the boxes name: 400us/dz, 2.5V/dz.
    QTest::newRow("scope one division") << 0 << QPoint(458, 222) << "  T: 400us"
                                        << "  U: 2500mV" << QPoint(458, 222) << QPoint(458, 242);
    // 306 px = 4.78 divisions, 234 px down = 3.66 divisions.
    QTest::newRow("near right and bottom edges")
        << 0 << QPoint(700, 520) << "  T: 1913us"
        << "  U: -9.14V" << QPoint(600, 490) << QPoint(600, 510);
    QTest::newRow("spectrum left edge") << 2 << QPoint(11, 286) << "  F: 39.1Hz"
                                        << "  U/Uz: 0.00udB" << QPoint(11, 286) << QPoint(11, 306);
}

void TestMainWindow::pointerReadout() {
    QFETCH(int, tab);
    QFETCH(QPoint, at);
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QPoint, label1);
    QFETCH(QPoint, label2);
    auto w = makeWindow();
    w->tabBar()->setCurrentIndex(tab);
    QTest::mousePress(w.get(), Qt::LeftButton, Qt::NoModifier, at);
    QVERIFY(w->readout1()->isVisible() && w->readout2()->isVisible());
    QCOMPARE(w->readout1()->text(), text1);
    QCOMPARE(w->readout2()->text(), text2);
    QCOMPARE(w->readout1()->geometry(), QRect(label1, QSize(100, 15)));
    QCOMPARE(w->readout2()->geometry(), QRect(label2, QSize(100, 15)));
    QTest::mouseRelease(w.get(), Qt::LeftButton, Qt::NoModifier, at);
    QVERIFY(!w->readout1()->isVisible() && !w->readout2()->isVisible());
}

void TestMainWindow::pointerOutsidePlotLeavesReadout() {
    auto w = makeWindow();
    QTest::mousePress(w.get(), Qt::LeftButton, Qt::NoModifier, QPoint(394, 286));
    QTest::mousePress(w.get(), Qt::LeftButton, Qt::NoModifier, QPoint(778, 100));
    QTest::mousePress(w.get(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 30));
    QCOMPARE(w->readout1()->text(), QStringLiteral("  T: 0.00us"));
    QCOMPARE(w->readout1()->geometry().topLeft(), QPoint(394, 286));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

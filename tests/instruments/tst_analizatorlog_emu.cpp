// End to end: the main window on the logic analyser tab captures a triggered frame from the
// device emulator and shows its counter (channels 0-4 count once every 8 samples).
#include "analizatorlog.h"
#include "emuprocess.h"
#include "graph.h"
#ifdef ZRV_EMU_PATH
#include "emulator/logiccapture.h"
#endif
#include "mainwindow.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

namespace {
// The byte a drawn point shows, read back from the eight trace levels; -1 if no clean byte.
int byteAtPoint(const AnalizatorLog& page, int i) {
    int byte = 0;
    for (int n = 0; n < LaLogic::channels; ++n) {
        const int v = page.series(n)[i];
        if (v == LaLogic::highLevel(n))
            byte |= 1 << n;
        else if (v != LaLogic::lowLevel(n))
            return -1;
    }
    return byte;
}
} // namespace

class TestAnalizatorLogEmu : public QObject {
    Q_OBJECT
private slots:
    void triggeredCaptureShowsCounter_data();
    void triggeredCaptureShowsCounter();
};

void TestAnalizatorLogEmu::triggeredCaptureShowsCounter_data() {
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("condition");
    QTest::addColumn<int>("levelAtTrigger"); // of that channel at the trigger sample
    QTest::newRow("channel 0 rising") << 0 << int(LaLogic::Rising) << 1;
    QTest::newRow("channel 2 falling") << 2 << int(LaLogic::Falling) << 0;
}

void TestAnalizatorLogEmu::triggeredCaptureShowsCounter() {
#ifndef ZRV_EMU_PATH
    QSKIP("the device emulator is not built");
#else
    QFETCH(int, channel);
    QFETCH(int, condition);
    QFETCH(int, levelAtTrigger);

    const QString link = emuLinkPath(QStringLiteral("zrv-la-link"));
    auto emulator = startEmuSession(link);
    QVERIFY(emulator);

    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.tabBar()->setCurrentIndex(MainWindow::LaPage);
        QTest::mouseClick(window.portToggle(), Qt::LeftButton);
        QVERIFY(window.isConnected());

        AnalizatorLog* page = window.laPage();
        QVERIFY(page->startButton->isEnabled());
        page->trigBox[channel]->setCurrentIndex(condition);
        page->zoomBox->setValue(2); // one drawn point per captured byte

        QTest::mouseClick(page->startButton, Qt::LeftButton);
        QCOMPARE(page->startButton->text(), QStringLiteral("Force trig"));
        // 1024 samples at 20 kSPS, then about 90 ms on the line.
        QTRY_COMPARE_WITH_TIMEOUT(page->startButton->text(), QStringLiteral("Start"), 20000);
        QCOMPARE(page->captureState(), 0);

        // The device keeps a fixed number of samples before the trigger sample: the chosen edge
        // of the chosen channel must be exactly there.
        const int trigger = emu::LogicCapture::preTrigger;
        const int before = byteAtPoint(*page, trigger - 1), atTrigger = byteAtPoint(*page, trigger);
        QVERIFY(before >= 0 && atTrigger >= 0);
        QCOMPARE(before >> channel & 1, 1 - levelAtTrigger);
        QCOMPARE(atTrigger >> channel & 1, levelAtTrigger);

        // Counter: channels 0-4 hold one value for 8 samples, then count up by one.
        for (int i = trigger % 8; i + 8 < 384; i += 8) {
            const int count = byteAtPoint(*page, i) & 0x1F;
            for (int k = 1; k < 8; ++k)
                QCOMPARE(byteAtPoint(*page, i + k) & 0x1F, count);
            QCOMPARE(byteAtPoint(*page, i + 8) & 0x1F, (count + 1) & 0x1F);
        }

        // The Value readout follows a click on the trigger sample (2 px per sample at zoom 2).
        const QPoint at(Graph::left + 2 * trigger, 200);
        QMouseEvent press(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&window, &press);
        const QString expected = QStringLiteral("Value: %1").arg(byteAtPoint(*page, trigger));
        QTRY_COMPARE(page->valueLabel->text(), expected);
        // Time: the sample's index times the period the rate box names.
        const QRegularExpressionMatch rate =
            QRegularExpression("^(\\d+)(K?)SPS$").match(page->rateBox->currentText());
        QVERIFY(rate.hasMatch());
        const double perSecond =
            rate.captured(1).toDouble() * (rate.captured(2).isEmpty() ? 1 : 1e3);
        QCOMPARE(page->timeLabel->text(),
                 QStringLiteral("Time: %1ms").arg(trigger / perSecond * 1e3, 0, 'f', 3));

        QTest::mouseClick(window.portToggle(), Qt::LeftButton);
        QVERIFY(!window.isConnected());
    }
    QVERIFY(emulator->stop());
    QVERIFY(!QFile::exists(link));
#endif
}

QTEST_MAIN(TestAnalizatorLogEmu)
#include "tst_analizatorlog_emu.moc"

// The window on a bench that misbehaves: a device that falls silent, one unplugged and plugged
// back, Ctrl+Q, an export whose dialog stays open while frames arrive; the oscilloscope table
// timed from its trigger marker.
#include "app/exporter.h"
#include "app/remembered.h"
#include "device/thread.h"
#include "emuwindow.h"
#include "filedialog.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/readout.h"
#include "instruments/status.h"
#include "linerig.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

namespace {
QByteArray fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray oscCsv(const Oscyloskop& osc) {
    bool known = false;
    return osc.exportData(QStringLiteral("csv"), &known);
}

// The status texts said, in order.
QStringList texts(const QSignalSpy& said) {
    QStringList out;
    for (const QList<QVariant>& args : said)
        out << args.at(0).toString();
    return out;
}

} // namespace

class TestBench : public QObject {
    Q_OBJECT
private slots:
    // Named once the device has sent no frame for 2 s (the frame time here is far shorter;
    // about 3.5 s without a whole frame after a few good ones), and taken back by the next frame:
    // the status line shows again what it showed.
    void silence() {
        EmuWindow rig(MainWindow::OscPage,
                      {"--fault", "no-end", "--fault-every", "5", "--no-end-ms", "3500"});
        QVERIFY(rig.ready());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->oscPage()->frames().framesTaken() > 0, 20000);
        MainWindow& w = *rig.window;
        QElapsedTimer sinceFrame;
        sinceFrame.start();
        connect(w.device()->receiver(), &Thread::frameReceived, this,
                [&] { sinceFrame.restart(); });
        qint64 silentFor = -1;
        connect(w.statusLine(), &Status::changed, this, [&](const QString& text) {
            if (text == Page::noDataText())
                silentFor = sinceFrame.elapsed();
        });
        QSignalSpy said(w.statusLine(), &Status::changed);
        QTRY_COMPARE_WITH_TIMEOUT(w.statusLine()->text(), Page::noDataText(), 20000);
        QVERIFY2(silentFor >= 1900 && silentFor < 3000, qPrintable(QString::number(silentFor)));
        QVERIFY(w.oscPage()->widgets().rmsLabel1->text().endsWith(Readout::none()));
        const QString before =
            texts(said).value(texts(said).indexOf(Page::noDataText()) - 1, QStringLiteral("Open"));
        const quint64 taken = w.oscPage()->frames().framesTaken();
        QTRY_VERIFY_WITH_TIMEOUT(w.statusLine()->text() != Page::noDataText(), 20000);
        QCOMPARE(w.statusLine()->text(), before);
        QVERIFY(w.oscPage()->frames().framesTaken() > taken);
        QTRY_VERIFY(!w.oscPage()->widgets().rmsLabel1->text().endsWith(Readout::none()));
    }

    // Nothing clicked: the window closes the port, waits with "Device lost" on the status line,
    // opens the port within 2 s of its return and starts the page again.
    void vanish() {
        EmuWindow rig(MainWindow::OscPage,
                      {"--fault", "vanish", "--fault-every", "30", "--vanish-ms", "300"});
        QVERIFY(rig.ready());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->oscPage()->frames().framesTaken() > 0, 20000);
        MainWindow& w = *rig.window;
        const QString link = emuLinkPath(QStringLiteral("emu-link"));
        QSignalSpy said(w.statusLine(), &Status::changed);
        QTRY_VERIFY_WITH_TIMEOUT(w.isReconnecting(), 20000);
        QCOMPARE(w.statusLine()->text(), QStringLiteral("Device lost: ") + link);
        QCOMPARE(w.status()->toolTip(), w.statusLine()->text());
        QVERIFY(!w.isConnected());
        QCOMPARE(w.portToggle()->text(), QStringLiteral("Close port"));
        rig.emu->collect();
        rig.emu->forget();
        QTRY_VERIFY_WITH_TIMEOUT(
            (rig.emu->collect(), !rig.emu->trace().filter(QRegularExpression("^back ")).isEmpty()),
            20000);
        QTRY_COMPARE_WITH_TIMEOUT(w.statusLine()->text(), QStringLiteral("Reconnected: ") + link,
                                  2000);
        QVERIFY(w.isConnected() && !w.isReconnecting());
        QCOMPARE(w.portToggle()->text(), QStringLiteral("Close port"));
        // Between the loss and the return nothing else was said.
        const QStringList shown = texts(said);
        const int lost = shown.indexOf(QStringLiteral("Device lost: ") + link);
        QVERIFY(lost >= 0);
        QCOMPARE(shown.mid(lost).filter(QRegularExpression("^(?!Device lost|Open$|Reconnected)")),
                 QStringList());
        // The fresh device is put into the page's mode again, and frames are drawn.
        const QString start = w.oscPage()->widgets().ch2Box->isChecked()
                                  ? QStringLiteral("osc2chStart")
                                  : QStringLiteral("osc1chStart");
        QTRY_VERIFY_WITH_TIMEOUT(rig.traced({start}), 10000);
        const QStringList trace = rig.emu->trace();
        QVERIFY(trace.indexOf(QRegularExpression("^back ")) < trace.indexOf(start));
        const auto taken = [&w] { return w.oscPage()->frames().framesTaken(); };
        const quint64 before = taken();
        QTRY_VERIFY_WITH_TIMEOUT(taken() > before, 10000);
        // Lost again: "Close port" ends the wait, so the device that comes back is left alone
        // until "Open port"; and "Close port" closes it.
        rig.emu->forget();
        QTRY_VERIFY_WITH_TIMEOUT(w.isReconnecting(), 20000);
        QVERIFY(!w.device()->isOpen());
        w.portToggle()->click();
        QVERIFY(!w.isReconnecting());
        QCOMPARE(w.portToggle()->text(), QStringLiteral("Open port"));
        QTRY_VERIFY_WITH_TIMEOUT(
            (rig.emu->collect(), !rig.emu->trace().filter(QRegularExpression("^back ")).isEmpty()),
            20000);
        QVERIFY(!w.isConnected() && !w.device()->isOpen());
        w.portToggle()->click();
        QVERIFY(w.isConnected());
        QTRY_COMPARE(w.status()->text(), QStringLiteral("Open"));
        const quint64 opened = taken();
        QTRY_VERIFY_WITH_TIMEOUT(taken() > opened, 20000);
        w.portToggle()->click();
        QVERIFY(!w.isConnected() && !w.device()->isOpen());
        QTRY_COMPARE(w.status()->text(), QStringLiteral("closed"));
    }

    // Ctrl+Q takes the window's close path: port closed, the pages' settings saved for next time.
    void quit() {
        EmuWindow rig(MainWindow::OscPage);
        QVERIFY(rig.ready());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->oscPage()->frames().framesTaken() > 0, 20000);
        MainWindow& w = *rig.window;
        QFile::remove(Remembered::path());
        const bool ch2 = !w.oscPage()->widgets().ch2Box->isChecked();
        w.oscPage()->widgets().ch2Box->setChecked(ch2);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!w.isVisible());
        QVERIFY(!w.isConnected() && !w.device()->isOpen());
        QVERIFY(QFile::exists(Remembered::path()));
        MainWindow next;
        QCOMPARE(next.oscPage()->widgets().ch2Box->isChecked(), ch2);
        QFile::remove(Remembered::path()); // the next test starts from the defaults
    }

    // The file holds the data of the moment Ctrl+E was pressed, though newer frames came while the
    // dialog was open.
    void exportAtPress() {
        EmuWindow rig(MainWindow::OscPage);
        QVERIFY(rig.ready());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->oscPage()->frames().framesTaken() > 0, 20000);
        MainWindow& w = *rig.window;
        const Oscyloskop& osc = *w.oscPage();
        const QString path = dir.filePath(QStringLiteral("pressed.csv"));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const QByteArray atPress = oscCsv(osc);
        bool newerData = false;
        const auto answered = answerFileDialog(path, [&] {
            newerData = QTest::qWaitFor([&] { return oscCsv(osc) != atPress; }, 10000);
        });
        QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(*answered && newerData);
        QTRY_COMPARE(w.statusLine()->text(), QStringLiteral("Exported pressed.csv"));
        QCOMPARE(fileText(path), atPress);
    }

    void csvTimeFromMarker_data() {
        QTest::addColumn<int>("mode"); // trigger mode box: 0 free run, 1 Norm
        QTest::addColumn<int>("xPos");
        QTest::newRow("free run, marker left") << 0 << -150;
        QTest::newRow("Norm, centre") << 1 << 0;
        QTest::newRow("Norm, marker right") << 1 << 120;
    }

    // The table's time 0 is the sample drawn under the trigger position marker; rows before it are
    // negative, one sample period apart.
    void csvTimeFromMarker() {
        QFETCH(int, mode);
        QFETCH(int, xPos);
        EmuWindow rig(MainWindow::OscPage);
        QVERIFY(rig.ready());
        Oscyloskop& osc = *rig.window->oscPage();
        choose(osc.widgets().trigModeBox, mode);
        osc.widgets().xPosBar->setValue(xPos);
        const quint64 taken = osc.frames().framesTaken();
        QTRY_VERIFY_WITH_TIMEOUT(osc.frames().framesTaken() > taken + 2, 20000);
        const OscResult& shown = osc.processor().result();
        QVERIFY(shown.hasWindow);
        QList<QByteArray> rows = oscCsv(osc).trimmed().split('\n');
        rows.removeFirst();
        int zero = -1;
        for (int i = 0; i < rows.size() && zero < 0; ++i)
            if (rows[i].split(',').value(0).toDouble() == 0.0)
                zero = i;
        QCOMPARE(zero, shown.windowStart + shown.positionColumn / OscScale::pixelsPerSample);
        const double period = OscScale::sampleTime(osc.processor().samplesSettings().timeBase, 1);
        QVERIFY(qAbs(rows.first().split(',').value(0).toDouble() + zero * period) < period / 1000);
        const int gain = osc.processor().samplesSettings().gain1;
        const int column = shown.positionColumn / OscScale::pixelsPerSample;
        QVERIFY(qAbs(rows[zero].split(',').value(1).toDouble() -
                     OscScale::volts(gain, shown.bufGraph[column])) < 1e-6);
    }

private:
    QTemporaryDir dir;
};

QTEST_MAIN(TestBench)
#include "tst_bench.moc"

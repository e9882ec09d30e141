// What the window tells the user: failure messages (a lost device: tst_bench), a status line no
// control covers, page settings remembered across a restart, and a normal end on SIGTERM / SIGINT
// / SIGHUP.
#include "app/mainwindow.h"
#include "app/remembered.h"
#include "app/signalquit.h"
#include "emuprocess.h"
#include "instruments/generator/generator.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/spectrum/analizator.h"
#include "instruments/status.h"
#include "ptypair.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>
#include <csignal>

namespace {
// The user's changes on every page, made before the port opens.
void changeEveryPage(MainWindow& w) {
    w.oscPage()->widgets().ch2Box->setChecked(true);
    const std::pair<QComboBox*, int> picks[] = {{w.genPage()->widgets().typeBox, 1},
                                                {w.anPage()->widgets().taBox, 2}};
    for (const auto& [box, index] : picks) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    w.laPage()->widgets().trigBox[2]->setCurrentIndex(3);
}

// A main window whose settings name a fresh pseudo-terminal.
struct Rig {
    PtyPair pty;
    const bool named = writeEmuSettings(pty.slavePath());
    MainWindow w;
};

// The serial layer's lock: LCK..<port below /dev, '/' as '_'> in the first usable lock folder.
QString lockFileOf(QString port) {
    const QString name = QStringLiteral("/LCK..") + port.mid(5).replace('/', '_');
    for (const char* dir : {"/var/lock", "/run/lock", "/tmp", "/var/tmp"})
        if (QFile::exists(dir + name))
            return dir + name;
    return QString();
}

// One run of the program: start, optional changes, open the port, visit the four instrument
// pages (what each sent when it started goes to `sent`), end by SIGTERM: the window closes, the
// port's lock goes and the settings are saved (the next run reads them).
void run(QByteArrayList& sent, void (*change)(MainWindow&) = nullptr) {
    Rig r;
    SignalQuit quit(&r.w);
    r.w.show();
    if (change)
        change(r.w);
    r.w.portToggle()->click();
    sent << r.pty.drain(300);
    for (int page = 1; page <= 3; ++page) {
        r.w.tabBar()->setCurrentIndex(page);
        sent << r.pty.drain(300);
    }
    QCOMPARE(r.w.windowTitle(), "ZRV - " + r.pty.slavePath() + " - open");
    const QString lock = lockFileOf(r.pty.slavePath());
    QVERIFY2(!lock.isEmpty(), "the open port holds a lock file");
    ::raise(SIGTERM);
    QTRY_VERIFY(!r.w.isVisible());
    QVERIFY(!QFile::exists(lock));
}

} // namespace

class TestMessages : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void failureMessages_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unwritable waveform") << 0 << "Unable to save w.txt";
        QTest::newRow("unwritable table") << 1 << "Unable to save t.txt";
        QTest::newRow("picture as table") << 2 << "Not a waveform file: picture.png";
        QTest::newRow("unwritable settings") << 3 << "Unable to write settings %1";
    }

    void failureMessages() {
        QFETCH(int, kind);
        QFETCH(QString, expected);
        Rig r;
        r.w.portToggle()->click();
        r.pty.drain(300);
        const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/"));
        Generator& gen = *r.w.genPage();
        const int before[2] = {gen.masterTable()[100], gen.waveType()};
        QFile picture(dir.filePath(QStringLiteral("picture.png")));
        if (kind == 0) {
            QVERIFY(!r.w.oscPage()->saveWaveform(nowhere + "w.txt"));
        } else if (kind == 1) {
            QVERIFY(!gen.saveFile(nowhere + "t.txt"));
        } else if (kind == 2) {
            const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16).repeated(40);
            QVERIFY(picture.open(QIODevice::WriteOnly) && picture.write(png) && picture.flush());
            QVERIFY(!gen.loadFile(picture.fileName()));
            QCOMPARE(r.pty.drain(), QByteArray()); // nothing sent, nothing switched
            QVERIFY(gen.masterTable()[100] == before[0] && gen.waveType() == before[1]);
        } else {
            const QByteArray old = qgetenv("XDG_CONFIG_HOME");
            qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
            expected = expected.arg(Remembered::path());
            // A file where the folder should be: no one, root included, can write there.
            QFile(QFileInfo(Remembered::path()).path()).open(QIODevice::WriteOnly);
            QVERIFY(!Remembered::save(r.w));
            qputenv("XDG_CONFIG_HOME", old);
        }
        QTRY_COMPARE(r.w.status()->toolTip(), expected);
    }

    void statusTextsFit_data() {
        QTest::addColumn<int>("page");
        for (int page = 0; page < MainWindow::pageCount; ++page)
            QTest::addRow("page %d", page) << page;
    }

    void statusTextsFit() {
        QFETCH(int, page);
        MainWindow w;
        w.show();
        QCOMPARE(w.status()->text(), QStringLiteral("Closed")); // never blank
        w.tabBar()->setCurrentIndex(page);
        const QRect line = w.status()->geometry();
        QTabBar* bar = w.tabBar()->tabBar();
        const QRect lastTab = bar->tabRect(bar->count() - 1);
        QVERIFY(!QRect(bar->mapTo(&w, lastTab.topLeft()), lastTab.size()).intersects(line));
        // The window's own controls, and the page's (a page lies at the window's origin).
        QList<QWidget*> controls =
            w.currentPage()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        controls += w.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* c : controls)
            QVERIFY2(c == w.status() || c == w.centralWidget() || !c->isVisible() ||
                         !c->geometry().intersects(line),
                     "a control covers the status line");
        for (const char* text :
             {"Closed", "Open", "closed", "Unable to open", "Device lost: /dev/ttyUSB0",
              "Oscyloskop", "Generator", "Analizator", "Analizator st. log.", "Bode", "Ustawienia",
              "Unable to save waveform.txt", "Not a waveform file: picture.png",
              "Nothing to export yet", "This page has no data to export", "Exported capture.vcd",
              "Unknown export format: capture.xls", "Unable to write capture.png"}) {
            const QString shown = QLatin1String(text);
            w.statusLine()->show(shown);
            QCOMPARE(w.status()->text(), shown);
            QVERIFY(w.status()->fontMetrics().horizontalAdvance(shown) <=
                    w.status()->contentsRect().width());
        }
    }

    void rememberedSettings_data() {
        QTest::addColumn<QByteArray>("store");
        QTest::newRow("as saved") << QByteArray();
        QTest::newRow("out of range")
            << QByteArray("format=1\n[osc]\nch2=7\ntimeDiv=99\n[gen]\ntype=x\nexpression=\"(((\"\n"
                          "[spectrum]\nspan=13\n[logic]\nrate=-3\ntrigger2=5\n");
        QTest::newRow("binary") << QByteArray("\xff\x00[[=\n\x01\x02", 9).repeated(50);
        QTest::newRow("older") << QByteArray("format=0\n[osc]\nch2=1\ntimeDiv=3\n");
    }

    void rememberedSettings() {
        QFETCH(QByteArray, store);
        const bool restored = store.isEmpty();
        QFile::remove(Remembered::path());
        QByteArrayList defaults, changed, again;
        run(defaults);
        run(changed, changeEveryPage);
        QFile file(Remembered::path());
        if (!store.isEmpty())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(store) && file.flush());
        run(again);
        QVERIFY(defaults.size() == 4 && changed.size() == 4 && again.size() == 4);
        for (int page = 0; page < 4; ++page) {
            // The generator's settings go out as the port opens (with the oscilloscope's), and
            // its start only switches the mode and repeats the frequency.
            QVERIFY2(changed[page] != defaults[page] || page == MainWindow::GenPage,
                     "the changes went out");
            QCOMPARE(again[page], restored ? changed[page] : defaults[page]);
        }
    }

    void signalEndsProgram_data() {
        QTest::addColumn<int>("signo");
        for (int signo : {SIGTERM, SIGINT, SIGHUP})
            QTest::addRow("%s", strsignal(signo)) << signo;
    }

    void signalEndsProgram() {
        QFETCH(int, signo);
        QTemporaryDir work;
        QProcess zrv;
        zrv.setWorkingDirectory(work.path());
        // Passed on to zrv; this process read its own rules at start and is done with its store.
        qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("QT_LOGGING_RULES", "zrv.app.debug=true");
        zrv.start(QStringLiteral(ZRV_APP_PATH), QStringList());
        QByteArray log; // ready once the handlers are in place
        QTRY_VERIFY_WITH_TIMEOUT((log += zrv.readAllStandardError()).contains("signals close") ||
                                     zrv.state() == QProcess::NotRunning,
                                 20000);
        ::kill(pid_t(zrv.processId()), signo);
        QVERIFY(zrv.waitForFinished(20000));
        QVERIFY(zrv.exitStatus() == QProcess::NormalExit && zrv.exitCode() == 0);
        QVERIFY(QFile::exists(work.filePath(QStringLiteral("config/zrv/zrv.conf"))));
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"

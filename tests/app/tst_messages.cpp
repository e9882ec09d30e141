// What the window tells the user: failure messages, a status line no control covers, page
// settings remembered across a restart, and a normal end on SIGTERM / SIGINT / SIGHUP.
#include "analizator.h"
#include "analizatorlog.h"
#include "emuprocess.h"
#include "generator.h"
#include "mainwindow.h"
#include "oscyloskop.h"
#include "ptypair.h"
#include "remembered.h"
#include "signalquit.h"
#include "status.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>
#include <csignal>
#include <functional>

namespace {
void pick(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// The user's changes on every page, made before the port opens.
void changeEveryPage(MainWindow& w) {
    w.oscPage()->ch2Box->setChecked(true);
    emit w.oscPage()->ch2Box->clicked(true);
    pick(w.oscPage()->tBox, 3);
    pick(w.oscPage()->vBox2, 4);
    pick(w.findChild<QComboBox*>(QStringLiteral("typeBox")), 1);
    w.findChild<QSpinBox*>(QStringLiteral("freqBox"))->setValue(2500);
    w.findChild<QSpinBox*>(QStringLiteral("gainBox"))->setValue(900);
    pick(w.anPage()->spanBox(), 2);
    pick(w.anPage()->rangeBox(), 5);
    pick(w.laPage()->rateBox, 6);
    w.laPage()->trigBox[2]->setCurrentIndex(3);
}

// One run of the program: start, optional changes, open the port, visit the four instrument
// pages, close the window. Returns what each page sent when it started.
QByteArrayList run(const std::function<void(MainWindow&)>& change = {}) {
    PtyPair pty;
    writeEmuSettings(pty.slavePath());
    MainWindow w;
    w.show();
    if (change)
        change(w);
    w.portToggle()->click();
    QByteArrayList sent{pty.drain(300)};
    for (int page = 1; page <= 3; ++page) {
        w.tabBar()->setCurrentIndex(page);
        sent << pty.drain(300);
    }
    w.close();
    return sent;
}

QString lockFileOf(const QString& port) {
    const QString name = QStringLiteral("LCK..") + port.mid(5).replace('/', '_');
    for (const char* dir : {"/var/lock", "/run/lock", "/tmp", "/var/tmp"})
        if (QFile::exists(QLatin1String(dir) + '/' + name))
            return QLatin1String(dir) + '/' + name;
    return QString();
}
} // namespace

class TestMessages : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void failureMessages_data();
    void failureMessages();
    void statusTextsFit_data();
    void statusTextsFit();
    void rememberedSettings_data();
    void rememberedSettings();
    void signalClosesWindowAndPort();
    void signalEndsProgram_data();
    void signalEndsProgram();
};

void TestMessages::failureMessages_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unwritable waveform") << 0 << "Unable to save w.txt";
    QTest::newRow("unwritable table") << 1 << "Unable to save t.txt";
    QTest::newRow("picture as table") << 2 << "Not a waveform file: picture.png";
    QTest::newRow("unwritable settings") << 3 << "Unable to write settings %1";
    QTest::newRow("device lost") << 4 << "Device lost: %1";
}

void TestMessages::failureMessages() {
    QFETCH(int, kind);
    QFETCH(QString, expected);
    PtyPair pty;
    writeEmuSettings(pty.slavePath());
    MainWindow w;
    w.portToggle()->click();
    QVERIFY(w.isConnected());
    pty.drain();
    const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/"));
    const int before[2] = {w.genPage()->masterTable()[100], w.genPage()->waveType()};
    if (kind == 0) {
        QVERIFY(!w.oscPage()->saveWaveform(nowhere + "w.txt"));
    } else if (kind == 1) {
        QVERIFY(!w.genPage()->saveFile(nowhere + "t.txt"));
    } else if (kind == 2) {
        QFile picture(dir.filePath(QStringLiteral("picture.png")));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16).repeated(40));
        picture.close();
        QVERIFY(!w.genPage()->loadFile(picture.fileName()));
        QCOMPARE(pty.drain(), QByteArray()); // nothing sent, nothing switched
        QCOMPARE(w.genPage()->masterTable()[100], before[0]);
        QCOMPARE(w.genPage()->waveType(), before[1]);
    } else if (kind == 3) {
        const QByteArray old = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        expected = expected.arg(Remembered::path());
        // A file where the folder should be: no one, root included, can write there.
        QFile(QFileInfo(Remembered::path()).path()).open(QIODevice::WriteOnly);
        QVERIFY(!Remembered::save(w));
        qputenv("XDG_CONFIG_HOME", old);
    } else {
        pty.closeMaster();
        expected = expected.arg(pty.slavePath());
        QTRY_VERIFY(!w.isConnected());
        QTRY_VERIFY(w.windowTitle().endsWith(QLatin1String(" - closed")));
    }
    QTRY_COMPARE(w.status()->toolTip(), expected);
}

void TestMessages::statusTextsFit_data() {
    QTest::addColumn<int>("page");
    for (int page = 0; page < 5; ++page)
        QTest::addRow("page %d", page) << page;
}

void TestMessages::statusTextsFit() {
    QFETCH(int, page);
    MainWindow w;
    w.show();
    QCOMPARE(w.status()->text(), QStringLiteral("Closed")); // never blank
    w.tabBar()->setCurrentIndex(page);
    QList<QRect> others{QRect(w.tabBar()->mapTo(&w, QPoint()), w.tabBar()->size())};
    for (QWidget* c : w.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (c != w.status() && c != w.centralWidget() && c->isVisible())
            others << c->geometry();
    for (const QRect& r : others)
        QVERIFY2(!r.intersects(w.status()->geometry()), "a control covers the status line");
    for (const char* text :
         {"Closed", "Open", "closed", "Unable to open", "Device lost: /dev/ttyUSB0", "Oscyloskop",
          "Generator", "Analizator", "Analizator st. log.", "Ustawienia",
          "Unable to save waveform.txt", "Not a waveform file: picture.png"}) {
        sts = QLatin1String(text);
        QTRY_COMPARE(w.status()->text(), sts);
        QVERIFY(w.status()->fontMetrics().horizontalAdvance(sts) <=
                w.status()->contentsRect().width());
    }
}

void TestMessages::rememberedSettings_data() {
    QTest::addColumn<QByteArray>("store");
    QTest::addColumn<bool>("restored");
    QTest::newRow("as saved") << QByteArray() << true;
    QTest::newRow("out of range")
        << QByteArray("format=1\n[osc]\nch2=7\ntimeDiv=99\nvoltDiv2=-1\ntrigLevel=1e9\n"
                      "[gen]\ntype=x\nfrequency=99999999\ngainBox=\nexpression=\"(((\"\n"
                      "[spectrum]\nspan=13\n[logic]\nrate=-3\ntrigger2=5\n")
        << false;
    QTest::newRow("binary") << QByteArray("\xff\x00[[=\n\x01\x02", 9).repeated(50) << false;
    QTest::newRow("older format") << QByteArray("format=0\n[osc]\nch2=1\ntimeDiv=3\n") << false;
}

void TestMessages::rememberedSettings() {
    QFETCH(QByteArray, store);
    QFETCH(bool, restored);
    QFile::remove(Remembered::path());
    const QByteArrayList defaults = run();
    const QByteArrayList changed = run(changeEveryPage);
    if (!store.isEmpty()) {
        QFile file(Remembered::path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(store);
    }
    const QByteArrayList again = run();
    for (int page = 0; page < 4; ++page) {
        QVERIFY2(changed[page] != defaults[page], "the changes went out");
        QCOMPARE(again[page], restored ? changed[page] : defaults[page]);
    }
}

void TestMessages::signalClosesWindowAndPort() {
    PtyPair pty;
    writeEmuSettings(pty.slavePath());
    QFile::remove(Remembered::path());
    MainWindow w;
    SignalQuit quit(&w);
    QVERIFY(quit.isActive());
    w.show();
    w.portToggle()->click();
    QVERIFY(w.windowTitle() == "ZRV - " + pty.slavePath() + " - open");
    const QString lock = lockFileOf(pty.slavePath());
    QVERIFY2(!lock.isEmpty(), "the open port holds a lock file");
    ::raise(SIGTERM);
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(!QFile::exists(lock));
    QVERIFY(QFile::exists(Remembered::path()));
}

void TestMessages::signalEndsProgram_data() {
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestMessages::signalEndsProgram() {
    QFETCH(int, signo);
    QTemporaryDir work;
    QProcess zrv;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("zrv.app.debug=true"));
    zrv.setProcessEnvironment(env);
    zrv.setWorkingDirectory(work.path());
    zrv.start(QStringLiteral(ZRV_APP_PATH), QStringList());
    QByteArray log; // ready once the handlers are in place
    QTRY_VERIFY_WITH_TIMEOUT((log += zrv.readAllStandardError()).contains("signals close the") ||
                                 zrv.state() == QProcess::NotRunning,
                             20000);
    ::kill(pid_t(zrv.processId()), signo);
    QVERIFY(zrv.waitForFinished(20000));
    QCOMPARE(zrv.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zrv.exitCode(), 0);
    QVERIFY(QFile::exists(work.filePath(QStringLiteral("config/zrv/zrv.conf"))));
}

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"

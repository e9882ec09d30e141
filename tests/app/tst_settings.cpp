// The settings page: the line it writes and the line speed that follows, the port names it
// refuses, and the files users spoil: settings.txt empty, binary, huge, of the wrong kind or
// unreadable; waveform files too.
#include "app/settingsfile.h"
#include "app/ustawienia.h"
#include "instruments/generator/genfile.h"
#include "instruments/oscilloscope/oscfile.h"
#include "linerig.h"

#include <QLineEdit>
#include <QtTest>
#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace {
const QString settingsName = QString::fromLatin1(SettingsFile::fileName);

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Entries that open() refuses to read, for any user, root included.
bool makeUnreadable(const QString& path, int kind) {
    if (kind == 0)
        return QDir().mkpath(path);
    if (kind == 1)
        return QFile::link(path, path); // a link loop
    if (kind == 2)
        return QFile::link(QStringLiteral("no-such-folder/x"), path);
    return mkfifo(qPrintable(path), 0600) == 0; // reading a pipe must not hang
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init() {
        cleanup();
        Ustawienia::portLister = [] { return QStringList{QStringLiteral("/dev/tty%1%2")}; };
    }

    void cleanup() { QFile::remove(settingsName), QDir(settingsName).removeRecursively(); }
    // content: the file before start; name/speed/index: what the page then uses; after: the file
    // after start ("=" for unchanged).
    void settingsContents_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("after");
        const QByteArray line(
            "#/dev/ttyUSB0#19#3#ZRV"); // what the page then uses: code 19 = 115 200 bit/s
        QTest::newRow("empty: the default line")
            << QByteArray() << "/dev/ttyUSB0" << 19 << 3 << line;
        const QByteArray binary("\x00\x01\xff\xfe\x80zz", 7);
        QTest::newRow("binary without #") << binary << "/dev/ttyUSB0" << 19 << 3 << binary + line;
        QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbf#/dev/ttyS2#15#1#ZRV")
                                         << "/dev/ttyS2" << 15 << 1 << QByteArray("=");
        QTest::newRow("huge after a good line")
            << QByteArray("#/dev/ttyACM1#24#6#ZRV\n") + QByteArray(6 << 20, '\x07')
            << "/dev/ttyACM1" << 24 << 6 << QByteArray("=");
    }

    void settingsContents() {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, after);
        QVERIFY(writeBytes(settingsName, content));
        Ustawienia page(&host, nullptr);
        QTEST(page.getPortName(), "name");
        QTEST(page.getPortSpeed(), "speed");
        QTEST(page.widgets().speedBox->currentIndex(), "index");
        QCOMPARE(contents(settingsName), after == "=" ? content : after);
    }

    // The line written back: name, speed code, speed list entry (a "%1" in a name stays as it is);
    // and the speed that code sets on the line, read back from the terminal.
    void choosingWritesTheLine_data() {
        QTest::addColumn<int>("speedIndex"); // -1: choose the port instead
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("baud");
        QTest::newRow("port") << -1 << QByteArray("#/dev/tty%1%2#19#3#ZRV") << 115200;
        QTest::newRow("19200") << 0 << QByteArray("#/dev/ttyS1#14#0#ZRV") << 19200;
        QTest::newRow("2500000") << 9 << QByteArray("#/dev/ttyS1#22#9#ZRV") << 2500000;
    }

    void choosingWritesTheLine() {
        QFETCH(int, speedIndex);
        QVERIFY(writeBytes(settingsName, "#/dev/ttyS1#19#3#ZRV"));
        Ustawienia page(&host, nullptr);
        choose(speedIndex < 0 ? page.widgets().portBox : page.widgets().speedBox,
               std::max(speedIndex, 0));
        QTEST(contents(settingsName), "line");
        PtyPair pty;
        ZRVCom com;
        QCOMPARE(com.Open(pty.slavePath(), page.getPortSpeed()), 1);
        termios2 tio{};
        QCOMPARE(ioctl(pty.masterFd(), TCGETS2, &tio), 0);
        QTEST(int(tio.c_ospeed), "baud");
    }

    void unreadableFiles_data() {
        QTest::addColumn<int>("kind");
        const char* const kinds[] = {"folder", "link loop", "link into a missing folder", "pipe"};
        for (int kind = 0; kind < 4; ++kind)
            QTest::newRow(kinds[kind]) << kind;
    }

    // Passed over: the page takes its built-in values, the oscilloscope reads zeros, the generator
    // keeps its table, and nothing crashes or hangs.
    void unreadableFiles() {
        QFETCH(int, kind);
        QVERIFY(makeUnreadable(settingsName, kind));
        Ustawienia page(&host, nullptr);
        QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(page.getPortSpeed(), 19);
        if (kind == 3)
            return; // a pipe is no waveform file anyone picks
        int samples[1024], table[512];
        std::fill(std::begin(samples), std::end(samples), 9);
        std::fill(std::begin(table), std::end(table), 9);
        QCOMPARE(OscFile::load(settingsName, samples, 1024), 0);
        QCOMPARE(std::count(std::begin(samples), std::end(samples), 0), 1024L);
        QVERIFY(core::readGenFile(settingsName, table) != core::GenRead::Ok);
        QCOMPARE(std::count(std::begin(table), std::end(table), 9), 512L);
    }

    void portNames_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("taken");
        QTest::newRow("a pseudo-terminal") << "/dev/pts/7" << true;
        QTest::newRow("a link by id") << "/dev/serial/by-id/usb-ZRV_01-if00-port0" << true;
        QTest::newRow("with #") << "/dev/tty#1" << false;
        QTest::newRow("with a space") << "/dev/my port" << false;
        QTest::newRow("with a tab") << "/dev/my\tport" << false;
    }

    // A typed path is used and stored; one the settings line cannot hold is refused with the
    // reason, and the file and the port stay as they were.
    void portNames() {
        QFETCH(QString, typed);
        QFETCH(bool, taken);
        const QByteArray line("#/dev/ttyS1#19#3#ZRV");
        QVERIFY(writeBytes(settingsName, line));
        Ustawienia::portLister = [] { return QStringList{QStringLiteral("/dev/ttyUSB0")}; };
        Status status;
        Ustawienia page(&host, &status);
        QComboBox* box = page.widgets().portBox;
        // The port in use is listed though the enumerator does not know it.
        QCOMPARE(box->currentText(), QStringLiteral("/dev/ttyS1 /dev"));
        box->setEditText(typed);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QCOMPARE(page.getPortName(), taken ? typed : QStringLiteral("/dev/ttyS1"));
        QCOMPARE(contents(settingsName), taken ? "#" + typed.toUtf8() + "#19#3#ZRV" : line);
        QCOMPARE(status.text(), taken ? QString() : Ustawienia::refusedText(typed));
        QCOMPARE(box->currentText(), page.getPortName() + QStringLiteral(" /dev"));
    }

private:
    QWidget host;
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"

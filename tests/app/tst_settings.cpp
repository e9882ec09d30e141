// The settings page and the files users (or a full disk) spoil: settings.txt empty, binary, huge,
// of the wrong kind or unreadable, and waveform files that cannot be read or fully written.
#include "genfile.h"
#include "oscfile.h"
#include "ustawienia.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
const QString settingsName = QString::fromLatin1(Ustawienia::fileName);

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
    void init();
    void cleanup() { QFile::remove(settingsName), QDir(settingsName).removeRecursively(); }
    void settingsContents_data();
    void settingsContents();
    void choosingWritesTheLine_data();
    void choosingWritesTheLine();
    void unreadableFiles_data();
    void unreadableFiles();
    void fullDiskKeepsTheOldFile();

private:
    QWidget host;
};

void TestSettings::init() {
    cleanup();
    Ustawienia::portLister = [] { return QStringList{QStringLiteral("/dev/tty%1%2")}; };
}

// content: the file before start; name/speed/index: what the page then uses; after: the file
// after start ("=" for unchanged).
void TestSettings::settingsContents_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("after");
    const QByteArray line("#/dev/ttyS0#115200#3#ZRV"); // 115200 reads as 115 200 bit/s
    QTest::newRow("empty: the default line") << QByteArray() << "/dev/ttyUSB0" << 19 << 3 << line;
    const QByteArray binary("\x00\x01\xff\xfe\x80zz", 7);
    QTest::newRow("binary without #") << binary << "/dev/ttyUSB0" << 19 << 3 << binary + line;
    QTest::newRow("binary word with #")
        << QByteArray("\x01\x02#\xc3\xa4\x7f#17#2\x00", 12) << QString::fromUtf8("\xc3\xa4\x7f")
        << 17 << 0 << QByteArray("="); // "2\0" is no number
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbf#/dev/ttyS2#15#1#ZRV")
                                     << "/dev/ttyS2" << 15 << 1 << QByteArray("=");
    QTest::newRow("huge after a good line")
        << QByteArray("#/dev/ttyACM1#24#6#ZRV\n") + QByteArray(6 << 20, '\x07') << "/dev/ttyACM1"
        << 24 << 6 << QByteArray("=");
    QTest::newRow("numbers beyond int") << QByteArray("#/dev/a#99999999999#-4294967297#ZRV")
                                        << "/dev/a" << 0 << 0 << QByteArray("=");
}

void TestSettings::settingsContents() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, after);
    QVERIFY(writeBytes(settingsName, content));
    Ustawienia page(&host);
    QTEST(page.getPortName(), "name");
    QTEST(page.getPortSpeed(), "speed");
    QTEST(page.speedBox->currentIndex(), "index");
    QCOMPARE(contents(settingsName), after == "=" ? content : after);
}

// The line written back: name, speed code, speed list entry. A "%1" in a name stays as it is.
void TestSettings::choosingWritesTheLine_data() {
    QTest::addColumn<int>("speedIndex"); // -1: choose the port instead
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("port") << -1 << QByteArray("#/dev/tty%1%2#19#3#ZRV");
    QTest::newRow("38400") << 1 << QByteArray("#/dev/ttyS1#15#1#ZRV");
    QTest::newRow("2500000") << 9 << QByteArray("#/dev/ttyS1#22#9#ZRV");
}

void TestSettings::choosingWritesTheLine() {
    QFETCH(int, speedIndex);
    QVERIFY(writeBytes(settingsName, "#/dev/ttyS1#19#3#ZRV"));
    Ustawienia page(&host);
    QComboBox* box = speedIndex < 0 ? page.portBox : page.speedBox;
    box->setCurrentIndex(std::max(speedIndex, 0));
    emit box->activated(std::max(speedIndex, 0));
    QTEST(contents(settingsName), "line");
}

void TestSettings::unreadableFiles_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("folder") << 0;
    QTest::newRow("link loop") << 1;
    QTest::newRow("link into a missing folder") << 2;
    QTest::newRow("pipe") << 3;
}

// Passed over: the page takes its built-in values, the oscilloscope reads zeros, the generator
// keeps its table, and nothing crashes or hangs.
void TestSettings::unreadableFiles() {
    QFETCH(int, kind);
    QVERIFY(makeUnreadable(settingsName, kind));
    Ustawienia page(&host);
    QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(page.getPortSpeed(), 19);
    if (kind == 3)
        return; // a pipe is no waveform file anyone picks
    int samples[1024], table[512];
    std::fill(std::begin(samples), std::end(samples), 9);
    std::fill(std::begin(table), std::end(table), 9);
    QCOMPARE(OscFile::load(settingsName, samples, 1024), 0);
    QCOMPARE(std::count(std::begin(samples), std::end(samples), 0), 1024L);
    QVERIFY(!readGenFile(settingsName, table));
    QCOMPARE(std::count(std::begin(table), std::end(table), 9), 512L);
}

// A write that fails part way (no room) leaves the old file whole and no temporary behind.
void TestSettings::fullDiskKeepsTheOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.txt"));
    QVERIFY(writeBytes(path, "1\n2\n3\n"));
    int wave[512];
    std::fill(std::begin(wave), std::end(wave), -2048);
    rlimit saved{}, small{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    small = saved;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool written = writeGenFile(path, wave);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!written);
    QCOMPARE(contents(path), QByteArray("1\n2\n3\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"table.txt"});
    QVERIFY(writeGenFile(path, wave));
    QCOMPARE(contents(path), QByteArray("-2048\n").repeated(512));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"

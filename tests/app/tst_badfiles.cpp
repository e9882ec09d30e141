// Files the user (or a full disk) spoils: settings.txt and the two waveform files that are empty,
// binary, huge, of the wrong kind or unreadable, and saves that fail half way.
#include "genfile.h"
#include "oscfile.h"
#include "ustawienia.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Runs `save` while no file may grow past `limit` bytes: a full disk, as the writer meets it.
bool withFileSizeLimit(rlim_t limit, const std::function<bool()>& save) {
    struct rlimit saved {};
    if (getrlimit(RLIMIT_FSIZE, &saved) != 0)
        return false;
    struct rlimit small = saved;
    small.rlim_cur = limit;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool result = save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    return result;
}

// Unreadable by any user, root included: kinds of file system entry that open() refuses.
enum class Unreadable { Folder, SymlinkLoop, DanglingIntoMissingFolder };

bool makeUnreadable(const QString& path, Unreadable kind) {
    switch (kind) {
    case Unreadable::Folder:
        return QDir().mkpath(path);
    case Unreadable::SymlinkLoop:
        return QFile::link(path, path);
    case Unreadable::DanglingIntoMissingFolder:
        return QFile::link(QStringLiteral("no-such-folder/x"), path);
    }
    return false;
}

void removeEntry(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}
} // namespace

Q_DECLARE_METATYPE(Unreadable)

class TestBadFiles : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void settingsContents_data();
    void settingsContents();
    void settingsUnreadable_data();
    void settingsUnreadable();
    void settingsWithoutReadPermission();
    void settingsPipeDoesNotBlock();
    void failedSettingsSaveKeepsOldLine();
    void percentInPortNameIsKept();
    void waveFilesUnreadable_data();
    void waveFilesUnreadable();
    void failedGeneratorSaveKeepsOldFile();

private:
    QWidget* host = nullptr;
};

void TestBadFiles::init() {
    removeEntry(settingsName);
    Ustawienia::portLister = [] { return QStringList{QStringLiteral("/dev/ttyS0")}; };
    host = new QWidget;
}

void TestBadFiles::cleanup() {
    delete host;
    host = nullptr;
    removeEntry(settingsName);
}

// content: the file before start; name/speed/index: what the page then uses; after: the file
// after start ("=" for unchanged).
void TestBadFiles::settingsContents_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("after");
    const QByteArray line = Ustawienia::defaultLine;
    QTest::newRow("empty") << QByteArray() << "/dev/ttyUSB0" << 19 << 3 << line;
    QTest::newRow("blanks only") << QByteArray(" \n\t\r\n") << "/dev/ttyUSB0" << 19 << 3
                                 << QByteArray(" \n\t\r\n") + line;
    const QByteArray binary("\x00\x01\xff\xfe\x80zz", 7);
    QTest::newRow("binary without #") << binary << "/dev/ttyUSB0" << 19 << 3 << binary + line;
    QTest::newRow("binary word with #")
        << QByteArray("\x01\x02#\xc3\xa4\x7f#17#2\x00", 12) << QString::fromUtf8("\xc3\xa4\x7f")
        << 17 << 0 << QByteArray("="); // "2\0" is no number
    QTest::newRow("UTF-8 name") << QByteArray("#/dev/tty\xc3\x84#21#4#ZRV")
                                << QString::fromUtf8("/dev/tty\xc3\x84") << 21 << 4
                                << QByteArray("=");
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbf#/dev/ttyS2#15#1#ZRV")
                                     << "/dev/ttyS2" << 15 << 1 << QByteArray("=");
    // A good line, then megabytes of junk: the line counts and nothing is rewritten.
    QTest::newRow("huge after a good line")
        << QByteArray("#/dev/ttyACM1#24#6#ZRV\n") + QByteArray(6 << 20, '\x07') << "/dev/ttyACM1"
        << 24 << 6 << QByteArray("=");
    QTest::newRow("numbers beyond int") << QByteArray("#/dev/a#99999999999#-4294967297#ZRV")
                                        << "/dev/a" << 0 << 0 << QByteArray("=");
}

void TestBadFiles::settingsContents() {
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QFETCH(int, speed);
    QFETCH(int, index);
    QFETCH(QByteArray, after);
    QVERIFY(writeBytes(settingsName, content));
    Ustawienia page(host);
    QCOMPARE(page.getPortName(), name);
    QCOMPARE(page.getPortSpeed(), speed);
    QCOMPARE(page.speedBox->currentIndex(), index);
    QCOMPARE(contents(settingsName), after == "=" ? content : after);
}

void TestBadFiles::settingsUnreadable_data() {
    QTest::addColumn<Unreadable>("kind");
    QTest::newRow("folder") << Unreadable::Folder;
    QTest::newRow("symbolic link loop") << Unreadable::SymlinkLoop;
    QTest::newRow("link into a missing folder") << Unreadable::DanglingIntoMissingFolder;
}

// Passed over silently: built-in values, and a later save neither crashes nor turns the entry
// into something else.
void TestBadFiles::settingsUnreadable() {
    QFETCH(Unreadable, kind);
    QVERIFY(makeUnreadable(settingsName, kind));
    const QFileInfo before(settingsName);
    Ustawienia page(host);
    QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(page.getPortSpeed(), 19);
    QCOMPARE(page.speedBox->currentIndex(), 3);
    page.speedBox->setCurrentIndex(1);
    emit page.speedBox->activated(1);
    QCOMPARE(page.getPortSpeed(), 15);
    const QFileInfo after(settingsName);
    QCOMPARE(after.isDir(), before.isDir());
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".txt.")),
             QStringList()); // no temporary file left behind
}

void TestBadFiles::settingsWithoutReadPermission() {
    if (geteuid() == 0)
        QSKIP("permission bits do not stop root; the folder and link rows cover unreadable files");
    QVERIFY(writeBytes(settingsName, "#/dev/ttyACM0#17#2#ZRV"));
    QVERIFY(QFile::setPermissions(settingsName, QFileDevice::WriteOwner));
    Ustawienia page(host);
    QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(page.getPortSpeed(), 19);
}

// A pipe of that name has no end: reading it must not hang the start.
void TestBadFiles::settingsPipeDoesNotBlock() {
    QCOMPARE(mkfifo(Ustawienia::fileName, 0600), 0);
    Ustawienia page(host);
    QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(page.getPortSpeed(), 19);
    QVERIFY(!QFileInfo(settingsName).isFile());
}

void TestBadFiles::failedSettingsSaveKeepsOldLine() {
    const QByteArray old("#/dev/ttyS1#19#3#ZRV");
    QVERIFY(writeBytes(settingsName, old));
    Ustawienia page(host);
    // A name longer than the limit lets the write start and fail part way.
    const QString longName = QStringLiteral("/dev/") + QString(200, QLatin1Char('x'));
    withFileSizeLimit(64, [&] {
        Ustawienia::portLister = [&] { return QStringList{longName}; };
        page.getPorts();
        emit page.portBox->activated(0);
        return true;
    });
    QCOMPARE(page.getPortName(), longName);
    QCOMPARE(contents(settingsName), old);
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{settingsName});
    // With room again the same choice is stored.
    emit page.portBox->activated(0);
    QCOMPARE(contents(settingsName), "#" + longName.toLatin1() + "#19#3#ZRV");
}

// Chained QString::arg() would fill a "%1" inside the name with the speed.
void TestBadFiles::percentInPortNameIsKept() {
    const QString odd = QStringLiteral("/dev/tty%1%2%3");
    Ustawienia::portLister = [&] { return QStringList{odd}; };
    {
        Ustawienia page(host);
        emit page.portBox->activated(0);
        QCOMPARE(contents(settingsName), QByteArray("#/dev/tty%1%2%3#19#3#ZRV"));
    }
    Ustawienia again(host);
    QCOMPARE(again.getPortName(), odd);
}

void TestBadFiles::waveFilesUnreadable_data() {
    settingsUnreadable_data();
}

// Neither reader crashes; the oscilloscope reads zeros, the generator keeps its table.
void TestBadFiles::waveFilesUnreadable() {
    QFETCH(Unreadable, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("wave.txt"));
    QVERIFY(makeUnreadable(path, kind));
    int samples[1024];
    std::fill(std::begin(samples), std::end(samples), 9);
    QCOMPARE(OscFile::load(path, samples, 1024), 0);
    QCOMPARE(std::count(std::begin(samples), std::end(samples), 0), 1024L);
    int table[512];
    std::fill(std::begin(table), std::end(table), 9);
    QVERIFY(!readGenFile(path, table));
    QCOMPARE(std::count(std::begin(table), std::end(table), 9), 512L);
}

void TestBadFiles::failedGeneratorSaveKeepsOldFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("table.txt"));
    const QByteArray old("1\n2\n3\n");
    QVERIFY(writeBytes(path, old));
    int wave[512];
    std::fill(std::begin(wave), std::end(wave), -2048);
    QVERIFY(!withFileSizeLimit(100, [&] { return writeGenFile(path, wave); }));
    QCOMPARE(contents(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"table.txt"});
    QVERIFY(writeGenFile(path, wave)); // and with room it is written
    QCOMPARE(contents(path), QByteArray("-2048\n").repeated(512));
}

QTEST_MAIN(TestBadFiles)
#include "tst_badfiles.moc"

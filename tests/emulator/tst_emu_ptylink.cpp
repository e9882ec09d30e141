// The emulator's pseudo-terminal: a raw line both ways, the line speed another opener sets, and
// dropping unread bytes. (The link's rules are checked on the program, tst_emu_cli.)
#include "emulator/linespeed.h"
#include "emulator/ptylink.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Reads exactly `count` bytes from `fd`, waiting up to 5 s for each chunk.
QByteArray readExactly(int fd, int count) {
    QByteArray out;
    char chunk[256];
    while (out.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            break;
        const ssize_t n = ::read(fd, chunk, size_t(std::min<int>(count - out.size(), 256)));
        if (n <= 0)
            break;
        out.append(chunk, int(n));
    }
    return out;
}

// Opens the slave as a program would: its own descriptor, its own line settings.
int openSlave(const emu::PtyLink& link) {
    return ::open(link.slavePath().c_str(), O_RDWR | O_NOCTTY);
}
} // namespace

class TestEmuPtyLink : public QObject {
    Q_OBJECT

private slots:
    void rawBothWays();
    void lineSpeedFollowsTheOpener_data();
    void lineSpeedFollowsTheOpener();
    void lineSpeedOfNoTerminal();
    void discardUnreadDropsOnlyOldBytes();
};

void TestEmuPtyLink::rawBothWays() {
    emu::PtyLink link;
    std::string error;
    QVERIFY2(link.open(error), error.c_str());
    const int fd = openSlave(link);
    QVERIFY(fd >= 0);
    QVERIFY(isatty(fd));
    // Line ends, interrupt and flow-control characters, 8-bit bytes: all pass unchanged.
    const QByteArray bytes("a\r\n\x03\x11\x13\x1a\x7f\xff\x00z", 11);
    QCOMPARE(::write(link.master(), bytes.constData(), size_t(bytes.size())), ssize_t(11));
    QCOMPARE(readExactly(fd, 11), bytes);
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(11));
    QCOMPARE(readExactly(link.master(), 11), bytes);
    ::close(fd);
}

void TestEmuPtyLink::lineSpeedFollowsTheOpener_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("baud");
    QTest::newRow("19200") << int(B19200) << 19200;
    QTest::newRow("115200") << int(B115200) << 115200;
    QTest::newRow("921600") << int(B921600) << 921600;
    QTest::newRow("2500000") << int(B2500000) << 2500000;
}

void TestEmuPtyLink::lineSpeedFollowsTheOpener() {
    QFETCH(int, code);
    QFETCH(int, baud);
    emu::PtyLink link;
    std::string error;
    QVERIFY(link.open(error));
    const int fd = openSlave(link);
    QVERIFY(fd >= 0);
    termios tio{};
    QCOMPARE(tcgetattr(fd, &tio), 0);
    cfsetspeed(&tio, speed_t(code));
    QCOMPARE(tcsetattr(fd, TCSANOW, &tio), 0);
    QCOMPARE(emu::lineSpeed(link.slave()), baud);
    ::close(fd);
}

void TestEmuPtyLink::lineSpeedOfNoTerminal() {
    QCOMPARE(emu::lineSpeed(-1), 0);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("plain")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(emu::lineSpeed(file.handle()), 0);
}

void TestEmuPtyLink::discardUnreadDropsOnlyOldBytes() {
    emu::PtyLink link;
    std::string error;
    QVERIFY(link.open(error));
    const int fd = openSlave(link);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(link.master(), "stale", 5), ssize_t(5));
    // The bytes must have reached the slave's queue before they can be dropped from it.
    pollfd p{fd, POLLIN, 0};
    QCOMPARE(poll(&p, 1, 5000), 1);
    link.discardUnread();
    QCOMPARE(::write(link.master(), "Z", 1), ssize_t(1));
    QCOMPARE(readExactly(fd, 1), QByteArray("Z"));
    ::close(fd);
}

QTEST_GUILESS_MAIN(TestEmuPtyLink)
#include "tst_emu_ptylink.moc"

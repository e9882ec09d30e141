// Command bytes on a real serial line (a pseudo-terminal), and the port's life cycle.
#include "buffer.h"
#include "ptypair.h"
#include "serialspeed.h"
#include "status.h"
#include "zrvcom.h"

#include <QtTest>
#include <asm/termbits.h>
#include <functional>
#include <sys/ioctl.h>

using Command = std::function<void(ZRVCom&)>;
Q_DECLARE_METATYPE(Command)

class TestZRVCom : public QObject {
    Q_OBJECT

private slots:
    void commandBytes_data();
    void commandBytes();
    void tableEncoding_data();
    void tableEncoding();
    void uploadIsOneLetterAnd1024Bytes();
    void openMissingDeviceLeavesStatus();
    void openSetsStatusAndCloseRefusesWrites();
    void speedCodes_data();
    void speedCodes();
    void lineSpeedReachesTheLine_data();
    void lineSpeedReachesTheLine();
};

void TestZRVCom::commandBytes_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<QByteArray>("bytes");

    auto row = [](const char* name, Command c, QByteArray b) { QTest::newRow(name) << c << b; };
    row(
        "osc1chStart", [](ZRVCom& c) { c.osc1chStart(); }, "CA");
    row(
        "osc2chStart", [](ZRVCom& c) { c.osc2chStart(); }, "EA");
    row(
        "disable2channel", [](ZRVCom& c) { c.disable2channel(); }, "CA");
    row(
        "enable2channel", [](ZRVCom& c) { c.enable2channel(); }, "EA");
    row(
        "genStart", [](ZRVCom& c) { c.genStart(); }, "G");
    row(
        "laStart", [](ZRVCom& c) { c.laStart(); }, "I");
    row(
        "setLAstart", [](ZRVCom& c) { c.setLAstart(); }, "O");
    row(
        "setLAforceTrig", [](ZRVCom& c) { c.setLAforceTrig(); }, "Q");
    row(
        "setGain1(0)", [](ZRVCom& c) { c.setGain1(0); }, QByteArray("\x55\x30\x41"));
    row(
        "setGain1(6)", [](ZRVCom& c) { c.setGain1(6); }, QByteArray("\x55\x3C\x41"));
    row(
        "setGain2(3)", [](ZRVCom& c) { c.setGain2(3); }, QByteArray("\x57\x36\x41"));
    row(
        "setTimeBase(14)", [](ZRVCom& c) { c.setTimeBase(14); }, QByteArray("\x53\x4C\x41"));
    row(
        "setTimeBase(0)", [](ZRVCom& c) { c.setTimeBase(0); }, QByteArray("\x53\x30\x41"));
    row(
        "setLAtimebase(13) has no A", [](ZRVCom& c) { c.setLAtimebase(13); },
        QByteArray("\x59\x4A"));
    row(
        "setFreq(0x1234,0x567)", [](ZRVCom& c) { c.setFreq(0x1234, 0x567); },
        QByteArray("\x4D\x32\x34\x36\x38\x3A\x3C\x3E"));
    row(
        "setFreq drops high bits", [](ZRVCom& c) { c.setFreq(0x11234, 0x1567); },
        QByteArray("\x4D\x32\x34\x36\x38\x3A\x3C\x3E"));
    row(
        "setFreq(62,512)", [](ZRVCom& c) { c.setFreq(62, 512); },
        QByteArray("\x4D\x30\x30\x36\x4C\x34\x30\x30"));
    row(
        "setLAtrig",
        [](ZRVCom& c) {
            c.setLAtrig(Trigger{0x01, 0xFF, 0x80});
        },
        QByteArray("\x5B\x30\x32\x4E\x4E\x40\x30"));
    row(
        "setLAtrig zero", [](ZRVCom& c) { c.setLAtrig(Trigger{}); },
        QByteArray("\x5B\x30\x30\x30\x30\x30\x30"));
}

void TestZRVCom::commandBytes() {
    QFETCH(Command, command);
    QFETCH(QByteArray, bytes);
    PtyPair pty;
    QVERIFY(pty.isValid());
    ZRVCom com;
    QCOMPARE(com.Open(pty.slavePath(), 19, &buff), 1);
    command(com);
    com.laStart(); // sentinel: everything before it is the command's own bytes
    const QByteArray got = pty.read(bytes.size() + 1);
    QCOMPARE(got, bytes + "I");
    com.Close();
}

void TestZRVCom::tableEncoding_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::newRow("-2048") << -2048 << 0x00 << 0x00;
    QTest::newRow("0") << 0 << 0x00 << 0x20;
    QTest::newRow("2047") << 2047 << 0xFE << 0x3E;
    QTest::newRow("2048 wraps") << 2048 << 0x00 << 0x00;
    QTest::newRow("-2049 wraps") << -2049 << 0xFE << 0x3E;
    QTest::newRow("4912 keeps 12 bits") << 4912 << ((((4912 + 2048) & 0xFFF) & 0x7F) << 1)
                                        << (((((4912 + 2048) & 0xFFF) >> 7) & 0x1F) << 1);
}

void TestZRVCom::tableEncoding() {
    QFETCH(int, value);
    QFETCH(int, low);
    QFETCH(int, high);
    int table[512] = {};
    table[7] = value;
    char out[ZRVCom::tableBytes];
    ZRVCom::encodeTable(table, out);
    QCOMPARE(uint8_t(out[14]), uint8_t(low));
    QCOMPARE(uint8_t(out[15]), uint8_t(high));
    for (int i = 0; i < ZRVCom::tableBytes; ++i)
        QVERIFY2((out[i] & 1) == 0, "every table byte must be even");
}

void TestZRVCom::uploadIsOneLetterAnd1024Bytes() {
    PtyPair pty;
    ZRVCom com;
    QCOMPARE(com.Open(pty.slavePath(), 19, &buff), 1);
    int table[512];
    for (int i = 0; i < 512; ++i)
        table[i] = i * 8 - 2048; // includes -2048, which encodes as two zero bytes
    com.sendGenChannel(table);
    com.laStart();
    const QByteArray got = pty.read(1 + 1024 + 1);
    QCOMPARE(got.size(), 1026);
    QCOMPARE(got.front(), 'K');
    QCOMPARE(got.back(), 'I');
    QCOMPARE(got.mid(1, 2), QByteArray(2, '\0'));
    char expected[ZRVCom::tableBytes];
    ZRVCom::encodeTable(table, expected);
    QCOMPARE(got.mid(1, 1024), QByteArray(expected, 1024));
}

void TestZRVCom::openMissingDeviceLeavesStatus() {
    sts = QStringLiteral("before");
    ZRVCom com;
    QCOMPARE(com.Open(QStringLiteral("/dev/does-not-exist-zrv"), 19, &buff), 0);
    QCOMPARE(sts, QStringLiteral("before"));
    QVERIFY(!com.isOpen());
    QCOMPARE(com.setGain1(1), 1); // refused by the unopened port, still reports 1
    QCOMPARE(com.Close(), 1);
}

void TestZRVCom::openSetsStatusAndCloseRefusesWrites() {
    PtyPair pty;
    ZRVCom com;
    QCOMPARE(com.Open(pty.slavePath(), 24, &buff), 1);
    QCOMPARE(sts, QStringLiteral("opened"));
    QCOMPARE(com.Start(), 1);
    QCOMPARE(com.Close(), 1);
    QCOMPARE(sts, QStringLiteral("closed"));
    QVERIFY(!com.isOpen());
    QCOMPARE(com.genStart(), 1);
    // A second opening of the same line delivers its sentinel alone: the closed one sent nothing.
    ZRVCom again;
    QCOMPARE(again.Open(pty.slavePath(), 19, &buff), 1);
    again.laStart();
    QCOMPARE(pty.read(1), QByteArray("I"));
}

void TestZRVCom::speedCodes_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("baud");
    QTest::newRow("14") << 14 << 19200;
    QTest::newRow("15") << 15 << 38400;
    QTest::newRow("17") << 17 << 57600;
    QTest::newRow("19") << 19 << 115200;
    QTest::newRow("21") << 21 << 230400;
    QTest::newRow("23") << 23 << 460800;
    QTest::newRow("24") << 24 << 921600;
    QTest::newRow("25") << 25 << 1152000;
    QTest::newRow("26") << 26 << 1500000;
    QTest::newRow("22") << 22 << 2500000;
    QTest::newRow("0") << 0 << 50;
    QTest::newRow("27 outside") << 27 << 115200;
    QTest::newRow("-1 outside") << -1 << 115200;
    QTest::newRow("115200 from the default line") << 115200 << 115200;
}

void TestZRVCom::speedCodes() {
    QFETCH(int, code);
    QFETCH(int, baud);
    QCOMPARE(SerialSpeed::baudForCode(code), baud);
}

void TestZRVCom::lineSpeedReachesTheLine_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("baud");
    QTest::newRow("19200") << 14 << 19200;
    QTest::newRow("921600") << 24 << 921600;
    QTest::newRow("1152000") << 25 << 1152000;
    QTest::newRow("1500000") << 26 << 1500000;
    QTest::newRow("2500000") << 22 << 2500000;
    QTest::newRow("unknown code") << 115200 << 115200;
}

// The terminal's own settings show the speed the program asked for, fast rates included.
void TestZRVCom::lineSpeedReachesTheLine() {
    QFETCH(int, code);
    QFETCH(int, baud);
    PtyPair pty;
    ZRVCom com;
    QCOMPARE(com.Open(pty.slavePath(), code, &buff), 1);
    termios2 tio{};
    QCOMPARE(ioctl(pty.masterFd(), TCGETS2, &tio), 0);
    QCOMPARE(int(tio.c_ospeed), baud);
    com.Close();
}

QTEST_GUILESS_MAIN(TestZRVCom)
#include "tst_zrvcom.moc"

// The emulator's command decoder: every command of the link, split anywhere, with garbage in
// between, uploads cut short; and the bytes the program's own ZRVCom sends decode as meant.
#include "emulator/decoder.h"
#include "emulator/device.h"
#include "ptypair.h"
#include "zrvcom.h"

#include <QtTest>
#include <random>

namespace {
using Lines = QStringList;

Lines decode(const QByteArray& bytes, const std::vector<int>& cuts = {}) {
    emu::Decoder decoder;
    Lines lines;
    const auto sink = [&](const emu::Command& c) {
        lines << QString::fromStdString(emu::commandText(c));
    };
    int from = 0;
    for (int cut : cuts) {
        decoder.feed(bytes.constData() + from, size_t(cut - from), sink);
        from = cut;
    }
    decoder.feed(bytes.constData() + from, size_t(bytes.size() - from), sink);
    return lines;
}

QByteArray tableBytes(const int* table) {
    QByteArray out(emu::Decoder::uploadBytes, '\0');
    ZRVCom::encodeTable(table, out.data());
    return out;
}

// One upload whose points run through the whole 12-bit range, zero bytes included.
QByteArray rampUpload() {
    int table[512];
    for (int i = 0; i < 512; ++i)
        table[i] = i * 8 - 2048;
    return "K" + tableBytes(table);
}
} // namespace

class TestEmuDecoder : public QObject {
    Q_OBJECT

private slots:
    void eachCommand_data();
    void eachCommand();
    void garbage_data();
    void garbage();
    void anySplitDecodesAlike();
    void randomSplitsDecodeAlike();
    void uploadDecodesTable();
    void interruptedUploadKeepsOldTable();
    void programCommandsRoundTrip();
};

void TestEmuDecoder::eachCommand_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");
    QTest::newRow("osc1chStart") << QByteArray("CA") << "osc1chStart";
    QTest::newRow("osc2chStart") << QByteArray("EA") << "osc2chStart";
    QTest::newRow("genStart") << QByteArray("G") << "genStart";
    QTest::newRow("laStart") << QByteArray("I") << "laStart";
    QTest::newRow("setLAstart") << QByteArray("O") << "setLAstart";
    QTest::newRow("setLAforceTrig") << QByteArray("Q") << "setLAforceTrig";
    QTest::newRow("setTimeBase 0") << QByteArray("\x53\x30\x41") << "setTimeBase 0";
    QTest::newRow("setTimeBase 14") << QByteArray("\x53\x4C\x41") << "setTimeBase 14";
    QTest::newRow("setGain1 0") << QByteArray("\x55\x30\x41") << "setGain1 0";
    QTest::newRow("setGain1 6") << QByteArray("\x55\x3C\x41") << "setGain1 6";
    QTest::newRow("setGain2 3") << QByteArray("\x57\x36\x41") << "setGain2 3";
    QTest::newRow("setLAtimebase 13") << QByteArray("\x59\x4A") << "setLAtimebase 13";
    QTest::newRow("setLAtimebase 0") << QByteArray("\x59\x30") << "setLAtimebase 0";
    QTest::newRow("setFreq") << QByteArray("\x4D\x32\x34\x36\x38\x3A\x3C\x3E")
                             << "setFreq 4660 1383";
    QTest::newRow("setFreq max") << QByteArray("\x4D\x4E\x4E\x4E\x4E\x4E\x4E\x4E")
                                 << "setFreq 65535 4095";
    QTest::newRow("setLAtrig") << QByteArray("\x5B\x30\x32\x4E\x4E\x40\x30")
                               << "setLAtrig 1 255 128";
    QTest::newRow("sendGenChannel") << rampUpload() << "sendGenChannel -2048 min -2048 max 2040";
}

void TestEmuDecoder::eachCommand() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    QCOMPARE(decode(bytes), Lines{line});
    // Byte by byte, as a slow line delivers it.
    std::vector<int> everyByte;
    for (int i = 1; i < bytes.size(); ++i)
        everyByte.push_back(i);
    QCOMPARE(decode(bytes, everyByte), Lines{line});
    // Twice in a row: the decoder is ready for the next command.
    QCOMPARE(decode(bytes + bytes), (Lines{line, line}));
}

void TestEmuDecoder::garbage_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("parameter bytes between commands")
        << QByteArray("\x00\x02"
                      "CA"
                      "\x10"
                      "G",
                      6)
        << Lines{"ignored 0x00", "ignored 0x02", "osc1chStart", "ignored 0x10", "genStart"};
    QTest::newRow("lone A") << QByteArray("AAG")
                            << Lines{"ignored 0x41", "ignored 0x41", "genStart"};
    QTest::newRow("odd bytes that are no command")
        << QByteArray("\x5D\xFF\x73\x01G")
        << Lines{"ignored 0x5d", "ignored 0xff", "ignored 0x73", "ignored 0x01", "genStart"};
    QTest::newRow("letter cuts a command short")
        << QByteArray("UCA") << Lines{"incomplete setGain1 after 0 bytes", "osc1chStart"};
    QTest::newRow("closing A missing")
        << QByteArray("U2G") << Lines{"incomplete setGain1 after 1 bytes", "genStart"};
    QTest::newRow("gain 7 is out of range")
        << QByteArray("U>AG")
        << Lines{"incomplete setGain1 after 1 bytes", "ignored 0x41", "genStart"};
    QTest::newRow("time base 15 is out of range")
        << QByteArray("SNA") << Lines{"incomplete setTimeBase after 1 bytes", "ignored 0x41"};
    QTest::newRow("rate 14 is out of range")
        << QByteArray("YLG") << Lines{"incomplete setLAtimebase after 1 bytes", "genStart"};
    QTest::newRow("parameter below the digit range")
        << QByteArray("U\x20"
                      "A")
        << Lines{"incomplete setGain1 after 1 bytes", "ignored 0x41"};
    QTest::newRow("nibble above its range")
        << QByteArray("M000P000G")
        << Lines{"incomplete setFreq after 4 bytes", "ignored 0x30", "ignored 0x30", "ignored 0x30",
                 "genStart"};
    QTest::newRow("parameter where A belongs")
        << QByteArray("C0A") << Lines{"incomplete osc1chStart after 1 bytes", "ignored 0x41"};
    QTest::newRow("extra parameter after a complete command")
        << QByteArray("Y02") << Lines{"setLAtimebase 0", "ignored 0x32"};
    QTest::newRow("trigger record cut by a letter")
        << QByteArray("[0202I") << Lines{"incomplete setLAtrig after 4 bytes", "laStart"};
}

void TestEmuDecoder::garbage() {
    QFETCH(QByteArray, bytes);
    QFETCH(Lines, lines);
    QCOMPARE(decode(bytes), lines);
}

namespace {
template <size_t N> QByteArray raw(const char (&text)[N]) {
    return QByteArray(text, int(N - 1)); // NUL bytes included
}

QByteArray mixedStream() {
    return raw("\x02"
               "CA"
               "S>A"
               "U0A"
               "W6A"
               "xx"
               "EA"
               "M006L400"
               "G") +
           rampUpload() +
           raw("\x00"
               "I"
               "Y2"
               "[0202NN"
               "O"
               "Q"
               "U"
               "A"
               "SLA");
}
} // namespace

void TestEmuDecoder::anySplitDecodesAlike() {
    const QByteArray stream = mixedStream();
    const Lines whole = decode(stream);
    QCOMPARE(whole, (Lines{"ignored 0x02",
                           "osc1chStart",
                           "setTimeBase 7",
                           "setGain1 0",
                           "setGain2 3",
                           "ignored 0x78",
                           "ignored 0x78",
                           "osc2chStart",
                           "setFreq 62 512",
                           "genStart",
                           "sendGenChannel -2048 min -2048 max 2040",
                           "ignored 0x00",
                           "laStart",
                           "setLAtimebase 1",
                           "setLAtrig 1 1 255",
                           "setLAstart",
                           "setLAforceTrig",
                           "incomplete setGain1 after 0 bytes",
                           "ignored 0x41",
                           "setTimeBase 14"}));
    for (int cut = 1; cut < stream.size(); ++cut) {
        const Lines split = decode(stream, {cut});
        if (split != whole)
            QFAIL(qPrintable(QStringLiteral("split at %1 decodes differently").arg(cut)));
    }
}

void TestEmuDecoder::randomSplitsDecodeAlike() {
    const QByteArray stream = mixedStream() + mixedStream();
    const Lines whole = decode(stream);
    std::mt19937 rng(20240601);
    for (int round = 0; round < 200; ++round) {
        std::vector<int> cuts;
        std::uniform_int_distribution<int> step(1, round % 2 ? 3 : 40);
        for (int at = step(rng); at < stream.size(); at += step(rng))
            cuts.push_back(at);
        QCOMPARE(decode(stream, cuts), whole);
    }
}

void TestEmuDecoder::uploadDecodesTable() {
    // Out-of-range entries keep their low 12 bits on the wire: 2048 arrives as -2048,
    // -2049 as 2047.
    int table[512];
    for (int i = 0; i < 512; ++i)
        table[i] = (i * 37) % 4096 - 2048;
    table[0] = -2048; // bytes 0x00 0x00
    table[1] = 0;
    table[2] = 2047;
    table[3] = 2048;
    table[4] = -2049;
    emu::Decoder decoder;
    emu::Command got;
    int count = 0;
    const QByteArray bytes = "K" + tableBytes(table);
    decoder.feed(bytes.constData(), size_t(bytes.size()), [&](const emu::Command& c) {
        got = c;
        ++count;
    });
    QCOMPARE(count, 1);
    QCOMPARE(int(got.kind), int(emu::Command::GenTable));
    QCOMPARE(int(got.table[0]), -2048);
    QCOMPARE(int(got.table[1]), 0);
    QCOMPARE(int(got.table[2]), 2047);
    QCOMPARE(int(got.table[3]), -2048);
    QCOMPARE(int(got.table[4]), 2047);
    for (int i = 5; i < 512; ++i)
        QCOMPARE(int(got.table[size_t(i)]), table[i]);
}

void TestEmuDecoder::interruptedUploadKeepsOldTable() {
    emu::DeviceConfig config;
    config.noise = false;
    emu::Device device(config);
    const emu::Table before = device.state().table;
    QStringList lines;
    const auto trace = [&](const emu::Command& c) {
        lines << QString::fromStdString(emu::commandText(c));
    };
    // 600 of the 1024 table bytes, then the next command's letter.
    const QByteArray cut = rampUpload().left(601) + "U8A";
    device.receive(reinterpret_cast<const uint8_t*>(cut.constData()), size_t(cut.size()), 0, trace);
    QCOMPARE(lines, (Lines{"incomplete sendGenChannel after 600 bytes", "setGain1 4"}));
    QVERIFY(device.state().table == before);
    QVERIFY(!device.state().uploaded);
    QCOMPARE(device.state().gain1, 4);

    // A whole upload afterwards is taken; bytes beyond its 1024 are passed over.
    lines.clear();
    const QByteArray full = rampUpload() + QByteArray(3, '\x02');
    device.receive(reinterpret_cast<const uint8_t*>(full.constData()), size_t(full.size()), 0,
                   trace);
    QCOMPARE(lines, (Lines{"sendGenChannel -2048 min -2048 max 2040", "ignored 0x02",
                           "ignored 0x02", "ignored 0x02"}));
    QVERIFY(device.state().uploaded);
    QCOMPARE(int(device.state().table[511]), 511 * 8 - 2048);
}

void TestEmuDecoder::programCommandsRoundTrip() {
    // What the program's link object really writes, read back from a serial line.
    PtyPair pty;
    QVERIFY(pty.isValid());
    Buffer buffer{};
    ZRVCom com;
    QCOMPARE(com.Open(pty.slavePath(), 19, &buffer), 1);
    int table[512];
    for (int i = 0; i < 512; ++i)
        table[i] = 2047 - i * 8;
    com.osc1chStart();
    com.osc2chStart();
    com.disable2channel();
    com.enable2channel();
    com.genStart();
    com.laStart();
    com.setLAstart();
    com.setLAforceTrig();
    com.setTimeBase(14);
    com.setGain1(6);
    com.setGain2(1);
    com.setLAtimebase(13);
    com.setFreq(0x11234, 0x1567); // bits above 16 and 12 are not sent
    com.setLAtrig(Trigger{0x01, 0xFF, 0x80});
    com.sendGenChannel(table);
    com.setFreq(62, 512);
    const QByteArray wire = pty.read(2 * 4 + 4 + 3 * 3 + 2 + 8 + 7 + 1025 + 8);
    com.Close();
    const Lines expected = {"osc1chStart",
                            "osc2chStart",
                            "osc1chStart",
                            "osc2chStart",
                            "genStart",
                            "laStart",
                            "setLAstart",
                            "setLAforceTrig",
                            "setTimeBase 14",
                            "setGain1 6",
                            "setGain2 1",
                            "setLAtimebase 13",
                            "setFreq 4660 1383",
                            "setLAtrig 1 255 128",
                            "sendGenChannel 2047 min -2041 max 2047",
                            "setFreq 62 512"};
    QCOMPARE(decode(wire), expected);
}

QTEST_GUILESS_MAIN(TestEmuDecoder)
#include "tst_emu_decoder.moc"

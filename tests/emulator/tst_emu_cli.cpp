// zrv-emu as a program: the command line others rely on, the link, the trace, frames through
// the program's own link object, the --raw-e short frames, and clean stops.
#include "buffer.h"
#include "emuprocess.h"
#include "zrvcom.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>
#include <csignal>

class TestEmuCli : public QObject {
    Q_OBJECT

private slots:
    void firstLineIsSlaveAndLinkPointsThere();
    void stopSignalsRemoveLink_data();
    void stopSignalsRemoveLink();
    void staleLinkIsReplaced();
    void foreignFileIsKept();
    void badOptions_data();
    void badOptions();
    void helpExitsCleanly();
    void traceNamesEachCommand();
    void framesReachTheProgramsBuffer();
    void rawEKeepsShortFrames_data();
    void rawEKeepsShortFrames();
    void statsCountWholeFrames();
};

void TestEmuCli::firstLineIsSlaveAndLinkPointsThere() {
    const QString link = emuLinkPath(QStringLiteral("cli-port"));
    QFile::remove(link);
    EmuProcess emu({QStringLiteral("--link"), link});
    QVERIFY(emu.waitForSlavePath());
    QVERIFY2(emu.slavePath().startsWith(QLatin1String("/dev/pts/")), qPrintable(emu.slavePath()));
    QVERIFY(QFileInfo::exists(emu.slavePath()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), emu.slavePath());
    // No trace without --trace, whatever is sent.
    ZRVCom com;
    Buffer buffer{};
    QCOMPARE(com.Open(link, 19, &buffer), 1);
    com.genStart();
    com.Close();
    QVERIFY(emu.stop());
    QCOMPARE(emu.collect(), 1);
}

void TestEmuCli::stopSignalsRemoveLink_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestEmuCli::stopSignalsRemoveLink() {
    QFETCH(int, signal);
    const QString link = emuLinkPath(QStringLiteral("stop-port"));
    EmuProcess emu({QStringLiteral("--link"), link});
    QVERIFY(emu.waitForSlavePath());
    QVERIFY(QFileInfo(link).isSymLink());
    ::kill(pid_t(emu.process.processId()), signal);
    QVERIFY(emu.process.waitForFinished(10000));
    QCOMPARE(emu.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(emu.process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestEmuCli::staleLinkIsReplaced() {
    // Left behind by an emulator that was killed.
    const QString link = emuLinkPath(QStringLiteral("stale-port"));
    QFile::remove(link);
    QVERIFY(QFile::link(QStringLiteral("/dev/pts/no-such-line"), link));
    EmuProcess emu({QStringLiteral("--link"), link});
    QVERIFY(emu.waitForSlavePath());
    QCOMPARE(QFileInfo(link).symLinkTarget(), emu.slavePath());
}

void TestEmuCli::foreignFileIsKept() {
    const QString path = emuLinkPath(QStringLiteral("settings-like-file"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("keep me");
    f.close();
    EmuProcess emu({QStringLiteral("--link"), path});
    QVERIFY(emu.process.waitForFinished(10000));
    QCOMPARE(emu.process.exitCode(), 1);
    QVERIFY(emu.process.readAllStandardError().contains("not a symlink"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
}

void TestEmuCli::badOptions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{"--bogus"};
    QTest::newRow("noise 2") << QStringList{"--noise", "2"};
    QTest::newRow("baud not a number") << QStringList{"--baud", "fast"};
    QTest::newRow("baud 0") << QStringList{"--baud=0"};
    QTest::newRow("tick 0") << QStringList{"--tick-ns", "0"};
    QTest::newRow("tick not finite") << QStringList{"--tick-ns", "inf"};
    QTest::newRow("negative seed") << QStringList{"--seed", "-1"};
    QTest::newRow("link without a path") << QStringList{"--link"};
    QTest::newRow("value on a flag") << QStringList{"--trace=1"};
    QTest::newRow("unknown fault") << QStringList{"--fault", "noise"};
    QTest::newRow("fault list with a gap") << QStringList{"--fault", "garbage,,burst"};
    QTest::newRow("negative fault spacing") << QStringList{"--fault-every", "-1"};
    QTest::newRow("burst of one frame") << QStringList{"--burst-frames", "1"};
    QTest::newRow("oversize beyond 16 MiB") << QStringList{"--oversize-bytes", "16777217"};
    QTest::newRow("no-end of 0 ms") << QStringList{"--no-end-ms=0"};
    QTest::newRow("vanish for more than an hour") << QStringList{"--vanish-ms", "3600001"};
    QTest::newRow("value on --stats") << QStringList{"--stats=1"};
}

void TestEmuCli::badOptions() {
    QFETCH(QStringList, arguments);
    EmuProcess emu(arguments);
    QVERIFY(emu.process.waitForFinished(10000));
    QCOMPARE(emu.process.exitCode(), 2);
    QVERIFY(emu.process.readAllStandardError().contains("usage: zrv-emu"));
    QVERIFY(emu.process.readAllStandardOutput().isEmpty()); // no slave path: nothing opened
}

void TestEmuCli::helpExitsCleanly() {
    EmuProcess emu({QStringLiteral("--help")});
    QVERIFY(emu.process.waitForFinished(10000));
    QCOMPARE(emu.process.exitCode(), 0);
    QVERIFY(emu.process.readAllStandardOutput().startsWith("usage: zrv-emu"));
}

void TestEmuCli::traceNamesEachCommand() {
    EmuProcess emu({QStringLiteral("--trace"), QStringLiteral("--baud=921600"),
                    QStringLiteral("--tick-ns"), QStringLiteral("64"), QStringLiteral("--seed"),
                    QStringLiteral("99")});
    QVERIFY(emu.waitForSlavePath());
    ZRVCom com;
    Buffer buffer{};
    QCOMPARE(com.Open(emu.slavePath(), 24, &buffer), 1);
    // Every command's decoding is checked on the core; here the lines as the program prints them.
    com.genStart();
    com.setFreq(62, 512);
    com.setLAtrig(Trigger{0x01, 0x80, 0x81});
    com.osc2chStart();
    com.setGain2(6);
    const QStringList expected = {"genStart", "setFreq 62 512", "setLAtrig 1 128 129",
                                  "osc2chStart", "setGain2 6"};
    QTRY_VERIFY_WITH_TIMEOUT(emu.collect() >= 1 + expected.size(), 10000);
    QCOMPARE(emu.trace(), expected);
    com.Close();
}

void TestEmuCli::framesReachTheProgramsBuffer() {
    EmuProcess emu({QStringLiteral("--noise"), QStringLiteral("0")});
    QVERIFY(emu.waitForSlavePath());
    ZRVCom com;
    Buffer buffer{};
    buffer.length = -1;
    QCOMPARE(com.Open(emu.slavePath(), 24, &buffer), 1);
    com.Start();
    com.osc1chStart();
    QTRY_COMPARE_WITH_TIMEOUT(buffer.length, 2048, 20000);
    // The 1 kHz, 1 V sine the device plays before any upload: 102.4 raw counts per volt at gain 0.
    int high = -32768, low = 32767;
    for (int i = 0; i < 1024; ++i) {
        const int s = int16_t(buffer.data[2 * i] | (buffer.data[2 * i + 1] << 8));
        high = std::max(high, s);
        low = std::min(low, s);
    }
    QCOMPARE(high, 102);
    QCOMPARE(low, -102);
    com.Close();
}

void TestEmuCli::rawEKeepsShortFrames_data() {
    QTest::addColumn<bool>("rawE");
    QTest::newRow("default") << false;
    QTest::newRow("--raw-e") << true;
}

void TestEmuCli::rawEKeepsShortFrames() {
    QFETCH(bool, rawE);
    QStringList arguments{QStringLiteral("--noise"), QStringLiteral("0")};
    if (rawE)
        arguments << QStringLiteral("--raw-e");
    EmuProcess emu(arguments);
    QVERIFY(emu.waitForSlavePath());
    ZRVCom com;
    Buffer buffer{};
    buffer.length = -1;
    QCOMPARE(com.Open(emu.slavePath(), 24, &buffer), 1);
    com.Start();
    // 1616 counts = 0.986 V = raw 101 = bytes 0x65 0x00 at 2.5 V/div.
    int table[512];
    std::fill(table, table + 512, 1616);
    com.sendGenChannel(table);
    com.osc1chStart();
    QTRY_COMPARE_WITH_TIMEOUT(buffer.length, rawE ? 0 : 2048, 20000);
    if (!rawE) {
        for (int i = 0; i < 2048; ++i)
            QVERIFY(buffer.data[i] != 0x65);
    }
    com.Close();
}

// --stats counts the frames the program could have read whole; with no fault that is every frame
// the program's cutter saw, and more (the last ones may still be on the way).
void TestEmuCli::statsCountWholeFrames() {
    EmuProcess emu({QStringLiteral("--stats"), QStringLiteral("--noise"), QStringLiteral("0")});
    QVERIFY(emu.waitForSlavePath());
    ZRVCom com;
    Buffer buffer{};
    QCOMPARE(com.Open(emu.slavePath(), 24, &buffer), 1);
    com.Start();
    com.osc1chStart();
    int frames = 0;
    for (; frames < 5; ++frames) {
        bufReady = false;
        QTRY_VERIFY_WITH_TIMEOUT(bufReady, 20000);
        QCOMPARE(buffer.length, 2048);
    }
    com.Close();
    QVERIFY(emu.stop());
    emu.collect();
    const QStringList lines = emu.trace();
    QCOMPARE(lines.size(), 1);
    const QRegularExpressionMatch m =
        QRegularExpression(R"(^stats: frames (\d+) faults 0 vanishes 0 bytes (\d+)$)")
            .match(lines.first());
    QVERIFY2(m.hasMatch(), qPrintable(lines.first()));
    const qint64 sent = m.captured(1).toLongLong();
    QVERIFY(sent >= frames);
    // Whole frames, and at most part of one more that nobody was reading any longer.
    const qint64 bytes = m.captured(2).toLongLong();
    QVERIFY(bytes >= sent * 2050 && bytes < (sent + 1) * 2050);
}

QTEST_GUILESS_MAIN(TestEmuCli)
#include "tst_emu_cli.moc"

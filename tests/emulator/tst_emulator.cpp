// zrv-emu as the program's test device: its command decoder finds its way back after garbage and
// cut-short commands, and each kind of damage it does to the stream leaves the window running,
// its accumulator within the cap, and a good frame shown again afterwards.
#include "device/thread.h"
#include "emulator/decoder.h"
#include "emuwindow.h"
#include "instruments/oscilloscope/oscyloskop.h"

#include <QLabel>
#include <QtTest>
#include <cstring>

namespace {
QStringList decode(const QByteArray& bytes) {
    emu::Decoder decoder;
    QStringList lines;
    decoder.feed(bytes.constData(), size_t(bytes.size()), [&](const emu::Command& c) {
        lines << QString::fromStdString(emu::commandText(c));
    });
    return lines;
}

// The noiseless 1 kHz, 1 V sine at 2.5 V/div: +-102 counts, neighbours at most 8 apart. A frame
// stitched from damaged pieces fails this.
bool goodFrame(const int* s) {
    int high = -32768, low = 32767;
    for (int i = 0; i < 1024; ++i) {
        high = std::max(high, s[i]);
        low = std::min(low, s[i]);
        if (i > 0 && std::abs(s[i] - s[i - 1]) > 10)
            return false;
    }
    return high == 102 && low == -102;
}
} // namespace

class TestEmulator : public QObject {
    Q_OBJECT
private slots:
    void decoderResynchronises_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        using L = QStringList;
        QTest::newRow("parameter bytes between commands")
            << QByteArray("\0\2CA\20G", 6)
            << L{"ignored 0x00", "ignored 0x02", "osc1chStart", "ignored 0x10", "genStart"};
        QTest::newRow("letter cuts a command short")
            << QByteArray("UCA") << L{"incomplete setGain1 after 0 bytes", "osc1chStart"};
        QTest::newRow("gain 7 is out of range")
            << QByteArray("U>AG")
            << L{"incomplete setGain1 after 1 bytes", "ignored 0x41", "genStart"};
        QTest::newRow("nibble above its range")
            << QByteArray("M000P000G")
            << L{"incomplete setFreq after 4 bytes", "ignored 0x30", "ignored 0x30", "ignored 0x30",
                 "genStart"};
        QTest::newRow("trigger record cut by a letter")
            << QByteArray("[0202I") << L{"incomplete setLAtrig after 4 bytes", "laStart"};
        QTest::newRow("upload cut by a letter")
            << QByteArray(600, '\x20').prepend('K').append("U8A")
            << L{"incomplete sendGenChannel after 600 bytes", "setGain1 4"};
    }

    void decoderResynchronises() {
        QFETCH(QByteArray, bytes);
        QTEST(decode(bytes), "lines");
    }

    void streamFaults_data() {
        QTest::addColumn<QStringList>("fault");
        QTest::newRow("garbage between frames")
            << QStringList{"garbage", "--garbage-bytes", "3000"};
        QTest::newRow("truncated frames") << QStringList{"truncate"};
        QTest::newRow("body longer than the buffer")
            << QStringList{"oversize", "--oversize-bytes", "40000"};
        // Longer than the accumulator's cap: the frame's "s" is gone before its "e" arrives.
        QTest::newRow("body longer than the accumulator")
            << QStringList{"oversize", "--oversize-bytes", "100000"};
        // 1.5 s at 921 600 bit/s: 138 240 bytes, twice the cap.
        QTest::newRow("no end for a long time") << QStringList{"no-end", "--no-end-ms", "1500"};
        QTest::newRow("bursts faster than the line")
            << QStringList{"burst", "--burst-frames", "40"};
    }

    void streamFaults() {
        QFETCH(QStringList, fault);
        // The top line rate (entry 6, 921 600 bit/s), so that the emulator paces its frames fast.
        EmuWindow rig(MainWindow::OscPage, QStringList{"--fault-every", "2", "--fault"} + fault, 6);
        QVERIFY(rig.ready());
        MainWindow& w = *rig.window;
        int maxPending = 0;
        const auto watch = [&] {
            maxPending = std::max(maxPending, w.device()->pendingBytes());
            return w.isConnected();
        };
        const auto faults = [&] {
            rig.emu->collect();
            return rig.emu->trace().filter(QRegularExpression("^fault " + fault[0] + " ")).size();
        };
        // Twice over: let faults hit the stream, then a good frame must be shown again.
        for (int round = 1; round <= 2; ++round) {
            const int before = faults();
            QTRY_VERIFY_WITH_TIMEOUT(watch() && faults() >= before + 2, 20000);
            // A frame the page takes after the faults, and it is whole.
            const quint64 taken = w.oscPage()->frames().framesTaken();
            QTRY_VERIFY_WITH_TIMEOUT(watch() && w.oscPage()->frames().framesTaken() > taken + 1 &&
                                         goodFrame(w.oscPage()->processor().samples()),
                                     20000);
        }
        QVERIFY2(maxPending > 0 && maxPending <= Thread::rxCap,
                 qPrintable(QString::number(maxPending)));
        QCOMPARE(rig.emu->process.state(), QProcess::Running);
        QCOMPARE(w.status()->text(), QStringLiteral("Open"));
    }
};

QTEST_MAIN(TestEmulator)
#include "tst_emulator.moc"

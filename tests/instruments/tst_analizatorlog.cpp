// The logic analyser page: the bytes its controls send. The trigger record names each channel's
// condition in three masks: edge, level, and polarity for High and Rising.
#include "emulator/logicpattern.h"
#include "frames.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/logic/decodedialog.h"
#include "linerig.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>
#include <functional>

using Action = std::function<void(AnalizatorLog&)>;
Q_DECLARE_METATYPE(Action)

class TestAnalizatorLog : public QObject {
    Q_OBJECT
private slots:
    // A capture is the logic frame asked for by Start or Force trig: before, a frame is nobody's,
    // and so is a scope frame or a frame of settings gone. Until a capture the readouts read "---".
    void captureCycle() {
        PageRig<AnalizatorLog> rig;
        QVERIFY(rig.opened);
        AnalizatorLog& page = rig.page;
        page.start();
        QTRY_COMPARE(page.widgets().valueLabel->text(), QStringLiteral("Value: ---"));
        QByteArray logic(LaLogic::captureBytes, '\0');
        for (int i = 0; i < logic.size(); ++i)
            logic[i] = char(i & 0xFF);
        page.takeFrame(lateFrame(logic)); // not asked for
        QVERIFY(!page.hasCapture());
        choose(page.widgets().rateBox, 0);
        page.widgets().startButton->click();
        QCOMPARE(page.widgets().startButton->text(), QStringLiteral("Force trig"));
        page.takeFrame(lateFrame(QByteArray(scopeFrameBytes, '\x11'))); // a scope frame
        const qint64 now = Clock::nowNs();
        page.takeFrame(frameOf(logic, now - 1000000, now + Clock::second)); // began before Start
        QVERIFY(!page.hasCapture());
        QCOMPARE(page.captureState(), 1);
        page.takeFrame(lateFrame(logic));
        QVERIFY(page.hasCapture());
        QCOMPARE(page.captureState(), 0);
        QCOMPARE(page.widgets().startButton->text(), QStringLiteral("Start"));
        // The cursor at pixel 100, zoom 4: position 50, byte 25, 25 samples of 250 ns at 4MSPS,
        // the rate of the capture even when the box says another since.
        choose(page.widgets().rateBox, 13);
        page.widgets().zoomBox->setValue(4);
        QTest::mousePress(page.plot(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QTRY_COMPARE(page.widgets().valueLabel->text(), QStringLiteral("Value: 25"));
        QCOMPARE(page.widgets().timeLabel->text(), QStringLiteral("Time: 6.25us"));
        // The next frame is no capture: nothing asked for it.
        page.takeFrame(lateFrame(QByteArray(LaLogic::captureBytes, '\x01')));
        QCOMPARE(int(page.captureData()[25]), 25);
    }

    void rememberedSettings() {
        QWidget host;
        AnalizatorLog page(&host, nullptr);
        choose(page.widgets().rateBox, 11);
        page.widgets().zoomBox->setValue(5);
        page.widgets().offsetBar->setValue(300);
        const int conditions[LaLogic::channels] = {1, 2, 3, 4, 0, 4, 3, 2};
        for (int n = 0; n < LaLogic::channels; ++n)
            page.widgets().trigBox[n]->setCurrentIndex(conditions[n]);
        QVector<Decode::Choice> decoders;
        QString error;
        QVERIFY(Decode::parse("uart:rx=D6:baudrate=2500,i2c:sda=D4:scl=D3", &decoders, &error));
        decoders[0].rows = QStringList{"rx-data", "rx-warnings"};
        page.setDecoders(decoders);
        AnalizatorLog back(&host, nullptr);
        QMap<QString, QString> want = {
            {"logic/rate", "11"},
            {"logic/zoom", "5"},
            {"logic/offset", "300"},
            {"logic/decoders", "uart:rx=D6:baudrate=2500,i2c:scl=D3:sda=D4"},
            {"logic/decoderRows", "rx-data rx-warnings;addr-data"}};
        for (int n = 0; n < LaLogic::channels; ++n)
            want[QStringLiteral("logic/trigger%1").arg(n)] = QString::number(conditions[n]);
        QCOMPARE(remembered(page, back), want);
        QVERIFY(back.settings().rate == 11 && back.settings().zoom == 5 &&
                back.settings().xPos == 300);
        QCOMPARE(back.settings().trigger.edge, page.settings().trigger.edge);
        QCOMPARE(back.settings().trigger.level, page.settings().trigger.level);
        QCOMPARE(back.settings().trigger.polarity, page.settings().trigger.polarity);
        QCOMPARE(back.decoders(), page.decoders());
    }

    // The dialog lists the buses first and adds a decoder as it shows it: required channels on
    // D0, D1, …, the declared defaults left out of the text, the data rows ticked.
    void decodeDialogAddsWhatItShows() {
        const QVector<Decode::Decoder> all = Decode::catalogue();
        QVERIFY(all.size() > 20);
        QCOMPARE(QStringList({all[0].id, all[1].id, all[2].id, all[3].id}),
                 QStringList({"uart", "spi", "i2c", "onewire_link"}));
        DecodeDialog dialog(nullptr, {});
        QVERIFY(dialog.selectDecoder("i2c"));
        dialog.addCurrent();
        QCOMPARE(dialog.choices().size(), 1);
        QCOMPARE(Decode::toText(dialog.choices()), QStringLiteral("i2c:scl=D0:sda=D1"));
        QCOMPARE(dialog.choices()[0].rows, QStringList{"addr-data"});
    }

    // Each capture is decoded on a worker: the emulator's SPI bytes and I2C transfer come back
    // as annotations, the one under the cursor is named, the CSV times them from the trigger
    // sample, and a new capture drops the old capture's annotations at once.
    void decodesEachCapture() {
        PageRig<AnalizatorLog> rig;
        QVERIFY(rig.opened);
        AnalizatorLog& page = rig.page;
        page.start();
        QVector<Decode::Choice> decoders;
        QString error;
        QVERIFY(Decode::parse("spi:clk=D0:mosi=D1:cs=D2,i2c:scl=D3:sda=D4", &decoders, &error));
        page.setDecoders(decoders);
        QByteArray logic(LaLogic::captureBytes, '\0');
        for (int i = 0; i < logic.size(); ++i)
            logic[i] =
                char(emu::LogicPattern::sample(i, emu::LogicPattern::Spi | emu::LogicPattern::I2c));
        for (int capture = 1; capture <= 2; ++capture) {
            page.widgets().startButton->click();
            page.takeFrame(lateFrame(logic));
            QVERIFY(page.annotations().isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(page.decodedCapture(), capture, 20000);
        }
        QStringList bytes;
        for (const Decode::Annotation& a : page.annotations())
            if (a.row == (a.decoder == "spi" ? "mosi-data" : "addr-data") && a.text.size() <= 20)
                bytes << a.text;
        QCOMPARE(bytes.filter(": ").join(','), "Address write: 50,Data write: 12,Data write: C4,"
                                               "Address write: 50,Data write: 12,Data write: C4");
        QCOMPARE(bytes.filter(QRegularExpression("^[0-9A-F]{2}$")).join(' '),
                 "5A 52 56 0F 5A 52 56 0F");
        // Zoom 1: column n shows sample n; the first SPI byte is read from its first clock edge
        // (sample 26) to the ninth (58), 50 us apart, the trigger sample at 64.
        QTest::mousePress(page.plot(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 100));
        QTRY_COMPARE(page.widgets().annotationLabel->text(), QStringLiteral("spi: 5A"));
        bool known = false;
        const QByteArray csv = page.exportData("csv", &known);
        QVERIFY(known && page.exportFilters().contains("Decoded annotations (*.csv)"));
        QVERIFY2(csv.startsWith("start_s,end_s,decoder,row,text\n") &&
                     csv.contains("\n-0.0019,-0.0003,spi,mosi-data,5A\n"),
                 csv.left(300).constData());
    }

    // The processor alone: a capture only after arm(), one per arm(), and only a whole one (the
    // page's gate lets no frame through before Start, so only this shows it).
    void processorTakesWhatWasAskedFor() {
        LogicProcessor p;
        uint8_t first[LaLogic::captureBytes], second[LaLogic::captureBytes];
        for (int i = 0; i < LaLogic::captureBytes; ++i) {
            first[i] = uint8_t(i);
            second[i] = uint8_t(0xA5);
        }
        QVERIFY(!p.take(first, LaLogic::captureBytes)); // not asked for
        QVERIFY(!p.result().captured);
        p.arm();
        QVERIFY(!p.take(first, LaLogic::captureBytes - 1)); // short: still waiting
        QVERIFY(p.isAwaiting());
        QVERIFY(p.take(first, LaLogic::captureBytes));
        QVERIFY(!p.take(second, LaLogic::captureBytes)); // the one asked for came already
        QCOMPARE(int(p.result().capture[7]), 7);
        p.arm();
        QVERIFY(p.take(second, LaLogic::captureBytes));
        QCOMPARE(int(p.result().capture[7]), 0xA5);
    }

    void rulerTexts_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("text");
        QTest::newRow("start") << 0.0 << 800e-6 << "0us";
        QTest::newRow("whole microseconds") << 1600e-6 << 800e-6 << "1600us";
        QTest::newRow("4 MSPS, zoom 1: 16 us a division") << 48e-6 << 16e-6 << "48us";
        QTest::newRow("4 MSPS, zoom 24: 0.667 us") << 2.0 / 3 * 1e-6 << 2.0 / 3 * 1e-6 << "0.667us";
        QTest::newRow("milliseconds, one decimal") << 4.8e-3 << 1.6e-3 << "4.8ms";
        QTest::newRow("200 SPS, zoom 1: 320 ms") << 0.96 << 0.32 << "960ms";
        QTest::newRow("seconds") << 3.2 << 1.6 << "3.2s";
    }

    void rulerTexts() {
        QFETCH(double, seconds);
        QFETCH(double, step);
        QFETCH(QString, text);
        QCOMPARE(LaLogic::rulerText(seconds, step), text);
    }

    // The trigger mark stands where the traces show the trigger sample (byte 64), at every zoom
    // and offset; the offset bar's handle covers what the plot shows.
    void triggerMarkAndHandle() {
        uint8_t bytes[LaLogic::captureBytes];
        for (int i = 0; i < LaLogic::captureBytes; ++i)
            bytes[i] = uint8_t(i);
        static int graph[LaLogic::channels][LaLogic::positions];
        for (int zoom : {1, 2, 3, 7, 24}) {
            for (int start : {0, 1, 40, 127}) {
                const int column = LaLogic::triggerColumn(start, zoom);
                QCOMPARE(LaLogic::fillSeries(bytes, graph, start, zoom, column),
                         LaLogic::triggerSample);
            }
        }
        AnalizatorLog page(nullptr, nullptr);
        int last = page.widgets().offsetBar->pageStep();
        for (int zoom : {2, 4, 24}) {
            page.widgets().zoomBox->setValue(zoom);
            const int step = page.widgets().offsetBar->pageStep();
            QVERIFY2(step < last, qPrintable(QString::number(step)));
            QCOMPARE(step, 1536 / zoom);
            last = step;
        }
    }

    // A record is "[" and the edge, level and polarity bytes, each as two nibbles, high first.
    void bytesSent_data() {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char* name, const char* b, Action a) {
            QTest::newRow(name) << a << QByteArray(b);
        };
        row("start: mode, 20KSPS, no trigger", "IY>[000000", [](AnalizatorLog& p) { p.start(); });
        row("rate 200SPS", "YJ", [](AnalizatorLog& p) { choose(p.widgets().rateBox, 13); });
        row("ch0 rising, then ch7 high", "[020002[02@0@2", [](AnalizatorLog& p) {
            p.widgets().trigBox[0]->setCurrentIndex(3), p.widgets().trigBox[7]->setCurrentIndex(2);
        });
        row("ch3 falling", "[0@0000",
            [](AnalizatorLog& p) { p.widgets().trigBox[3]->setCurrentIndex(4); });
        row("ch5 low", "[004000",
            [](AnalizatorLog& p) { p.widgets().trigBox[5]->setCurrentIndex(1); });
        row("start, force", "OQ", [](AnalizatorLog& p) {
            p.widgets().startButton->click(), p.widgets().startButton->click();
        });
    }

    void bytesSent() {
        QFETCH(Action, action);
        PageRig<AnalizatorLog> rig;
        action(rig.page);
        QTEST(rig.sent(), "bytes");
    }
};

QTEST_MAIN(TestAnalizatorLog)
#include "tst_analizatorlog.moc"

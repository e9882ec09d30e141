// The logic analyser page: the bytes its controls send (the trigger record names each channel's
// condition in three masks: edge, level, and polarity for High and Rising), and the traces a
// captured byte pattern draws, channel 0 at the top.
#include "analizatorlog.h"
#include "lalogic.h"
#include "linerig.h"

#include <QPushButton>
#include <QtTest>
#include <functional>

using Action = std::function<void(AnalizatorLog&)>;
Q_DECLARE_METATYPE(Action)

class TestAnalizatorLog : public QObject {
    Q_OBJECT
private slots:
    void bytesSent_data();
    void bytesSent();
    void tracesFollowTheBits();
};

// A record is "[" and the edge, level and polarity bytes, each as two nibbles, high first.
void TestAnalizatorLog::bytesSent_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<QByteArray>("bytes");
    const auto row = [](const char* name, Action a, const char* b) {
        QTest::newRow(name) << a << QByteArray(b);
    };
    row("start: mode, 20KSPS, no trigger", [](AnalizatorLog& p) { p.start(); }, "IY>[000000");
    row("rate 200SPS", [](AnalizatorLog& p) { choose(p.rateBox, 13); }, "YJ");
    row("ch0 rising, then ch7 high",
        [](AnalizatorLog& p) { p.trigBox[0]->setCurrentIndex(3), p.trigBox[7]->setCurrentIndex(2); },
        "[020002[02@0@2");
    row("ch3 falling", [](AnalizatorLog& p) { p.trigBox[3]->setCurrentIndex(4); }, "[0@0000");
    row("ch5 low", [](AnalizatorLog& p) { p.trigBox[5]->setCurrentIndex(1); }, "[004000");
    row("start, force", [](AnalizatorLog& p) { p.startButton->click(), p.startButton->click(); },
        "OQ");
}

void TestAnalizatorLog::bytesSent() {
    QFETCH(Action, action);
    LineRig rig;
    QVERIFY(rig.opened);
    AnalizatorLog page(&rig.host);
    page.com = &rig.com;
    page.enable();
    action(page);
    QTEST(rig.sent(), "bytes");
}

// Byte i of the capture is i: each channel's trace is high exactly where its bit is set.
void TestAnalizatorLog::tracesFollowTheBits() {
    uint8_t bytes[LaLogic::captureBytes];
    for (int i = 0; i < LaLogic::captureBytes; ++i)
        bytes[i] = uint8_t(i);
    static int series[LaLogic::channels][LaLogic::positions];
    LaLogic::fillSeries(bytes, series, 0, 2, 0); // zoom 2: one drawn point per byte
    for (int i = 0; i < 300; ++i)
        for (int n = 0; n < LaLogic::channels; ++n)
            QCOMPARE(series[n][i], (i >> n & 1) ? LaLogic::highLevel(n) : LaLogic::lowLevel(n));
}

QTEST_MAIN(TestAnalizatorLog)
#include "tst_analizatorlog.moc"

// The logic analyser page: the bytes its controls send. The trigger record names each channel's
// condition in three masks: edge, level, and polarity for High and Rising.
#include "instruments/logic/analizatorlog.h"
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
};

// A record is "[" and the edge, level and polarity bytes, each as two nibbles, high first.
void TestAnalizatorLog::bytesSent_data() {
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
    row("ch5 low", "[004000", [](AnalizatorLog& p) { p.widgets().trigBox[5]->setCurrentIndex(1); });
    row("start, force", "OQ", [](AnalizatorLog& p) {
        p.widgets().startButton->click(), p.widgets().startButton->click();
    });
}

void TestAnalizatorLog::bytesSent() {
    QFETCH(Action, action);
    LineRig rig;
    QVERIFY(rig.opened);
    AnalizatorLog page(&rig.host, nullptr);
    page.com = &rig.com;
    action(page);
    QTEST(rig.sent(), "bytes");
}

QTEST_MAIN(TestAnalizatorLog)
#include "tst_analizatorlog.moc"

// The generator page: the shapes it synthesises, and the bytes it sends: the frequency plan as
// divider and points, and its table read back from the wire as the device reads it (12-bit offset
// binary in two 7/5-bit halves, each shifted up by one).
#include "instruments/generator/generator.h"
#include "instruments/generator/gensynth.h"
#include "linerig.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

using Action = std::function<void(Generator&, QWidget&)>;
Q_DECLARE_METATYPE(Action)

namespace {
QVector<int> decodeTable(const QByteArray& bytes) {
    QVector<int> table;
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        table << ((uint8_t(bytes[i]) >> 1) | (uint8_t(bytes[i + 1]) >> 1) << 7) - 2048;
    return table;
}
} // namespace

class TestGenerator : public QObject {
    Q_OBJECT
private slots:
    void shapes_data();
    void shapes();
    void bytesSent_data();
    void bytesSent();
    void rememberedSettings();
};

// Every remembered setting under its key; put back, the page plays the same table.
void TestGenerator::rememberedSettings() {
    QWidget host;
    Generator page(&host, nullptr);
    const Generator::Widgets& u = page.widgets();
    u.mulBox->setValue(2);
    u.freqBox->setValue(3000);
    u.gainBox->setValue(900);
    u.dutyBox->setValue(30);
    u.offsetBox->setValue(-100);
    u.xFromBox->setValue(-1.5);
    u.xToBox->setValue(2.5);
    u.exprEdit->setPlainText("sin(x)");
    choose(u.typeBox, gen::Function);
    u.generateButton->click();
    QTemporaryDir dir;
    QSettings store(dir.filePath("zrv.conf"), QSettings::IniFormat);
    page.saveSettings(store);
    QCOMPARE(store.allKeys().size(), 9);
    const QList<QPair<const char*, QVariant>> kept = {
        {"gen/type", gen::Function}, {"gen/multiplier", 2}, {"gen/frequency", 3000},
        {"gen/amplitude", 900},      {"gen/duty", 30},      {"gen/offset", -100},
        {"gen/xFrom", -1.5},         {"gen/xTo", 2.5},      {"gen/expression", "sin(x)"}};
    for (const auto& [key, value] : kept)
        QCOMPARE(store.value(key).toString(), value.toString());
    Generator back(&host, nullptr);
    back.restoreSettings(store);
    QCOMPARE(back.waveType(), int(gen::Function));
    QCOMPARE(back.tableLength(), page.tableLength());
    QCOMPARE(back.clockDivider(), page.clockDivider());
    QCOMPARE(QVector<int>(back.outputTable(), back.outputTable() + 512),
             QVector<int>(page.outputTable(), page.outputTable() + 512));
    QCOMPARE(back.widgets().freqBox->singleStep(), 100);
}

void TestGenerator::shapes_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("duty");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QVector<int>>("at"); // pairs: index, value
    QTest::newRow("sine") << int(gen::Sine) << 0 << 0
                          << QVector<int>{0, 2047, 64, 1448, 128, 0, 256, -2047, 384, 0};
    QTest::newRow("sine, offset clamps")
        << int(gen::Sine) << 0 << -1200 << QVector<int>{0, 848, 128, -1200, 256, -2048};
    QTest::newRow("square 50 %") << int(gen::Square) << 50 << 0
                                 << QVector<int>{0, 2047, 255, 2047, 256, -2048, 511, -2048};
    QTest::newRow("square 1 %, offset")
        << int(gen::Square) << 1 << 1200 << QVector<int>{4, 2047, 5, -848, 511, -848};
    QTest::newRow("triangle 50 %") << int(gen::Triangle) << 50 << 0
                                   << QVector<int>{0, -2048, 128, 0, 256, 2047, 384, 0, 511, -2032};
    QTest::newRow("triangle 1 %") << int(gen::Triangle) << 1 << 0
                                  << QVector<int>{0, -2048, 5, 2047, 6, 2039, 511, -2039};
}

void TestGenerator::shapes() {
    QFETCH(int, type);
    QFETCH(int, duty);
    QFETCH(int, offset);
    QFETCH(QVector<int>, at);
    int wave[gen::tableSize];
    if (type == gen::Sine)
        gen::synthSine(wave, offset);
    else if (type == gen::Square)
        gen::synthSquare(wave, gen::dutyPoints(duty), offset);
    else
        gen::synthTriangle(wave, gen::dutyPoints(duty), offset);
    for (int k = 0; k < at.size(); k += 2)
        QVERIFY2(wave[at[k]] == at[k + 1], qPrintable(QString("point %1").arg(at[k])));
}

// bytes: what went down the line with a table upload's 1024 bytes left out after its "K" (all
// letters are odd bytes, all parameters even); the upload itself must decode to the table that
// the page plays.
void TestGenerator::bytesSent_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("first"); // the table's first point
    const auto row = [](const char* name, const char* b, int first, Action a) {
        QTest::newRow(name) << a << QByteArray(b) << first;
    };
    const auto setHz = [](int hz) {
        return [hz](Generator& g, QWidget&) {
            g.start();
            g.widgets().freqBox->setValue(hz);
        };
    };
    // setFreq: the divider's four nibbles, then the points' three, high first.
    row("start: 1000 Hz (62, 512) and the sine", "GM006L400K", 2047,
        [](Generator& g, QWidget&) { g.start(); });
    row("440 Hz: (142, 512), same table length", "GM006L400KM00@L400", 2047, setHz(440));
    row("3000 Hz: (32, 332), a shorter table", "GM006L400KM004028HK", 2047, setHz(3000));
    row("1 Hz: (62500, 512)", "GM006L400KMN848400", 2047, setHz(1));
    row("triangle", "GM006L400KK", -2048, [](Generator& g, QWidget&) {
        g.start();
        choose(g.widgets().typeBox, gen::Triangle);
    });
}

void TestGenerator::bytesSent() {
    QFETCH(Action, action);
    LineRig rig;
    QVERIFY(rig.opened);
    Generator page(&rig.host, nullptr);
    page.com = &rig.com;
    action(page, rig.host);
    const int* table = page.outputTable();
    QByteArray got = rig.sent();
    const int k = got.lastIndexOf('K');
    QVERIFY(k >= 0 && got.size() >= k + 1 + 1024);
    const QVector<int> sentTable = decodeTable(got.mid(k + 1, 1024));
    for (int at = got.indexOf('K'); at >= 0; at = got.indexOf('K', at + 1))
        got.remove(at + 1, 1024);
    QTEST(got, "bytes");
    QCOMPARE(sentTable, QVector<int>(table, table + 512));
    QTEST(sentTable.value(0), "first");
}

QTEST_MAIN(TestGenerator)
#include "tst_generator.moc"

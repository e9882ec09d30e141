// The generator page: the shapes it synthesises, and the bytes it sends: the frequency plan as
// divider and points, and its table read back from the wire as the device reads it (12-bit offset
// binary in two 7/5-bit halves, each shifted up by one).
#include "filedialog.h"
#include "instruments/generator/generator.h"
#include "instruments/generator/gensynth.h"
#include "instruments/status.h"
#include "linerig.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
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

// The bytes sent with each table upload's 1024 bytes left out after its "K".
QByteArray withoutTables(QByteArray bytes) {
    for (int at = bytes.indexOf('K'); at >= 0; at = bytes.indexOf('K', at + 1))
        bytes.remove(at + 1, 1024);
    return bytes;
}

// The last frequency command's points per period (its last three nibbles), -1 without one.
int pointsSent(const QByteArray& bytes) {
    const int m = bytes.lastIndexOf('M');
    if (m < 0 || bytes.size() < m + 8)
        return -1;
    int points = 0;
    for (int i = m + 5; i < m + 8; ++i)
        points = points * 16 + (uint8_t(bytes[i]) - '0') / 2;
    return points;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}
enum Finish { Enter, EnterTwice, LeaveBox, ArrowUp };
} // namespace

class TestGenerator : public QObject {
    Q_OBJECT
private slots:
    void shapes_data() {
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
        QTest::newRow("triangle 50 %")
            << int(gen::Triangle) << 50 << 0
            << QVector<int>{0, -2048, 128, 0, 256, 2047, 384, 0, 511, -2032};
        QTest::newRow("triangle 1 %")
            << int(gen::Triangle) << 1 << 0 << QVector<int>{0, -2048, 5, 2047, 6, 2039, 511, -2039};
    }

    void shapes() {
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
    void bytesSent_data() {
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
        // Set before the port opened; sent as a whole, the mode left as it is.
        row("sendSettings: 3000 Hz triangle", "M004028HK", -2048, [](Generator& g, QWidget&) {
            ZRVCom* const com = g.com;
            g.com = nullptr;
            g.widgets().freqBox->setValue(3000);
            choose(g.widgets().typeBox, gen::Triangle);
            g.com = com;
            g.sendSettings();
        });
    }

    void bytesSent() {
        QFETCH(Action, action);
        PageRig<Generator> rig;
        Generator& page = rig.page;
        action(page, rig.host);
        const int* table = page.outputTable();
        QByteArray got = rig.sent();
        const int k = got.lastIndexOf('K');
        QVERIFY(k >= 0 && got.size() >= k + 1 + 1024);
        const QVector<int> sentTable = decodeTable(got.mid(k + 1, 1024));
        QTEST(withoutTables(got), "bytes");
        QCOMPARE(sentTable, QVector<int>(table, table + 512));
        QTEST(sentTable.value(0), "first");
    }

    // Every remembered setting under its key; put back, the page plays the same table.
    void rememberedSettings() {
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
        Generator back(&host, nullptr);
        const QMap<QString, QString> want = {{"gen/type", QString::number(gen::Function)},
                                             {"gen/multiplier", "2"},
                                             {"gen/frequency", "3000"},
                                             {"gen/amplitude", "900"},
                                             {"gen/duty", "30"},
                                             {"gen/offset", "-100"},
                                             {"gen/xFrom", "-1.5"},
                                             {"gen/xTo", "2.5"},
                                             {"gen/expression", "sin(x)"}};
        QCOMPARE(remembered(page, back), want);
        QCOMPARE(back.waveType(), int(gen::Function));
        QCOMPARE(back.tableLength(), page.tableLength());
        QCOMPARE(back.clockDivider(), page.clockDivider());
        QCOMPARE(QVector<int>(back.outputTable(), back.outputTable() + 512),
                 QVector<int>(page.outputTable(), page.outputTable() + 512));
        QCOMPARE(back.widgets().freqBox->singleStep(), 100);
    }

    // A typed value goes to the device once, when complete; one out of range is limited, and the
    // status line says to what.
    void typedValues_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("finish");
        QTest::addColumn<char>("command"); // M: frequency, K: table
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("status");
        const auto row = [](const char* name, const char* box, const char* keys, Finish finish,
                            char command, int value, const char* status) {
            QTest::newRow(name) << QString(box) << QString(keys) << int(finish) << command << value
                                << QString(status);
        };
        row("2500, Enter", "freqBox", "2500", Enter, 'M', 2500, "");
        row("2500, Enter twice", "freqBox", "2500", EnterTwice, 'M', 2500, "");
        row("2500, leaving the box", "freqBox", "2500", LeaveBox, 'M', 2500, "");
        row("arrow up", "freqBox", "", ArrowUp, 'M', 1001, "");
        row("600000 Hz", "freqBox", "600000", Enter, 'M', 500000, "Frequency limited to 500000 Hz");
        row("0 Hz", "freqBox", "0", LeaveBox, 'M', 1, "Frequency limited to 1 Hz");
        row("5000 mV", "gainBox", "5000", EnterTwice, 'K', 3000, "Amplitude limited to 3000 mV");
        row("duty 0 %", "dutyBox", "0", Enter, 'K', 1, "Duty cycle limited to 1 %");
    }

    void typedValues() {
        QFETCH(QString, box);
        QFETCH(QString, keys);
        QFETCH(int, finish);
        QFETCH(char, command);
        QFETCH(int, value);
        PageRig<Generator> rig;
        QVERIFY(rig.opened);
        Generator& page = rig.page;
        const Status& status = rig.status;
        // Duty only shapes the square and the triangle.
        choose(page.widgets().typeBox, gen::Square);
        page.start();
        rig.sent();
        auto* spin = page.findChild<QSpinBox*>(box);
        QVERIFY(spin);
        spin->selectAll();
        QTest::keyClicks(spin, keys);
        if (finish == LeaveBox) {
            QFocusEvent out(QEvent::FocusOut);
            QApplication::sendEvent(spin, &out);
        } else {
            for (int k = 0; k < (finish == EnterTwice ? 2 : 1); ++k)
                QTest::keyClick(spin, finish == ArrowUp ? Qt::Key_Up : Qt::Key_Return);
        }
        const QByteArray got = withoutTables(rig.sent());
        QCOMPARE(got.count(command), 1);
        QCOMPARE(spin->value(), value);
        if (command == 'M') {
            QCOMPARE(page.freq, value);
            QCOMPARE(pointsSent(got), page.tableLength());
        }
        QTEST(status.text(), "status");
    }

    // Below 16 table points per period a note beside the frequency box says how many the device
    // plays, in space no other control uses.
    void coarseNote_data() {
        QTest::addColumn<int>("hz");
        QTest::addColumn<bool>("shown");
        QTest::newRow("2 kHz") << 2000 << false;
        QTest::newRow("62500 Hz: 16 points") << 62500 << false;
        QTest::newRow("62501 Hz: 14 points") << 62501 << true;
        QTest::newRow("500 kHz") << 500000 << true;
    }

    void coarseNote() {
        QFETCH(int, hz);
        PageRig<Generator> rig;
        QVERIFY(rig.opened);
        Generator& page = rig.page;
        rig.host.show();
        page.widgets().freqBox->setValue(hz);
        const int points = pointsSent(rig.sent());
        QVERIFY(points > 0);
        const QLabel* note = page.findChild<QLabel*>("coarseLabel");
        QVERIFY(note);
        QTEST(note->isVisible(), "shown");
        if (points < 16)
            QCOMPARE(note->text(), QString("%1 points per period").arg(points));
        QVERIFY(!note->geometry().intersects(page.plot()->geometry()));
        for (const QWidget* other :
             page.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            QVERIFY2(other == note || !note->geometry().intersects(other->geometry()),
                     qPrintable(other->objectName()));
    }

    // Nothing generated: the function type has no table, and no key, button or call sends one.
    void functionWithoutExpression_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("blank") << "   ";
        QTest::newRow("rejected") << "x+*2";
    }

    void functionWithoutExpression() {
        QFETCH(QString, text);
        PageRig<Generator> rig;
        QVERIFY(rig.opened);
        Generator& page = rig.page;
        const Generator::Widgets& u = page.widgets();
        u.exprEdit->setPlainText(text);
        choose(u.typeBox, gen::Function);
        u.generateButton->click();
        QTest::keyClick(u.exprEdit, Qt::Key_Return);
        u.xToBox->setValue(2.0);
        page.sendSettings();
        QCOMPARE(rig.sent(), QByteArray());
        QTemporaryDir dir;
        QSettings store(dir.filePath("zrv.conf"), QSettings::IniFormat);
        page.saveSettings(store);
        QCOMPARE(store.value("gen/expression").toString(), QString());
    }

    // Not text: refused by name, nothing sent, the table as it was. Text in UTF-8 is read.
    void refusedFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("refused");
        QTest::newRow("a NUL byte") << QByteArray("100\n200\n\0\n300\n", 14) << true;
        QTest::newRow("invalid UTF-8") << QByteArray("100 200 \xff\xfe 300\n") << true;
        QTest::newRow("overlong UTF-8") << QByteArray("100 \xc0\xaf 300\n") << true;
        QTest::newRow("cut UTF-8 at the end") << QByteArray("100 300 \xe2\x82") << true;
        QTest::newRow("UTF-8 text") << QByteArray("100 \xc3\xa9 300 \xe2\x82\xac\n") << false;
    }

    void refusedFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, refused);
        PageRig<Generator> rig;
        QVERIFY(rig.opened);
        Generator& page = rig.page;
        const Status& status = rig.status;
        page.start();
        rig.sent();
        QTemporaryDir dir;
        const QString path = dir.filePath("wave.txt");
        writeFile(path, bytes);
        const QVector<int> before(page.masterTable(), page.masterTable() + 512);
        QCOMPARE(page.loadFile(path), !refused);
        const QVector<int> after(page.masterTable(), page.masterTable() + 512);
        if (refused) {
            QCOMPARE(status.text(), QString("Not a waveform file: wave.txt"));
            QCOMPARE(rig.sent(), QByteArray());
            QCOMPARE(after, before);
            QCOMPARE(page.waveType(), int(gen::Sine));
        } else {
            QCOMPARE(after.mid(0, 4), (QVector<int>{100, 0, 300, 0}));
            QVERIFY(rig.sent().contains('K'));
        }
    }

    // SAVE names the file as its filter says, so OPEN lists it.
    void saveAddsSuffix_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        const char* const rows[][2] = {
            {"wave", "wave.txt"}, {"wave.txt", "wave.txt"}, {"wave.dat", "wave.dat"}};
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString(r[0]) << QString(r[1]);
    }

    void saveAddsSuffix() {
        QFETCH(QString, typed);
        QTemporaryDir dir;
        QWidget host;
        Generator page(&host, nullptr);
        const auto answered = answerFileDialog(dir.filePath(typed));
        page.widgets().saveButton->click();
        QVERIFY(*answered);
        QFETCH(QString, written);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{written});
    }
};

QTEST_MAIN(TestGenerator)
#include "tst_generator.moc"

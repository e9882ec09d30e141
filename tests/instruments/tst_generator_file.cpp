#include "genfile.h"
#include "gensynth.h"
#include "tst_generator_rig.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
bool writeText(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray numbers(int from, int count, const char* separator) {
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QByteArray::number(from + i) + separator;
    return text;
}

} // namespace

class TestGeneratorFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void read_data();
    void read();
    void readStopsAfter512();
    void readUnopenableLeavesTable_data();
    void readUnopenableLeavesTable();
    void readHugeAndBinaryFiles_data();
    void readHugeAndBinaryFiles();
    void writeSquare();
    void writeRoundTrip();
    void writeIntoMissingFolderFails();
    void pageLoadClampsAndUploads_data();
    void pageLoadClampsAndUploads();
    void pageRefusesUnopenableFile();
    void pageLoadThenStrokeEditsLoadedTable();
    void pageSaveWritesMasterWithOffset();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const QString& name) const { return dir->filePath(name); }
};

void TestGeneratorFile::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestGeneratorFile::read_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QVector<int>>("head"); // expected first values
    QTest::addColumn<int>("zerosFrom");     // every value from here on is 0
    QTest::newRow("one per line") << numbers(-256, 512, "\n") << QVector<int>{-256, -255, -254}
                                  << 512;
    QTest::newRow("one line") << numbers(-256, 512, " ") << QVector<int>{-256, -255, -254} << 512;
    QTest::newRow("tabs and CRLF") << QByteArray("7\t-8\r\n9\r\n") << QVector<int>{7, -8, 9} << 3;
    QTest::newRow("100 numbers") << numbers(1, 100, "\n") << QVector<int>{1, 2, 3} << 100;
    QTest::newRow("empty") << QByteArray() << QVector<int>{} << 0;
    QTest::newRow("out of range kept for the clamp")
        << QByteArray("5000\n-3000\n") << QVector<int>{5000, -3000} << 2;
    QTest::newRow("beyond int saturates") << QByteArray("99999999999999999999 -4294967296 +12")
                                          << QVector<int>{INT_MAX, INT_MIN, 12} << 3;
    QTest::newRow("unreadable reads 0")
        << QByteArray("12 abc 34 5x -") << QVector<int>{12, 0, 34, 0, 0} << 5;
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                   "42 43")
                                     << QVector<int>{42, 43} << 2;
    QTest::newRow("no final line feed") << QByteArray("1 2 3") << QVector<int>{1, 2, 3} << 3;
}

void TestGeneratorFile::read() {
    QFETCH(QByteArray, content);
    QFETCH(QVector<int>, head);
    QFETCH(int, zerosFrom);
    QVERIFY(writeText(path("t.txt"), content));
    int wave[512];
    std::fill(wave, wave + 512, 777);
    QVERIFY(readGenFile(path("t.txt"), wave));
    for (int i = 0; i < head.size(); ++i)
        QCOMPARE(wave[i], head[i]);
    for (int i = zerosFrom; i < 512; ++i)
        QCOMPARE(wave[i], 0);
}

void TestGeneratorFile::readStopsAfter512() {
    QVERIFY(writeText(path("long.txt"), numbers(0, 600, "\n")));
    int wave[512];
    QVERIFY(readGenFile(path("long.txt"), wave));
    QCOMPARE(wave[0], 0);
    QCOMPARE(wave[511], 511);
}

void TestGeneratorFile::readUnopenableLeavesTable_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("missing file") << "nothing-here.txt";
    QTest::newRow("missing folder") << "no/such/folder.txt";
    QTest::newRow("empty name") << "";
}

void TestGeneratorFile::readUnopenableLeavesTable() {
    QFETCH(QString, name);
    int wave[512];
    std::fill(wave, wave + 512, 777);
    QVERIFY(!readGenFile(name.isEmpty() ? QString() : path(name), wave));
    QCOMPARE(wave[0], 777);
    QCOMPARE(wave[511], 777);
}

void TestGeneratorFile::readHugeAndBinaryFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("first");
    QByteArray binary(1 << 20, '\0');
    QRandomGenerator rng(7);
    for (char& c : binary)
        c = char(rng.bounded(256));
    QTest::newRow("random bytes") << binary << -1;
    // One 8 MB run of digits: a single number far beyond int.
    QTest::newRow("endless number") << QByteArray(8 << 20, '9') << INT_MAX;
    QTest::newRow("all NUL") << QByteArray(2 << 20, '\0') << 0;
}

void TestGeneratorFile::readHugeAndBinaryFiles() {
    QFETCH(QByteArray, content);
    QFETCH(int, first);
    QVERIFY(writeText(path("big.bin"), content));
    int wave[512];
    QVERIFY(readGenFile(path("big.bin"), wave));
    if (first != -1)
        QCOMPARE(wave[0], first);
}

void TestGeneratorFile::writeSquare() {
    int wave[512];
    gen::synthSquare(wave, gen::dutyPoints(50), 0);
    QVERIFY(writeGenFile(path("sq.txt"), wave));
    QFile f(path("sq.txt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("2047\n").repeated(256) + QByteArray("-2048\n").repeated(256));
}

void TestGeneratorFile::writeRoundTrip() {
    int wave[512], back[512];
    gen::synthTriangle(wave, gen::dutyPoints(30), -77);
    QVERIFY(writeText(path("rt.txt"), "old content that is much longer than nothing\n"));
    QVERIFY(writeGenFile(path("rt.txt"), wave));
    QVERIFY(readGenFile(path("rt.txt"), back));
    QVERIFY(std::equal(wave, wave + 512, back));
}

void TestGeneratorFile::writeIntoMissingFolderFails() {
    int wave[512] = {};
    QVERIFY(!writeGenFile(path("no/such/folder/x.txt"), wave));
    QVERIFY(!QFile::exists(path("no/such/folder/x.txt")));
}

void TestGeneratorFile::pageLoadClampsAndUploads_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QVector<int>>("head");
    QTest::newRow("in range") << numbers(-5, 512, "\n") << QVector<int>{-5, -4, -3};
    QTest::newRow("clamped") << QByteArray("5000 -3000 99999999999 -99999999999")
                             << QVector<int>{2047, -2048, 2047, -2048};
}

void TestGeneratorFile::pageLoadClampsAndUploads() {
    QFETCH(QByteArray, content);
    QFETCH(QVector<int>, head);
    GenRig rig;
    QVERIFY(rig.opened);
    rig.page->enable();
    // An offset set before loading is not added to the loaded table.
    QCOMPARE(rig.uploads([&] {
        rig.child<QSpinBox>("offsetBox")->setValue(300);
        rig.page->start();
    }),
             1);
    QVERIFY(writeText(path("in.txt"), content));
    // The parameters changed (type arbitrary), so the table goes out twice: once on the
    // change, once unconditionally after loading. Loading again sends it once.
    QCOMPARE(rig.uploads([&] { QVERIFY(rig.page->loadFile(path("in.txt"))); }), 2);
    QCOMPARE(rig.uploads([&] { QVERIFY(rig.page->loadFile(path("in.txt"))); }), 1);
    QCOMPARE(rig.lastUpload, encodedTable(rig.table));
    QCOMPARE(rig.page->waveType(), 5);
    QCOMPARE(rig.child<QComboBox>("typeBox")->currentText(), QStringLiteral("arbitrary"));
    for (int i = 0; i < head.size(); ++i) {
        QCOMPARE(rig.page->masterTable()[i], head[i]);
        QCOMPARE(rig.table[i], head[i]);
    }
}

void TestGeneratorFile::pageRefusesUnopenableFile() {
    GenRig rig;
    QVERIFY(rig.opened);
    rig.page->enable();
    QCOMPARE(rig.uploads([&] { rig.page->start(); }), 1);
    int before[512];
    std::copy(rig.page->masterTable(), rig.page->masterTable() + 512, before);
    QCOMPARE(rig.uploads([&] { QVERIFY(!rig.page->loadFile(path("missing.txt"))); }), 0);
    QVERIFY(std::equal(before, before + 512, rig.page->masterTable()));
    QCOMPARE(rig.page->waveType(), 0);
    QCOMPARE(rig.child<QComboBox>("typeBox")->currentIndex(), 0);
}

void TestGeneratorFile::pageLoadThenStrokeEditsLoadedTable() {
    GenRig rig;
    rig.page->enable();
    QVERIFY(writeText(path("ramp.txt"), numbers(0, 512, "\n")));
    QVERIFY(rig.page->loadFile(path("ramp.txt")));
    QMouseEvent ev = moveEvent(110, 236, Qt::LeftButton);
    rig.page->drawArb(&ev);
    QCOMPARE(rig.page->masterTable()[100], 400);
    QCOMPARE(rig.page->masterTable()[99], 99);
    QCOMPARE(rig.page->masterTable()[101], 101);
}

void TestGeneratorFile::pageSaveWritesMasterWithOffset() {
    GenRig rig;
    rig.page->enable();
    rig.chooseType(1);
    rig.child<QSpinBox>("offsetBox")->setValue(1200);
    rig.child<QSpinBox>("gainBox")->setValue(100); // scaling is not saved
    QVERIFY(rig.page->saveFile(path("page.txt")));
    int back[512];
    QVERIFY(readGenFile(path("page.txt"), back));
    QCOMPARE(back[0], 2047);
    QCOMPARE(back[511], -848);
}

QTEST_MAIN(TestGeneratorFile)
#include "tst_generator_file.moc"

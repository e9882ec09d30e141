// Oscilloscope waveform files: the raw-frame and cursor-span layouts, reading back, and files
// that are short, foreign, huge or cannot be written.
#include "buffer.h"
#include "oscfile.h"
#include "oscyloskop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {
struct Page {
    Page() { host.resize(1028, 612); }
    QWidget host;
    Oscyloskop osc{&host};
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QList<int> linesOf(const QByteArray& text) {
    QList<int> values;
    for (const QByteArray& line : text.split('\n'))
        if (!line.isEmpty())
            values << line.toInt();
    return values;
}

std::unique_ptr<Buffer> frameOf(const std::vector<int>& samples) {
    auto frame = std::make_unique<Buffer>();
    std::memset(frame.get(), 0, sizeof(Buffer));
    for (int i = 0; i < 1024; ++i) {
        const unsigned v = unsigned(samples[size_t(i)]) & 0xFFFFu;
        frame->data[2 * i] = uint8_t(v & 0xFF);
        frame->data[2 * i + 1] = uint8_t(v >> 8);
    }
    frame->length = 2048;
    return frame;
}

// A busy signal: every sample different, negative and positive, large and small.
std::vector<int> busySignal() {
    std::vector<int> s(1024);
    for (int i = 0; i < 1024; ++i)
        s[size_t(i)] = int((i * 7919L) % 60001) - 30000;
    return s;
}
} // namespace

class TestOscFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void valuesOnePerLine();
    void spanIndex_data();
    void spanIndex();
    void spanFile();
    void load_data();
    void load();
    void loadIgnoresNumbersPastTheCount();
    void missingFileGivesZeros();
    void hugeFilesEndTheRead();
    void saveIntoMissingFolderFails();
    void failedSaveKeepsTheOldFile();
    void rawFrameAfterTwoChannels();
    void spanOfTheDisplayedTrace();
    void roundTripGivesTheSamePicture();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString path(const char* name) const { return dir->filePath(QString::fromLatin1(name)); }
};

void TestOscFile::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestOscFile::valuesOnePerLine() {
    const int values[5] = {0, -1, 32767, -32768, 12};
    QVERIFY(OscFile::saveValues(path("a.txt"), values, 5));
    QCOMPARE(readAll(path("a.txt")), QByteArray("0\n-1\n32767\n-32768\n12\n"));
    // Saving again replaces the contents.
    QVERIFY(OscFile::saveValues(path("a.txt"), values + 3, 1));
    QCOMPARE(readAll(path("a.txt")), QByteArray("-32768\n"));
}

void TestOscFile::spanIndex_data() {
    QTest::addColumn<int>("c1");
    QTest::addColumn<int>("c2");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("index");
    QTest::newRow("101..301, line 0") << 101 << 301 << 0 << 50;
    QTest::newRow("101..301, line 5") << 101 << 301 << 5 << 50;
    QTest::newRow("101..301, line 6") << 101 << 301 << 6 << 51;
    QTest::newRow("101..301, line 511") << 101 << 301 << 511 << 149;
    QTest::newRow("reversed, line 0") << 301 << 101 << 0 << 50;
    QTest::newRow("reversed, line 511") << 301 << 101 << 511 << 149;
    QTest::newRow("both 0: lo = hi = -1") << 0 << 0 << 300 << 0;
    QTest::newRow("whole plot, last line") << 1 << 767 << 511 << 382;
    QTest::newRow("cursors off the plot stay inside") << -50 << 2000 << 511 << 383;
    QTest::newRow("negative cursors stay inside") << -50 << -40 << 0 << 0;
}

void TestOscFile::spanIndex() {
    QFETCH(int, c1);
    QFETCH(int, c2);
    QFETCH(int, line);
    QTEST(OscFile::spanIndex(line, c1, c2), "index");
}

void TestOscFile::spanFile() {
    int plot[384];
    for (int i = 0; i < 384; ++i)
        plot[i] = 1000 + i;
    QVERIFY(OscFile::saveSpan(path("span.txt"), plot, 101, 301));
    const QList<int> lines = linesOf(readAll(path("span.txt")));
    QCOMPARE(lines.size(), 512);
    for (int k = 0; k <= 5; ++k)
        QCOMPARE(lines[k], 1050);
    QCOMPARE(lines[511], 1149);
}

void TestOscFile::load_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("first"); // the first entries afterwards
    using L = QList<int>;
    QTest::newRow("short file") << QByteArray("5\n-6\n7") << 3 << L{5, -6, 7, 0};
    QTest::newRow("any white space") << QByteArray(" 1 2\t3\r\n\n4 ") << 4 << L{1, 2, 3, 4, 0};
    QTest::newRow("stops at text") << QByteArray("1\n2\nabc\n4\n") << 2 << L{1, 2, 0, 0};
    QTest::newRow("digits then text") << QByteArray("12abc 5") << 1 << L{12, 0};
    QTest::newRow("signs") << QByteArray("+7 -0 -8") << 3 << L{7, 0, -8};
    QTest::newRow("a sign alone") << QByteArray("3 - 4") << 1 << L{3, 0};
    QTest::newRow("leading zeros are decimal") << QByteArray("010 -0012") << 2 << L{10, -12};
    QTest::newRow("numbers beyond int")
        << QByteArray("99999999999999999999999 -4294967297") << 2 << L{32767, -32768};
    QTest::newRow("beyond the sample range")
        << QByteArray("40000 -32769 32767") << 3 << L{32767, -32768, 32767};
    QTest::newRow("binary") << QByteArray("\x7f"
                                          "ELF\x02\x01\x00\x00",
                                          8)
                            << 0 << L{0, 0};
    QTest::newRow("NUL between numbers") << QByteArray("1\0"
                                                       "2",
                                                       3)
                                         << 1 << L{1, 0};
    QTest::newRow("empty") << QByteArray() << 0 << L{0};
}

void TestOscFile::load() {
    QFETCH(QByteArray, content);
    QFETCH(int, count);
    QFETCH(QList<int>, first);
    QVERIFY(writeFile(path("in.txt"), content));
    std::vector<int> samples(1024, 77);
    QCOMPARE(OscFile::load(path("in.txt"), samples.data(), 1024), count);
    for (int i = 0; i < first.size(); ++i)
        QCOMPARE(samples[size_t(i)], first[i]);
    for (int i = std::max(count, int(first.size())); i < 1024; ++i)
        QCOMPARE(samples[size_t(i)], 0);
}

void TestOscFile::loadIgnoresNumbersPastTheCount() {
    QByteArray text;
    for (int i = 0; i < 2000; ++i)
        text += QByteArray::number(i) + '\n';
    QVERIFY(writeFile(path("long.txt"), text));
    std::vector<int> samples(1025, 77);
    QCOMPARE(OscFile::load(path("long.txt"), samples.data(), 1024), 1024);
    QCOMPARE(samples[1023], 1023);
    QCOMPARE(samples[1024], 77);
}

void TestOscFile::missingFileGivesZeros() {
    Page page;
    std::fill(std::begin(page.osc.sampleBuf), std::end(page.osc.sampleBuf), 5);
    QCOMPARE(page.osc.loadWaveform(path("no-such-file.txt")), 0);
    for (int v : page.osc.sampleBuf)
        QCOMPARE(v, 0);
    // A folder cannot be read as a file either.
    std::fill(std::begin(page.osc.sampleBuf), std::end(page.osc.sampleBuf), 5);
    QCOMPARE(page.osc.loadWaveform(dir->path()), 0);
    QCOMPARE(page.osc.sampleBuf[0], 0);
}

void TestOscFile::hugeFilesEndTheRead() {
    // White space beyond the read limit, then a number: the number is never reached.
    {
        QFile file(path("spaces.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray blanks(64 * 1024, ' ');
        for (qint64 written = 0; written <= OscFile::maxScanBytes; written += blanks.size())
            QCOMPARE(file.write(blanks), qint64(blanks.size()));
        file.write("5\n");
    }
    std::vector<int> samples(1024, 77);
    QCOMPARE(OscFile::load(path("spaces.txt"), samples.data(), 1024), 0);
    QCOMPARE(samples[0], 0);

    // A number longer than the limit: read as far as the limit, clamped, and nothing after it.
    {
        QFile file(path("digits.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray digits(64 * 1024, '9');
        file.write("-");
        for (qint64 written = 0; written <= OscFile::maxScanBytes; written += digits.size())
            QCOMPARE(file.write(digits), qint64(digits.size()));
        file.write(" 5\n");
    }
    QCOMPARE(OscFile::load(path("digits.txt"), samples.data(), 1024), 1);
    QCOMPARE(samples[0], -32768);
    QCOMPARE(samples[1], 0);
}

void TestOscFile::saveIntoMissingFolderFails() {
    const int values[3] = {1, 2, 3};
    const QString name = path("missing/folder/x.txt");
    QVERIFY(!OscFile::saveValues(name, values, 3));
    QVERIFY(!QFile::exists(name));
}

// A write that runs out of room (a file size limit stands in for a full disk) must leave the
// file as it was, and no temporary file behind.
void TestOscFile::failedSaveKeepsTheOldFile() {
    const QString name = path("keep.txt");
    QVERIFY(writeFile(name, "old contents\n"));
    std::vector<int> values(1024, -12345);

    struct rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved1 = OscFile::saveValues(name, values.data(), 1024);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved1);
    QCOMPARE(readAll(name), QByteArray("old contents\n"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{"keep.txt"});
}

void TestOscFile::rawFrameAfterTwoChannels() {
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    o.ch2Box->click();
    std::vector<int> s(1024);
    for (int i = 0; i < 1024; ++i)
        s[size_t(i)] = i < 512 ? i - 256 : -(i * 3);
    QImage image(1028, 612, QImage::Format_RGB32);
    o.vBox1->setCurrentIndex(4); // gain and position never reach the raw file
    emit o.vBox1->activated(4);
    o.yPosBar1->setValue(-40);
    o.drawGraph(frameOf(s).get(), &image);
    QVERIFY(o.saveWaveform(path("raw.txt")));
    const QList<int> lines = linesOf(readAll(path("raw.txt")));
    QCOMPARE(lines.size(), 1024);
    QCOMPARE(lines.first(), -256);
    QCOMPARE(lines[511], 255);
    QCOMPARE(lines[512], -1536);
    QCOMPARE(lines.last(), -3069);
}

void TestOscFile::spanOfTheDisplayedTrace() {
    Page page;
    Oscyloskop& o = page.osc;
    o.enable();
    o.vBox1->setCurrentIndex(1); // 1V/dz: plot value = raw * 125 / 100
    emit o.vBox1->activated(1);
    o.yPosBar1->setValue(-10); // +40 plot units
    std::vector<int> s(1024);
    for (int i = 0; i < 1024; ++i)
        s[size_t(i)] = 4 * i;
    QImage image(1028, 612, QImage::Format_RGB32);
    o.drawGraph(frameOf(s).get(), &image);
    o.timeCursorBox->click();
    QMouseEvent first(QEvent::MouseButtonPress, QPointF(311, 200), Qt::LeftButton, Qt::LeftButton,
                      Qt::ShiftModifier);
    QMouseEvent second(QEvent::MouseButtonPress, QPointF(111, 200), Qt::RightButton,
                       Qt::RightButton, Qt::ShiftModifier);
    o.setCursor(&first);
    o.setCursor(&second);
    QVERIFY(o.saveWaveform(path("span.txt")));
    const QList<int> lines = linesOf(readAll(path("span.txt")));
    QCOMPARE(lines.size(), 512);
    QCOMPARE(lines[0], 4 * 50 * 125 / 100 + 40);
    QCOMPARE(lines[511], 4 * 149 * 125 / 100 + 40);
}

void TestOscFile::roundTripGivesTheSamePicture() {
    QImage before(1028, 612, QImage::Format_RGB32), after(1028, 612, QImage::Format_RGB32);
    before.fill(Qt::white);
    after.fill(Qt::white);
    std::vector<int> saved;
    {
        Page page;
        page.osc.drawGraph(frameOf(busySignal()).get(), &before);
        QVERIFY(page.osc.saveWaveform(path("frame.txt")));
        saved.assign(std::begin(page.osc.sampleBuf), std::end(page.osc.sampleBuf));
    }
    std::fill(std::begin(bufGraph), std::end(bufGraph), 0);
    Page page;
    QCOMPARE(page.osc.loadWaveform(path("frame.txt")), 1024);
    QVERIFY(std::equal(saved.begin(), saved.end(), std::begin(page.osc.sampleBuf)));
    Buffer* noFrame = nullptr; // no frame has arrived since start
    page.osc.drawGraph(noFrame, &after);
    QVERIFY(before == after);
    QVERIFY(before.pixel(395, 286) != qRgb(10, 240, 10)); // the trace really is drawn
}

QTEST_MAIN(TestOscFile)
#include "tst_oscyloskop_file.moc"

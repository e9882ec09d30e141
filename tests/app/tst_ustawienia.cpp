// The settings page and settings.txt in the working folder.
#include "serialspeed.h"
#include "ustawienia.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QtTest>

namespace {
QByteArray fileText() {
    QFile f(QString::fromLatin1(Ustawienia::fileName));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QByteArray& text) {
    QFile f(QString::fromLatin1(Ustawienia::fileName));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}
} // namespace

class TestUstawienia : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstStartWritesDefaultLine();
    void readsStoredLine_data();
    void readsStoredLine();
    void wordWithoutHashIsKeptAndDefaultAppended();
    void choosingSpeedWritesLine_data();
    void choosingSpeedWritesLine();
    void choosingPortWritesLine();
    void portListSelection_data();
    void portListSelection();
    void storedIndexOutsideListSelectsNothing();
    void folderNamedLikeTheFileIsPassedOver();
    void hugeBinaryFileIsNotReadWhole();
    void enableAndDisable();

private:
    QWidget* host = nullptr;
    QStringList ports;
};

void TestUstawienia::init() {
    QFile::remove(QString::fromLatin1(Ustawienia::fileName));
    QDir().rmdir(QString::fromLatin1(Ustawienia::fileName));
    ports.clear();
    Ustawienia::portLister = [this] { return ports; };
    host = new QWidget;
}

void TestUstawienia::cleanup() {
    delete host;
    host = nullptr;
}

void TestUstawienia::firstStartWritesDefaultLine() {
    {
        Ustawienia first(host);
        QCOMPARE(fileText(), QByteArray("#/dev/ttyUSB0#19#3#ZRV"));
        QCOMPARE(first.getPortName(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(first.getPortSpeed(), 19);
        QCOMPARE(first.speedBox->currentIndex(), 3);
    }
    Ustawienia second(host);
    QCOMPARE(second.getPortName(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(second.getPortSpeed(), 19);
    QCOMPARE(second.speedBox->currentText(), QStringLiteral("115200"));
    QCOMPARE(SerialSpeed::baudForCode(second.getPortSpeed()), 115200);
}

void TestUstawienia::readsStoredLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("index");
    QTest::newRow("ttyACM0") << QByteArray("#/dev/ttyACM0#17#2#ZRV") << "/dev/ttyACM0" << 17 << 2;
    QTest::newRow("trailing newline")
        << QByteArray("#/dev/ttyUSB3#24#6#ZRV\n") << "/dev/ttyUSB3" << 24 << 6;
    QTest::newRow("non-numeric fields") << QByteArray("#/dev/x#fast#top#ZRV") << "/dev/x" << 0 << 0;
    QTest::newRow("hash only") << QByteArray("#") << "" << 0 << 0;
    QTest::newRow("missing fields") << QByteArray("#/dev/y") << "/dev/y" << 0 << 0;
}

void TestUstawienia::readsStoredLine() {
    QFETCH(QByteArray, line);
    QFETCH(QString, name);
    QFETCH(int, code);
    QFETCH(int, index);
    writeFile(line);
    Ustawienia page(host);
    QCOMPARE(page.getPortName(), name);
    QCOMPARE(page.getPortSpeed(), code);
    QCOMPARE(page.speedBox->currentIndex(), index);
    QCOMPARE(fileText(), line); // reading never rewrites a good line
}

void TestUstawienia::wordWithoutHashIsKeptAndDefaultAppended() {
    writeFile("abc\n");
    for (int run = 1; run <= 2; ++run) {
        Ustawienia page(host);
        QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(page.getPortSpeed(), 19);
    }
    QCOMPARE(fileText(), QByteArray("abc\n#/dev/ttyUSB0#19#3#ZRV#/dev/ttyUSB0#19#3#ZRV"));
}

void TestUstawienia::choosingSpeedWritesLine_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("baud");
    QTest::newRow("38400") << 1 << QByteArray("#/dev/ttyS1#15#1#ZRV") << 38400;
    QTest::newRow("921600") << 6 << QByteArray("#/dev/ttyS1#24#6#ZRV") << 921600;
    QTest::newRow("1152000") << 7 << QByteArray("#/dev/ttyS1#25#7#ZRV") << 1152000;
    QTest::newRow("1500000") << 8 << QByteArray("#/dev/ttyS1#26#8#ZRV") << 1500000;
    QTest::newRow("2500000") << 9 << QByteArray("#/dev/ttyS1#22#9#ZRV") << 2500000;
}

void TestUstawienia::choosingSpeedWritesLine() {
    QFETCH(int, index);
    QFETCH(QByteArray, line);
    QFETCH(int, baud);
    writeFile("#/dev/ttyS1#19#3#ZRV");
    Ustawienia page(host);
    page.speedBox->setCurrentIndex(index);
    emit page.speedBox->activated(index);
    QCOMPARE(fileText(), line);
    QCOMPARE(SerialSpeed::baudForCode(page.getPortSpeed()), baud);
}

void TestUstawienia::choosingPortWritesLine() {
    ports = QStringList{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyUSB1")};
    writeFile("#/dev/ttyUSB0#19#3#ZRV");
    Ustawienia page(host);
    QCOMPARE(page.portBox->itemText(1), QStringLiteral("/dev/ttyUSB1 /dev"));
    page.portBox->setCurrentIndex(1);
    emit page.portBox->activated(1);
    QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyUSB1"));
    QCOMPARE(fileText(), QByteArray("#/dev/ttyUSB1#19#3#ZRV"));
}

void TestUstawienia::portListSelection_data() {
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<int>("selected");
    QTest::newRow("stored present")
        << QStringList{"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB9"} << 1;
    QTest::newRow("stored absent: last") << QStringList{"/dev/ttyS0", "/dev/ttyUSB9"} << 1;
    QTest::newRow("no ports") << QStringList{} << -1;
}

void TestUstawienia::portListSelection() {
    QFETCH(QStringList, available);
    QFETCH(int, selected);
    writeFile("#/dev/ttyACM0#19#3#ZRV");
    ports = available;
    Ustawienia page(host);
    QCOMPARE(page.portBox->count(), available.size());
    QCOMPARE(page.portBox->currentIndex(), selected);
    QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyACM0"));
    // Refresh after the ports went away: empty list, stored name unchanged.
    ports.clear();
    page.refreshButton->click();
    QCOMPARE(page.portBox->count(), 0);
    QCOMPARE(page.portBox->currentIndex(), -1);
    QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyACM0"));
}

void TestUstawienia::storedIndexOutsideListSelectsNothing() {
    writeFile("#/dev/ttyS1#19#12#ZRV");
    {
        Ustawienia page(host);
        QCOMPARE(page.speedBox->currentIndex(), -1);
        page.writeSettings();
        QCOMPARE(fileText(), QByteArray("#/dev/ttyS1#19#-1#ZRV"));
    }
    Ustawienia again(host);
    QCOMPARE(again.speedBox->currentIndex(), -1);
}

void TestUstawienia::folderNamedLikeTheFileIsPassedOver() {
    QVERIFY(QDir().mkdir(QString::fromLatin1(Ustawienia::fileName)));
    Ustawienia page(host);
    QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(page.getPortSpeed(), 19);
    page.writeSettings(); // must not crash or replace the folder
    QVERIFY(QFileInfo(QString::fromLatin1(Ustawienia::fileName)).isDir());
    QVERIFY(QDir().rmdir(QString::fromLatin1(Ustawienia::fileName)));
}

void TestUstawienia::hugeBinaryFileIsNotReadWhole() {
    // 8 MiB without white space or '#' in reach: one giant "word" that must not be taken whole.
    QByteArray junk(8 << 20, '\x01');
    junk[10 << 10] = '#'; // a hash beyond the first word's reach
    writeFile(junk);
    Ustawienia page(host);
    QCOMPARE(page.getPortName(), QStringLiteral("/dev/ttyUSB0"));
    QVERIFY(fileText().startsWith(junk)); // the user's bytes are kept
}

void TestUstawienia::enableAndDisable() {
    Ustawienia page(host);
    page.disable();
    QVERIFY(!page.speedBox->isEnabled() && !page.portBox->isEnabled() &&
            !page.refreshButton->isEnabled());
    page.enable();
    QVERIFY(page.speedBox->isEnabled() && page.portBox->isEnabled() &&
            page.refreshButton->isEnabled());
    QCOMPARE(page.portBox->objectName(), QStringLiteral("RS232 PORT"));
    QCOMPARE(page.speedBox->geometry(), QRect(100, 100, 200, 20));
    QCOMPARE(page.portBox->geometry(), QRect(100, 130, 200, 30));
    QCOMPARE(page.refreshButton->geometry(), QRect(320, 130, 80, 30));
}

QTEST_MAIN(TestUstawienia)
#include "tst_ustawienia.moc"

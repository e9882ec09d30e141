// The spectrum analyser tab against the device emulator: the generator's sine, looped back into
// channel 1, shows its peak in the bin its frequency falls on for the chosen span.
#include "analizator.h"
#include "emuprocess.h"
#include "mainwindow.h"
#include "oscyloskop.h"
#include "zrvcom.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

int peakBin(const Analizator* page) {
    const int* s = page->spectrum();
    int best = 2;
    for (int i = 2; i < 384; ++i)
        if (s[i] > s[best])
            best = i;
    return best;
}

double readoutValue(const QLabel* label) {
    const QRegularExpressionMatch m =
        QRegularExpression("^[^:]+: (-?\\d+\\.\\d+)(daB|%)$").match(label->text());
    return m.hasMatch() ? m.captured(1).toDouble() : std::nan("");
}

} // namespace

class TestAnalizatorEmu : public QObject {
    Q_OBJECT
private slots:
    void generatorSineLandsInItsBin_data();
    void generatorSineLandsInItsBin();
};

void TestAnalizatorEmu::generatorSineLandsInItsBin_data() {
    // The device samples at 32 per division: fs = 32 * span. The generator plays `points` table
    // entries per period, each held `divider` cycles of 32 MHz: f = 32 MHz / divider / points.
    // bin = f * 1024 / fs.
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("divider");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("bin");
    QTest::newRow("2.5kHz/dz, 7812.5 Hz") << 7 << 8 << 512 << 100;       // fs 80 kHz
    QTest::newRow("250Hz/dz, 1562.5 Hz") << 4 << 40 << 512 << 200;       // fs 8 kHz
    QTest::newRow("62.5kHz/dz, 125 kHz") << 12 << 1 << 256 << 64;        // fs 2 MHz
    QTest::newRow("25kHz/dz, 62.5 kHz, offset") << 10 << 2 << 256 << 80; // fs 800 kHz
}

void TestAnalizatorEmu::generatorSineLandsInItsBin() {
#ifndef ZRV_EMU_PATH
    QSKIP("the device emulator is not built");
#else
    QFETCH(int, span);
    QFETCH(int, divider);
    QFETCH(int, points);
    QFETCH(int, bin);

    const QString link = emuLinkPath(QStringLiteral("zrv-an-link"));
    QFile::remove(link);
    auto emu = startEmuSession(link);
    QVERIFY(emu);

    {
        MainWindow window;
        window.show();
        Analizator* page = window.anPage();
        window.tabBar()->setCurrentIndex(MainWindow::AnPage);
        QCOMPARE(window.current(), int(MainWindow::AnPage));
        QTest::mouseClick(window.portToggle(), Qt::LeftButton);
        QVERIFY(window.isConnected());

        // The user's choices: span and a range that gives the converter plenty of counts.
        page->spanBox()->setCurrentIndex(span);
        emit page->spanBox()->activated(span);
        page->rangeBox()->setCurrentIndex(4);
        emit page->rangeBox()->activated(4);
        const bool shifted = QByteArray(QTest::currentDataTag()).endsWith("offset");
        if (shifted)
            page->offsetBar()->setValue(-40);

        // One period of a sine over the first `points` entries.
        int table[512] = {};
        for (int i = 0; i < points; ++i)
            table[i] = int(std::lround(1500 * std::sin(2 * kPi * i / points)));
        window.device()->setFreq(divider, points);
        window.device()->sendGenChannel(table);

        const int expected = shifted ? bin - 40 : bin;
        QTRY_COMPARE_WITH_TIMEOUT(peakBin(page), expected, 30000);
        // A few more frames: the peak stays put.
        QTRY_VERIFY_WITH_TIMEOUT(page->spectrum()[expected] > 0 && peakBin(page) == expected,
                                 10000);

        // A clean sine with the emulator's 3 mV of noise: strong total power, and a THD+N under
        // 1 % (the noise is some 47 dB down), where a square wave would read over 40 %.
        const double power = readoutValue(page->powerReadout());
        const double distortion = readoutValue(page->thdnReadout());
        QVERIFY2(power > 100.0 && power < 160.0, qPrintable(page->powerReadout()->text()));
        QVERIFY2(distortion > 0.0 && distortion < 1.0, qPrintable(page->thdnReadout()->text()));

        // The pointer on the peak's column (2 px per bin from the plot's left edge at x = 10)
        // reads the generator's frequency.
        const QPoint peak(10 + 2 * expected, 286);
        QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, peak);
        const double hertz = 32e6 / divider / points;
        QCOMPARE(window.readout1()->text(), "  F: " + Oscyloskop::value(hertz) + "Hz");
        QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, peak);

        QTest::mouseClick(window.portToggle(), Qt::LeftButton);
        QVERIFY(!window.isConnected());
    }

    QVERIFY(emu->stop());
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo(link).isSymLink(), 10000);
#endif
}

QTEST_MAIN(TestAnalizatorEmu)
#include "tst_analizator_emu.moc"

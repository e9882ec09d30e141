// End to end through zrv-emu on a pseudo-terminal: each page driven through the real window, the
// commands it sends as the emulator decodes them, and what it shows of the emulator's known
// signals (CH1: 1 kHz sine of 1 V amplitude, CH2: 500 Hz square 0 / 1 V, logic: a counter).
// (A device lost and found again: tst_bench.)
#include "device/zrvcom.h"
#include "emulator/logiccapture.h"
#include "emuwindow.h"
#include "instruments/generator/generator.h"
#include "instruments/logic/analizatorlog.h"
#include "instruments/logic/lalogic.h"
#include "instruments/oscilloscope/oscyloskop.h"
#include "instruments/spectrum/analizator.h"
#include "linerig.h"
#include "plot/graph.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>
#include <algorithm>
#include <cmath>

namespace {
// "CH1 Freq: 1.000kHz" -> 1000, "CH1 Vpp: 500.0mV" -> 0.5: the unit is part of the value.
double readout(const QLabel* label) {
    static const QRegularExpression pattern(QStringLiteral(": (-?[0-9.]+)(k|m)?(Hz|V)$"));
    const QRegularExpressionMatch m = pattern.match(label->text());
    const double scale = m.captured(2) == "k" ? 1e3 : (m.captured(2) == "m" ? 1e-3 : 1.0);
    return m.hasMatch() ? m.captured(1).toDouble() * scale : std::nan("");
}

bool near(double value, double expected, double within = 0.02) {
    return std::fabs(value - expected) <= within * expected;
}

// Two levels at least 20 counts apart, each holding a quarter of the values.
bool twoLevels(const int* v, int n) {
    const int lo = *std::min_element(v, v + n), hi = *std::max_element(v, v + n);
    const int tolerance = std::max(3, (hi - lo) / 20);
    int low = 0, high = 0;
    for (int i = 0; i < n; ++i) {
        low += v[i] - lo <= tolerance;
        high += hi - v[i] <= tolerance;
    }
    return hi - lo >= 20 && low >= n / 4 && high >= n / 4;
}

// The samples of the newest frame the page took; true when they lie on two levels.
bool frameOnTwoLevels(const Oscyloskop& osc) {
    return osc.processor().hasSamples() && twoLevels(osc.processor().samples(), 1024);
}

// A press on a page's plot at a point given in window pixels.
void pressOnPlot(Page* page, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at) {
    QTest::mousePress(page->plot(), button, modifiers, at - Graph::plotRect().topLeft());
}

// The byte a drawn logic point shows, read back from the eight trace levels; -1 if none.
int byteAtPoint(const AnalizatorLog& page, int i) {
    int byte = 0;
    for (int n = 0; n < LaLogic::channels; ++n) {
        const int v = page.series(n)[i];
        if (v != LaLogic::highLevel(n) && v != LaLogic::lowLevel(n))
            return -1;
        byte |= (v == LaLogic::highLevel(n)) << n;
    }
    return byte;
}

} // namespace

class TestE2e : public QObject {
    Q_OBJECT
private slots:
    void oscilloscope() {
        EmuWindow rig(MainWindow::OscPage);
        QVERIFY(rig.ready());
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.traced({"osc1chStart", "setTimeBase 7", "setGain1 0", "setGain2 0"}), 10000);
        Oscyloskop* osc = rig.window->oscPage();
        choose(osc->widgets().vBox1, 2); // 500mV/dz: the 2 V sine spans four divisions
        QTRY_VERIFY_WITH_TIMEOUT(rig.emu->traced("setGain1 2"), 10000);
        // Whole periods: RMS of the sine 1 V / sqrt(2), its average 0. The generator page's 1 kHz,
        // sent as the port opened, is 512 points at a divider of 62: 32 MHz / 31744.
        QTRY_VERIFY2_WITH_TIMEOUT(
            near(readout(osc->widgets().freqLabel1), 32e6 / (62 * 512), 0.005) &&
                near(readout(osc->widgets().vppLabel1), 2.0) &&
                near(readout(osc->widgets().rmsLabel1), 0.7071) &&
                std::fabs(readout(osc->widgets().avgLabel1)) < 0.02,
            qPrintable(osc->widgets().vppLabel1->text() + ", " + osc->widgets().rmsLabel1->text()),
            20000);
        // The drawn trace peaks at +-1 V = +-2 divisions = 128 px around the centre row (286); its
        // pixels are blue, the grid's green. The columns of the scales' legend and the zero marks
        // (the lower left corner, the left edge) are left out.
        const auto extent = [&rig] {
            const QImage screen = rig.window->grab().toImage();
            int top = 612, bottom = 0;
            for (int y = 30; y <= 542; ++y)
                for (int x = 120; x <= 776; ++x)
                    if (qBlue(screen.pixel(x, y)) > 100 &&
                        qBlue(screen.pixel(x, y)) > 2 * qGreen(screen.pixel(x, y)))
                        top = std::min(top, y), bottom = std::max(bottom, y);
            return QStringLiteral("%1 .. %2").arg(top).arg(bottom);
        };
        QTRY_COMPARE_WITH_TIMEOUT(extent(), QStringLiteral("158 .. 414"), 20000);
        osc->widgets().ch2Box->click();
        QTRY_VERIFY_WITH_TIMEOUT(rig.emu->traced("osc2chStart"), 10000);
        QTRY_VERIFY2_WITH_TIMEOUT(
            near(readout(osc->widgets().freqLabel2), 500.0, 0.005) &&
                near(readout(osc->widgets().vppLabel2), 1.0) &&
                near(readout(osc->widgets().avgLabel2), 0.5),
            qPrintable(osc->widgets().freqLabel2->text() + ", " + osc->widgets().vppLabel2->text()),
            20000);
        // The plot takes the mouse: one division right and two up of the centre at 400us/dz and
        // 500mV/dz (the scales themselves: the page's tests).
        pressOnPlot(osc, Qt::LeftButton, Qt::NoModifier, QPoint(458, 158));
        QCOMPARE(rig.window->readout1()->text(), QString("  T: 400us"));
        QCOMPARE(rig.window->readout2()->text(), QString("  U: 1000mV"));
    }

    void generatorLoopsBackToTheScope() {
        EmuWindow rig(MainWindow::OscPage);
        QVERIFY(rig.ready());
        MainWindow& w = *rig.window;
        w.tabBar()->setCurrentIndex(MainWindow::GenPage);
        QTRY_VERIFY_WITH_TIMEOUT(rig.traced({"genStart", "setFreq 62 512"}), 10000); // 1000 Hz
        // 2000 mV of the full-scale sine reaches the device clipped, not wrapped.
        w.genPage()->widgets().gainBox->setValue(2000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.emu->traced("sendGenChannel 2047 min -2048 max 2047"), 10000);

        // "I(x-1/2)" is 1 for the first half of the period and 0 for the second.
        choose(w.genPage()->widgets().typeBox, gen::Function);
        w.genPage()->widgets().exprEdit->setPlainText("I(x-1/2)");
        w.genPage()->widgets().generateButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(rig.emu->traced("sendGenChannel 2047 min 0 max 2047"), 10000);

        // Looped back into channel 1: a square from 0 V up, in the frames and on the plot.
        w.tabBar()->setCurrentIndex(MainWindow::OscPage);
        const Oscyloskop& osc = *w.oscPage();
        QTRY_VERIFY_WITH_TIMEOUT(frameOnTwoLevels(osc), 20000);
        const int* samples = osc.processor().samples();
        QVERIFY(*std::min_element(samples, samples + 1024) >= -3);
        QTRY_VERIFY_WITH_TIMEOUT(twoLevels(osc.processor().result().bufGraph, 384), 20000);
    }

    void spectrumPeakInItsBin() {
        EmuWindow rig(MainWindow::AnPage);
        QVERIFY(rig.ready());
        Analizator* page = rig.window->anPage();
        choose(page->widgets().taBox, 7); // 2.5kHz/dz: 32 samples per division, fs = 80 kHz
        choose(page->widgets().vaBox, 4);
        QTRY_VERIFY_WITH_TIMEOUT(rig.traced({"setTimeBase 7", "setGain1 4"}), 10000);
        // A sine over the whole table at 32 MHz / 8 / 512 = 7812.5 Hz: bin 7812.5 * 1024 / 80000.
        int table[512];
        for (int i = 0; i < 512; ++i)
            table[i] = int(std::lround(1500 * std::sin(2 * M_PI * i / 512)));
        rig.window->device()->setFreq(8, 512);
        rig.window->device()->sendGenChannel(table);
        const auto peak = [page] {
            const int* spectrum = page->processor().result().specGraph;
            return int(std::max_element(spectrum + 2, spectrum + 384) - spectrum);
        };
        QTRY_COMPARE_WITH_TIMEOUT(peak(), 100, 30000);
        // The pointer on the peak's column (2 px per bin from x = 10) reads the sine's frequency.
        pressOnPlot(page, Qt::LeftButton, Qt::NoModifier, QPoint(10 + 2 * 100, 286));
        QCOMPARE(rig.window->readout1()->text(), QString("  F: 7.81kHz"));
    }

    void logicCaptureOnEachEdge_data() {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("condition");
        QTest::addColumn<int>("levelAtTrigger");
        QTest::newRow("channel 0 rising") << 0 << int(LaLogic::Rising) << 1;
        QTest::newRow("channel 2 falling") << 2 << int(LaLogic::Falling) << 0;
    }

    void logicCaptureOnEachEdge() {
        QFETCH(int, channel);
        QFETCH(int, condition);
        QFETCH(int, levelAtTrigger);
        EmuWindow rig(MainWindow::LaPage);
        QVERIFY(rig.ready());
        QTRY_VERIFY_WITH_TIMEOUT(rig.traced({"laStart", "setLAtimebase 7"}), 10000);
        AnalizatorLog* page = rig.window->laPage();
        page->widgets().trigBox[channel]->setCurrentIndex(condition);
        page->widgets().zoomBox->setValue(2); // one drawn point per captured byte
        page->widgets().startButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(rig.emu->traced("setLAstart"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(page->widgets().startButton->text(), QStringLiteral("Start"),
                                  20000);

        // The chosen edge of the chosen channel sits exactly at the device's trigger sample.
        const int trigger = emu::LogicCapture::preTrigger;
        const int before = byteAtPoint(*page, trigger - 1), at = byteAtPoint(*page, trigger);
        QVERIFY(before >= 0 && at >= 0);
        QCOMPARE(before >> channel & 1, 1 - levelAtTrigger);
        QCOMPARE(at >> channel & 1, levelAtTrigger);
        // Channels 0-4 count up by one every 8 samples.
        for (int i = trigger % 8; i + 8 < 384; i += 8) {
            const int count = byteAtPoint(*page, i) & 0x1F;
            for (int k = 1; k < 8; ++k)
                QCOMPARE(byteAtPoint(*page, i + k) & 0x1F, count);
            QCOMPARE(byteAtPoint(*page, i + 8) & 0x1F, (count + 1) & 0x1F);
        }
        // A click on the trigger sample reads its value and its time at 20 kSPS.
        pressOnPlot(page, Qt::LeftButton, Qt::NoModifier, QPoint(Graph::left + 2 * trigger, 200));
        QTRY_COMPARE(page->widgets().valueLabel->text(), QStringLiteral("Value: %1").arg(at));
        QCOMPARE(page->widgets().timeLabel->text(),
                 QStringLiteral("Time: %1ms").arg(trigger / 20.0, 0, 'f', 3));
    }
};

QTEST_MAIN(TestE2e)
#include "tst_e2e.moc"

// End to end with the device emulator: the main window opens the emulator's line, the
// oscilloscope page shows its signal, and the CH1 / CH2 readouts agree with what the emulator
// produces; the pointer readout and the cursors read the grid as the boxes name it.
#include "buffer.h"
#include "emuprocess.h"
#include "mainwindow.h"
#include "oscyloskop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>
#include <cmath>
#include <memory>

namespace {
// The emulator's signals before any generator upload.
constexpr double ch1Hz = 1000.0, ch1Vpp = 2.0; // sine, 1 V amplitude
constexpr double ch2Hz = 500.0, ch2Vpp = 1.0;  // square, 0 V / 1 V
constexpr double tolerance = 0.02, freqTolerance = 0.005;

// "CH1 Freq: 1.000kHz" -> 1000; "CH1 Vpp: 500.0mV" -> 0.5. NaN when the text has no number.
double readout(const QLabel* label) {
    static const QRegularExpression pattern(QStringLiteral(": (-?[0-9.]+)(k|m)?(Hz|V)$"));
    const QRegularExpressionMatch m = pattern.match(label->text());
    if (!m.hasMatch())
        return std::nan("");
    const double scale = m.captured(2) == "k" ? 1e3 : (m.captured(2) == "m" ? 1e-3 : 1.0);
    return m.captured(1).toDouble() * scale;
}

bool near(double value, double expected, double within = tolerance) {
    return std::fabs(value - expected) <= within * expected;
}

// The number and prefix of a readout: "  T: 400us" and "Time: 400us" both give "400u".
QString numberOf(const QLabel* label) {
    const QString text = label->text();
    return text.mid(text.indexOf(':') + 2).chopped(1);
}

void choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}
} // namespace

class TestOscE2e : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void readoutsMatchTheEmulatedSignals();

private:
    std::unique_ptr<EmuProcess> emulator;
};

void TestOscE2e::initTestCase() {
#ifndef ZRV_EMU_PATH
    QSKIP("the emulator is not built");
#else
    emulator = startEmuSession(emuLinkPath(QStringLiteral("osc-e2e-port")), {"--noise", "0"});
    QVERIFY(emulator);
#endif
}

void TestOscE2e::cleanupTestCase() {
    emulator.reset();
}

void TestOscE2e::readoutsMatchTheEmulatedSignals() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.portToggle()->click();
    QTRY_VERIFY_WITH_TIMEOUT(window.isConnected(), 10000);

    Oscyloskop* osc = window.oscPage();
    // 500mV/dz: the 2 V sine spans four divisions; sent to the device like a user's choice.
    choose(osc->vBox1, 2);
    QTRY_VERIFY_WITH_TIMEOUT(buff.length >= 2048, 10000);
    QTRY_VERIFY2_WITH_TIMEOUT(near(readout(osc->freqLabel1), ch1Hz, freqTolerance) &&
                                  near(readout(osc->vppLabel1), ch1Vpp),
                              qPrintable(osc->freqLabel1->text() + ", " + osc->vppLabel1->text()),
                              20000);

    // The trace itself: peaks at +-1 V = +-2 divisions = 128 px around the centre row. Its
    // pixels are blue, more or less faint with the slope; grid and markers are green.
    const QImage screen = window.grab().toImage();
    int top = 612, bottom = 0;
    for (int y = 30; y <= 542; ++y)
        for (int x = 11; x <= 776; ++x)
            if (qBlue(screen.pixel(x, y)) > 100 &&
                qBlue(screen.pixel(x, y)) > 2 * qGreen(screen.pixel(x, y))) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    QVERIFY2(std::abs(top - (286 - 128)) <= 4, qPrintable(QString::number(top)));
    QVERIFY2(std::abs(bottom - (286 + 128)) <= 4, qPrintable(QString::number(bottom)));

    // Two channels: channel 2 carries the emulator's test square wave.
    osc->ch2Box->click();
    QTRY_VERIFY2_WITH_TIMEOUT(near(readout(osc->freqLabel2), ch2Hz, freqTolerance) &&
                                  near(readout(osc->vppLabel2), ch2Vpp) &&
                                  near(readout(osc->freqLabel1), ch1Hz, freqTolerance) &&
                                  near(readout(osc->vppLabel1), ch1Vpp),
                              qPrintable(osc->freqLabel2->text() + ", " + osc->vppLabel2->text() +
                                         ", " + osc->freqLabel1->text()),
                              20000);

    // The grid line one division right and two up of the centre: 400us/dz and 500mV/dz make it
    // 400 us and 1 V for the pointer readout and for cursors from the centre to there.
    const QPoint centre(394, 286), gridPoint(458, 158);
    QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, gridPoint);
    QCOMPARE(window.readout1()->text(), QString("  T: 400us"));
    QCOMPARE(window.readout2()->text(), QString("  U: 1000mV"));
    QCOMPARE(osc->trigLevelBox->value(), 984); // the level keeps its own 13 px per 100 mV
    QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, gridPoint);
    osc->timeCursorBox->click();
    osc->voltCursorBox->click();
    QTest::mousePress(&window, Qt::LeftButton, Qt::ShiftModifier, centre);
    QTest::mousePress(&window, Qt::RightButton, Qt::ShiftModifier, gridPoint);
    QTRY_COMPARE(numberOf(osc->cursorTimeLabel), numberOf(window.readout1()));
    QCOMPARE(numberOf(osc->cursorVoltLabel1), numberOf(window.readout2()));

    window.portToggle()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.isConnected(), 10000);
}

QTEST_MAIN(TestOscE2e)
#include "tst_oscyloskop_e2e.moc"

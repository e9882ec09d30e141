// End to end with the emulated device: an expression typed on the generator page is uploaded,
// arrives as the device's table, and comes back through the loop-back on the oscilloscope.
#include <QtTest>

#ifdef ZRV_EMU_PATH
#include "buffer.h"
#include "emuprocess.h"
#include "generator.h"
#include "mainwindow.h"
#include "oscyloskop.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>

namespace {
// True when the values sit on two levels at least 20 counts apart, each holding a quarter
// of them: the square that the expression below makes.
bool twoLevels(const int* v, int n) {
    const int lo = *std::min_element(v, v + n), hi = *std::max_element(v, v + n);
    if (hi - lo < 20)
        return false;
    const int tolerance = std::max(3, (hi - lo) / 20);
    int low = 0, high = 0;
    for (int i = 0; i < n; ++i) {
        low += v[i] - lo <= tolerance;
        high += hi - v[i] <= tolerance;
    }
    return low >= n / 4 && high >= n / 4;
}

int frameSamples(int* out) {
    for (int i = 0; i < 1024; ++i)
        out[i] = int16_t(buff.data[2 * i] | (buff.data[2 * i + 1] << 8));
    return 1024;
}
} // namespace
#endif

class TestGeneratorE2e : public QObject {
    Q_OBJECT
private slots:
    void expressionReachesDeviceAndScope();
};

void TestGeneratorE2e::expressionReachesDeviceAndScope() {
#ifndef ZRV_EMU_PATH
    QSKIP("zrv-emu is not built");
#else
    auto emu = startEmuSession(
        emuLinkPath(QStringLiteral("gen-e2e-port")),
        {QStringLiteral("--trace"), QStringLiteral("--noise"), QStringLiteral("0")});
    QVERIFY(emu);

    MainWindow w;
    w.show();
    w.portToggle()->click();
    QVERIFY(w.isConnected());

    // The generator page starts: "G", its frequency and its (sine) table.
    w.tabBar()->setCurrentIndex(MainWindow::GenPage);
    QTRY_VERIFY_WITH_TIMEOUT(emu->traced("genStart"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(emu->traced("setFreq 62 512"), 10000);
    // 2000 mV of the full-scale sine reaches the device clipped (a wrapped table would start
    // at -821 and reach -2048 only by wrapping).
    w.findChild<QSpinBox*>(QStringLiteral("gainBox"))->setValue(2000);
    QTRY_VERIFY_WITH_TIMEOUT(emu->traced("sendGenChannel 2047 min -2048 max 2047"), 10000);

    // "I(x-1/2)" is 1 for the first half of the period and 0 for the second.
    auto* type = w.findChild<QComboBox*>(QStringLiteral("typeBox"));
    type->setCurrentIndex(6);
    emit type->activated(6);
    w.findChild<QPlainTextEdit*>(QStringLiteral("exprEdit"))->setPlainText("I(x-1/2)");
    auto* generate = w.findChild<QPushButton*>(QStringLiteral("generateButton"));
    QVERIFY(generate->isEnabled());
    generate->click();
    QCOMPARE(buff_gen[0], 2047);
    QCOMPARE(buff_gen[511], 0);
    QTRY_VERIFY_WITH_TIMEOUT(emu->traced("sendGenChannel 2047 min 0 max 2047"), 10000);
    if (!qEnvironmentVariableIsEmpty("ZRV_KEEP_IMAGES"))
        w.grab().save(QStringLiteral("generator-page.png"));

    // Through the loop-back on the oscilloscope: the frames, then the page's own trace.
    buff.length = 0;
    w.tabBar()->setCurrentIndex(MainWindow::OscPage);
    QTRY_COMPARE_WITH_TIMEOUT(buff.length, 2048, 20000);
    int samples[1024];
    QTRY_VERIFY_WITH_TIMEOUT(twoLevels(samples, frameSamples(samples)), 20000);
    QVERIFY(*std::min_element(samples, samples + 1024) >= -3); // nothing below 0 V
    QTRY_VERIFY_WITH_TIMEOUT((w.repaint(), twoLevels(bufGraph, 384)), 20000);
    if (!qEnvironmentVariableIsEmpty("ZRV_KEEP_IMAGES"))
        w.grab().save(QStringLiteral("oscilloscope-page.png"));

    w.portToggle()->click();
#endif
}

QTEST_MAIN(TestGeneratorE2e)
#include "tst_generator_e2e.moc"

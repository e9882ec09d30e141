// One oscilloscope display cycle: frame conversion, trigger search, four measurements per
// channel and drawing the whole plot into a window-sized image.
#include "device/buffer.h"
#include "instruments/oscilloscope/oscyloskop.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <memory>

namespace {
// A 1 kHz-like sine on channel 1 (period 80 samples) and a square wave on channel 2, in the
// layout of the chosen mode, as 16-bit little-endian samples.
void fillFrame(Buffer& frame, bool twoChannels) {
    std::memset(&frame, 0, sizeof frame);
    const int ch1Samples = twoChannels ? 512 : 1024;
    for (int i = 0; i < 1024; ++i) {
        int v;
        if (i < ch1Samples)
            v = int(std::lround(400 * std::sin(2 * M_PI * i / 80.0)));
        else
            v = (i / 80) % 2 ? 100 : 0;
        const unsigned u = unsigned(v) & 0xFFFFu;
        frame.data[2 * i] = uint8_t(u & 0xFF);
        frame.data[2 * i + 1] = uint8_t(u >> 8);
    }
    frame.length = 2048;
    frame.frameSize = 2048;
}

void displayCycle(benchmark::State& state) {
    const bool twoChannels = state.range(0) == 2;
    QWidget host;
    host.resize(1028, 612);
    Oscyloskop osc(&host);
    osc.enable();
    if (twoChannels)
        osc.widgets().ch2Box->click();
    // "Norm", rising edge, level 0: every cycle searches and finds an edge, so every cycle
    // copies a window and updates all readouts.
    osc.widgets().trigModeBox->setCurrentIndex(1);
    osc.widgets().trigEdgeBox->setCurrentIndex(1);
    osc.trigSlot();
    auto frame = std::make_unique<Buffer>();
    fillFrame(*frame, twoChannels);
    QImage image(1028, 612, QImage::Format_RGB32);
    image.fill(Qt::gray);

    for (auto _ : state) {
        osc.drawGraph(frame.get(), &image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(twoChannels ? "two channels" : "one channel");
}
BENCHMARK(displayCycle)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

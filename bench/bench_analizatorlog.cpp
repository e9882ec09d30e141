// One full paint of the logic analyser screen: eight series of 2048 points rebuilt from a frame
// and drawn into a window-sized image.
#include "device/buffer.h"
#include "instruments/logic/analizatorlog.h"
#include "plot/graph.h"

#include <QApplication>
#include <QImage>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>
#include <benchmark/benchmark.h>

namespace {
void fillBusyFrame(Buffer& frame) {
    // A counter on all eight channels: every channel toggles, channel 0 at every sample.
    for (int j = 0; j < 1024; ++j)
        frame.data[j] = uint8_t(j);
    frame.length = 1024;
}

void paintAtZoom(benchmark::State& state) {
    static Buffer frame;
    fillBusyFrame(frame);
    QWidget host;
    host.resize(1028, 612);
    AnalizatorLog page(&host);
    page.enable();
    page.widgets().zoomBox->setValue(int(state.range(0)));
    page.widgets().startButton->click();
    page.takeCapture(&frame);
    QImage image(1028, 612, QImage::Format_RGB32);
    for (auto _ : state) {
        page.paintScreen(&image);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 8 * 2048);
}

// The parts of one paint, for comparison: the empty grid alone, and the series alone.
void gridOnly(benchmark::State& state) {
    QImage image(1028, 612, QImage::Format_RGB32);
    for (auto _ : state) {
        Graph graph(&image);
        graph.svWindow();
    }
}

void seriesOnly(benchmark::State& state) {
    static Buffer frame;
    static int series[LaLogic::channels][LaLogic::positions];
    fillBusyFrame(frame);
    for (auto _ : state) {
        benchmark::DoNotOptimize(AnalizatorLog::logicFromSignal(&frame, series, 0, 1, 100));
        benchmark::ClobberMemory();
    }
}
} // namespace

BENCHMARK(gridOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(seriesOnly)->Unit(benchmark::kMicrosecond);
// Zoom 1 is the busiest screen (a transition on every drawn segment), 24 the calmest.
BENCHMARK(paintAtZoom)->Arg(1)->Arg(4)->Arg(24)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The per-paint diagnostic line would dominate the figure; it is measured apart from it.
    QLoggingCategory::setFilterRules(QStringLiteral("zrv.la.debug=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

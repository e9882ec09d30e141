// The logic analyser: the processor taking a capture and following a cursor move, one full
// paint of the page's result (eight series of 2048 points drawn into a window-sized image), and
// the empty grid alone for comparison.
#include "instruments/logic/analizatorlog.h"
#include "pagefeed.h"
#include "plot/graph.h"

#include <QApplication>
#include <QByteArray>
#include <QImage>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <memory>

namespace {
// A counter on all eight channels: every channel toggles, channel 0 at every sample.
QByteArray busyCapture() {
    QByteArray bytes(LaLogic::captureBytes, '\0');
    for (int j = 0; j < LaLogic::captureBytes; ++j)
        bytes[j] = char(uint8_t(j));
    return bytes;
}

// A capture asked for and taken: the copy and all eight series at the zoom.
void captureTaken(benchmark::State& state) {
    auto processor = std::make_unique<LogicProcessor>();
    LogicSettings settings;
    settings.zoom = int(state.range(0));
    settings.cursorX = 100;
    processor->setSettings(settings);
    const QByteArray capture = busyCapture();
    const auto* bytes = reinterpret_cast<const uint8_t*>(capture.constData());
    int64_t taken = 0;
    for (auto _ : state) {
        processor->arm();
        taken += processor->take(bytes, capture.size());
        benchmark::DoNotOptimize(processor->result().logicGraph);
    }
    if (taken != int64_t(state.iterations()) || processor->result().value < 0)
        state.SkipWithError("a capture was not taken");
}

// A cursor move on a capture: new settings, the series and readouts again.
void cursorMoved(benchmark::State& state) {
    auto processor = std::make_unique<LogicProcessor>();
    LogicSettings settings;
    settings.zoom = int(state.range(0));
    processor->setSettings(settings);
    processor->arm();
    const QByteArray capture = busyCapture();
    if (!processor->take(reinterpret_cast<const uint8_t*>(capture.constData()), capture.size())) {
        state.SkipWithError("the capture was not taken");
        return;
    }
    for (auto _ : state) {
        settings.cursorX = settings.cursorX % 700 + 1;
        processor->setSettings(settings);
        benchmark::DoNotOptimize(processor->result().value);
    }
}

// The page set through its controls, its capture cycle run on one frame, then its paint alone.
void paintAtZoom(benchmark::State& state) {
    QWidget host;
    AnalizatorLog page(&host, nullptr);
    page.widgets().zoomBox->setValue(int(state.range(0)));
    PageFeed feed(page);
    page.widgets().startButton->click(); // "Start": the next logic frame is the capture
    feed.deliver(busyCapture());
    if (!page.hasCapture() || page.settings().zoom != int(state.range(0))) {
        state.SkipWithError("the page took no capture");
        return;
    }
    QImage image(1028, 612, QImage::Format_RGB32);
    for (auto _ : state) {
        Graph graph(&image);
        page.paintPlot(graph);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations() * LaLogic::channels * LaLogic::positions);
}

void gridOnly(benchmark::State& state) {
    QImage image(1028, 612, QImage::Format_RGB32);
    for (auto _ : state) {
        Graph graph(&image);
        graph.svWindow();
        benchmark::DoNotOptimize(image.constBits());
    }
}
} // namespace

BENCHMARK(gridOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(captureTaken)->Arg(1)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(cursorMoved)->Arg(1)->Arg(24)->Unit(benchmark::kMicrosecond);
// Zoom 1 is the busiest screen (a transition on every drawn segment), 24 the calmest.
BENCHMARK(paintAtZoom)->Arg(1)->Arg(4)->Arg(24)->Unit(benchmark::kMicrosecond);

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

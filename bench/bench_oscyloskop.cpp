// The oscilloscope: what every frame costs the processor (conversion, trigger search, the
// measurements of each channel), and one paint of the page's result into a window-sized image.
#include "instruments/oscilloscope/oscyloskop.h"
#include "pagefeed.h"
#include "plot/graph.h"

#include <QApplication>
#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <random>

namespace {
// What the emulator sends at the page's first settings (12.5 us a sample, 2.5 V/div): its
// 1 kHz, 1 V sine on channel 1 (80 samples a period, 102.4 counts a volt) and its 500 Hz,
// 0 V / 1 V square on channel 2, both with 3 mV rms of noise, in the layout of the mode, as
// 16-bit little-endian samples. The noise matters: it makes the measurements' work realistic.
QByteArray frameBody(bool twoChannels) {
    constexpr double countsPerVolt = 102.4;
    std::mt19937 gen(1);
    std::normal_distribution<double> noise(0.0, 0.003 * countsPerVolt);
    QByteArray body(scopeFrameBytes, '\0');
    const int ch1Samples = twoChannels ? OscScale::frameSamples / 2 : OscScale::frameSamples;
    for (int i = 0; i < OscScale::frameSamples; ++i) {
        const int j = i < ch1Samples ? i : i - ch1Samples; // the same instants on both channels
        const double volts = i < ch1Samples ? std::sin(2 * M_PI * j / 80.0) : (j % 160 < 80);
        const int v = int(std::lround(volts * countsPerVolt + noise(gen)));
        const unsigned u = unsigned(v) & 0xFFFFu;
        body[2 * i] = char(u & 0xFF);
        body[2 * i + 1] = char(u >> 8);
    }
    return body;
}

// "Norm", rising edge, LF, level 0: every frame has an edge with room for the window around
// it (the sine rises through 0 V at samples 80, 160, 240...), so every frame copies a window
// and measures it.
OscSettings triggered(bool twoChannels) {
    OscSettings s;
    s.twoChannel = twoChannels;
    s.trigMode = OscTrigger::Norm + 4 * OscTrigger::RisingLF;
    return s;
}

void processorPerFrame(benchmark::State& state) {
    const bool two = state.range(0) == 2;
    auto processor = std::make_unique<OscProcessor>();
    processor->setSettings(triggered(two));
    processor->restart(0);
    const QByteArray body = frameBody(two);
    const auto* bytes = reinterpret_cast<const uint8_t*>(body.constData());
    qint64 now = 0;
    int64_t windows = 0;
    for (auto _ : state) {
        now += 8 * Clock::ms; // about a frame time at 2 500 000 bit/s
        windows += processor->process(bytes, body.size(), now);
        benchmark::DoNotOptimize(processor->result().ch1.freq);
    }
    // A frame that found no edge, or a sine without its frequency, costs less: either would
    // flatter the figure. (Channel 2's square shows under two whole periods: no frequency.)
    const OscResult& r = processor->result();
    if (windows != int64_t(state.iterations()) || r.trigger != OscTrigger::Triggered)
        state.SkipWithError("a frame gave no window");
    else if (!r.ch1.freq || (two && !r.ch2.vpp))
        state.SkipWithError("a channel was not measured in full");
    else
        state.SetLabel(two ? "two channels" : "one channel");
}
BENCHMARK(processorPerFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The page set through its controls, one frame through its frame path, then its paint alone.
void paintResult(benchmark::State& state) {
    const bool two = state.range(0) == 2;
    QWidget host;
    Oscyloskop page(&host, nullptr);
    page.widgets().ch2Box->setChecked(two);
    choose(page.widgets().trigModeBox, OscTrigger::Norm);
    choose(page.widgets().trigEdgeBox, 1); // "Ris"
    PageFeed feed(page);
    feed.deliver(frameBody(two));
    const OscResult& r = page.processor().result();
    if (!r.hasWindow || r.twoChannel != two || page.settings().twoChannel != two) {
        state.SkipWithError("the page took no window of the frame");
        return;
    }
    QImage image(1028, 612, QImage::Format_RGB32);
    for (auto _ : state) {
        Graph graph(&image);
        page.paintPlot(graph);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(two ? "two channels" : "one channel");
}
BENCHMARK(paintResult)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
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

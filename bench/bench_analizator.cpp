// Spectrum analyser figures: the analysis of a frame alone, the processor per frame, one paint
// of the page's result, and our window + butterflies against FFTW's 1024-point complex
// transform on the same samples.
#include "instruments/spectrum/analizator.h"
#include "instruments/spectrum/spectrum.h"
#include "pagefeed.h"
#include "plot/graph.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QScrollBar>
#include <QWidget>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fftw3.h>
#include <map>
#include <memory>
#include <random>
#include <unistd.h>

namespace {

constexpr int N = 1024;
constexpr double kPi = 3.14159265358979323846;

// A sine of 120 cycles per frame with harmonics and some noise, as 16-bit samples.
struct Samples {
    Samples() {
        std::mt19937 gen(7);
        std::normal_distribution<double> noise(0.0, 30.0);
        for (int i = 0; i < N; ++i) {
            const double t = 2 * kPi * 120 * i / N;
            const double v = 12000 * std::sin(t) + 300 * std::sin(2 * t) + 80 * std::sin(3 * t);
            values[i] = int(std::lround(v + noise(gen)));
        }
    }
    int values[N];
};

const Samples& samples() {
    static const Samples s;
    return s;
}

const double* pageTable() {
    static double table[1280];
    static bool filled = false;
    if (!filled) {
        for (int k = 0; k < 1280; ++k)
            table[k] = std::sin(3.14159 * 2 * k / 1024);
        filled = true;
    }
    return table;
}

// The static parts of the analysis on samples already converted: transform, THD+N, plot values.
void BM_FrameAnalysis(benchmark::State& state) {
    alignas(64) static double re[N], im[N];
    static int plot[512];
    const double* table = pageTable();
    for (auto _ : state) {
        for (int i = 0; i < N; ++i)
            re[i] = samples().values[i];
        benchmark::DoNotOptimize(SpectrumProcessor::fft(re, im, 10, table, 1024));
        const core::Figures figures = core::figures(re, 512);
        SpectrumProcessor::adjustGraph(plot, im, 0);
        benchmark::DoNotOptimize(figures);
        benchmark::DoNotOptimize(plot);
    }
}
BENCHMARK(BM_FrameAnalysis);

QByteArray frameBody() {
    QByteArray body(2 * N, '\0');
    for (int i = 0; i < N; ++i) {
        const unsigned raw = unsigned(samples().values[i]) & 0xFFFFu;
        body[2 * i] = char(raw & 0xFF);
        body[2 * i + 1] = char(raw >> 8);
    }
    return body;
}

// What every frame costs the processor at the span of time base state.range(0): conversion,
// Hamming transform and the figures' Blackman-Harris one, a 64-frame average, the figures,
// plot values, max hold.
void BM_ProcessorPerFrame(benchmark::State& state) {
    auto processor = std::make_unique<SpectrumProcessor>();
    SpectrumSettings settings;
    settings.hold = true;
    settings.timeBase = int(state.range(0));
    settings.averaging = SpectrumSettings::Linear;
    settings.averages = SpectrumProcessor::maxAverages;
    processor->setSettings(settings);
    const QByteArray body = frameBody();
    const auto* bytes = reinterpret_cast<const uint8_t*>(body.constData());
    int64_t analysed = 0;
    for (auto _ : state) {
        analysed += processor->process(bytes, body.size());
        benchmark::DoNotOptimize(processor->result().specGraph);
    }
    if (analysed != int64_t(state.iterations()) || !processor->result().thdn.has_value() ||
        !processor->result().enob.has_value())
        state.SkipWithError("a frame was not analysed");
}
BENCHMARK(BM_ProcessorPerFrame)->DenseRange(2, 14)->Unit(benchmark::kMicrosecond);

// The page set through its controls, one frame through its frame path, then its paint alone:
// live trace and max hold.
void BM_PagePaint(benchmark::State& state) {
    QWidget host;
    Analizator page(&host, nullptr);
    page.widgets().xPosBar->setValue(-64);
    page.widgets().holdBox->setChecked(true);
    PageFeed feed(page);
    feed.deliver(frameBody());
    if (!page.processor().result().hasFrame || !page.settings().hold) {
        state.SkipWithError("the page analysed no frame");
        return;
    }
    QImage image(1028, 612, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        Graph graph(&image);
        page.paintPlot(graph);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PagePaint)->Unit(benchmark::kMicrosecond);

void BM_WindowButterflies(benchmark::State& state) {
    alignas(64) static double re[N], im[N];
    const double* table = pageTable();
    for (auto _ : state) {
        for (int i = 0; i < N; ++i)
            re[i] = samples().values[i];
        core::windowedButterflies(re, im, 10, table, 1024);
        benchmark::DoNotOptimize(re);
        benchmark::DoNotOptimize(im);
    }
}
BENCHMARK(BM_WindowButterflies);

void BM_FftwComplex1024(benchmark::State& state) {
    fftw_complex* in = fftw_alloc_complex(N);
    fftw_complex* out = fftw_alloc_complex(N);
    fftw_plan plan = fftw_plan_dft_1d(N, in, out, FFTW_FORWARD, FFTW_MEASURE);
    for (auto _ : state) {
        // Same loading work as ours: real samples into a complex array.
        for (int i = 0; i < N; ++i) {
            in[i][0] = samples().values[i];
            in[i][1] = 0.0;
        }
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}
BENCHMARK(BM_FftwComplex1024);

// Console output, then the ratio of our window + butterflies to FFTW. The machine may be shared,
// so the ratio uses the fastest repetition's CPU time of each.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colour only on a terminal, as the library's own reporter does: scripts read the lines.
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& run : reports) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.run_name.function_name;
            const double cpu = run.GetAdjustedCPUTime();
            if (!best.count(name) || cpu < best[name])
                best[name] = cpu;
        }
        ConsoleReporter::ReportRuns(reports);
    }
    void printRatio() const {
        const auto ours = best.find("BM_WindowButterflies");
        const auto fftw = best.find("BM_FftwComplex1024");
        if (ours != best.end() && fftw != best.end() && fftw->second > 0)
            std::printf("window + butterflies %.0f ns, FFTW 1024-point complex %.0f ns: %.2fx\n",
                        ours->second, fftw->second, ours->second / fftw->second);
    }

private:
    std::map<std::string, double> best;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio();
    benchmark::Shutdown();
    return 0;
}

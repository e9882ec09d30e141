// Protocol decoding of one capture: 1024 samples of the emulator's buses with UART and I2C
// active, a session per capture as the page runs it. The decoders run on the library's own
// threads, so the figure is wall time.
#include "emulator/logicpattern.h"
#include "instruments/logic/decode/decode.h"
#include "instruments/logic/lalogic.h"

#include <benchmark/benchmark.h>

namespace {
void uartAndI2c(benchmark::State& state) {
    uint8_t capture[LaLogic::captureBytes];
    for (int i = 0; i < LaLogic::captureBytes; ++i)
        capture[i] = emu::LogicPattern::sample(i, emu::LogicPattern::I2c);
    QVector<Decode::Choice> choices;
    QString error;
    if (!Decode::parse(QStringLiteral("uart:rx=D6:baudrate=2500,i2c:scl=D3:sda=D4"), &choices,
                       &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    int annotations = 0;
    for (auto _ : state) {
        const Decode::Result r =
            Decode::decodeCapture(capture, LaLogic::captureBytes, 20000, choices);
        annotations = r.annotations.size();
        benchmark::DoNotOptimize(annotations);
    }
    state.counters["annotations"] = annotations;
}
BENCHMARK(uartAndI2c)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

BENCHMARK_MAIN();

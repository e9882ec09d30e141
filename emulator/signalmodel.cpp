#include "signalmodel.h"

#include "timemath.h"

#include <algorithm>
#include <cmath>

namespace emu {

namespace {
// Sample period in clock ticks by time-base index, volts per division in 5 mV units by gain.
const int timeTab[15] = {8,   10,   8,    10,   20,    50,    100,  200,
                         500, 1000, 2000, 5000, 10000, 20000, 50000};
const int gainTab[7] = {500, 200, 100, 50, 20, 10, 5};

int gainCorrection(int g) {
    return (50000 / gainTab[g]) >> g;
}
} // namespace

SignalModel::SignalModel(bool noise, uint64_t seed)
    : noiseOn(noise), rng(seed), gauss(0.0, noiseRmsVolts) {}

double SignalModel::samplePeriodNs(int timeBase, double tickNs) {
    return timeTab[std::clamp(timeBase, 0, 14)] * tickNs;
}

double SignalModel::rawPerVolt(int gain) {
    const int g = std::clamp(gain, 0, 6);
    // A division of 256 plot units is gainTab[g] x 5 mV; a raw count is f(g) / 100 plot units.
    return 5.12e6 / (double(gainTab[g]) * gainCorrection(g));
}

int16_t SignalModel::toRaw(double volts, int gain) {
    const double raw = std::clamp(volts * rawPerVolt(gain), -32768.0, 32767.0);
    return int16_t(std::lround(raw));
}

double SignalModel::generatorVolts(const DeviceState& s, int64_t t0Ns, double offsetNs) {
    // Time in units of 1/32 ns, so that one 32 MHz clock cycle is exactly 1000 units.
    const int64_t pointUnits = int64_t(s.divider) * 1000;
    const int64_t cycleUnits = pointUnits * s.tabs;
    const int64_t base = floorMod(floorMod(t0Ns, cycleUnits) * 32, cycleUnits);
    double phase = std::fmod(double(base) + offsetNs * 32.0, double(cycleUnits));
    if (phase < 0)
        phase += double(cycleUnits);
    const int point = std::min(int(phase / double(pointUnits)), s.tabs - 1);
    return s.table[size_t(point)] * fullScaleVolts / 2048.0;
}

double SignalModel::testSignalVolts(int64_t t0Ns, double offsetNs) {
    double phase = std::fmod(double(floorMod(t0Ns, testPeriodNs)) + offsetNs, double(testPeriodNs));
    if (phase < 0)
        phase += double(testPeriodNs);
    return phase < double(testPeriodNs / 2) ? testHighVolts : 0.0;
}

void SignalModel::capture(const DeviceState& s, int64_t t0Ns, double periodNs, int16_t* out) {
    if (s.mode == DeviceState::Osc2) {
        for (int i = 0; i < 512; ++i) {
            const double at = i * periodNs;
            out[i] = toRaw(generatorVolts(s, t0Ns, at) + noise(), s.gain1);
            out[512 + i] = toRaw(testSignalVolts(t0Ns, at) + noise(), s.gain2);
        }
        return;
    }
    for (int i = 0; i < 1024; ++i)
        out[i] = toRaw(generatorVolts(s, t0Ns, i * periodNs) + noise(), s.gain1);
}

double SignalModel::noise() {
    return noiseOn ? gauss(rng) : 0.0;
}

} // namespace emu

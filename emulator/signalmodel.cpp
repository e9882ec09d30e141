#include "signalmodel.h"

#include "timemath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

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
    : noiseOn(noise), rng(seed), gauss(0.0, noiseRmsVolts) {
    sources[1].shape = Source::TestSquare;
}

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

double SignalModel::Source::volts(int64_t t0Ns, double offsetNs) const {
    if (shape == Dc)
        return offsetV;
    // Whole periods of t0 first, so that the phase keeps its precision however late t0 is.
    const double periodNs = 1e9 / freqHz;
    const double base = std::fmod(double(t0Ns), periodNs);
    double phase = std::fmod((base + offsetNs) / periodNs, 1.0);
    if (phase < 0)
        phase += 1.0;
    switch (shape) {
    case Sine:
        return offsetV + amplitudeV * std::sin(2 * M_PI * phase);
    case Square:
        return offsetV + (phase < 0.5 ? amplitudeV : -amplitudeV);
    case Triangle:
        return offsetV + amplitudeV * (1.0 - 4.0 * std::fabs(phase - 0.5));
    default:
        return offsetV;
    }
}

bool SignalModel::Source::parse(const std::string& text, Source& out, std::string& error) {
    static const std::pair<const char*, Shape> shapes[] = {
        {"sine", Sine}, {"square", Square}, {"triangle", Triangle}, {"dc", Dc}};
    const size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    std::vector<double> numbers;
    for (size_t at = colon; at != std::string::npos;) {
        const size_t next = text.find(':', at + 1);
        const std::string field = text.substr(at + 1, next == std::string::npos ? next : next - at - 1);
        char* end = nullptr;
        const double v = std::strtod(field.c_str(), &end);
        if (field.empty() || *end != '\0' || !std::isfinite(v)) {
            error = "'" + field + "' is not a number in '" + text + "'";
            return false;
        }
        numbers.push_back(v);
        at = next;
    }
    for (const auto& [shapeName, shape] : shapes) {
        if (name != shapeName)
            continue;
        Source s;
        s.shape = shape;
        if (shape == Dc && numbers.size() == 1) {
            s.offsetV = numbers[0];
        } else if (shape != Dc && (numbers.size() == 2 || numbers.size() == 3) &&
                   numbers[0] > 0) {
            s.freqHz = numbers[0];
            s.amplitudeV = numbers[1];
            s.offsetV = numbers.size() == 3 ? numbers[2] : 0.0;
        } else {
            break;
        }
        out = s;
        return true;
    }
    error = "'" + text + "' is not sine|square|triangle:HZ:VOLTS[:OFFSET] or dc:VOLTS";
    return false;
}

void SignalModel::setSource(int input, const Source& source) {
    sources[input == 2 ? 1 : 0] = source;
}

double SignalModel::inputVolts(int input, const DeviceState& s, int64_t t0Ns,
                               double offsetNs) const {
    const Source& source = sources[input == 2 ? 1 : 0];
    switch (source.shape) {
    case Source::Generator:
        return generatorVolts(s, t0Ns, offsetNs);
    case Source::TestSquare:
        return testSignalVolts(t0Ns, offsetNs);
    default:
        return source.volts(t0Ns, offsetNs);
    }
}

void SignalModel::capture(const DeviceState& s, int64_t t0Ns, double periodNs, double* volts,
                          int16_t* out) {
    if (s.mode == DeviceState::Osc2) {
        for (int i = 0; i < 512; ++i) {
            const double at = i * periodNs;
            volts[i] = inputVolts(1, s, t0Ns, at) + noise();
            double second;
            if (circuit.active()) {
                circuit.advance(s, t0Ns * Circuit::unitsPerNs +
                                       std::llround(at * double(Circuit::unitsPerNs)));
                second = circuit.output();
            } else {
                second = inputVolts(2, s, t0Ns, at);
            }
            volts[512 + i] = second + noise();
            out[i] = toRaw(volts[i], s.gain1);
            out[512 + i] = toRaw(volts[512 + i], s.gain2);
        }
        return;
    }
    for (int i = 0; i < 1024; ++i) {
        volts[i] = inputVolts(1, s, t0Ns, i * periodNs) + noise();
        out[i] = toRaw(volts[i], s.gain1);
    }
}

void SignalModel::capture(const DeviceState& s, int64_t t0Ns, double periodNs, int16_t* out) {
    double volts[1024];
    capture(s, t0Ns, periodNs, volts, out);
}

double SignalModel::noise() {
    return noiseOn ? gauss(rng) : 0.0;
}

} // namespace emu

#pragma once

#include "circuit.h"
#include "devicestate.h"

#include <cstdint>
#include <random>
#include <string>

namespace emu {

// The analog side: what the two inputs see and how the converter turns volts into raw counts.
//   Channel 1: the generator output looped back. Table value t is t * 1.25 / 2048 V; point k of
//   the first `tabs` points is held for `divider` cycles of a 32 MHz clock.
//   Channel 2: a 500 Hz square wave, 0 V / 1 V, high during the first half of each period.
//   Both are functions of the absolute emulator time, so the phase runs on continuously from one
//   frame to the next. Optional Gaussian noise of 3 mV rms is added to every sample.
// Either input can instead carry an ideal source (sine, square, triangle or DC at a chosen
// frequency, amplitude and offset), whose value at any instant is known exactly: the truth a
// measurement is compared with.
// Raw counts per volt are chosen so that the oscilloscope's grid and readouts (plot unit =
// raw * f(g) / 100, a division of 256 plot units = gainTab[g] x 5 mV) show the true voltage.
class SignalModel {
public:
    struct Source {
        enum Shape { Generator, TestSquare, Sine, Square, Triangle, Dc };
        Shape shape = Generator;
        double freqHz = 0.0;
        double amplitudeV = 0.0; // peak, around the offset
        double offsetV = 0.0;
        // The ideal sources' volts at time t0Ns + offsetNs: a sine from 0 upwards, a square high
        // for the first half of each period, a triangle rising from its low point.
        double volts(int64_t t0Ns, double offsetNs) const;
        // "sine:HZ:VOLTS[:OFFSET]", "square:...", "triangle:...", "dc:VOLTS"; false with
        // `error` set when the text is none of these.
        static bool parse(const std::string& text, Source& out, std::string& error);
    };

    static constexpr double fullScaleVolts = 1.25; // table value 2048
    static constexpr double noiseRmsVolts = 0.003;
    static constexpr int64_t testPeriodNs = 2000000; // channel 2: 500 Hz
    static constexpr double testHighVolts = 1.0;
    static constexpr int64_t clockHz = 32000000; // generator table clock

    SignalModel(bool noise, uint64_t seed);

    // Sample period of an oscilloscope time base in ns: timeTab[tb] ticks of `tickNs`.
    static double samplePeriodNs(int timeBase, double tickNs);
    // Raw counts per volt at gain index g: 5.12e6 / (gainTab[g] * f(g)), 102.4 at g = 0.
    static double rawPerVolt(int gain);
    // Volts to a raw sample, rounded and clipped to the 16-bit range.
    static int16_t toRaw(double volts, int gain);

    // Channel 1 at time t0Ns + offsetNs.
    static double generatorVolts(const DeviceState& s, int64_t t0Ns, double offsetNs);
    // Channel 2 at time t0Ns + offsetNs.
    static double testSignalVolts(int64_t t0Ns, double offsetNs);

    // What input 1 or 2 carries (by default the generator's playback and the test square).
    void setSource(int input, const Source& source);
    // Input 1 or 2 at time t0Ns + offsetNs, without noise.
    double inputVolts(int input, const DeviceState& s, int64_t t0Ns, double offsetNs) const;

    // The 1024 raw samples of one frame taken from t0Ns on at `periodNs` intervals: in
    // one-channel mode all channel 1; in two-channel mode 512 of channel 1, then 512 of channel 2
    // taken at the same instants.
    void capture(const DeviceState& s, int64_t t0Ns, double periodNs, int16_t* out);
    // The same frame before the converter: the volts at the inputs, noise included, and the
    // raw samples they give.
    void capture(const DeviceState& s, int64_t t0Ns, double periodNs, double* volts,
                 int16_t* out);

    // Channel 2 becomes the generator's output through `c` (none: the channel's source).
    void setCircuit(const Circuit& c) { circuit = c; }
    // The circuit runs on the generator's output of `s` up to `nowNs`: called before a change of
    // the generator, which takes effect from that moment.
    void advanceCircuit(const DeviceState& s, int64_t nowNs) {
        if (circuit.active())
            circuit.advance(s, nowNs * Circuit::unitsPerNs);
    }

    // Next noise value in volts (0 when noise is off).
    double noise();

private:
    Source sources[2];
    Circuit circuit;
    bool noiseOn;
    std::mt19937_64 rng;
    std::normal_distribution<double> gauss;
};

} // namespace emu

#pragma once

#include <cstdint>
#include <string>

namespace emu {

struct DeviceState;

// A circuit between the generator's output and channel 2: first-order low or high pass at FC, or
// a second-order band pass at F0 with quality Q (0 dB at F0). The generator's output is a
// staircase (each table point held for `divider` clock cycles), so the circuit is advanced
// exactly, one held point at a time, with the state kept across frames and generator changes:
// its steady state is the analytic response.
class Circuit {
public:
    enum Kind { None, Lowpass, Highpass, Bandpass };

    // "lowpass:FC", "highpass:FC", "bandpass:F0:Q"; false with `error` set otherwise.
    static bool parse(const std::string& text, Circuit& out, std::string& error);

    bool active() const { return kind != None; }
    // Runs the circuit on the generator's output of `s` up to `units` (1/32 ns on the
    // emulator's clock). A gap of more than `settledUnits` is shortened by whole periods of
    // the table: the state has long reached its periodic steady state by then.
    void advance(const DeviceState& s, int64_t units);
    // The output in volts at the time reached.
    double output() const;

    Kind kind = None;
    double f0Hz = 0.0;
    double q = 0.7071;

    static constexpr int64_t unitsPerNs = 32;
    static constexpr int64_t settledUnits = int64_t(200000000) * unitsPerNs; // 200 ms

private:
    // The state after `seconds` with the input held at `u` volts.
    void step(double seconds, double u);

    bool started = false;
    int64_t at = 0; // units reached
    double x1 = 0.0, x2 = 0.0;
    double input = 0.0; // the input at the time reached (the high pass passes its steps)
};

} // namespace emu

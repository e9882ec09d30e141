#include "circuit.h"

#include "devicestate.h"
#include "signalmodel.h"
#include "timemath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace emu {

bool Circuit::parse(const std::string& text, Circuit& out, std::string& error) {
    const size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    double numbers[2] = {0, 0};
    int count = 0;
    for (size_t from = colon; from != std::string::npos && count < 3;) {
        const size_t next = text.find(':', from + 1);
        const std::string field =
            text.substr(from + 1, next == std::string::npos ? next : next - from - 1);
        char* end = nullptr;
        const double v = std::strtod(field.c_str(), &end);
        if (field.empty() || *end != '\0' || !std::isfinite(v) || v <= 0) {
            error = "'" + field + "' is not a positive number in '" + text + "'";
            return false;
        }
        if (count < 2)
            numbers[count] = v;
        ++count;
        from = next;
    }
    Circuit c;
    if ((name == "lowpass" || name == "highpass") && count == 1) {
        c.kind = name == "lowpass" ? Lowpass : Highpass;
    } else if (name == "bandpass" && count == 2) {
        c.kind = Bandpass;
        c.q = numbers[1];
    } else {
        error = "'" + text + "' is not lowpass:FC, highpass:FC or bandpass:F0:Q";
        return false;
    }
    c.f0Hz = numbers[0];
    out = c;
    return true;
}

void Circuit::step(double seconds, double u) {
    const double w0 = 2 * M_PI * f0Hz;
    if (kind != Bandpass) {
        // x' = w0 (u - x): the low pass's output; the high pass's is u - x.
        x1 = u + (x1 - u) * std::exp(-w0 * seconds);
        return;
    }
    // x1' = x2, x2' = -w0^2 x1 - a x2 + w0^2 u with a = w0 / Q; the output is a x2 / w0^2.
    // With u held, z = (x1 - u, x2) follows z' = A z: z(h) = e^{sh} (c I + (A - sI) g) z(0),
    // s = -a/2 and c, g from the eigenvalues' imaginary (or real) part.
    const double a = w0 / q, s = -a / 2;
    const double disc = s * s - w0 * w0;
    double c, g;
    if (disc < 0) {
        const double w = std::sqrt(-disc);
        c = std::cos(w * seconds);
        g = std::sin(w * seconds) / w;
    } else if (disc > 0) {
        const double w = std::sqrt(disc);
        c = std::cosh(w * seconds);
        g = std::sinh(w * seconds) / w;
    } else {
        c = 1;
        g = seconds;
    }
    const double e = std::exp(s * seconds);
    const double z1 = x1 - u, z2 = x2;
    x1 = u + e * (c * z1 + g * (a / 2 * z1 + z2));
    x2 = e * (c * z2 + g * (-w0 * w0 * z1 - a / 2 * z2));
}

void Circuit::advance(const DeviceState& s, int64_t units) {
    if (!started) {
        started = true;
        at = units;
    }
    const int64_t pointUnits = int64_t(std::max(s.divider, 1)) * 1000; // 1/32 ns per point
    const int tabs = std::clamp(s.tabs, 1, 512);
    const int64_t cycleUnits = pointUnits * tabs;
    if (units - at > settledUnits)
        at += (units - at - settledUnits) / cycleUnits * cycleUnits;
    while (at < units) {
        const int64_t inPoint = floorMod(at, pointUnits);
        const int point = int(floorMod(at, cycleUnits) / pointUnits);
        const int64_t next = std::min(units, at - inPoint + pointUnits);
        input = s.table[size_t(point)] * SignalModel::fullScaleVolts / 2048.0;
        step(double(next - at) / (unitsPerNs * 1e9), input);
        at = next;
    }
    const int point = int(floorMod(at, cycleUnits) / pointUnits);
    input = s.table[size_t(point)] * SignalModel::fullScaleVolts / 2048.0;
}

double Circuit::output() const {
    switch (kind) {
    case Lowpass:
        return x1;
    case Highpass:
        return input - x1;
    case Bandpass:
        return (2 * M_PI * f0Hz / q) * x2 / std::pow(2 * M_PI * f0Hz, 2);
    default:
        return 0.0;
    }
}

} // namespace emu

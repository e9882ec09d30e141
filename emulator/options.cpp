#include "options.h"

#include "logicpattern.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace emu {

namespace {
bool toInteger(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool toUnsigned(const std::string& text, uint64_t& out) {
    if (text.empty() || text[0] == '-')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    out = v;
    return true;
}

bool toTick(const std::string& text, double& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    // A tick of 1 ps .. 1 ms keeps every sample period a sane finite number.
    if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < 0.001 || v > 1.0e6)
        return false;
    out = v;
    return true;
}

// A numeric fault option: where it goes and its bounds. Sizes stay below 16 MiB and times
// below an hour, so no option can make the emulator allocate or wait without end.
struct FaultSize {
    int* field = nullptr;
    int lo = 1;
    int hi = 1;
};

FaultSize faultSize(FaultConfig& f, const std::string& arg) {
    constexpr int bytesMax = 16 << 20, msMax = 3600000;
    if (arg == "--fault-every")
        return {&f.every, 0, 1000000};
    if (arg == "--garbage-bytes")
        return {&f.garbageBytes, 1, bytesMax};
    if (arg == "--oversize-bytes")
        return {&f.oversizeBytes, 1, bytesMax};
    if (arg == "--no-end-ms")
        return {&f.noEndMs, 1, msMax};
    if (arg == "--burst-frames")
        return {&f.burstFrames, 2, 8000};
    if (arg == "--vanish-ms")
        return {&f.vanishMs, 0, msMax};
    return {};
}
} // namespace

const char* Options::usage() {
    return "usage: zrv-emu [--link PATH] [--trace] [--raw-e] [--baud N] [--tick-ns X]"
           " [--noise 0|1] [--seed N]\n"
           "               [--ch1 SOURCE] [--ch2 SOURCE] [--logic-pattern BUSES]"
           " [--dut CIRCUIT]\n"
           "               [--fault LIST] [--fault-every N] [--garbage-bytes N]"
           " [--oversize-bytes N]\n"
           "               [--no-end-ms N] [--burst-frames N] [--vanish-ms N] [--stats]"
           " [--frames N]\n"
           "  LIST: comma-separated faults taken in turn, one after every N good frames\n"
           "  (default 10): garbage, truncate, oversize, no-end, burst, vanish\n"
           "  SOURCE: an ideal input instead of the generator (channel 1) or the 500 Hz square\n"
           "  (channel 2): sine|square|triangle:HZ:VOLTS[:OFFSET] or dc:VOLTS\n"
           "  BUSES: uart, spi (D0 CLK, D1 MOSI, D2 CS#), i2c (D3 SCL, D4 SDA) on the logic\n"
           "  inputs instead of the counter; comma-joined or the option given again\n"
           "  CIRCUIT: channel 2 is the generator through lowpass:FC, highpass:FC or\n"
           "  bandpass:F0:Q\n";
}

bool Options::parse(int argc, const char* const* argv, Options& out, std::string& error) {
    Options o;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            inlineValue = true;
        }
        const bool takesValue =
            arg == "--link" || arg == "--baud" || arg == "--tick-ns" || arg == "--noise" ||
            arg == "--seed" || arg == "--fault" || arg == "--frames" || arg == "--ch1" ||
            arg == "--ch2" || arg == "--logic-pattern" || arg == "--dut" ||
            faultSize(o.faults, arg).field != nullptr;
        if (takesValue && !inlineValue) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!takesValue && inlineValue) {
            error = arg + " takes no value";
            return false;
        }

        long long n = 0;
        if (arg == "--link") {
            if (value.empty()) {
                error = "--link needs a path";
                return false;
            }
            o.link = value;
        } else if (arg == "--trace") {
            o.trace = true;
        } else if (arg == "--raw-e") {
            o.rawE = true;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--baud") {
            if (!toInteger(value, 1, 100000000, n)) {
                error = "--baud wants a speed in bit/s, got '" + value + "'";
                return false;
            }
            o.baud = int(n);
        } else if (arg == "--tick-ns") {
            if (!toTick(value, o.tickNs)) {
                error = "--tick-ns wants a positive number of ns, got '" + value + "'";
                return false;
            }
        } else if (arg == "--noise") {
            if (!toInteger(value, 0, 1, n)) {
                error = "--noise wants 0 or 1, got '" + value + "'";
                return false;
            }
            o.noise = n == 1;
        } else if (arg == "--ch1" || arg == "--ch2") {
            std::string why;
            if (!SignalModel::Source::parse(value, arg == "--ch1" ? o.input1 : o.input2, why)) {
                error = arg + ": " + why;
                return false;
            }
        } else if (arg == "--logic-pattern") {
            if (!LogicPattern::parseBuses(value.c_str(), o.logicBuses)) {
                error = "--logic-pattern wants uart, spi or i2c, got '" + value + "'";
                return false;
            }
        } else if (arg == "--dut") {
            std::string why;
            if (!Circuit::parse(value, o.circuit, why)) {
                error = "--dut: " + why;
                return false;
            }
        } else if (arg == "--stats") {
            o.stats = true;
        } else if (arg == "--frames") {
            if (!toInteger(value, 1, 1000000000, n)) {
                error = "--frames wants a count from 1, got '" + value + "'";
                return false;
            }
            o.frames = n;
        } else if (arg == "--fault") {
            if (!FaultConfig::parseKinds(value, o.faults.kinds)) {
                error = "--fault wants faults from garbage, truncate, oversize, no-end, burst,"
                        " vanish, got '" +
                        value + "'";
                return false;
            }
        } else if (const FaultSize size = faultSize(o.faults, arg); size.field) {
            if (!toInteger(value, size.lo, size.hi, n)) {
                error = arg + " wants an integer from " + std::to_string(size.lo) + " to " +
                        std::to_string(size.hi) + ", got '" + value + "'";
                return false;
            }
            *size.field = int(n);
        } else if (arg == "--seed") {
            if (!toUnsigned(value, o.seed)) {
                error = "--seed wants a non-negative integer, got '" + value + "'";
                return false;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    out = o;
    return true;
}

} // namespace emu

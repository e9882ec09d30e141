#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

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
} // namespace

const char* Options::usage() {
    return "usage: zrv-emu [--link PATH] [--trace] [--raw-e] [--baud N] [--tick-ns X]"
           " [--noise 0|1] [--seed N]\n";
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
        const bool takesValue = arg == "--link" || arg == "--baud" || arg == "--tick-ns" ||
                                arg == "--noise" || arg == "--seed";
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

#pragma once

#include "instruments/readout.h"

#include <string>
#include <charconv>
#include <cmath>

// Numbers as text for zrv-cli's lines and recordings: the shortest text that reads back as the
// same double (no stream formatting: a recording writes 100 000 numbers a second).
namespace cli {

inline void appendNumber(std::string& out, double v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    out.append(text, size_t(end - text));
}

inline void appendInteger(std::string& out, long long v) {
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    out.append(text, size_t(end - text));
}

// A readout for JSON: null where the window shows "---" (and for what JSON cannot hold).
inline void appendJson(std::string& out, const Reading& r) {
    if (r && std::isfinite(*r))
        appendNumber(out, *r);
    else
        out += "null";
}

// A readout for CSV: an empty field where the window shows "---".
inline void appendCsv(std::string& out, const Reading& r) {
    if (r && std::isfinite(*r))
        appendNumber(out, *r);
}

} // namespace cli

#pragma once

#include <cstdint>

namespace emu {

// Integer helpers for sample numbers and times that may lie before the clock's origin.
inline int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

inline int64_t floorMod(int64_t a, int64_t b) {
    return a - floorDiv(a, b) * b;
}

inline int64_t ceilDiv(int64_t a, int64_t b) {
    return -floorDiv(-a, b);
}

} // namespace emu

#pragma once

#include <QtGlobal>

// The program's one time line: CLOCK_MONOTONIC in nanoseconds, the clock of the emulator's
// trace and of Qt's "%{time boot}" log field. Frames are stamped with it, and everything that
// depends on elapsed time (Auto forcing, silence) counts on it.
namespace Clock {
qint64 nowNs();
constexpr qint64 ms = 1000000;
constexpr qint64 second = 1000000000;
} // namespace Clock

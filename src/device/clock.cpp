#include "device/clock.h"

#include <ctime>

namespace Clock {

qint64 nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * second + ts.tv_nsec;
}

} // namespace Clock

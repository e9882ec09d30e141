#include "emulatorloop.h"

#include "command.h"
#include "linespeed.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <unistd.h>

namespace emu {

namespace {
int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
} // namespace

EmulatorLoop::EmulatorLoop(PtyLink& link, Device& device, const Options& options)
    : link(link), device(device), options(options), origin(monotonicNs()) {}

int64_t EmulatorLoop::now() const {
    return monotonicNs() - origin;
}

int EmulatorLoop::baud() const {
    if (options.baud > 0)
        return options.baud;
    const int configured = lineSpeed(link.slave());
    return configured > 0 ? configured : Device::fallbackBaud;
}

void EmulatorLoop::readCommands() {
    uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = ::read(link.master(), chunk, sizeof chunk);
        if (n <= 0)
            return;
        device.receive(chunk, size_t(n), now(), [this](const Command& c) {
            if (!options.trace)
                return;
            std::printf("%s\n", commandText(c).c_str());
            std::fflush(stdout);
        });
    }
}

void EmulatorLoop::writePending() {
    while (written < pending.size()) {
        const ssize_t n =
            ::write(link.master(), pending.data() + written, pending.size() - written);
        if (n > 0) {
            written += size_t(n);
            blockedSince = -1;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Full: nobody reads the line. After a while drop what waits, like a real line would.
        const int64_t t = now();
        if (blockedSince < 0)
            blockedSince = t;
        if (t - blockedSince >= unreadLimitNs) {
            link.discardUnread();
            pending.clear();
            written = 0;
            blockedSince = -1;
        }
        return;
    }
    pending.clear();
    written = 0;
}

void EmulatorLoop::run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask) {
    while (!stop) {
        if (pending.empty())
            device.takeFrame(now(), baud(), pending);
        writePending();

        const int64_t t = now();
        int64_t waitNs = -1;
        if (!pending.empty())
            waitNs = unreadLimitNs; // woken by POLLOUT long before, unless nobody reads
        else if (const int64_t wake = device.wakeAt(); wake >= 0)
            waitNs = std::max<int64_t>(0, wake - t);

        pollfd p{link.master(), short(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
        timespec timeout{};
        timeout.tv_sec = time_t(waitNs / 1000000000);
        timeout.tv_nsec = long(waitNs % 1000000000);
        const int ready = ppoll(&p, 1, waitNs >= 0 ? &timeout : nullptr, &waitMask);
        if (ready > 0 && (p.revents & POLLIN))
            readCommands();
    }
}

} // namespace emu

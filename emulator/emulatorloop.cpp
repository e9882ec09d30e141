#include "emulatorloop.h"

#include "command.h"
#include "linespeed.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <string>
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
    : link(link), device(device), options(options), plan(options.faults, options.seed),
      origin(monotonicNs()) {}

int64_t EmulatorLoop::now() const {
    return monotonicNs() - origin;
}

int EmulatorLoop::baud() const {
    if (options.baud > 0)
        return options.baud;
    const int configured = lineSpeed(link.slave());
    return configured > 0 ? configured : Device::fallbackBaud;
}

void EmulatorLoop::trace(const std::string& line) const {
    if (!options.trace)
        return;
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void EmulatorLoop::readCommands() {
    uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = ::read(link.master(), chunk, sizeof chunk);
        if (n <= 0)
            return;
        device.receive(chunk, size_t(n), now(),
                       [this](const Command& c) { trace(commandText(c)); });
    }
}

size_t EmulatorLoop::dueBytes(int64_t t) const {
    if (sendNs <= 0 || t >= sendStart + sendNs)
        return pending.size();
    if (t <= sendStart)
        return 0;
    return size_t(double(pending.size()) * double(t - sendStart) / double(sendNs));
}

void EmulatorLoop::send(int64_t t, int64_t onLineNs) {
    sendStart = t;
    sendNs = onLineNs;
    lineFreeAt = t + onLineNs;
}

void EmulatorLoop::writePending() {
    const size_t due = dueBytes(now());
    while (written < due) {
        const ssize_t n = ::write(link.master(), pending.data() + written, due - written);
        if (n > 0) {
            written += size_t(n);
            counts.bytes += n;
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
            pendingFrames = 0;
            blockedSince = -1;
        }
        return;
    }
    if (written < pending.size())
        return; // the rest is still on the line
    if (options.trace && pendingFrames > 0) {
        // A line per whole frame out, so that a recording can be checked frame by frame.
        uint32_t sum = 0;
        for (size_t i = 1; i + 1 < frame.size(); ++i)
            sum += frame[i];
        for (int k = 1; k <= pendingFrames; ++k)
            trace("frame " + std::to_string(counts.frames + k) + " sum " + std::to_string(sum));
    }
    counts.frames += pendingFrames;
    pendingFrames = 0;
    pending.clear();
    written = 0;
    fallSilentWhenDone();
}

// After --frames good frames the device goes quiet, as at the end of a stream or a single
// capture. The trace names the moment the last byte went out (CLOCK_MONOTONIC, ms) and the
// byte sum of the last frame's body, so a reader's log can be matched against it.
void EmulatorLoop::fallSilentWhenDone() {
    if (silent || options.frames <= 0 || counts.frames < options.frames)
        return;
    silent = true;
    uint32_t sum = 0;
    for (size_t i = 1; i + 1 < frame.size(); ++i)
        sum += frame[i];
    const int64_t ms = monotonicNs() / 1000000;
    trace("silent " + std::to_string(ms / 1000) + "." + std::to_string(1000 + ms % 1000).substr(1) +
          " sum " + std::to_string(sum));
}

// Refills `pending` once the previous bytes are out: a slice of the stream without "e", or
// the next frame as the fault plan shapes it.
void EmulatorLoop::nextBytes(int64_t t) {
    if (silent || !pending.empty() || t < lineFreeAt)
        return;
    if (noEndLeft > 0) {
        const int64_t slice = std::max<int64_t>(1, sliceNs / Device::lineNs(1, baud()));
        const int64_t count = std::min(noEndLeft, slice);
        plan.noEndBytes(size_t(count), pending);
        noEndLeft -= count;
        send(t, Device::lineNs(int(count), baud()));
        return;
    }
    if (!device.takeFrame(t, baud(), frame))
        return;
    const FaultPlan::Step step = plan.shape(frame, baud(), pending);
    pendingFrames = step.wholeFrames;
    vanishAfter = step.vanish;
    noEndLeft = step.noEndBytes;
    // A burst is sent as fast as the reader takes it; anything else holds the line for as long
    // as its bytes take at the line speed.
    const bool burst = step.faulted && step.kind == Fault::Burst;
    send(t, burst ? 0 : Device::lineNs(int(pending.size()), baud()));
    if (burst)
        lineFreeAt = t + Device::lineNs(int(frame.size()), baud());
    if (step.faulted) {
        ++counts.faults;
        trace(std::string("fault ") + FaultConfig::name(step.kind) + " " +
              std::to_string(pending.size()));
    }
}

void EmulatorLoop::vanish(int64_t t) {
    vanishAfter = false;
    link.close();
    ++counts.vanishes;
    backAt = t + int64_t(options.faults.vanishMs) * 1000000;
    trace("vanished");
}

// The device is plugged in again: a new terminal behind the same link, and a device that has
// just powered up.
void EmulatorLoop::comeBack() {
    std::string error;
    if (!link.open(error) || (!options.link.empty() && !link.makeLink(options.link, error))) {
        std::fprintf(stderr, "zrv-emu: %s\n", error.c_str());
        backAt = now() + unreadLimitNs; // try again later
        return;
    }
    backAt = -1;
    lineFreeAt = 0;
    device.reset();
    blockedSince = -1;
    trace("back " + link.slavePath());
}

int64_t EmulatorLoop::waitNs(int64_t t) const {
    if (backAt >= 0)
        return std::max<int64_t>(0, backAt - t);
    if (!pending.empty()) {
        if (blockedSince >= 0)
            return unreadLimitNs; // woken by POLLOUT long before, unless nobody reads
        // The next step of bytes that the line lets out.
        const size_t step = std::max<size_t>(64, size_t(stepNs / Device::lineNs(1, baud())));
        const size_t next = std::min(pending.size(), written + step);
        const int64_t at =
            sendStart + int64_t(double(sendNs) * double(next) / double(pending.size()));
        return std::max<int64_t>(0, at - t);
    }
    if (noEndLeft > 0)
        return std::max<int64_t>(0, lineFreeAt - t);
    if (silent)
        return -1; // only commands can arrive now
    if (const int64_t wake = device.wakeAt(); wake >= 0)
        return std::max<int64_t>(0, std::max(wake, lineFreeAt) - t);
    return -1;
}

void EmulatorLoop::run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask) {
    while (!stop) {
        int64_t t = now();
        if (backAt >= 0 && t >= backAt)
            comeBack();
        if (backAt < 0) {
            nextBytes(t);
            writePending();
            if (vanishAfter && pending.empty())
                vanish(now());
        }

        t = now();
        const int64_t wait = waitNs(t);
        const bool lineUp = backAt < 0;
        // Only a write the terminal refused waits for room; due bytes wait for their step.
        const bool blocked = !pending.empty() && blockedSince >= 0;
        pollfd p{lineUp ? link.master() : -1, short(POLLIN | (blocked ? POLLOUT : 0)), 0};
        timespec timeout{};
        timeout.tv_sec = time_t(wait / 1000000000);
        timeout.tv_nsec = long(wait % 1000000000);
        const int ready = ppoll(&p, 1, wait >= 0 ? &timeout : nullptr, &waitMask);
        if (ready > 0 && (p.revents & POLLIN))
            readCommands();
    }
}

} // namespace emu

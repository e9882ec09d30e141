#pragma once

#include "device.h"
#include "options.h"
#include "ptylink.h"

#include <csignal>
#include <cstdint>
#include <vector>

namespace emu {

// Moves bytes between the pseudo-terminal and the Device until `stop` is set by a signal.
class EmulatorLoop {
public:
    // Frames that nobody reads for this long are dropped, as a real line would lose them.
    static constexpr int64_t unreadLimitNs = 2000000000;

    EmulatorLoop(PtyLink& link, Device& device, const Options& options);

    // `waitMask` is the signal mask to wait with (the stop signals unblocked).
    void run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask);

private:
    int64_t now() const;
    int baud() const;
    void readCommands();
    void writePending();

    PtyLink& link;
    Device& device;
    const Options& options;
    int64_t origin;
    std::vector<uint8_t> pending;
    size_t written = 0;
    int64_t blockedSince = -1;
};

} // namespace emu

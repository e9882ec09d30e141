#pragma once

#include "device.h"
#include "faultplan.h"
#include "options.h"
#include "ptylink.h"

#include <csignal>
#include <cstdint>
#include <vector>

namespace emu {

// What went over the line, for --stats.
struct LineStats {
    int64_t frames = 0; // good frames sent whole
    int64_t faults = 0;
    int64_t vanishes = 0;
    int64_t bytes = 0;
};

// Moves bytes between the pseudo-terminal and the Device until `stop` is set by a signal, and
// damages the stream as the fault options ask.
class EmulatorLoop {
public:
    // Frames that nobody reads for this long are dropped, as a real line would lose them.
    static constexpr int64_t unreadLimitNs = 2000000000;
    // The stream without "e" is made in slices of this length.
    static constexpr int64_t sliceNs = 10000000;
    // Bytes leave at the line speed, written in steps of at least this long (and 64 bytes), as a
    // USB serial adapter hands them on in packets; a frame's last byte arrives when a real line
    // would bring it.
    static constexpr int64_t stepNs = 2000000;

    EmulatorLoop(PtyLink& link, Device& device, const Options& options);

    // `waitMask` is the signal mask to wait with (the stop signals unblocked).
    void run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask);

    const LineStats& stats() const { return counts; }

private:
    int64_t now() const;
    int baud() const;
    void readCommands();
    void writePending();
    // Pending bytes that have left the line by `t`, at its speed.
    size_t dueBytes(int64_t t) const;
    // Queues `bytes` on the line from `t` on, taking `onLineNs` (0: as fast as they are read).
    void send(int64_t t, int64_t onLineNs);
    void fallSilentWhenDone();
    void nextBytes(int64_t t);
    void vanish(int64_t t);
    void comeBack();
    int64_t waitNs(int64_t t) const;
    void trace(const std::string& line) const;

    PtyLink& link;
    Device& device;
    const Options& options;
    FaultPlan plan;
    int64_t origin;
    std::vector<uint8_t> pending;
    std::vector<uint8_t> frame;
    size_t written = 0;
    int64_t sendStart = 0; // the pending bytes went on the line then
    int64_t sendNs = 0;    // and take this long on it
    int64_t blockedSince = -1;
    int pendingFrames = 0;    // good frames in `pending`, counted once written
    bool vanishAfter = false; // drop the line once `pending` is out
    int64_t noEndLeft = 0;    // bytes of the stream without "e" still to send
    int64_t lineFreeAt = 0;   // the last bytes queued have left the line (at its speed)
    int64_t backAt = -1;      // the line is gone until then
    bool silent = false;      // --frames reached: nothing more goes out
    LineStats counts;
};

} // namespace emu

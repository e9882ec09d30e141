#pragma once

#include "decoder.h"
#include "devicestate.h"
#include "logiccapture.h"
#include "signalmodel.h"

#include <cstdint>
#include <vector>

namespace emu {

struct DeviceConfig {
    double tickNs = 62.5; // sample-clock tick
    bool noise = true;
    uint64_t seed = 1;
    bool rawE = false; // keep body bytes 0x65
    SignalModel::Source input1;
    SignalModel::Source input2{SignalModel::Source::TestSquare};
    unsigned logicBuses = 0; // LogicPattern::Bus on the logic inputs
    Circuit circuit; // between the generator and channel 2 (none: input2)
};

// The emulated device without its terminal: bytes in, frames out, on a clock the caller gives
// (ns, any origin). Scope frames stream while a scope mode is on; a frame leaves when its samples
// have been taken and the previous frame has left the line (10 bits per byte at the given
// speed). While one frame is sent the next is captured.
class Device {
public:
    static constexpr int fallbackBaud = 115200;

    explicit Device(const DeviceConfig& config);

    // Back to the state after power-up: no mode, default settings, nothing waiting.
    void reset() { *this = Device(cfg); }

    // Decodes received bytes; every decoded unit also goes to `observer` (the trace).
    void receive(const uint8_t* bytes, size_t count, int64_t nowNs,
                 const Decoder::Sink& observer = nullptr);

    // When the next frame is due; -1 when none is coming (idle, or a capture that waits for a
    // trigger the inputs never give).
    int64_t wakeAt() const;

    // The frame due at nowNs, if any: fills `out` and returns true. `baud` is the line speed
    // that paces the following frame.
    bool takeFrame(int64_t nowNs, int baud, std::vector<uint8_t>& out);

    // Time on the line of `bytes` bytes at `baud` bit/s, rounded up to whole ns.
    static int64_t lineNs(int bytes, int baud);

    const DeviceState& state() const { return st; }
    const LogicCapture& capture() const { return la; }
    double samplePeriodNs() const { return SignalModel::samplePeriodNs(st.timeBase, cfg.tickNs); }
    // Duration of one scope capture in the current mode.
    int64_t captureNs() const;
    // Time the last frame was taken and when its samples began.
    int64_t lastFrameAt() const { return lastSent; }
    int64_t lastCaptureStart() const { return lastStart; }

private:
    void onCommand(const Command& c, int64_t nowNs);
    bool streaming() const { return st.mode == DeviceState::Osc1 || st.mode == DeviceState::Osc2; }
    int64_t scopeDueNs() const;

    DeviceConfig cfg;
    Decoder decoder;
    DeviceState st;
    SignalModel signal;
    LogicCapture la;
    int64_t lineFreeAt;       // the previous frame has left the line
    int64_t captureStart = 0; // the frame being captured began here
    int64_t lastSent;
    int64_t lastStart = 0;
};

} // namespace emu

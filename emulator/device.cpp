#include "device.h"

#include "framebuilder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace emu {

Device::Device(const DeviceConfig& config)
    : cfg(config), signal(config.noise, config.seed),
      lineFreeAt(std::numeric_limits<int64_t>::min()),
      lastSent(std::numeric_limits<int64_t>::min()) {
    signal.setSource(1, config.input1);
    signal.setSource(2, config.input2);
    la.setBuses(config.logicBuses);
    signal.setCircuit(config.circuit);
}

int64_t Device::lineNs(int bytes, int baud) {
    const int64_t rate = baud > 0 ? baud : fallbackBaud;
    return (int64_t(bytes) * 10 * 1000000000 + rate - 1) / rate;
}

int64_t Device::captureNs() const {
    const int perChannel = st.mode == DeviceState::Osc2 ? 512 : 1024;
    return int64_t(std::ceil(perChannel * samplePeriodNs()));
}

void Device::receive(const uint8_t* bytes, size_t count, int64_t nowNs,
                     const Decoder::Sink& observer) {
    decoder.feed(bytes, count, [&](const Command& c) {
        onCommand(c, nowNs);
        if (observer)
            observer(c);
    });
}

void Device::onCommand(const Command& c, int64_t nowNs) {
    // The circuit has seen the old playback until now; the new one plays from this moment.
    if (c.kind == Command::Freq || c.kind == Command::GenTable)
        signal.advanceCircuit(st, nowNs);
    st.apply(c);
    switch (c.kind) {
    case Command::Osc1chStart:
    case Command::Osc2chStart:
    case Command::TimeBase:
    case Command::Gain1:
    case Command::Gain2:
        // Samples taken with the old settings are thrown away; acquisition starts over.
        captureStart = nowNs;
        break;
    case Command::LaStart:
        la.cancel();
        break;
    case Command::LaArm:
        if (st.armed)
            la.arm(nowNs, LogicCapture::periodNs(st.laRate), st.trigger);
        break;
    case Command::LaForceTrig:
        if (st.mode == DeviceState::Logic)
            la.force(nowNs, LogicCapture::periodNs(st.laRate));
        break;
    case Command::LaTimeBase:
    case Command::LaTrig:
        // A capture still waiting for its trigger picks up the new rate or condition from now on.
        if (st.armed && (la.searching() || (la.captured() && la.triggerAtNs() > nowNs)))
            la.arm(nowNs, LogicCapture::periodNs(st.laRate), st.trigger);
        break;
    default:
        break;
    }
    if (st.mode != DeviceState::Logic)
        la.cancel();
}

int64_t Device::scopeDueNs() const {
    return std::max(lineFreeAt, captureStart + captureNs());
}

int64_t Device::wakeAt() const {
    if (streaming())
        return scopeDueNs();
    if (st.mode != DeviceState::Logic)
        return -1;
    // A capture that still searches waits for a condition that never comes: only a command
    // (force, re-arm) can change that.
    if (la.captured())
        return std::max(la.readyAtNs(), lineFreeAt);
    return -1;
}

bool Device::takeFrame(int64_t nowNs, int baud, std::vector<uint8_t>& out) {
    if (streaming()) {
        if (nowNs < scopeDueNs())
            return false;
        int16_t samples[FrameBuilder::scopeSamples];
        // The samples end now; the next capture runs while this frame is on the line.
        lastStart = nowNs - captureNs();
        signal.capture(st, lastStart, samplePeriodNs(), samples);
        out.resize(FrameBuilder::scopeFrameBytes);
        FrameBuilder::scopeFrame(samples, cfg.rawE, out.data());
        captureStart = nowNs;
    } else if (st.mode == DeviceState::Logic) {
        if (!la.captured() || nowNs < std::max(la.readyAtNs(), lineFreeAt))
            return false;
        uint8_t samples[FrameBuilder::logicSamples];
        la.fill(samples);
        lastStart = la.firstSample() * la.samplePeriodNs();
        out.resize(FrameBuilder::logicFrameBytes);
        FrameBuilder::logicFrame(samples, cfg.rawE, out.data());
        la.cancel();
        st.armed = false;
    } else {
        return false;
    }
    lastSent = nowNs;
    lineFreeAt = nowNs + lineNs(int(out.size()), baud);
    return true;
}

} // namespace emu

#include "faultplan.h"

#include "device.h"
#include "framebuilder.h"

#include <algorithm>

namespace emu {

namespace {
struct Named {
    Fault kind;
    const char* name;
};
constexpr Named names[] = {{Fault::Garbage, "garbage"},   {Fault::Truncate, "truncate"},
                           {Fault::Oversize, "oversize"}, {Fault::NoEnd, "no-end"},
                           {Fault::Burst, "burst"},       {Fault::Vanish, "vanish"}};
} // namespace

const char* FaultConfig::name(Fault f) {
    for (const Named& n : names)
        if (n.kind == f)
            return n.name;
    return "?";
}

bool FaultConfig::parseKinds(const std::string& text, std::vector<Fault>& out) {
    std::vector<Fault> kinds;
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        const std::string word =
            text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        const auto it = std::find_if(std::begin(names), std::end(names),
                                     [&](const Named& n) { return word == n.name; });
        if (it == std::end(names))
            return false;
        kinds.push_back(it->kind);
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    out = kinds;
    return true;
}

FaultPlan::FaultPlan(const FaultConfig& config, uint64_t seed)
    : cfg(config), state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}

uint8_t FaultPlan::randomByte() {
    // xorshift64*: plenty for junk bytes, and the same seed gives the same junk.
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return uint8_t((state * 0x2545F4914F6CDD1Dull) >> 56);
}

int FaultPlan::randomBelow(int n) {
    if (n <= 1)
        return 0;
    const unsigned r = unsigned(randomByte()) << 16 | unsigned(randomByte()) << 8 | randomByte();
    return int(r % unsigned(n));
}

uint8_t FaultPlan::bodyByte() {
    for (;;) {
        const uint8_t b = randomByte();
        if (b != FrameBuilder::frameEnd)
            return b;
    }
}

void FaultPlan::noEndBytes(size_t count, std::vector<uint8_t>& out) {
    out.reserve(out.size() + count);
    for (size_t i = 0; i < count; ++i)
        out.push_back(bodyByte());
}

FaultPlan::Step FaultPlan::shape(const std::vector<uint8_t>& frame, int baud,
                                 std::vector<uint8_t>& line) {
    Step step;
    line.clear();
    if (cfg.kinds.empty() || ++goodSinceFault <= cfg.every) {
        line = frame;
        step.wholeFrames = 1;
        return step;
    }
    goodSinceFault = 0;
    step.faulted = true;
    step.kind = cfg.kinds[nextKind];
    nextKind = (nextKind + 1) % cfg.kinds.size();
    ++injected;

    const int size = int(frame.size());
    switch (step.kind) {
    case Fault::Garbage:
        for (int i = 0; i < cfg.garbageBytes; ++i)
            line.push_back(randomByte());
        line.insert(line.end(), frame.begin(), frame.end());
        step.wholeFrames = 1;
        break;
    case Fault::Truncate:
        // "s" and 0 .. size-3 body bytes: never the "e".
        line.assign(frame.begin(), frame.begin() + 1 + randomBelow(size - 2));
        break;
    case Fault::Oversize:
        line.push_back(FrameBuilder::frameStart);
        noEndBytes(size_t(cfg.oversizeBytes), line);
        line.push_back(FrameBuilder::frameEnd);
        break;
    case Fault::NoEnd:
        line = frame;
        line.push_back(FrameBuilder::frameStart);
        step.wholeFrames = 1;
        // 10 bits per byte on the line.
        step.noEndBytes = int64_t(cfg.noEndMs) * (baud > 0 ? baud : Device::fallbackBaud) / 10000;
        break;
    case Fault::Burst:
        for (int i = 0; i < cfg.burstFrames; ++i)
            line.insert(line.end(), frame.begin(), frame.end());
        step.wholeFrames = cfg.burstFrames;
        break;
    case Fault::Vanish:
        // Gone part-way through the body: at least "s" went out, never the "e".
        line.assign(frame.begin(), frame.begin() + 1 + randomBelow(size - 2));
        step.vanish = true;
        break;
    }
    return step;
}

} // namespace emu

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emu {

// Ways a misbehaving device or line can damage the stream, used to prove the receiver copes.
enum class Fault {
    Garbage,  // random bytes in front of a frame
    Truncate, // a frame that stops part-way through its body, without its "e"
    Oversize, // a frame whose body is longer than the receiver's buffer
    NoEnd,    // bytes without any "e" for a long time, paced at the line speed
    Burst,    // several frames at once, far faster than the line speed
    Vanish,   // the device disappears part-way through a frame and comes back later
};

struct FaultConfig {
    std::vector<Fault> kinds; // applied in turn; empty: a healthy device
    int every = 10;           // good frames between two faults
    int garbageBytes = 200;
    int oversizeBytes = 40000; // body bytes; the receiver's buffer holds 32 768
    int noEndMs = 3000;
    int burstFrames = 40;
    int vanishMs = 1000;

    // "garbage,truncate,..." -> kinds. Returns false on an unknown name.
    static bool parseKinds(const std::string& text, std::vector<Fault>& out);
    static const char* name(Fault f);
};

// Decides, frame by frame, what goes on the line instead of the healthy stream. Deterministic
// for a given seed, and free of any terminal or clock, so it is tested directly.
class FaultPlan {
public:
    // What the loop has to do besides sending `line`.
    struct Step {
        bool faulted = false; // this frame carried a fault
        Fault kind = Fault::Garbage;
        int wholeFrames = 0; // good frames that `line` carries complete
        int64_t noEndBytes =
            0;               // then this many bytes without an "e", paced (`line` opened a frame)
        bool vanish = false; // then drop the line for vanishMs
    };

    FaultPlan(const FaultConfig& config, uint64_t seed);

    // `frame` is a good frame ("s", body, "e") that is due now; `line` receives the bytes to
    // write at once.
    Step shape(const std::vector<uint8_t>& frame, int baud, std::vector<uint8_t>& line);

    // Appends `count` random bytes that hold no "e".
    void noEndBytes(size_t count, std::vector<uint8_t>& out);

    const FaultConfig& config() const { return cfg; }
    int64_t faults() const { return injected; }

private:
    uint8_t randomByte();
    // A random byte other than "e".
    uint8_t bodyByte();
    int randomBelow(int n);

    FaultConfig cfg;
    uint64_t state;
    int64_t goodSinceFault = 0;
    size_t nextKind = 0;
    int64_t injected = 0;
};

} // namespace emu

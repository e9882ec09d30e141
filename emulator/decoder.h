#pragma once

#include "command.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace emu {

// Incremental decoder of the PC's command bytes. Bit 0 tells a command letter (odd) from a
// parameter byte (even), so a letter always starts a new command: a command cut short by a
// letter is reported Incomplete and the letter is decoded afresh. Bytes may arrive split at any
// point; nothing is ever fatal.
class Decoder {
public:
    using Sink = std::function<void(const Command&)>;
    static constexpr int uploadBytes = 2 * tablePoints;

    void feed(const uint8_t* bytes, size_t count, const Sink& sink);
    void feed(const char* bytes, size_t count, const Sink& sink) {
        feed(reinterpret_cast<const uint8_t*>(bytes), count, sink);
    }

    // True while a command has started but is not complete.
    bool busy() const { return letter != 0; }

private:
    void onLetter(uint8_t byte, const Sink& sink);
    void onParameter(uint8_t byte, const Sink& sink);
    void start(uint8_t byte, const Sink& sink);
    void complete(const Sink& sink);
    void abandon(const Sink& sink);
    bool acceptParameter(uint8_t byte);

    uint8_t letter = 0; // command in progress, 0 when none
    int needed = 0;     // parameter bytes still to come
    bool closingA = false;
    int got = 0; // bytes taken after the letter
    uint8_t params[8] = {};
    Command pending;
};

} // namespace emu

#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace emu {

// Logic-analyser trigger record as it arrives on the wire: bit n of each byte is channel n.
struct LaTrigger {
    uint8_t edge = 0;     // channel waits for an edge
    uint8_t level = 0;    // channel must be at a level
    uint8_t polarity = 0; // high / rising when set, low / falling when clear
};

constexpr int tablePoints = 512;
using Table = std::array<int16_t, tablePoints>;

// One decoded unit of the PC's byte stream. Ignored and Incomplete are not commands: they report
// bytes the decoder passed over, so a user debugging a link sees them in the trace.
struct Command {
    enum Kind {
        Osc1chStart, // "CA"
        Osc2chStart, // "EA"
        GenStart,    // "G"
        LaStart,     // "I"
        LaArm,       // "O"
        LaForceTrig, // "Q"
        TimeBase,    // "S" D "A", value in `a`
        Gain1,       // "U" D "A"
        Gain2,       // "W" D "A"
        LaTimeBase,  // "Y" D
        Freq,        // "M" + 7 nibbles: divider in `a`, points per period in `b`
        LaTrig,      // "[" + 6 nibbles, record in `trigger`
        GenTable,    // "K" + 1024 bytes, values in `table`
        Ignored,     // a byte that starts nothing: value in `a`
        Incomplete,  // a command cut short or with a bad parameter: its letter in `a`,
                     // the bytes it had after the letter in `b`
    };

    Kind kind = Ignored;
    int a = 0;
    int b = 0;
    LaTrigger trigger;
    Table table{};
};

// The command as one readable line, named like the PC side's method ("setGain1 3").
std::string commandText(const Command& c);

} // namespace emu

#pragma once

#include "faultplan.h"
#include "signalmodel.h"

#include <cstdint>
#include <string>

namespace emu {

// zrv-emu [--link PATH] [--trace] [--raw-e] [--baud N] [--tick-ns X] [--noise 0|1] [--seed N]
//         [--ch1 SOURCE] [--ch2 SOURCE] [--logic-pattern uart|spi|i2c] [--fault LIST] [--fault-every N] [fault sizes]
//         [--stats] [--frames N]
struct Options {
    std::string link;   // symlink to the slave side, removed on exit
    bool trace = false; // one line per decoded command on stdout
    bool rawE = false;  // keep sample bytes 0x65
    int baud = 0;       // pace as if the line ran at this speed; 0: the terminal's own setting
    double tickNs = 62.5;
    bool noise = true;
    uint64_t seed = 1;
    // What the inputs carry: by default the generator's playback and the test square.
    SignalModel::Source input1;
    SignalModel::Source input2{SignalModel::Source::TestSquare};
    unsigned logicBuses = 0; // LogicPattern::Bus replacing the logic test pattern's counter
    Circuit circuit; // --dut: channel 2 is the generator through it
    FaultConfig faults;
    bool stats = false; // counts on stdout at exit
    int64_t frames = 0; // fall silent after this many good frames (0: never)
    bool help = false;

    // Parses the arguments after the program name. On failure returns false with `error` set.
    static bool parse(int argc, const char* const* argv, Options& out, std::string& error);
    static const char* usage();
};

} // namespace emu

#pragma once

#include "command.h"

namespace emu {

// What the device remembers between commands.
struct DeviceState {
    enum Mode { Idle, Osc1, Osc2, Gen, Logic };

    // Before any upload the generator plays a 1 kHz sine of 1 V amplitude: 500 points at a
    // divider of 64 (32 MHz / 64 / 500).
    static constexpr int defaultDivider = 64;
    static constexpr int defaultTabs = 500;
    static constexpr int laDefaultRate = 7; // 20 kSPS, what the rate box shows at start

    DeviceState();

    // Applies a decoded command. Returns true when it changed the mode.
    bool apply(const Command& c);

    Mode mode = Idle;
    int timeBase = 7;
    int gain1 = 0;
    int gain2 = 0;
    Table table{};
    int divider = defaultDivider; // 32 MHz clock cycles per table point, 1..65535
    int tabs = defaultTabs;       // table points per period, 1..512
    bool uploaded = false;
    int laRate = laDefaultRate;
    LaTrigger trigger;
    bool armed = false;
};

} // namespace emu

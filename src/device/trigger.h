#pragma once

#include <cstdint>

// Logic-analyser trigger record: bit n of each byte belongs to channel n.
struct Trigger {
    uint8_t edge = 0;     // channel triggers on an edge
    uint8_t level = 0;    // channel must be at a level
    uint8_t polarity = 0; // high / rising when set, low / falling when clear
};

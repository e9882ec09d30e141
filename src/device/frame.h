#pragma once

#include <QtGlobal>
#include <cstdint>

// One frame as the link received it: its body (the bytes between "s" and "e") and when it
// came. The body belongs to the link and stays valid while the frame is being delivered; a
// receiver copies whatever it keeps.
struct Frame {
    const uint8_t* data = nullptr;
    int length = 0;
    qint64 firstByteNs = 0; // when the read that brought its "s" returned (Clock::nowNs)
    qint64 lastByteNs = 0;  // when the read that brought its "e" returned
    quint64 number = 0;     // 1 for the first frame of a port opening, then counting up
};

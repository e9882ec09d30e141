#pragma once

#include <QtGlobal>

// Speed codes as stored in settings.txt (0..26) and their line speeds in bit/s.
namespace SerialSpeed {
constexpr int fallbackBaud = 115200;
// Line speed of a speed code; codes outside the table give 115 200 bit/s.
qint32 baudForCode(int code);
// True when the code is one of the table's codes.
bool isKnownCode(int code);
} // namespace SerialSpeed

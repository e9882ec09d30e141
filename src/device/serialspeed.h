#pragma once

#include <QtGlobal>

// Speed codes as stored in settings.txt (0..26) and their line speeds in bit/s.
namespace SerialSpeed {
constexpr int fallbackBaud = 115200;
// Line speed of a speed code; codes outside the table give 115 200 bit/s.
qint32 baudForCode(int code);
// True when the code is one of the table's codes.
bool isKnownCode(int code);

// The speeds a user chooses from (the settings page's list, zrv's and zrv-cli's --speed), in
// bit/s as text, and the code each is stored as.
inline constexpr const char* entryNames[] = {"19200",  "38400",   "57600",   "115200",  "230400",
                                             "460800", "921600",  "1152000", "1500000", "2500000"};
inline constexpr int entryCount = int(sizeof entryNames / sizeof entryNames[0]);
// Speed code of entry `index`; -1 for an index outside the list.
int codeForEntry(int index);
} // namespace SerialSpeed

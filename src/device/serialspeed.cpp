#include "device/serialspeed.h"

#include <iterator>

namespace {
// Codes 0..24 follow the classic serial layer's numbering (14 = 19 200 ... 24 = 921 600).
// Codes 25, 26 and 22 carry the three fast rates of the settings page that had no code;
// 22 was a rate (256 000) that no Linux serial driver ever offered, so nothing stored relies
// on it.
constexpr qint32 baudTable[] = {
    50,    75,     110,    134,    150,     200,    300,    600,     1200,
    1800,  2400,   4800,   9600,   14400,   19200,  38400,  56000,   57600,
    76800, 115200, 128000, 230400, 2500000, 460800, 921600, 1152000, 1500000,
};
// Speed code of each entry; the last three are this program's codes for the fast rates.
constexpr int entryCodes[] = {14, 15, 17, 19, 21, 23, 24, 25, 26, 22};
static_assert(std::size(entryCodes) == SerialSpeed::entryCount, "one code per speed entry");
} // namespace

namespace SerialSpeed {

int codeForEntry(int index) {
    return index >= 0 && index < entryCount ? entryCodes[index] : -1;
}

bool isKnownCode(int code) {
    return code >= 0 && code < int(std::size(baudTable));
}

qint32 baudForCode(int code) {
    return isKnownCode(code) ? baudTable[code] : fallbackBaud;
}

} // namespace SerialSpeed

#include "decoder.h"

namespace emu {

namespace {
// Highest code each single-digit command accepts (time bases 0..14, gains 0..6, rates 0..13).
int digitLimit(uint8_t letter) {
    switch (letter) {
    case 'S':
        return 14;
    case 'U':
    case 'W':
        return 6;
    case 'Y':
        return 13;
    default:
        return -1;
    }
}

int digitValue(uint8_t byte) {
    return (int(byte) - 0x30) / 2;
}

int nibbleValue(uint8_t byte) {
    return (int(byte) - 0x30) / 2;
}
} // namespace

void Decoder::feed(const uint8_t* bytes, size_t count, const Sink& sink) {
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] & 1u)
            onLetter(bytes[i], sink);
        else
            onParameter(bytes[i], sink);
    }
}

void Decoder::onLetter(uint8_t byte, const Sink& sink) {
    if (letter != 0 && needed == 0 && closingA && byte == 'A') {
        complete(sink);
        return;
    }
    if (letter != 0)
        abandon(sink);
    start(byte, sink);
}

void Decoder::start(uint8_t byte, const Sink& sink) {
    pending = Command();
    got = 0;
    closingA = false;
    needed = 0;
    switch (byte) {
    case 'G':
        pending.kind = Command::GenStart;
        sink(pending);
        return;
    case 'I':
        pending.kind = Command::LaStart;
        sink(pending);
        return;
    case 'O':
        pending.kind = Command::LaArm;
        sink(pending);
        return;
    case 'Q':
        pending.kind = Command::LaForceTrig;
        sink(pending);
        return;
    case 'C':
    case 'E':
        closingA = true;
        break;
    case 'S':
    case 'U':
    case 'W':
        needed = 1;
        closingA = true;
        break;
    case 'Y':
        needed = 1;
        break;
    case 'M':
        needed = 7;
        break;
    case '[':
        needed = 6;
        break;
    case 'K':
        needed = uploadBytes;
        break;
    default: // "A" on its own, or an odd byte that is no command letter
        pending.kind = Command::Ignored;
        pending.a = byte;
        sink(pending);
        return;
    }
    letter = byte;
}

void Decoder::onParameter(uint8_t byte, const Sink& sink) {
    if (letter == 0) {
        pending = Command();
        pending.kind = Command::Ignored;
        pending.a = byte;
        sink(pending);
        return;
    }
    if (needed == 0 || !acceptParameter(byte)) {
        ++got; // the offending byte goes with the broken command
        abandon(sink);
        return;
    }
    ++got;
    --needed;
    if (needed == 0 && !closingA)
        complete(sink);
}

bool Decoder::acceptParameter(uint8_t byte) {
    if (letter == 'K') {
        // Two bytes per point: low seven bits, then high five bits, each moved up one place.
        if (got % 2 == 1) {
            const int low = params[0] >> 1;
            const int high = (byte >> 1) & 0x1F;
            pending.table[size_t(got / 2)] = int16_t(((high << 7) | low) - 2048);
        } else {
            params[0] = byte;
        }
        return true;
    }
    if (byte < 0x30)
        return false;
    const int limit = digitLimit(letter);
    if (limit >= 0) {
        if (digitValue(byte) > limit)
            return false;
    } else if (byte > 0x4E) {
        return false;
    }
    params[got] = byte;
    return true;
}

void Decoder::complete(const Sink& sink) {
    switch (letter) {
    case 'C':
        pending.kind = Command::Osc1chStart;
        break;
    case 'E':
        pending.kind = Command::Osc2chStart;
        break;
    case 'S':
        pending.kind = Command::TimeBase;
        pending.a = digitValue(params[0]);
        break;
    case 'U':
        pending.kind = Command::Gain1;
        pending.a = digitValue(params[0]);
        break;
    case 'W':
        pending.kind = Command::Gain2;
        pending.a = digitValue(params[0]);
        break;
    case 'Y':
        pending.kind = Command::LaTimeBase;
        pending.a = digitValue(params[0]);
        break;
    case 'M':
        pending.kind = Command::Freq;
        pending.a = 0;
        for (int i = 0; i < 4; ++i)
            pending.a = (pending.a << 4) | nibbleValue(params[i]);
        pending.b = 0;
        for (int i = 4; i < 7; ++i)
            pending.b = (pending.b << 4) | nibbleValue(params[i]);
        break;
    case '[': {
        uint8_t record[3];
        for (int i = 0; i < 3; ++i)
            record[i] = uint8_t((nibbleValue(params[2 * i]) << 4) | nibbleValue(params[2 * i + 1]));
        pending.kind = Command::LaTrig;
        pending.trigger = LaTrigger{record[0], record[1], record[2]};
        break;
    }
    case 'K':
        pending.kind = Command::GenTable;
        break;
    default:
        break;
    }
    letter = 0;
    sink(pending);
}

void Decoder::abandon(const Sink& sink) {
    Command broken;
    broken.kind = Command::Incomplete;
    broken.a = letter;
    broken.b = got;
    letter = 0;
    needed = 0;
    closingA = false;
    sink(broken);
}

} // namespace emu

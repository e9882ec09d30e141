#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// Logic captures in the formats the sigrok tools (PulseView, sigrok-cli) and waveform viewers
// read: the sigrok session file and the value change dump. Eight channels D0..D7, bit n of a
// sample byte is channel n. No window needed.
class LaExport {
public:
    // Sample rate as the sigrok metadata spells it: "4 MHz", "500 kHz", "200 Hz".
    static QString rateText(qint64 hz);
    // A sigrok session (zip: version, metadata, logic-1-1); empty when the archive could not be
    // built.
    static QByteArray sigrokSession(const uint8_t* samples, int count, qint64 sampleRateHz);
    // A value change dump with one-bit wires D0..D7 and a time unit that divides the period.
    static QByteArray vcd(const uint8_t* samples, int count, qint64 periodNs);
};

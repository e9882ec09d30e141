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
    // The dump in parts, for one written capture by capture: the header for a sample period
    // (`step`: time units per sample), and the changes of `count` samples from `firstTime`
    // units on; `previous` is the last value written (-1: none yet) and is updated. A
    // `comment` goes into the header. A section ("$dumpvars", "$dumpoff") at `time` gives every
    // wire's value (-1: unknown, x).
    static QByteArray vcdHeader(qint64 periodNs, qint64* step, const QByteArray& comment = {});
    static void vcdSection(QByteArray& text, const char* keyword, int value, qint64 time);
    static void vcdChanges(QByteArray& text, const uint8_t* samples, int count, qint64 step,
                           qint64 firstTime, int* previous);
    // A table "sample,time_s,D0,...,D7", one row per sample, time 0 at `zeroSample`; each row
    // starts with `prefix` (a recording's frame column) when one is given.
    static QByteArray csvHeader();
    static void csvRows(QByteArray& text, const uint8_t* samples, int count, qint64 periodNs,
                        int zeroSample, const QByteArray& prefix = QByteArray());
};

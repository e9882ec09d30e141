#pragma once

#include <QByteArray>
#include <QString>

// Comma-separated tables of the oscilloscope and spectrum analyser, with a header row naming
// each column and its unit. No window needed.
class Csv {
public:
    // The export dialog's filter for these tables.
    static QString filter() { return QStringLiteral("CSV table (*.csv)"); }
    // The last frame's raw samples (1024 of channel 1, or 512 of channel 1 then 512 of channel 2):
    // time_s, ch1_V[, ch2_V], volts on the scale of the page's readouts. Time 0 is the sample
    // `zeroSample` of each channel (the trigger point), earlier samples negative.
    static QByteArray oscilloscope(const int* samples, bool twoChannel, int timeBase, int gain1,
                                   int gain2, int zeroSample);
    // Volts of `n` raw samples at gain index `gain`, on the scale of the page's readouts.
    static void volts(const int* raw, int n, int gain, double* out);
    // One row per bin: frequency_Hz, level_<unit>[, hold_<unit> when `held` is given], each
    // level with `shiftDb` added (its reference).
    static QByteArray spectrum(const double* levels, const double* held, int bins,
                               double hertzPerBin, double shiftDb = 0.0, const char* unit = "dB");
};

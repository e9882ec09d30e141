#include "instruments/csv.h"

#include "instruments/oscilloscope/oscscale.h"
#include "instruments/oscilloscope/osctrigger.h"

namespace {
QByteArray number(double v) {
    return QByteArray::number(v, 'g', 10);
}

} // namespace

// The gain correction to plot units, then the grid's scale.
void Csv::volts(const int* raw, int n, int g, double* out) {
    int units[OscScale::frameSamples];
    OscTrigger::copySignal(raw, units, n, OscScale::gainFactor(g));
    for (int i = 0; i < n; ++i)
        out[i] = OscScale::volts(g, units[i]);
}

QByteArray Csv::oscilloscope(const int* samples, bool twoChannel, int timeBase, int gain1,
                             int gain2, int zeroSample) {
    const int n = twoChannel ? OscScale::frameSamples / 2 : OscScale::frameSamples;
    double ch1[OscScale::frameSamples];
    double ch2[OscScale::frameSamples / 2];
    volts(samples, n, gain1, ch1);
    if (twoChannel)
        volts(samples + n, n, gain2, ch2);
    QByteArray text = twoChannel ? "time_s,ch1_V,ch2_V\n" : "time_s,ch1_V\n";
    text.reserve(n * 32);
    for (int i = 0; i < n; ++i) {
        text += number(OscScale::sampleTime(timeBase, i - zeroSample)) + ',' + number(ch1[i]);
        if (twoChannel)
            text += ',' + number(ch2[i]);
        text += '\n';
    }
    return text;
}

QByteArray Csv::spectrum(const double* levels, const double* held, int bins, double hertzPerBin,
                         double shiftDb, const char* unit) {
    QByteArray text = QByteArray("frequency_Hz,level_") + unit;
    if (held)
        text += QByteArray(",hold_") + unit;
    text += '\n';
    for (int i = 0; i < bins; ++i) {
        text += number(hertzPerBin * i) + ',' + number(levels[i] + shiftDb);
        if (held)
            text += ',' + number(held[i] + shiftDb);
        text += '\n';
    }
    return text;
}

#pragma once

#include <QString>

// The oscilloscope's automatic measurements over a plot buffer, and the number formatting of
// its readouts.
namespace OscMeasure {

// Rises through the middle threshold, each after the signal went below the low threshold and
// (for the next one) above the high threshold. A period window [first, last) exists when
// count >= 2 and holds count - 1 periods.
struct Crossings {
    int count = 0;
    int first = 0;
    int last = 0;
    bool valid() const { return count >= 2; }
};
Crossings scan(const int* s, int n);

// Results in mV (voltages, on the grid's scale) and Hz; 0 when the signal has no period window.
double rms(const int* s, int n, int g);
double average(const int* s, int n, int g);
double peakToPeak(const int* s, int n, int g);
double frequency(const int* s, int n, int tb);

// "4.000V", "12.34V", "-250.0mV"; "2.560kHz", "50.0Hz".
QString voltageText(double mV);
QString frequencyText(double hz);

// Engineering prefix: "k", none, "m" or "u" (the caller appends the unit). Infinities read
// "∞" / "-∞" and an undefined value "?", with no prefix.
QString value(double x);

} // namespace OscMeasure

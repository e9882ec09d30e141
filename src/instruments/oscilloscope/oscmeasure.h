#pragma once

// The oscilloscope's automatic measurements over a plot buffer.
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

} // namespace OscMeasure

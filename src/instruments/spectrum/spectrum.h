#pragma once

// Numeric helpers of the spectrum analyser: bit reversal, decibels, windows, the distortion
// figures, the windowed radix-2 butterflies, hertz per bin. No widgets, no allocation.

namespace core {

// The low `bits` bits of `value` in reverse order (0 when bits < 1).
int reverse(int value, int bits);

// The index that follows k in bit-reversed counting over `bits` bits, i.e.
// reverse(reverse(k, bits) + 1, bits), wrapping to 0 after the last one (bits 1 .. 31; 0
// otherwise).
int nextReversed(int k, int bits);

// 10 * log10(x): minus infinity for 0, not a number below 0.
double decabel(double x);

// Windows of the transform, in the order of the page's window box.
enum class Window { Hamming, Hann, BlackmanHarris, FlatTop };
constexpr int windows = 4;

// The n-point periodic window (sample i of n; n >= 1) as a sum of cosines, full-precision pi.
// Hamming 0.54 - 0.46 cos; Hann 0.5 - 0.5 cos; Blackman-Harris 4-term 0.35875, 0.48829,
// 0.14128, 0.01168; flat top 5-term 0.21557895, 0.41663158, 0.277263158, 0.083578947,
// 0.006947368 (signs alternating).
void windowTable(Window w, double* out, int n);

// Bins either side of a tone's strongest bin that carry its Blackman-Harris main lobe (4 bins
// half width, one more for a tone between bins), and those of the DC lobe from bin 0.
constexpr int lobeBins = 5;

// Where the strongest line of a power spectrum lies: bin `bin` (DC lobe excluded), the line
// `at` in bins, interpolated by a parabola through the dB levels of its bin and its two
// neighbours. bin -1 when no bin beyond the DC lobe holds power.
struct Peak {
    int bin = -1;
    double at = 0.0;
};
Peak strongest(const double* power, int n);

// Distortion and noise of a Blackman-Harris power spectrum (n bins from DC, natural order) with
// its strongest line as the fundamental: its lobe (lobeBins either side) is the tone, the lobes
// of its harmonics 2 .. 10 whose centre lies below bin n are the distortion (aliased ones are
// not looked for), every other bin beyond the DC lobe is noise, spurs included. The noise in the
// lobes and the DC lobe, which cannot be told from the lines there, is the noise's mean per bin
// (the strongest spur's lobe left out of the mean); it is taken out of the lines and counted in
// the noise. Powers are in bins' units; `known` is false where the fundamental's lobe reaches
// the DC lobe or the last bin.
struct Figures {
    bool known = false;
    Peak peak;
    double tone = 0.0;      // the fundamental's power
    double harmonics = 0.0; // the sum of the harmonics' powers
    double noise = 0.0;     // the noise over all n bins
    double spur = 0.0;      // the strongest other line's lobe, harmonics included
};
Figures figures(const double* power, int n);

// In-place Hamming window and 2^m-point radix-2 butterflies: afterwards (re, im) hold the
// forward transform of the windowed input in bit-reversed order. `table` is a sine table of a
// circle of `tableLen` entries (entry k = sin(2 pi k / tableLen)) with at least
// tableLen / 4 + 2^m entries; its entry k + tableLen / 4 serves as the cosine of entry k.
void windowedButterflies(double* re, double* im, int m, const double* table, int tableLen);
// The same butterflies on input windowed already: im cleared, then the stages.
void butterflies(double* re, double* im, int m, const double* table, int tableLen);

// Hertz between two bins of a `points`-point transform at the oscilloscope time base the span
// sets: the device samples the spectrum through the oscilloscope's sample clock.
double hertzPerBin(int timeBase, int points);

} // namespace core

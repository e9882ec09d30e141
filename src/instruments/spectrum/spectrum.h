#pragma once

// Numeric helpers of the spectrum analyser: bit reversal, decibels, THD+N, the windowed
// radix-2 butterflies, hertz per bin. No widgets, no allocation.

namespace core {

// The low `bits` bits of `value` in reverse order (0 when bits < 1).
int reverse(int value, int bits);

// The index that follows k in bit-reversed counting over `bits` bits, i.e.
// reverse(reverse(k, bits) + 1, bits), wrapping to 0 after the last one (bits 1 .. 31; 0
// otherwise).
int nextReversed(int k, int bits);

// 10 * log10(x): minus infinity for 0, not a number below 0.
double decabel(double x);

// THD+N in percent of a power spectrum in natural bin order: the DC bins 0 and 1 and the six
// bins index-3 .. index+2 around the strongest bin are cleared, the rest of bins 0 .. n-1 is
// the residual, and the result is 100 * 10^((decabel(residual) - totalDb) / 20), the rest's
// amplitude in percent of the whole (a rest 40 dB down reads 1 %). Returns -1 for
// n < 1 or when no bin holds a power. Alters `power`, but never at or beyond index n.
double thdn(double* power, int n, double totalDb);

// In-place Hamming window and 2^m-point radix-2 butterflies: afterwards (re, im) hold the
// forward transform of the windowed input in bit-reversed order. `table` is a sine table of a
// circle of `tableLen` entries (entry k = sin(2 pi k / tableLen)) with at least
// tableLen / 4 + 2^m entries; its entry k + tableLen / 4 serves as the cosine of entry k.
void windowedButterflies(double* re, double* im, int m, const double* table, int tableLen);

// Hertz between two bins of a `points`-point transform at the oscilloscope time base the span
// sets: the device samples the spectrum through the oscilloscope's sample clock.
double hertzPerBin(int timeBase, int points);

} // namespace core

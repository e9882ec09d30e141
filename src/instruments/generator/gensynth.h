#pragma once

#include <cstdint>

// The generator's arithmetic, free of widgets: shapes of the 512-point master table, noise,
// resampling to the played length, expression results, mouse lines, preview buffers and the
// frequency plan of the device's table player.
namespace gen {

constexpr int tableSize = 512;   // points of the master table (one period)
constexpr int previewSize = 768; // columns of the preview: one and a half periods
constexpr int maxValue = 2047;   // 12-bit signed table range
constexpr int minValue = -2048;
constexpr int unityGain = 1250;   // amplitude in mV that leaves the table unscaled
constexpr int clockHz = 32000000; // table player clock before the divider
constexpr int minFreq = 1, maxFreq = 500000;

enum WaveType { Sine = 0, Square, Triangle, WhiteNoise, PinkNoise, Arbitrary, Function };

int clampSample(long long v);
// Duty cycle in percent to the number of high points of a 512-point period.
int dutyPoints(int duty);

void synthSine(int* wave, int dcShift);
void synthSquare(int* wave, int d, int dcShift);
void synthTriangle(int* wave, int d, int dcShift);
// A drawn or loaded table is its own source: every call adds the offset once more.
void shiftArbitrary(int* wave, int dcShift);

// One period of noise at full scale (peak 2047), without offset. The table is played in a loop,
// so the noise is built periodic: every harmonic of the period gets a fixed magnitude (flat for
// white, falling 3 dB per octave for pink) and a random phase; DC and Nyquist stay empty.
void synthNoise(int* shape, bool pink, uint32_t seed);
void applyOffset(const int* shape, int* wave, int dcShift);

// out[j] = wave[j * 512 / tabs] * gain / 1250 for the `tabs` played points, clamped to the
// 12-bit range. tabs outside 1..512 is limited to that range.
void resample(const int* wave, int* out, int tabs, int gain);

// An expression result (expected within -1..1) as a table value; NaN gives 0.
int tableValue(float r);

// Preview columns: the master table over one and a half periods, and the played table stretched
// so that its period lines up with the master table's, both halved to the plot's value range.
void previewMaster(const int* wave, int* plot);
void previewOutput(const int* outTab, int tabs, int x0, int y0, int* plot);

// Table length and clock divider for a requested frequency in Hz; `achieved` is the frequency
// the device really plays, truncated to whole hertz.
struct FreqPlan {
    int tabs;
    int divider;
    int achieved;
};
FreqPlan planFrequency(int f);

} // namespace gen

// Fills `table` along a straight line from (x0, y0) to (x1, y1) with Bresenham's steps; columns
// wrap at 512. The start point is written only where a mostly vertical line stays in its column.
void lineArb(int* table, int n, int x0, int y0, int x1, int y1);

#pragma once

// Scales of the oscilloscope page.
namespace OscScale {

constexpr int frameSamples = 1024; // samples in one 2048-byte frame
constexpr int plotLen = 384;       // samples on screen, two pixel columns each
constexpr int timeBases = 15;
constexpr int gains = 7;

// Sample period in 62.5 ns ticks, by time-base index (time-base 0 and 1 repeat 2 and 3).
constexpr int timeTab[timeBases] = {8,   10,   8,    10,   20,    50,    100,  200,
                                    500, 1000, 2000, 5000, 10000, 20000, 50000};
// Volts per division in units of 5 mV, by gain index.
constexpr int gainTab[gains] = {500, 200, 100, 50, 20, 10, 5};

// The time/div box lists the time-bases from the slowest: entry i is time-base 14 - i, and
// time-base t is entry 14 - t (the spectrum's span box too).
constexpr int timeBaseOfItem(int index) {
    return timeBases - 1 - index;
}

constexpr int clampGain(int g) {
    return g < 0 ? 0 : (g >= gains ? gains - 1 : g);
}
constexpr int clampTimeBase(int tb) {
    return tb < 0 ? 0 : (tb >= timeBases ? timeBases - 1 : tb);
}
constexpr int gainAt(int g) {
    return gainTab[clampGain(g)];
}
constexpr int timeAt(int tb) {
    return timeTab[clampTimeBase(tb)];
}

// The device's sample clock ticks every 62.5 ns.
constexpr double ticksPerSecond = 16000000.0;
constexpr int pixelsPerSample = 2;
constexpr int unitsPerPixel = 4; // plot units are quarter pixels
constexpr int pixelsPerDivision = 64;

// Seconds that `samples` sample periods last at time-base tb (multiplied before the division,
// so whole numbers of ticks come out exact).
constexpr double sampleTime(int tb, double samples) {
    return samples * timeAt(tb) / ticksPerSecond;
}
// Samples per second at time-base tb.
constexpr double sampleRate(int tb) {
    return ticksPerSecond / timeAt(tb);
}
// Volts of `units` plot units at gain index g: a division (256 units) is gainTab[g] x 5 mV, as
// the V/div box names it. Plot units already carry the gain correction below.
constexpr double volts(int g, double units) {
    return units * gainAt(g) / (200.0 * pixelsPerDivision * unitsPerPixel);
}

// Gain correction in percent: a raw sample s becomes s * gainFactor(g) / 100 plot units.
constexpr int gainFactor(int g) {
    return (50000 / gainAt(g)) >> clampGain(g);
}

} // namespace OscScale

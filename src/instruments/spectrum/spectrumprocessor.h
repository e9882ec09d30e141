#pragma once

#include "device/framegate.h"
#include "instruments/readout.h"

#include <cstdint>

// Everything the spectrum analyser's controls set.
struct SpectrumSettings {
    int timeBase = 7;  // sent with setTimeBase: OscScale::timeBaseOfItem(span index)
    int gain = 0;      // the range index, sent with setGain1
    int xPos = 0;      // display offset -128 .. 0: the plot starts at bin -xPos
    bool hold = false; // Max hold
};

// What the spectrum page shows.
struct SpectrumResult {
    static constexpr int plotLen = 512;
    bool hasFrame = false; // a frame was analysed since the start
    int timeBase = 7;      // the span the last frame was taken at
    int specGraph[plotLen] = {}; // plot values of bins -xPos .. -xPos + 511
    int holdGraph[plotLen] = {}; // their max hold
    double levels[plotLen] = {};     // dB of bins 0 .. 511
    double holdLevels[plotLen] = {}; // and their max hold
    Reading power; // dB (daB) of the lower half, minus infinity for a frame of zeros
    Reading thdn;  // percent; none when the spectrum has no line to measure against
};

// The spectrum analyser without a window: Hamming-windowed 1024-point spectrum in dB of
// channel 1's samples, total power, THD+N, max hold.
class SpectrumProcessor {
public:
    static constexpr int points = 1024; // samples per frame and transform length
    static constexpr int order = 10;    // log2(points)
    static constexpr int sinTabLen = 1280;
    static constexpr int plotLen = SpectrumResult::plotLen;

    SpectrumProcessor();

    // A new span, range or offset starts the max hold again (peaks of other settings would
    // stand at the wrong frequencies or levels), and so does turning Max hold on. A new offset
    // maps the last spectrum again.
    void setSettings(const SpectrumSettings& settings);
    const SpectrumSettings& settings() const { return set; }
    // The page started: no spectrum yet.
    void restart();
    // A frame body of 1024 samples; shorter bodies are not the page's. True when analysed.
    bool process(const uint8_t* body, int length);

    const SpectrumResult& result() const { return res; }
    // How long a frame at `timeBase` takes at `bitRate` bit/s, for the frame gate.
    static FrameTiming frameTiming(int timeBase, int bitRate);

    // Window, transform, power and levels in place: afterwards re holds the power of each bin
    // and im its level in dB, both in natural order. Returns the total power of bins
    // 0 .. 2^m/2 - 1 in dB.
    static double fft(double* re, double* im, int m, const double* table, int tableLen);
    // Maps 512 levels from bin -offset on (offset clamped to -128 .. 0) to plot values,
    // 26 units per dB with 0 at 2148/26 dB, never below -1024.
    static void adjustGraph(int* plot, const double* levels, int offset);

private:
    void restartHold();
    void updateHold();

    SpectrumSettings set;
    SpectrumResult res;
    double sinTab[sinTabLen];
    double fftRe[points];
    double fftIm[points];
    int sampleBuf[points];
};

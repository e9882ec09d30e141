#pragma once

#include "device/framegate.h"
#include "instruments/readout.h"
#include "instruments/spectrum/spectrum.h"

#include <cstdint>

// Everything the spectrum analyser's controls set.
struct SpectrumSettings {
    int timeBase = 7;  // sent with setTimeBase: OscScale::timeBaseOfItem(span index)
    int gain = 0;      // the range index, sent with setGain1
    int xPos = 0;      // display offset -128 .. 0: the plot starts at bin -xPos
    bool hold = false; // Max hold
    core::Window window = core::Window::Hamming; // of the spectrum shown
    enum Reference { Dbfs, Dbv };
    Reference reference = Dbfs; // of the peak's level and the levels exported
    enum Averaging { Off, Linear, Exponential };
    Averaging averaging = Off;
    int averages = 8; // 2 .. 64: frames of the linear average, 1/weight of the exponential one
};

// What the spectrum page shows.
struct SpectrumResult {
    static constexpr int plotLen = 512;
    bool hasFrame = false; // a frame was analysed since the start
    int timeBase = 7;      // the span the last frame was taken at
    int gain = 0;          // and its range
    int specGraph[plotLen] = {}; // plot values of bins -xPos .. -xPos + 511
    int holdGraph[plotLen] = {}; // their max hold
    double levels[plotLen] = {};     // dB of bins 0 .. 511
    double holdLevels[plotLen] = {}; // and their max hold
    Reading power; // dB (daB) of the lower half, minus infinity for a frame of zeros
    // The distortion and noise figures (core::figures): none where the fundamental's lobe
    // reaches the DC lobe or the last bin.
    Reading thd;              // percent of the fundamental
    Reading thdn;             // percent: harmonics and noise against the whole signal
    Reading snr, sinad, sfdr; // dB
    Reading enob;             // bits
    // The strongest line above DC: its frequency between bins and its level in the reference
    // (scallop-free: the power of its whole lobe); peakBin is in bins from 0 Hz.
    Reading peakHz, peakLevel, peakBin;
    // Added to `levels`, a level reads in the settings' reference (dBFS or dBV).
    double referenceDb = 0.0;
    int averaged = 0; // frames in the average shown (1 without averaging)
};

// The spectrum analyser without a window: a windowed 1024-point spectrum in dB of channel 1's
// samples, its average, total power, max hold, the strongest line and the distortion and noise
// figures. The figures come from a Blackman-Harris transform of the same frame whatever the
// window shown (one transform more unless it is shown): its sidelobes 92 dB down keep a tone's
// leakage out of the noise. Levels read as a tone's whatever the window: each window's
// spectrum is scaled to the Hamming window's coherent gain.
class SpectrumProcessor {
public:
    static constexpr int points = 1024; // samples per frame and transform length
    static constexpr int order = 10;    // log2(points)
    static constexpr int sinTabLen = 1280;
    static constexpr int plotLen = SpectrumResult::plotLen;

    SpectrumProcessor();

    // A new span, range, window or averaging starts the average again. Those and a new offset
    // start the max hold again (peaks of other settings would stand at the wrong frequencies,
    // levels or floor), and so does turning Max hold on. A new offset maps the last spectrum
    // again. A new reference re-reads the last spectrum at the range it was taken at.
    void setSettings(const SpectrumSettings& settings);
    const SpectrumSettings& settings() const { return set; }
    // The page started: no spectrum yet.
    void restart();
    // The average starts again from the next frame.
    void restartAverage();
    // A frame body of 1024 samples; shorter bodies are not the page's. True when analysed.
    bool process(const uint8_t* body, int length);

    const SpectrumResult& result() const { return res; }
    // How long a frame at `timeBase` takes at `bitRate` bit/s, for the frame gate.
    static FrameTiming frameTiming(int timeBase, int bitRate);

    // Window, transform, power and levels in place: afterwards re holds the power of each bin
    // and im its level in dB, both in natural order. Returns the total power of bins
    // 0 .. 2^m/2 - 1 in dB.
    // Without `window`, the Hamming window of the table; with it, its 2^m samples.
    static double fft(double* re, double* im, int m, const double* table, int tableLen,
                      const double* window = nullptr);
    // dB to add to a level of `levels` for a bin-centred sine whose peaks reach +-32767 to read
    // 0 dBFS, or one of 1 V rms (on the oscilloscope's scale at gain index `gain`) 0 dBV.
    static double referenceDb(SpectrumSettings::Reference reference, int gain);
    static constexpr int maxAverages = 64;
    // Maps 512 levels from bin -offset on (offset clamped to -128 .. 0) to plot values,
    // 26 units per dB with 0 at 2148/26 dB, never below -1024.
    static void adjustGraph(int* plot, const double* levels, int offset);

private:
    void restartHold();
    void updateHold();
    void average();
    void measure();

    SpectrumSettings set;
    SpectrumResult res;
    double sinTab[sinTabLen];
    double fftRe[points];
    double fftIm[points];
    int sampleBuf[points];
    // The window shown (unless Hamming) and the figures' Blackman-Harris window, and its
    // transform's power.
    double shownWindow[points];
    double bhWindow[points];
    double bhRe[points];
    double bhIm[points];
    double bhPower[plotLen];
    double bhSquares = 0.0;  // sum of the Blackman-Harris window's squares
    Reading peakRaw;         // the peak's level in `levels`' dB
    double levelShift = 0.0; // dB from the window shown to the Hamming window's gain
    // Bins mapped to the plot (an offset reaches 128 bins past the levels).
    static constexpr int shownBins = plotLen + 128;
    double shown[shownBins];             // dB shown, averaged
    double ring[maxAverages][shownBins]; // the linear average's last frames' power
    double mean[shownBins];              // the exponential average's power
    int frames = 0;                      // frames in the average, at most `averages`
    int next = 0;                        // the ring's slot for the next frame
};

#pragma once

#include "device/framegate.h"

#include <vector>

class ZRVCom;
struct Frame;

// The frequency response sweep, without a window: the generator steps through log-spaced
// frequencies while the oscilloscope takes both channels, and each point's gain and phase of
// channel 2 against channel 1 come from a sine fitted over whole periods. The page and zrv-cli
// both drive it.
namespace bode {

// One channel's tone at a known frequency, fitted by least squares (offset, cosine, sine) over
// the largest whole number of periods the samples hold.
struct ToneFit {
    bool ok = false;        // at least one whole period and a solvable fit
    double amplitude = 0.0; // peak, in the samples' unit
    double phaseRad = 0.0;  // of amplitude * cos(2 pi k cyclesPerSample + phase)
    double noiseRms = 0.0;  // what the fit leaves
    // Tone (rms) over what the fit leaves, in dB.
    double snrDb() const;
};
ToneFit fitTone(const double* samples, int count, double cyclesPerSample);

// Gain of `out` against `in` in dB and phase in degrees in (-180, 180].
double gainDb(const ToneFit& in, const ToneFit& out);
double phaseDeg(const ToneFit& in, const ToneFit& out);

struct Settings {
    double fromHz = 20;
    double toHz = 20000;
    int points = 30;
    int amplitudeMv = 1250; // at most 1250, the table's unscaled level
};

// Why a point has no value.
enum class Gap {
    None,
    TooFewTablePoints, // the generator plays fewer than 16 points per period there
    TooFast,           // the fastest time base has too few samples per period
    Noise,             // a channel's tone stands less than 20 dB above its noise
    Unsettled          // no two consecutive frames agreed
};
const char* gapText(Gap gap);

struct Point {
    double askedHz = 0.0;
    double freqHz = 0.0; // what the device plays
    bool measured = false;
    double gainDb = 0.0;
    double phaseDeg = 0.0;
    Gap gap = Gap::None;
};

class Sweep {
public:
    static constexpr int minTablePoints = 16;
    static constexpr int minSamplesPerPeriod = 8;
    static constexpr double periodsShown = 3.0;
    static constexpr double minSnrDb = 20.0;
    static constexpr double agreeDb = 0.2;
    static constexpr double agreeDeg = 2.0;
    static constexpr int maxFramesPerPoint = 12;
    static constexpr int samplesPerChannel = 512;

    enum class Step { Ignored, Taken, PointDone, Finished };

    // The asked frequencies: `points` log-spaced from fromHz to toHz, whole hertz.
    static std::vector<double> frequencies(const Settings& settings);
    // Time base showing several whole periods of `hz`, and whether any does (-1: none).
    static int timeBaseFor(double hz);
    // The most sensitive gain whose screen holds a peak of `volts` with room to spare.
    static int gainFor(double volts);

    // Sends the first point; the result starts empty.
    void start(const Settings& settings, ZRVCom& com, qint64 nowNs);
    // A frame from the device (its time `nowNs`); may send the next point.
    Step take(const Frame& frame, ZRVCom& com, qint64 nowNs);
    // Ends the sweep; the points measured so far stay.
    void stop() { running = false; }

    bool isRunning() const { return running; }
    const std::vector<Point>& result() const { return points; }
    int pointsPlanned() const { return int(asked.size()); }
    // The frame time of the current point's settings at `bitRate`.
    FrameTiming timing(int bitRate) const;

private:
    // Sends point `next`, passing over the points that cannot be measured; false at the end.
    bool beginPoint(ZRVCom& com, qint64 nowNs);
    void sendGains(ZRVCom& com, qint64 nowNs);
    void finishPoint(Point p);

    Settings set;
    std::vector<double> asked;
    std::vector<Point> points;
    FrameGate gate;
    bool running = false;
    int bitRate = 0;
    size_t next = 0;
    Point current;
    int timeBase = 0;
    int gain1 = 0, gain2 = 0;
    int frames = 0, noisyFrames = 0;
    bool havePrevious = false;
    double previousGain = 0.0, previousPhase = 0.0;
    double volts[2][samplesPerChannel] = {};
    int raw[2 * samplesPerChannel] = {};
};

} // namespace bode

#pragma once

#include "device/frame.h"

#include <QtGlobal>

// How long a frame of the device takes from the moment its capture starts: the samples, then
// its bytes on the line.
struct FrameTiming {
    qint64 captureNs = 0; // samples x sample period
    qint64 lineNs = 0;    // body and delimiters at 10 bits a byte
    qint64 totalNs() const { return captureNs + lineNs; }

    // `samples` samples of `periodNs` each and a body of `bodyBytes` at `bitRate` bit/s.
    static FrameTiming of(int samples, double periodNs, int bodyBytes, int bitRate);
};

// Tells a page's frames from frames of settings it no longer has. After any command the device
// may still send what it had: one frame on the line, one being captured (a new mode, time base
// or gain restarts the capture). So a frame whose "s" came before the command is old, and so is
// a frame that completes sooner after the command than a frame of the new settings can.
// Also keeps the time of the last frame taken, for the silence rule.
class FrameGate {
public:
    // A device that sends nothing for this long (or twice the frame time) is silent.
    static constexpr qint64 silenceFloorNs = 2000000000;
    // What a frame's last byte may take beyond the line to reach the page (a serial adapter's
    // packets, the event loop): a frame completing sooner after a command than its line time
    // and this is old.
    static constexpr qint64 readLatencyNs = 10000000;

    // The page started at `sentNs` (its start command and settings went out): no frame taken
    // yet. `timing` is that of a frame of the page's settings.
    void start(qint64 sentNs, const FrameTiming& timing);
    // A setting went out at `sentNs`; frames taken before it still count as the page's.
    void changed(qint64 sentNs, const FrameTiming& timing);
    // The page stopped expecting frames (it was left, or the port closed).
    void stop() { running = false; }

    // True when `frame` belongs to the current settings; it then counts as the last frame.
    bool accept(const Frame& frame);

    bool isRunning() const { return running; }
    // A frame has been taken since the page started.
    bool hasFrame() const { return taken > 0; }
    quint64 framesTaken() const { return taken; }
    // No frame since the start, the last setting or the last frame taken, whichever is latest,
    // for max(2 s, twice the frame time).
    bool silent(qint64 nowNs) const;
    // The frame time of the current settings.
    const FrameTiming& timing() const { return frame; }

private:
    bool running = false;
    qint64 sentAt = 0;         // the last start or setting
    qint64 lastTaken = 0;      // the last frame taken (0: none since the start)
    bool takenSinceSent = false;
    quint64 taken = 0;
    FrameTiming frame;
};

#pragma once

#include <QtGlobal>

// The oscilloscope's edge trigger: edge tests on channel 1's raw samples, the search for the
// first edge, and the four modes that decide which window the display shows.
namespace OscTrigger {

enum Mode { FreeRun = 0, Norm = 1, Auto = 2, Single = 3 };
enum Type { FallingLF = 0, RisingLF = 1, FallingHF = 2, RisingHF = 3 };

constexpr int width = 384;     // samples copied into a plot buffer
constexpr int centrePre = 192; // pre-trigger samples at xPos 0
// "Auto" shows a window from the first sample when no edge came for longer than this.
constexpr qint64 autoForceNs = 1500000000;

// Edge tests at index i against the raw level L. LF compares three-sample sums, HF one step
// across a band of +-4 counts. They read b[i-2] .. b[i+3].
bool checkFallingLF(const int* b, int i, int L);
bool checkRisingLF(const int* b, int i, int L);
bool checkFallingHF(const int* b, int i, int L);
bool checkRisingHF(const int* b, int i, int L);

// Index of the first edge of `type` such that `pre` samples before it and width - pre from it
// lie inside b[0, len); -1 when there is none or the parameters leave no room.
int getTrigIndex(const int* b, int len, int width, int pre, int L, int type);

// dst[i] = src[i] * factor / 100 (truncating): raw samples to plot units.
void copySignal(const int* src, int* dst, int n, int factor);
// Adds a vertical position of `offset` pixels (4 plot units each) to a 384-value plot buffer.
void adjustGraph(int* plot, int offset);

// The level in raw counts: level * 4 * 2^gain.
int rawLevel(int level, int gain);

// Capture state kept between frames.
struct State {
    qint64 lastTriggerNs = 0; // when an edge was last found (or free run last showed a window)
    bool triggered = false;   // a window was taken and is held
    bool rearm = false;       // a trigger control changed: release a held "Single" capture
};

// The level box's millivolts per trigger level unit.
constexpr float millivoltsPerLevel = 38.0f;

struct Setup {
    int level = 0; // trigger level in spin units / 38, truncated
    int mode = 0;  // mode + 4 * edge + 8 * band
    int xPos = 0;  // -192 .. 192
    int gain1 = 0;
    int gain2 = 0;
    bool twoChannel = false;
};

// The trigger on one frame taken at `nowNs`: returns 1 when it copied a new window into out1
// (and out2 in two-channel mode), 0 when the display keeps its previous window. `start`, when
// given, receives the frame sample the window begins at.
int run(State& state, const int* samples, int* out1, int* out2, const Setup& setup,
        qint64 nowNs, int* start = nullptr);

// What the page tells the user about the trigger in "Norm" and "Single"; nothing in the
// free-running modes.
enum Shown { NotShown = 0, Waiting, Triggered, Held };
// "Norm" reads "waiting" once no edge came for this long.
constexpr qint64 quietNs = 500000000;
// The state to show after a frame that run() took at `nowNs` and that returned `copied`,
// given the one shown before.
Shown shownState(int mode, const State& state, int copied, Shown previous, qint64 nowNs);

// Row of the level marker in pixels above the centre line; false when it lies off the plot.
bool levelMarker(float trigLevel, int gain1, int yPos1, int* y);
// Column of the position marker in pixels from the plot's left edge.
inline int positionMarker(int xPos) {
    return 2 * xPos + width;
}

} // namespace OscTrigger

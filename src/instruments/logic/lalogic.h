#pragma once

#include "device/buffer.h"
#include "device/trigger.h"

#include <QString>
#include <cstdint>

// Computations of the logic analyser page that need no window: trigger conditions, the display
// series built from a logic frame, and the cursor readouts.
namespace LaLogic {
constexpr int channels = 8;
constexpr int captureBytes = logicFrameBytes; // one byte per sample
constexpr int positions = 2048;               // display positions, two per captured byte
constexpr int maxStart = 1984;                // last first-visible position of the offset bar
constexpr int maxZoom = 24;                   // pixels per sample
constexpr int rates = 14;
constexpr int initialRate = 7; // "20KSPS", what the rate box shows at start
constexpr int noData = -1200;  // trace value below the plot: nothing is drawn there

// Trace levels of channel n in quarter pixels above the centre line; channel 0 is on top and
// each further channel one 64 px division lower.
constexpr int highLevel(int n) {
    return 950 - 256 * n;
}
constexpr int lowLevel(int n) {
    return 840 - 256 * n;
}

// Trigger box entries, in box order.
enum Condition { DontCare = 0, Low, High, Rising, Falling, conditionCount };

// Sample period in ns of a rate index; indices outside 0..13 are clamped.
int samplePeriodNs(int rate);

// Rewrites the bits of `channel` in all three bytes of `t` for a trigger box index; an index
// that is no condition leaves the channel's bits as they are.
void setCondition(Trigger& t, int channel, int index);

// Fills out[n][i] (channel n, drawn point i) from the captured bytes: point i shows position
// start + 4i/zoom, position p shows byte p/2. Returns the byte under the cursor column
// (position start + 2*cursor/zoom), or -1 past the data. zoom below 1 counts as 1.
int fillSeries(const uint8_t* bytes /* captureBytes */, int (*out)[positions], int start, int zoom,
               int cursor);

// Cursor time in microseconds, single precision: the samples from the start of the capture to
// the cursor times the sample period of the rate.
float cursorTime(int xPos, int zoom, int cursorX, int rate);

// The capture's trigger sample (the device sends 64 samples before it) and the plot column it
// stands at, in pixels from the plot's left edge, for the view's first position and zoom.
constexpr int triggerSample = 64;
// The first column that shows it (rounded up: a column shows the position its left edge
// reads); -1 when it lies left of the view.
// The column of a sample's left edge for the view's first position and zoom (the traces'
// mapping: a column shows the position its left edge reads, rounded up); any sample, so the
// result may lie left or right of the plot.
inline int sampleColumn(int sample, int start, int zoom) {
    const int twice = (2 * sample - start) * (zoom < 1 ? 1 : zoom);
    return twice < 0 ? -((-twice) / 2) : (twice + 1) / 2;
}
// The sample the cursor column shows.
inline int cursorSample(int start, int zoom, int cursor) {
    return (start + 2 * cursor / (zoom < 1 ? 1 : zoom)) / 2;
}
inline int triggerColumn(int start, int zoom) {
    const int column = sampleColumn(triggerSample, start, zoom);
    return 2 * triggerSample < start ? -1 : column;
}
// Display positions the plot's 768 columns show at `zoom`: what the offset bar pages by.
inline int visiblePositions(int zoom) {
    const int shown = 2 * 768 / (zoom < 1 ? 1 : zoom);
    return shown < positions ? shown : positions;
}

// A time ruler's mark: `seconds` in the unit that suits marks `stepSeconds` apart (us, ms or s),
// with the decimals that tell neighbouring marks apart: "0us", "800us", "1.6ms", "12.8ms".
QString rulerText(double seconds, double stepSeconds);

QString timeText(float t);
QString valueText(int v);
} // namespace LaLogic

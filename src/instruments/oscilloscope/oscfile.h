#pragma once

#include <QString>

// Oscilloscope waveform text files: one signed decimal integer per line.
namespace OscFile {

constexpr int spanLines = 512;
// Reading gives up after this many bytes, so that a huge file cannot stall the program.
constexpr qint64 maxScanBytes = 1 << 20;

// Writes n values, one per line. Goes through a temporary file, so a failed save leaves an
// existing file as it was. Returns false when nothing was written.
bool saveValues(const QString& path, const int* values, int n);

// The stretch of a plot buffer between the time cursors c1 and c2 (plot pixels) resampled to
// 512 lines: line k holds plot[spanIndex(k, c1, c2)].
void spanBounds(int c1, int c2, int* lo, int* hi);
int spanIndex(int k, int c1, int c2);
bool saveSpan(const QString& path, const int* plot /* 384 */, int c1, int c2);

// Reads up to n integers separated by white space into out. Reading stops at the end of the
// file, at the first text that is not a number, or after maxScanBytes; the remaining entries
// become 0. Numbers are limited to the 16-bit sample range. Returns the count read.
int load(const QString& path, int* out, int n);

} // namespace OscFile

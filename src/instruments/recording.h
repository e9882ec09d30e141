#pragma once

#include "instruments/oscilloscope/oscprocessor.h"

#include <QFile>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

// Every frame of an instrument in one file, written as it arrives: a frame goes out whole in
// one write, past any buffer of the program's, so the file holds every frame written so far
// whenever the program stops. Scope and spectrum as CSV, logic as VCD or CSV (captures one
// after another), or as a sigrok session: an archive, which cannot grow frame by frame, so it
// is written whole at the end and holds nothing when the program dies before.
// Shared by zrv-cli and the pages; no window needed.
class Recording {
public:
    enum class Kind { Scope, Spectrum, Logic };

    // Opens `path` (created or emptied) and writes the header; false when it cannot be
    // written. Logic files are told by their suffix (.vcd, .sr, else CSV); `periodNs` is the logic
    // sample period, `twoChannel` the scope's mode.
    bool open(const QString& path, Kind kind, bool twoChannel = false, qint64 periodNs = 0);
    bool isOpen() const { return file.isOpen(); }
    QString path() const { return file.fileName(); }

    // Rows "frame,time_s,ch1_V[,ch2_V]" of a scope frame's raw samples on the scales they were
    // taken with, time 0 at sample `zero` (the trigger position).
    void scopeFrame(const int* raw, const OscSettings& taken, int zero);
    // Rows "frame,frequency_Hz,level_dB" of a spectrum's levels.
    void spectrumFrame(const double* levels, int bins, double hertzPerBin);
    // A logic capture of `count` bytes.
    void logicCapture(const uint8_t* samples, int count);
    // The device was lost after the frames so far: a comment line (none in a session file).
    void noteGap();
    // Writes what only the end can write (a session file, the dump's last time) and closes.
    void finish();

    quint64 frames() const { return count; }
    qint64 bytes() const { return written; }

private:
    void write();

    QFile file;
    Kind kind = Kind::Scope;
    QString suffix;
    qint64 periodNs = 0;
    qint64 vcdStep = 1;
    int captureLen = 0;
    quint64 count = 0;
    qint64 written = 0;
    std::string text;              // the frame being written; its capacity is kept
    std::vector<uint8_t> captures; // a session file's captures until the end
};

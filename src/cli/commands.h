#pragma once

#include "cli/session.h"
#include "device/trigger.h"
#include "instruments/logic/decode/decode.h"
#include "instruments/bode/bodesweep.h"
#include "instruments/oscilloscope/oscprocessor.h"
#include "instruments/spectrum/spectrumprocessor.h"

#include <QString>

// zrv-cli's commands, their options parsed: each runs on an open session and returns the exit
// status. What they print and write is what the window shows and exports for the same frames.
namespace cli {

enum class Format { Json, Csv };

// How long a command or recording runs: a number of frames, a time, or until it is stopped
// (both zero).
struct Extent {
    int frames = 0;
    double seconds = 0;
};

struct ScopeJob {
    OscSettings settings;
    Extent extent{1, 0};
    Format format = Format::Json;
    QString output; // the samples of every frame as CSV, or (record) the recording
    bool record = false;
};
int runScope(Session& session, const ScopeJob& job);

struct SpectrumJob {
    int timeBase = 7;
    int gain = 0;
    core::Window window = core::Window::Hamming;
    SpectrumSettings::Reference reference = SpectrumSettings::Dbfs;
    SpectrumSettings::Averaging averaging = SpectrumSettings::Off;
    int averages = 8;
    Extent extent{1, 0};
    Format format = Format::Json;
    QString output;
    bool record = false;
};
int runSpectrum(Session& session, const SpectrumJob& job);

struct LogicJob {
    int rate = 7;
    Trigger trigger;
    bool force = false;
    QString output; // .sr, .vcd or .csv; may be left out when decoding
    bool record = false;
    QVector<Decode::Choice> decode; // a JSON line per annotation on standard output
    Extent extent{1, 0};
};
int runLogic(Session& session, const LogicJob& job);

struct GenerateJob {
    int type = 0; // gen::WaveType
    int freq = 1000;
    int amplitude = 1250; // mV
    int offset = 0;       // mV
    int duty = 50;        // %
    int table[512] = {};  // an expression's or a file's table, already made
};
int runGenerate(Session& session, const GenerateJob& job);

struct BodeJob {
    bode::Settings settings;
    QString output; // the points as CSV too
};
int runBode(Session& session, const BodeJob& job);

// The recording's closing line on stderr and the progress while it runs (on a terminal).
struct Progress {
    quint64 written = 0;
    qint64 bytes = 0;
    qint64 lastShownNs = 0;
    void show(const Session& session, qint64 nowNs, bool force = false);
    void summary(const Session& session) const;
};

} // namespace cli

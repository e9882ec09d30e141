#include "cli/commands.h"

#include "cli/numbertext.h"
#include "device/buffer.h"
#include "device/clock.h"
#include "device/frame.h"
#include "device/zrvcom.h"
#include "instruments/csv.h"
#include "instruments/generator/gensynth.h"
#include "instruments/logic/laexport.h"
#include "instruments/logic/logicprocessor.h"
#include "instruments/recording.h"
#include "instruments/textfile.h"
#include "instruments/spectrum/spectrum.h"
#include "instruments/spectrum/spectrumprocessor.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace cli {

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "zrv-cli: %s\n", qPrintable(text));
    std::fflush(stderr);
}

// Standard output, flushed per line: a script reading it sees each frame as it comes.
class Sink {
public:
    void write(const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        bytes += qint64(text.size());
    }
    qint64 bytes = 0;
};

double secondsSince(qint64 fromNs, qint64 ns) {
    return double(ns - fromNs) / 1e9;
}

QString suffixOf(const QString& path) {
    return QFileInfo(path).suffix().toLower();
}

void appendChannel(std::string& out, const char* name, const OscChannel& c) {
    out += ", \"";
    out += name;
    out += "\": {\"rms_V\": ";
    appendJson(out, c.rms);
    out += ", \"avg_V\": ";
    appendJson(out, c.avg);
    out += ", \"vpp_V\": ";
    appendJson(out, c.vpp);
    out += ", \"freq_Hz\": ";
    appendJson(out, c.freq);
    // The Measure list's readouts, after the four of the page's right column.
    const struct {
        const char* name;
        const Reading& value;
    } more[] = {{"period_s", c.period}, {"pwidth_s", c.pwidth}, {"nwidth_s", c.nwidth},
                {"duty_percent", c.duty}, {"min_V", c.min}, {"max_V", c.max},
                {"rise_s", c.rise}, {"fall_s", c.fall}};
    for (const auto& m : more) {
        out += ", \"";
        out += m.name;
        out += "\": ";
        appendJson(out, m.value);
    }
    out += '}';
}

void appendChannelCsv(std::string& out, const OscChannel& c) {
    for (const Reading* r : {&c.rms, &c.avg, &c.vpp, &c.freq}) {
        out += ',';
        appendCsv(out, *r);
    }
}

} // namespace

void Progress::show(const Session& session, qint64 nowNs, bool force) {
    if (!isatty(STDERR_FILENO) || (!force && nowNs - lastShownNs < 1000000000))
        return;
    const double seconds = std::max(1e-9, secondsSince(session.startedNs(), nowNs));
    std::fprintf(stderr, "\rframes %llu, %.1f frames/s, %lld bytes   ", (unsigned long long)written,
                 double(written) / seconds, (long long)bytes);
    std::fflush(stderr);
    lastShownNs = nowNs;
}

void Progress::summary(const Session& session) const {
    if (isatty(STDERR_FILENO))
        std::fputc('\n', stderr);
    std::fprintf(stderr, "zrv-cli: frames received %llu, written %llu, bytes dropped %lld\n",
                 (unsigned long long)session.framesReceived(), (unsigned long long)written,
                 (long long)session.bytesDropped());
    std::fflush(stderr);
}

int runScope(Session& session, const ScopeJob& job) {
    const OscSettings& set = job.settings;
    Sink lines;
    Recording samples;
    const bool toFile = !job.output.isEmpty();
    if (toFile && !samples.open(job.output, Recording::Kind::Scope, set.twoChannel)) {
        say(QStringLiteral("cannot write ") + job.output);
        return Usage;
    }
    std::string text;
    if (!job.record && job.format == Format::Csv) {
        text = "frame,time_s,ch1_rms_V,ch1_avg_V,ch1_vpp_V,ch1_freq_Hz";
        if (set.twoChannel)
            text += ",ch2_rms_V,ch2_avg_V,ch2_vpp_V,ch2_freq_Hz";
        lines.write(text + '\n');
    }

    OscProcessor proc;
    proc.setSettings(set);
    quint64 count = 0;
    Progress progress;
    session.onLost = [&] { samples.noteGap(); };
    session.onBack = [&] { proc.restart(Clock::nowNs()); };
    session.start(
        [&] {
            ZRVCom& com = session.com();
            if (set.twoChannel)
                com.osc2chStart();
            else
                com.osc1chStart();
            com.setTimeBase(set.timeBase);
            com.setGain1(set.gain1);
            com.setGain2(set.gain2);
        },
        OscProcessor::frameTiming(set, session.bitRate()));
    proc.restart(session.startedNs());
    if (job.extent.seconds > 0)
        session.endAt(session.startedNs() + qint64(job.extent.seconds * 1e9));

    const int status = session.run([&](const Frame& frame) {
        if (frame.length < scopeFrameBytes)
            return Take::Ignored;
        proc.process(frame.data, frame.length, frame.lastByteNs);
        // A recording keeps every frame; a measurement is made of triggered windows.
        if (!job.record && !proc.tookWindow())
            return Take::Ignored;
        ++count;
        const double t = secondsSince(session.startedNs(), frame.lastByteNs);
        if (!job.record) {
            const OscResult& r = proc.result();
            text.clear();
            if (job.format == Format::Json) {
                text += "{\"frame\": ";
                appendInteger(text, (long long)count);
                text += ", \"time_s\": ";
                appendNumber(text, t);
                text += set.twoChannel ? ", \"channels\": 2" : ", \"channels\": 1";
                appendChannel(text, "ch1", r.ch1);
                if (set.twoChannel)
                    appendChannel(text, "ch2", r.ch2);
                text += "}\n";
            } else {
                appendInteger(text, (long long)count);
                text += ',';
                appendNumber(text, t);
                appendChannelCsv(text, r.ch1);
                if (set.twoChannel)
                    appendChannelCsv(text, r.ch2);
                text += '\n';
            }
            lines.write(text);
        }
        if (toFile) {
            // Time 0 under the trigger position, as the window's export has it.
            const int zero = proc.result().windowStart + set.xPos + OscTrigger::centrePre;
            samples.scopeFrame(proc.samples(), proc.samplesSettings(), zero);
        }
        progress.written = count;
        progress.bytes = samples.bytes();
        if (job.record)
            progress.show(session, frame.lastByteNs);
        return job.extent.frames > 0 && count >= quint64(job.extent.frames) ? Take::Finished
                                                                            : Take::Taken;
    });
    samples.finish();
    if (job.record)
        progress.summary(session);
    return status;
}

int runSpectrum(Session& session, const SpectrumJob& job) {
    Sink lines;
    Recording table;
    const bool toFile = !job.output.isEmpty();
    if (toFile && !table.open(job.output, Recording::Kind::Spectrum)) {
        say(QStringLiteral("cannot write ") + job.output);
        return Usage;
    }
    // Without a file, --format csv puts the levels on standard output.
    const bool levelsOut = !toFile && job.format == Format::Csv;
    std::string text;
    if (levelsOut)
        lines.write("frame,frequency_Hz,level_dB\n");

    auto proc = std::make_unique<SpectrumProcessor>();
    SpectrumSettings set;
    set.timeBase = job.timeBase;
    set.gain = job.gain;
    set.window = job.window;
    set.reference = job.reference;
    set.averaging = job.averaging;
    set.averages = job.averages;
    proc->setSettings(set);
    const double hertzPerBin = core::hertzPerBin(job.timeBase, SpectrumProcessor::points);
    quint64 count = 0;
    Progress progress;
    session.onLost = [&] { table.noteGap(); };
    session.onBack = [&] { proc->restart(); };
    session.start(
        [&] {
            ZRVCom& com = session.com();
            com.osc1chStart();
            com.setGain1(set.gain);
            com.setTimeBase(set.timeBase);
        },
        SpectrumProcessor::frameTiming(set.timeBase, session.bitRate()));
    proc->restart();
    if (job.extent.seconds > 0)
        session.endAt(session.startedNs() + qint64(job.extent.seconds * 1e9));

    const int status = session.run([&](const Frame& frame) {
        if (!proc->process(frame.data, frame.length))
            return Take::Ignored;
        ++count;
        const SpectrumResult& r = proc->result();
        text.clear();
        if (toFile)
            table.spectrumFrame(r.levels, SpectrumResult::plotLen, hertzPerBin);
        if (levelsOut) {
            for (int bin = 0; bin < SpectrumResult::plotLen; ++bin) {
                appendInteger(text, (long long)count);
                text += ',';
                appendNumber(text, hertzPerBin * bin);
                text += ',';
                appendNumber(text, r.levels[bin]);
                text += '\n';
            }
            lines.write(text);
        }
        if (!job.record && !levelsOut) {
            text = "{\"frame\": ";
            appendInteger(text, (long long)count);
            text += ", \"time_s\": ";
            appendNumber(text, secondsSince(session.startedNs(), frame.lastByteNs));
            text += ", \"power_dB\": ";
            appendJson(text, r.power);
            text += set.reference == SpectrumSettings::Dbv ? ", \"reference\": \"dBV\""
                                                           : ", \"reference\": \"dBFS\"";
            const std::pair<const char*, const Reading*> fields[] = {
                {"thd_percent", &r.thd}, {"thdn_percent", &r.thdn}, {"snr_dB", &r.snr},
                {"sinad_dB", &r.sinad},  {"sfdr_dB", &r.sfdr},      {"enob_bits", &r.enob},
                {"peak_Hz", &r.peakHz},  {"peak_dB", &r.peakLevel},
            };
            for (const auto& [name, value] : fields) {
                text += ", \"";
                text += name;
                text += "\": ";
                appendJson(text, *value);
            }
            text += ", \"averaged\": ";
            appendInteger(text, r.averaged);
            text += "}\n";
            lines.write(text);
        }
        progress.written = count;
        progress.bytes = toFile ? table.bytes() : lines.bytes;
        if (job.record)
            progress.show(session, frame.lastByteNs);
        return job.extent.frames > 0 && count >= quint64(job.extent.frames) ? Take::Finished
                                                                            : Take::Taken;
    });
    table.finish();
    if (job.record)
        progress.summary(session);
    return status;
}

void appendJsonText(std::string& out, const QString& text) {
    out += '"';
    for (const char c : text.toStdString()) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

// The annotations of one capture, a JSON line each, times from the trigger sample. False with
// the decoder's complaint said when decoding failed.
bool printAnnotations(const uint8_t* capture, qint64 periodNs,
                      const QVector<Decode::Choice>& choices) {
    const Decode::Result r =
        Decode::decodeCapture(capture, LaLogic::captureBytes, 1000000000LL / periodNs, choices);
    Sink out;
    std::string line;
    for (const Decode::Annotation& a : r.annotations) {
        line = "{\"start_s\": ";
        appendNumber(line, Decode::secondsOf(a.start, LaLogic::triggerSample, periodNs));
        line += ", \"end_s\": ";
        appendNumber(line, Decode::secondsOf(a.end, LaLogic::triggerSample, periodNs));
        line += ", \"decoder\": ";
        appendJsonText(line, a.decoder);
        line += ", \"row\": ";
        appendJsonText(line, a.row);
        line += ", \"text\": ";
        appendJsonText(line, a.text);
        line += "}\n";
        out.write(line);
    }
    if (!r.error.isEmpty())
        say(QStringLiteral("decoding failed: ") + r.error);
    return r.error.isEmpty();
}

int runLogic(Session& session, const LogicJob& job) {
    const QString suffix = suffixOf(job.output);
    const qint64 periodNs = LaLogic::samplePeriodNs(job.rate);
    // A recording writes capture after capture; one capture is written as the window exports.
    Recording recording;
    QFile single(job.output);
    const bool opened =
        job.record
            ? recording.open(job.output, Recording::Kind::Logic, false, periodNs)
            : job.output.isEmpty() || single.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!opened) {
        say(QStringLiteral("cannot write ") + job.output);
        return Usage;
    }

    LogicProcessor proc;
    LogicSettings set;
    set.rate = job.rate;
    set.trigger = job.trigger;
    proc.setSettings(set);
    Progress progress;
    auto arm = [&] {
        proc.arm();
        session.com().setLAstart();
        if (job.force)
            session.com().setLAforceTrig();
    };
    session.onLost = [&] { recording.noteGap(); };
    session.start(
        [&] {
            ZRVCom& com = session.com();
            com.laStart();
            com.setLAtimebase(set.rate);
            com.setLAtrig(set.trigger);
            arm();
        },
        LogicProcessor::captureTiming(set.rate));
    if (job.extent.seconds > 0)
        session.endAt(session.startedNs() + qint64(job.extent.seconds * 1e9));

    bool captured = false;
    bool decoded = true;
    const int status = session.run([&](const Frame& frame) {
        if (!proc.isAwaiting() || !proc.take(frame.data, frame.length))
            return Take::Ignored;
        const uint8_t* capture = proc.result().capture;
        captured = true;
        if (!job.record) {
            if (!job.decode.isEmpty())
                decoded = printAnnotations(capture, periodNs, job.decode);
            if (job.output.isEmpty())
                return Take::Finished;
            QByteArray bytes;
            if (suffix == QLatin1String("sr")) {
                bytes = LaExport::sigrokSession(capture, LaLogic::captureBytes,
                                                1000000000LL / periodNs);
            } else if (suffix == QLatin1String("vcd")) {
                bytes = LaExport::vcd(capture, LaLogic::captureBytes, periodNs);
            } else {
                bytes = LaExport::csvHeader();
                LaExport::csvRows(bytes, capture, LaLogic::captureBytes, periodNs,
                                  LaLogic::triggerSample);
            }
            single.write(bytes);
            return Take::Finished;
        }
        recording.logicCapture(capture, LaLogic::captureBytes);
        progress.written = recording.frames();
        progress.bytes = recording.bytes();
        if (job.extent.frames > 0 && recording.frames() >= quint64(job.extent.frames))
            return Take::Finished;
        progress.show(session, frame.lastByteNs);
        arm();
        session.settingSent();
        return Take::Taken;
    });
    recording.finish();
    if (job.record)
        progress.summary(session);
    // No capture, no file: an empty one would pass for a capture to the next program.
    if (!job.record && !captured && !job.output.isEmpty())
        single.remove();
    if (status == NoFrame && !captured)
        say(QStringLiteral("no trigger within the timeout (--force takes a capture at once)"));
    return status == Done && !decoded ? Decoding : status;
}

int runBode(Session& session, const BodeJob& job) {
    bode::Sweep sweep;
    Sink lines;
    std::string csv = "freq_Hz,gain_dB,phase_deg\n";
    size_t shown = 0;
    auto showNew = [&] {
        for (; shown < sweep.result().size(); ++shown) {
            const bode::Point& pt = sweep.result()[shown];
            std::string text = "{\"freq_Hz\": ";
            appendJson(text, Reading(pt.freqHz));
            appendCsv(csv, Reading(pt.freqHz));
            // A gap: null in JSON, an empty CSV field.
            const double values[2] = {pt.gainDb, pt.phaseDeg};
            const char* names[2] = {", \"gain_dB\": ", ", \"phase_deg\": "};
            for (int i = 0; i < 2; ++i) {
                text += names[i];
                csv += ',';
                if (pt.measured) {
                    appendJson(text, Reading(values[i]));
                    appendCsv(csv, Reading(values[i]));
                } else {
                    text += "null";
                }
            }
            lines.write(text + "}\n");
            csv += '\n';
        }
    };
    // The session's own gate only keeps frames of before the sweep out; the sweep's gate
    // follows each point's settings.
    session.start([&] { sweep.start(job.settings, session.com(), Clock::nowNs()); },
                  FrameTiming::of(1024, 500, 2048, session.bitRate()));
    showNew();
    int status = Done;
    if (sweep.isRunning())
        status = session.run([&](const Frame& frame) {
            const bode::Sweep::Step step = sweep.take(frame, session.com(), Clock::nowNs());
            showNew();
            if (step == bode::Sweep::Step::Finished)
                return Take::Finished;
            return step == bode::Sweep::Step::Ignored ? Take::Ignored : Take::Taken;
        });
    if (!job.output.isEmpty() && !TextFile::save(job.output, QByteArray::fromStdString(csv))) {
        say(QStringLiteral("cannot write ") + job.output);
        return Usage;
    }
    return status;
}

int runGenerate(Session& session, const GenerateJob& job) {
    int wave[gen::tableSize];
    // The whole table is sent; the points past the played ones are zero, as on the page.
    int out[gen::tableSize] = {};
    const int d = gen::dutyPoints(job.duty);
    switch (job.type) {
    case gen::Sine:
        gen::synthSine(wave, job.offset);
        break;
    case gen::Square:
        gen::synthSquare(wave, d, job.offset);
        break;
    case gen::Triangle:
        gen::synthTriangle(wave, d, job.offset);
        break;
    case gen::WhiteNoise:
    case gen::PinkNoise: {
        int shape[gen::tableSize];
        gen::synthNoise(shape, job.type == gen::PinkNoise, uint32_t(Clock::nowNs()));
        gen::applyOffset(shape, wave, job.offset);
        break;
    }
    case gen::Arbitrary:
        std::copy(job.table, job.table + gen::tableSize, wave);
        gen::shiftArbitrary(wave, job.offset);
        break;
    default: // an expression's table plays as it is
        std::copy(job.table, job.table + gen::tableSize, wave);
        break;
    }
    const gen::FreqPlan plan = gen::planFrequency(job.freq);
    gen::resample(wave, out, plan.tabs, job.amplitude);
    ZRVCom& com = session.com();
    com.genStart();
    com.setFreq(plan.divider, plan.tabs);
    com.sendGenChannel(out);
    if (!com.drainOutput(5000)) {
        say(QStringLiteral("the table did not leave the port"));
        return CannotOpen;
    }
    std::string text = "{\"freq_Hz\": ";
    appendInteger(text, plan.achieved);
    text += ", \"points_per_period\": ";
    appendInteger(text, plan.tabs);
    text += "}\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return Done;
}

} // namespace cli

// zrv-cli: the ZRV's instruments from scripts, with no display: the window's link and
// processors, numbers as JSON or CSV lines, recordings that keep every frame.
#include "cli/commands.h"
#include "cli/session.h"
#include "calc/scriptcalc.h"
#include "device/serialspeed.h"
#include "instruments/generator/genfile.h"
#include "instruments/generator/gensynth.h"
#include "instruments/labels.h"
#include "instruments/logic/lalogic.h"
#include "instruments/oscilloscope/oscscale.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QFileInfo>
#include <cstdio>

using namespace cli;

namespace {

const char* const summary =
    "Commands (each has --help):\n"
    "  scope      measure with the oscilloscope: a JSON or CSV line per frame\n"
    "  spectrum   the spectrum analyser's readouts per frame, or its levels as CSV\n"
    "  logic      one logic capture, written as .sr, .vcd or .csv\n"
    "  generate   play a waveform on the generator\n"
    "  bode       sweep the generator and measure channel 2 against channel 1: a JSON line\n"
    "             per point\n"
    "  record     keep every frame of scope, spectrum or logic in a file\n"
    "Exit status: 0 done, 2 usage, 3 the port cannot be opened, 4 no frame or no trigger\n"
    "within the timeout, 5 the device was lost and did not come back, 6 a protocol decoder\n"
    "failed on the capture.\n";

// Thrown by the option readers: a usage error, said once by main.
struct UsageError {
    QString text;
};

void print(FILE* stream, const QString& text) {
    std::fputs(qPrintable(text), stream);
    std::fflush(stream);
}

QCommandLineOption option(const char* name, const char* text, const char* value = nullptr) {
    return value ? QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(text),
                                      QString::fromLatin1(value))
                 : QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(text));
}

int integer(const QString& text, const char* what, int from, int to) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < from || v > to)
        throw UsageError{QStringLiteral("%1 wants a whole number from %2 to %3, got '%4'")
                             .arg(QLatin1String(what))
                             .arg(from)
                             .arg(to)
                             .arg(text)};
    return v;
}

double seconds(const QString& text, const char* what) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !(v > 0) || v > 1e7)
        throw UsageError{QStringLiteral("%1 wants seconds above 0, got '%2'")
                             .arg(QLatin1String(what), text)};
    return v;
}

template <size_t N> int label(const char* const (&list)[N], const QString& text, const char* what,
                              int count = int(N)) {
    const int i = Labels::find(list, text);
    if (i < 0 || i >= count) {
        QStringList names;
        for (int k = 0; k < count; ++k)
            names << QString::fromLatin1(list[k]);
        throw UsageError{QStringLiteral("%1 '%2' is none of: %3")
                             .arg(QLatin1String(what), text, names.join(QStringLiteral(", ")))};
    }
    return i;
}

// Parses a command's own options; --help prints them and ends the run.
struct CommandParser {
    QCommandLineParser parser;
    QString name;
    CommandParser(const QString& command, const char* about, const char* positional = nullptr)
        : name(command) {
        parser.setApplicationDescription(QString::fromLatin1(about));
        parser.addHelpOption();
        if (positional)
            parser.addPositionalArgument(QStringLiteral("what"), QString::fromLatin1(positional));
    }
    // False when --help was printed.
    bool parse(QStringList args) {
        args.prepend(QStringLiteral("zrv-cli ") + name);
        if (!parser.parse(args))
            throw UsageError{parser.errorText()};
        if (parser.isSet(QStringLiteral("help"))) {
            QString help = parser.helpText();
            help.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                         QStringLiteral("Usage: zrv-cli [GLOBAL OPTIONS] ") + name);
            print(stdout, help);
            return false;
        }
        return true;
    }
};

const QCommandLineOption framesOption = option("frames", "Frames to take (0: until stopped).", "N");
const QCommandLineOption secondsOption = option("seconds", "Record for this long.", "S");
const QCommandLineOption outputOption = option("o", "Write to FILE.", "FILE");
const QCommandLineOption formatOption = option("format", "Lines as json (default) or csv.", "F");

Format formatOf(const QCommandLineParser& p) {
    const QString f = p.value(formatOption);
    if (f.isEmpty() || f == QLatin1String("json"))
        return Format::Json;
    if (f == QLatin1String("csv"))
        return Format::Csv;
    throw UsageError{QStringLiteral("--format wants json or csv, got '") + f + '\''};
}

Extent extentOf(const QCommandLineParser& p, bool record) {
    Extent e;
    e.frames = record ? 0 : 1;
    if (p.isSet(framesOption))
        e.frames = integer(p.value(framesOption), "--frames", 0, 1 << 30);
    if (record && p.isSet(secondsOption)) {
        if (p.isSet(framesOption))
            throw UsageError{QStringLiteral("--seconds and --frames exclude each other")};
        e.seconds = seconds(p.value(secondsOption), "--seconds");
    }
    return e;
}

QString outputOf(const QCommandLineParser& p, bool required, const QStringList& suffixes) {
    const QString path = p.value(outputOption);
    if (path.isEmpty()) {
        if (required)
            throw UsageError{QStringLiteral("-o FILE is needed")};
        return path;
    }
    if (!suffixes.contains(QFileInfo(path).suffix().toLower()))
        throw UsageError{QStringLiteral("-o wants a file ending in .") +
                         suffixes.join(QStringLiteral(", .")) + QStringLiteral(": ") + path};
    return path;
}

// nullopt-like: false when --help was printed.
bool parseScope(const QStringList& args, bool record, ScopeJob& job) {
    CommandParser c(record ? QStringLiteral("record scope") : QStringLiteral("scope"),
                    record ? "Records every oscilloscope frame as CSV rows "
                             "frame,time_s,ch1_V[,ch2_V]."
                           : "Measures with the oscilloscope: one line per triggered frame.");
    c.parser.addOptions(
        {option("channels", "1 (default) or 2.", "N"),
         option("time-div", "Time per division as the box names it: 400us/dz or 400us.", "LABEL"),
         option("volt-div", "Volts per division, channel 1[,channel 2]: 2.5V/dz or 2.5V.",
                "LABEL[,LABEL]"),
         option("trigger", "free (default), norm, auto or single.", "MODE"),
         option("edge", "rise (default) or fall.", "EDGE"),
         option("level", "Trigger level in mV.", "MV"), framesOption, outputOption});
    if (record)
        c.parser.addOption(secondsOption);
    else
        c.parser.addOptions({formatOption,
                             option("average", "Triggered windows averaged: 1 (default), 2, 4 .. 64.",
                                    "N")});
    if (!c.parse(args))
        return false;
    const QCommandLineParser& p = c.parser;
    OscSettings& s = job.settings;
    s.twoChannel = p.isSet(QStringLiteral("channels")) &&
                   integer(p.value(QStringLiteral("channels")), "--channels", 1, 2) == 2;
    if (p.isSet(QStringLiteral("time-div")))
        s.timeBase = OscScale::timeBaseOfItem(
            label(Labels::timeDiv, p.value(QStringLiteral("time-div")), "--time-div",
                  s.twoChannel ? Labels::twoChannelTimeDivs : int(std::size(Labels::timeDiv))));
    else
        s.timeBase = 7;
    if (p.isSet(QStringLiteral("volt-div"))) {
        const QStringList gains = p.value(QStringLiteral("volt-div")).split(QLatin1Char(','));
        if (gains.size() > 2)
            throw UsageError{QStringLiteral("--volt-div takes one or two labels")};
        s.gain1 = label(Labels::voltDiv, gains[0], "--volt-div");
        s.gain2 = gains.size() == 2 ? label(Labels::voltDiv, gains[1], "--volt-div") : s.gain1;
    }
    int mode = 0;
    if (p.isSet(QStringLiteral("trigger"))) {
        const QStringList modes{QStringLiteral("free"), QStringLiteral("norm"),
                                QStringLiteral("auto"), QStringLiteral("single")};
        mode = modes.indexOf(p.value(QStringLiteral("trigger")));
        if (mode < 0)
            throw UsageError{QStringLiteral("--trigger wants free, norm, auto or single")};
    }
    int edge = 1;
    if (p.isSet(QStringLiteral("edge"))) {
        const QString e = p.value(QStringLiteral("edge"));
        if (e != QLatin1String("rise") && e != QLatin1String("fall"))
            throw UsageError{QStringLiteral("--edge wants rise or fall")};
        edge = e == QLatin1String("rise") ? 1 : 0;
    }
    s.trigMode = mode + 4 * edge;
    if (p.isSet(QStringLiteral("level")))
        s.trigLevelMv = integer(p.value(QStringLiteral("level")), "--level", -10000, 10000);
    if (!record && p.isSet(QStringLiteral("average"))) {
        s.average = integer(p.value(QStringLiteral("average")), "--average", 1,
                            OscSettings::maxAverage);
        if (s.average & (s.average - 1))
            throw UsageError{QStringLiteral("--average wants 1, 2, 4, 8, 16, 32 or 64")};
    }
    job.extent = extentOf(p, record);
    if (mode == OscTrigger::Single)
        job.extent.frames = 1;
    job.record = record;
    if (!record)
        job.format = formatOf(p);
    job.output = outputOf(p, record, {QStringLiteral("csv")});
    return true;
}

bool parseSpectrum(const QStringList& args, bool record, SpectrumJob& job) {
    CommandParser c(record ? QStringLiteral("record spectrum") : QStringLiteral("spectrum"),
                    record ? "Records every spectrum as CSV rows frame,frequency_Hz,level_dB."
                           : "The spectrum analyser's readouts, a JSON line per frame; with -o "
                             "or --format csv its levels as CSV rows frame,frequency_Hz,level_dB.");
    c.parser.addOptions(
        {option("span", "Frequency per division: 2.5kHz/dz or 2.5kHz.", "LABEL"),
         option("range", "Input range as the box names it: 500mV.", "LABEL"),
         option("window", "hamming (default), hann, blackman-harris or flat-top.", "NAME"),
         option("reference", "Peak level in dBFS (default) or dBV.", "REF"),
         option("average", "Power average of the last N frames, 2 .. 64.", "N"),
         option("average-exp", "Exponential power average, weight 1/N.", "N"), framesOption,
         outputOption});
    if (record)
        c.parser.addOption(secondsOption);
    else
        c.parser.addOption(formatOption);
    if (!c.parse(args))
        return false;
    const QCommandLineParser& p = c.parser;
    job.timeBase = OscScale::timeBaseOfItem(
        p.isSet(QStringLiteral("span"))
            ? label(Labels::span, p.value(QStringLiteral("span")), "--span")
            : 7);
    if (p.isSet(QStringLiteral("range")))
        job.gain = label(Labels::range, p.value(QStringLiteral("range")), "--range");
    if (p.isSet(QStringLiteral("window"))) {
        const QStringList names{QStringLiteral("hamming"), QStringLiteral("hann"),
                                QStringLiteral("blackman-harris"), QStringLiteral("flat-top")};
        const int w = names.indexOf(p.value(QStringLiteral("window")));
        if (w < 0)
            throw UsageError{QStringLiteral("--window wants hamming, hann, blackman-harris or "
                                            "flat-top")};
        job.window = core::Window(w);
    }
    if (p.isSet(QStringLiteral("reference"))) {
        const QString r = p.value(QStringLiteral("reference"));
        if (r != QLatin1String("dBFS") && r != QLatin1String("dBV"))
            throw UsageError{QStringLiteral("--reference wants dBFS or dBV")};
        job.reference = r == QLatin1String("dBV") ? SpectrumSettings::Dbv : SpectrumSettings::Dbfs;
    }
    const bool linear = p.isSet(QStringLiteral("average")),
               exponential = p.isSet(QStringLiteral("average-exp"));
    if (linear && exponential)
        throw UsageError{QStringLiteral("--average and --average-exp exclude each other")};
    if (linear || exponential) {
        job.averaging = linear ? SpectrumSettings::Linear : SpectrumSettings::Exponential;
        job.averages =
            integer(p.value(linear ? QStringLiteral("average") : QStringLiteral("average-exp")),
                    linear ? "--average" : "--average-exp", 2, SpectrumProcessor::maxAverages);
    }
    job.extent = extentOf(p, record);
    job.record = record;
    if (!record)
        job.format = formatOf(p);
    job.output = outputOf(p, record, {QStringLiteral("csv")});
    return true;
}

Trigger triggerOf(const QString& text) {
    Trigger t;
    if (text.isEmpty())
        return t;
    const QStringList conditions{QStringLiteral("any"), QStringLiteral("low"),
                                 QStringLiteral("high"), QStringLiteral("rise"),
                                 QStringLiteral("fall")};
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QStringList kv = part.split(QLatin1Char('='));
        const int channel = kv.size() == 2 && kv[0].size() == 2 && kv[0][0] == QLatin1Char('D')
                                ? kv[0][1].digitValue()
                                : -1;
        const int condition = kv.size() == 2 ? conditions.indexOf(kv[1]) : -1;
        if (channel < 0 || channel >= LaLogic::channels || condition < 0)
            throw UsageError{QStringLiteral("--trigger wants Dn=rise|fall|high|low|any, n 0..7, "
                                            "joined by commas; got '") +
                             part + '\''};
        LaLogic::setCondition(t, channel, condition);
    }
    return t;
}

bool parseLogic(const QStringList& args, bool record, LogicJob& job) {
    CommandParser c(record ? QStringLiteral("record logic") : QStringLiteral("logic"),
                    record ? "Records every logic capture, one after another, as .vcd or .csv "
                             "(.sr is written whole when the recording ends)."
                           : "Takes one logic capture and writes it as .sr, .vcd or .csv by the "
                             "file's suffix.");
    c.parser.addOptions(
        {option("rate", "Sample rate as the box names it: 20KSPS (default).", "LABEL"),
         option("trigger", "Conditions, e.g. D0=rise,D6=fall,D3=high,D4=low.", "LIST"),
         option("force", "Take the capture at once, without waiting for the trigger."),
         outputOption});
    if (!record)
        c.parser.addOption(option(
            "decode",
            "Decode the capture with sigrok's protocol decoders, in sigrok-cli's -P form "
            "(e.g. uart:rx=D6:baudrate=2500, several joined by ','); prints one JSON line per "
            "annotation {\"start_s\", \"end_s\" (from the trigger sample), \"decoder\", "
            "\"row\" (the decoder's row id), \"text\"}. -o is then optional.",
            "LIST"));
    if (record)
        c.parser.addOptions({framesOption, secondsOption});
    if (!c.parse(args))
        return false;
    const QCommandLineParser& p = c.parser;
    if (p.isSet(QStringLiteral("rate")))
        job.rate = label(Labels::rate, p.value(QStringLiteral("rate")), "--rate");
    job.trigger = triggerOf(p.value(QStringLiteral("trigger")));
    job.force = p.isSet(QStringLiteral("force"));
    job.record = record;
    if (record)
        job.extent = extentOf(p, record);
    if (!record && p.isSet(QStringLiteral("decode"))) {
        QString error;
        if (!Decode::parse(p.value(QStringLiteral("decode")), &job.decode, &error))
            throw UsageError{QStringLiteral("--decode: ") + error};
    }
    job.output = outputOf(p, job.decode.isEmpty(),
                          {QStringLiteral("sr"), QStringLiteral("vcd"), QStringLiteral("csv")});
    return true;
}

// An expression as the generator page computes it: wt over one period, x from 0 to 1.
void expressionTable(const QString& text, int* table) {
    Scriptcalc calc;
    char infix[Scriptcalc::infixSize] = {};
    float values[Scriptcalc::valueCount] = {};
    if (text.trimmed().isEmpty() || !calc.syntaxCheck(text) ||
        !Scriptcalc::translate(text, infix, values))
        throw UsageError{QStringLiteral("the expression cannot be read: ") + text};
    unsigned char rpn[Scriptcalc::rpnSize] = {};
    calc.infixToRPN(reinterpret_cast<const unsigned char*>(infix), rpn);
    for (int i = 0; i < gen::tableSize; ++i) {
        values[Scriptcalc::wtEntry] = float(6.28318 * i * (1.0 / gen::tableSize));
        values[Scriptcalc::xEntry] = float(i * (1.0 / gen::tableSize));
        table[i] = gen::tableValue(calc.calculateRPN(rpn, values));
    }
}

bool parseGenerate(const QStringList& args, GenerateJob& job) {
    CommandParser c(QStringLiteral("generate"),
                    "Plays a waveform on the generator and prints the frequency the device "
                    "plays.",
                    "sine, square, triangle, white or pink (or --expression, --file)");
    c.parser.addOptions(
        {option("freq", "Frequency in Hz, 1 .. 500000 (default 1000).", "HZ"),
         option("amplitude", "Amplitude in mV, 0 .. 3000 (1250 plays the table as it is).", "MV"),
         option("offset", "DC offset in mV, -1200 .. 1200.", "MV"),
         option("duty", "Duty cycle of square and triangle in %, 1 .. 99.", "PCT"),
         option("expression", "A function of wt (one period) or x (0 .. 1), as typed on the "
                              "generator page.",
                "TEXT"),
         option("file", "A table file of 512 values, as the generator page saves it.", "FILE")});
    if (!c.parse(args))
        return false;
    const QCommandLineParser& p = c.parser;
    const QStringList shapes{QStringLiteral("sine"), QStringLiteral("square"),
                             QStringLiteral("triangle"), QStringLiteral("white"),
                             QStringLiteral("pink")};
    const bool expression = p.isSet(QStringLiteral("expression"));
    const bool file = p.isSet(QStringLiteral("file"));
    const int sources = int(expression) + int(file) + int(!p.positionalArguments().isEmpty());
    if (sources != 1 || p.positionalArguments().size() > 1)
        throw UsageError{QStringLiteral("generate wants one of: a shape (") +
                         shapes.join(QStringLiteral(", ")) +
                         QStringLiteral("), --expression TEXT, --file FILE")};
    if (expression) {
        job.type = gen::Function;
        expressionTable(p.value(QStringLiteral("expression")), job.table);
    } else if (file) {
        job.type = gen::Arbitrary;
        const QString path = p.value(QStringLiteral("file"));
        if (core::readGenFile(path, job.table) != core::GenRead::Ok)
            throw UsageError{QStringLiteral("Not a waveform file: ") + path};
    } else {
        job.type = shapes.indexOf(p.positionalArguments().first());
        if (job.type < 0)
            throw UsageError{QStringLiteral("no shape ") + p.positionalArguments().first()};
    }
    if (p.isSet(QStringLiteral("freq")))
        job.freq = integer(p.value(QStringLiteral("freq")), "--freq", gen::minFreq, gen::maxFreq);
    if (p.isSet(QStringLiteral("amplitude")))
        job.amplitude = integer(p.value(QStringLiteral("amplitude")), "--amplitude", 0, 3000);
    if (p.isSet(QStringLiteral("offset")))
        job.offset = integer(p.value(QStringLiteral("offset")), "--offset", -1200, 1200);
    if (p.isSet(QStringLiteral("duty")))
        job.duty = integer(p.value(QStringLiteral("duty")), "--duty", 1, 99);
    return true;
}

bool parseBode(const QStringList& args, BodeJob& job) {
    CommandParser c(QStringLiteral("bode"),
                    "Sweeps the generator (wired to the circuit's input and channel 1; its output "
                    "on channel 2) over log-spaced frequencies and prints one JSON line per point: "
                    "{\"freq_Hz\": F, \"gain_dB\": G, \"phase_deg\": P}, F the frequency the "
                    "device plays, null for a point it cannot measure. Exit 0 when the sweep ran "
                    "to its end.");
    c.parser.addOptions(
        {option("from", "First frequency in Hz, 1 .. 500000.", "HZ"),
         option("to", "Last frequency in Hz, 1 .. 500000.", "HZ"),
         option("points", "Number of points, 1 .. 1000.", "N"),
         option("amplitude", "Generator amplitude in mV, 1 .. 1250 (default 1250).", "MV"),
         option("o", "Also write the points as CSV freq_Hz,gain_dB,phase_deg.", "FILE.csv")});
    if (!c.parse(args))
        return false;
    const QCommandLineParser& p = c.parser;
    for (const char* needed : {"from", "to", "points"})
        if (!p.isSet(QString::fromLatin1(needed)))
            throw UsageError{QStringLiteral("bode wants --from, --to and --points")};
    job.settings.fromHz =
        integer(p.value(QStringLiteral("from")), "--from", gen::minFreq, gen::maxFreq);
    job.settings.toHz = integer(p.value(QStringLiteral("to")), "--to", gen::minFreq, gen::maxFreq);
    job.settings.points = integer(p.value(QStringLiteral("points")), "--points", 1, 1000);
    if (p.isSet(QStringLiteral("amplitude")))
        job.settings.amplitudeMv =
            integer(p.value(QStringLiteral("amplitude")), "--amplitude", 1, gen::unityGain);
    job.output = p.value(QStringLiteral("o"));
    return true;
}

// The global options stand before the command; those with a value take the next word.
int commandIndex(const QStringList& args) {
    const QStringList withValue{QStringLiteral("--port"), QStringLiteral("--speed"),
                                QStringLiteral("--timeout"),
                                QStringLiteral("--reconnect-timeout")};
    int i = 1;
    while (i < args.size() && args[i].startsWith(QLatin1Char('-')))
        i += withValue.contains(args[i]) ? 2 : 1;
    return i;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zrv-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZRV_VERSION));
    const QStringList args = QCoreApplication::arguments();
    const int at = commandIndex(args);

    QCommandLineParser global;
    global.setApplicationDescription(
        QStringLiteral("The ZRV's instruments without a window, for scripts: measure, capture, "
                       "generate and record. Without --port and --speed, those of zrv's "
                       "settings.txt.\n\n") +
        QString::fromLatin1(summary));
    global.addHelpOption();
    global.addVersionOption();
    global.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("scope, spectrum, logic, generate, bode or record"),
                                 QStringLiteral("COMMAND [OPTIONS]"));
    const QCommandLineOption portOption = option("port", "Serial port, e.g. /dev/ttyUSB0.", "PATH");
    const QCommandLineOption speedOption =
        option("speed", "Line speed in bit/s, as zrv's settings page lists them.", "BITS");
    const QCommandLineOption emulatorOption =
        option("emulator", "Start zrv-emu on a pseudo-terminal and use it.");
    const QCommandLineOption timeoutOption = option(
        "timeout", "Seconds to wait for a frame or a trigger (default: 5, or three frame times "
                   "when longer).",
        "S");
    const QCommandLineOption reconnectOption =
        option("reconnect-timeout", "Seconds to wait for a lost device to come back (30).", "S");
    global.addOptions({portOption, speedOption, emulatorOption, timeoutOption, reconnectOption});

    Session::Options opts;
    QString command;
    QStringList rest;
    ScopeJob scope;
    SpectrumJob spectrum;
    LogicJob logic;
    auto generate = std::make_unique<GenerateJob>();
    BodeJob bode;
    try {
        if (!global.parse(args.mid(0, at)))
            throw UsageError{global.errorText()};
        if (global.isSet(QStringLiteral("help"))) {
            QString help = global.helpText();
            help.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                         QStringLiteral("Usage: zrv-cli"));
            print(stdout, help);
            return Done;
        }
        if (global.isSet(QStringLiteral("version"))) {
            print(stdout, QStringLiteral("zrv-cli ") + QStringLiteral(ZRV_VERSION) + '\n');
            return Done;
        }
        if (at >= args.size())
            throw UsageError{QStringLiteral("no command given")};
        opts.port = global.value(portOption);
        opts.emulator = global.isSet(emulatorOption);
        if (global.isSet(speedOption)) {
            int entry = -1;
            for (int i = 0; i < SerialSpeed::entryCount; ++i)
                if (global.value(speedOption) == QLatin1String(SerialSpeed::entryNames[i]))
                    entry = i;
            if (entry < 0)
                throw UsageError{QStringLiteral("--speed ") + global.value(speedOption) +
                                 QStringLiteral(" is not a speed of the list")};
            opts.speedCode = SerialSpeed::codeForEntry(entry);
        }
        if (global.isSet(timeoutOption))
            opts.timeoutS = seconds(global.value(timeoutOption), "--timeout");
        if (global.isSet(reconnectOption))
            opts.reconnectS = seconds(global.value(reconnectOption), "--reconnect-timeout");

        command = args[at];
        rest = args.mid(at + 1);
        const bool record = command == QLatin1String("record");
        if (record) {
            if (rest.isEmpty() || rest[0].startsWith(QLatin1Char('-'))) {
                if (rest.contains(QStringLiteral("--help")) || rest.contains(QStringLiteral("-h"))) {
                    print(stdout, QStringLiteral("Usage: zrv-cli [GLOBAL OPTIONS] record "
                                                 "scope|spectrum|logic [OPTIONS] -o FILE\n"
                                                 "Each has --help: zrv-cli record scope --help\n"));
                    return Done;
                }
                throw UsageError{QStringLiteral("record wants scope, spectrum or logic")};
            }
            command = rest.takeFirst();
        }
        bool go = false;
        if (command == QLatin1String("scope"))
            go = parseScope(rest, record, scope);
        else if (command == QLatin1String("spectrum"))
            go = parseSpectrum(rest, record, spectrum);
        else if (command == QLatin1String("logic"))
            go = parseLogic(rest, record, logic);
        else if (command == QLatin1String("generate") && !record)
            go = parseGenerate(rest, *generate);
        else if (command == QLatin1String("bode") && !record)
            go = parseBode(rest, bode);
        else
            throw UsageError{QStringLiteral("no command '") + command + '\''};
        if (!go)
            return Done;
    } catch (const UsageError& e) {
        print(stderr, QStringLiteral("zrv-cli: ") + e.text + QStringLiteral("\nTry 'zrv-cli --help'.\n"));
        return Usage;
    }

    Session::catchStopSignals();
    Session session(opts);
    if (const int opened = session.open(); opened != Done)
        return opened;
    if (command == QLatin1String("scope"))
        return runScope(session, scope);
    if (command == QLatin1String("spectrum"))
        return runSpectrum(session, spectrum);
    if (command == QLatin1String("logic"))
        return runLogic(session, logic);
    if (command == QLatin1String("bode"))
        return runBode(session, bode);
    return runGenerate(session, *generate);
}

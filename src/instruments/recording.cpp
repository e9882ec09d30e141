#include "instruments/recording.h"

#include "instruments/csv.h"
#include "instruments/logic/laexport.h"
#include "instruments/logic/lalogic.h"

#include <QFileInfo>
#include <charconv>

namespace {
// The shortest text that reads back as the same double: no stream formatting, as a recording
// writes 100 000 numbers a second.
void appendNumber(std::string& out, double v) {
    char buf[32];
    out.append(buf, size_t(std::to_chars(buf, buf + sizeof buf, v).ptr - buf));
}
void appendInteger(std::string& out, unsigned long long v) {
    char buf[24];
    out.append(buf, size_t(std::to_chars(buf, buf + sizeof buf, v).ptr - buf));
}
void appendBytes(std::string& out, const QByteArray& bytes) {
    out.append(bytes.constData(), size_t(bytes.size()));
}
} // namespace

bool Recording::open(const QString& path, Kind k, bool twoChannel, qint64 period) {
    kind = k;
    periodNs = period;
    suffix = QFileInfo(path).suffix().toLower();
    count = 0;
    written = 0;
    captures.clear();
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    text.reserve(OscScale::frameSamples * 48);
    text.clear();
    switch (kind) {
    case Kind::Scope:
        text = twoChannel ? "frame,time_s,ch1_V,ch2_V\n" : "frame,time_s,ch1_V\n";
        break;
    case Kind::Spectrum:
        text = "frame,frequency_Hz,level_dB\n";
        break;
    case Kind::Logic:
        if (suffix == QLatin1String("vcd"))
            appendBytes(text, LaExport::vcdHeader(
                                  periodNs, &vcdStep,
                                  "captures of " + QByteArray::number(LaLogic::captureBytes) +
                                      " samples one after another, each from its own trigger "
                                      "and begun by $dumpvars; $dumpoff where the device was "
                                      "lost"));
        else if (suffix != QLatin1String("sr"))
            appendBytes(text, "frame," + LaExport::csvHeader());
        break;
    }
    write();
    return true;
}

void Recording::write() {
    if (file.isOpen() && !text.empty())
        written += file.write(text.data(), qint64(text.size()));
    text.clear();
}

void Recording::scopeFrame(const int* raw, const OscSettings& taken, int zero) {
    ++count;
    const int n = taken.twoChannel ? OscScale::frameSamples / 2 : OscScale::frameSamples;
    double ch1[OscScale::frameSamples];
    double ch2[OscScale::frameSamples / 2];
    Csv::volts(raw, n, taken.gain1, ch1);
    if (taken.twoChannel)
        Csv::volts(raw + n, n, taken.gain2, ch2);
    char prefix[24];
    const size_t prefixLen = size_t(std::to_chars(prefix, prefix + 23, count).ptr - prefix);
    prefix[prefixLen] = ',';
    for (int i = 0; i < n; ++i) {
        text.append(prefix, prefixLen + 1);
        appendNumber(text, OscScale::sampleTime(taken.timeBase, i - zero));
        text += ',';
        appendNumber(text, ch1[i]);
        if (taken.twoChannel) {
            text += ',';
            appendNumber(text, ch2[i]);
        }
        text += '\n';
    }
    write();
}

void Recording::spectrumFrame(const double* levels, int bins, double hertzPerBin) {
    ++count;
    for (int bin = 0; bin < bins; ++bin) {
        appendInteger(text, count);
        text += ',';
        appendNumber(text, hertzPerBin * bin);
        text += ',';
        appendNumber(text, levels[bin]);
        text += '\n';
    }
    write();
}

void Recording::logicCapture(const uint8_t* samples, int n) {
    ++count;
    captureLen = n;
    if (suffix == QLatin1String("sr")) {
        captures.insert(captures.end(), samples, samples + n);
        return;
    }
    QByteArray part;
    if (suffix == QLatin1String("vcd")) {
        // One capture after another on one time line, each begun by every wire's value.
        const qint64 first = qint64(count - 1) * n * vcdStep;
        LaExport::vcdSection(part, "$dumpvars", samples[0], first);
        int previous = samples[0];
        LaExport::vcdChanges(part, samples + 1, n - 1, vcdStep, first + vcdStep, &previous);
    } else {
        LaExport::csvRows(part, samples, n, periodNs, LaLogic::triggerSample,
                          QByteArray::number(count) + ',');
    }
    appendBytes(text, part);
    write();
}

void Recording::noteGap() {
    // A session file has no place for a note: its captures simply run on.
    if (!file.isOpen() || suffix == QLatin1String("sr"))
        return;
    if (kind == Kind::Logic && suffix == QLatin1String("vcd")) {
        // Every wire unknown where the next capture begins; a comment would end sigrok's reading.
        QByteArray part;
        LaExport::vcdSection(part, "$dumpoff", -1, qint64(count) * captureLen * vcdStep);
        appendBytes(text, part);
    } else {
        text = kind == Kind::Logic ? "# device lost after capture " : "# device lost after frame ";
        appendInteger(text, count);
        text += '\n';
    }
    write();
}

void Recording::finish() {
    if (!file.isOpen())
        return;
    if (kind == Kind::Logic && suffix == QLatin1String("sr") && count > 0) {
        appendBytes(text, LaExport::sigrokSession(captures.data(), int(captures.size()),
                                                  1000000000LL / periodNs));
    } else if (kind == Kind::Logic && suffix == QLatin1String("vcd") && count > 0) {
        text = "#";
        appendInteger(text, count * quint64(captureLen) * quint64(vcdStep));
        text += '\n';
    }
    write();
    file.close();
}

#pragma once

// Arbitrary PC-to-device bytes through the emulator's command decoder, split into chunks chosen
// by the input. Every byte must be accounted for by exactly one report, every decoded value must
// lie in its field's range, and the reports must not depend on how the bytes were split.
//
// Input layout: byte 0 = count of chunk-size bytes (1..8), then those bytes (each chunk 1..256
// bytes), then the byte stream.
#include "emulator/decoder.h"

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

namespace decoderfuzz {

// Bytes of the stream a report stands for.
inline int bytesOf(const emu::Command& c) {
    switch (c.kind) {
    case emu::Command::Osc1chStart:
    case emu::Command::Osc2chStart:
    case emu::Command::LaTimeBase:
        return 2;
    case emu::Command::TimeBase:
    case emu::Command::Gain1:
    case emu::Command::Gain2:
        return 3;
    case emu::Command::Freq:
        return 8;
    case emu::Command::LaTrig:
        return 7;
    case emu::Command::GenTable:
        return 1 + emu::Decoder::uploadBytes;
    case emu::Command::Incomplete:
        return 1 + c.b;
    default:
        return 1;
    }
}

inline QString rangeProblem(const emu::Command& c) {
    auto within = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    bool ok = true;
    switch (c.kind) {
    case emu::Command::TimeBase:
        ok = within(c.a, 0, 14);
        break;
    case emu::Command::Gain1:
    case emu::Command::Gain2:
        ok = within(c.a, 0, 6);
        break;
    case emu::Command::LaTimeBase:
        ok = within(c.a, 0, 13);
        break;
    case emu::Command::Freq:
        ok = within(c.a, 0, 0xFFFF) && within(c.b, 0, 0xFFF);
        break;
    case emu::Command::GenTable:
        for (int16_t v : c.table)
            ok = ok && within(v, -2048, 2047);
        break;
    case emu::Command::Ignored:
        ok = within(c.a, 0, 255);
        break;
    case emu::Command::Incomplete: {
        // Only commands with parameters can be cut short, never after all their bytes.
        const int most = c.a == 'K' ? emu::Decoder::uploadBytes : c.a == 'M' ? 7 : 6;
        ok = QByteArray("CESUWYMK[").contains(char(c.a)) && within(c.b, 0, most);
        break;
    }
    default:
        break;
    }
    return ok ? QString() : QString::fromStdString("out of range: " + emu::commandText(c));
}

inline std::string describe(const emu::Command& c) {
    std::string text = emu::commandText(c);
    if (c.kind == emu::Command::GenTable)
        text.append(reinterpret_cast<const char*>(c.table.data()), sizeof c.table);
    return text;
}

struct Run {
    std::vector<std::string> reports;
    long long bytes = 0;
    QString problem;
};

inline Run decode(const QByteArray& stream, const std::vector<int>& sizes) {
    Run run;
    emu::Decoder decoder;
    const auto sink = [&run](const emu::Command& c) {
        run.reports.push_back(describe(c));
        run.bytes += bytesOf(c);
        if (run.problem.isEmpty())
            run.problem = rangeProblem(c);
    };
    size_t k = 0;
    for (int from = 0; from < stream.size();) {
        const int n = std::min(sizes[k++ % sizes.size()], stream.size() - from);
        decoder.feed(stream.constData() + from, size_t(n), sink);
        from += n;
    }
    // A letter with no parameters ends whatever was in progress and leaves the decoder idle.
    decoder.feed("G", 1, sink);
    if (run.problem.isEmpty() && decoder.busy())
        run.problem = QStringLiteral("busy after a closing G");
    if (run.problem.isEmpty() && run.bytes != stream.size() + 1)
        run.problem =
            QStringLiteral("%1 bytes reported for %2").arg(run.bytes).arg(stream.size() + 1);
    return run;
}

inline QString check(const QByteArray& input) {
    int at = 0;
    auto next = [&]() { return at < input.size() ? static_cast<unsigned char>(input[at++]) : 0; };
    std::vector<int> sizes(size_t(next() % 8 + 1));
    for (int& n : sizes)
        n = next() + 1;
    const QByteArray stream = input.mid(at);
    const Run split = decode(stream, sizes);
    if (!split.problem.isEmpty())
        return split.problem;
    const Run whole = decode(stream, {stream.size() + 1});
    if (whole.reports != split.reports)
        return QStringLiteral("reports depend on how the bytes were split");
    return QString();
}

} // namespace decoderfuzz

#pragma once

// Shared by the two waveform-file targets: the input's first two bytes choose a run of leading
// blanks (0 .. 20479), so that numbers and byte-order marks straddle the readers' chunk edges
// (4 KiB and 16 KiB) although libFuzzer inputs stay short; the rest is the file's text.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace wavefuzz {

inline QByteArray fileText(const QByteArray& input) {
    if (input.size() < 2)
        return input;
    const int lead =
        (static_cast<unsigned char>(input[0]) * 256 + static_cast<unsigned char>(input[1])) % 20480;
    return QByteArray(lead, ' ') + input.mid(2);
}

// One scratch file for the whole run, removed at exit.
inline QString scratchPath() {
    static QTemporaryDir dir;
    return dir.filePath(QStringLiteral("wave.txt"));
}

inline bool writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text) == text.size() && file.flush();
}

inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace wavefuzz

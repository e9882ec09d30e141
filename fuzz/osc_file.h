#pragma once

// Arbitrary text as an oscilloscope waveform file, read back through OscFile::load and compared
// with a plain reading of the same rule: integers separated by blanks, stop at the first text that
// is no number, clamp to the 16-bit sample range, zeros after the last number.
#include "instruments/oscilloscope/oscfile.h"
#include "wave_input.h"

#include <QString>

#include <algorithm>
#include <vector>

namespace oscfuzz {

inline std::vector<int> expected(const QByteArray& text, int n) {
    std::vector<int> out(size_t(n), 0);
    int i = 0, count = 0;
    const int size = text.size();
    while (count < n) {
        while (i < size && wavefuzz::isBlank(text[i]))
            ++i;
        bool negative = false;
        if (i < size && (text[i] == '+' || text[i] == '-'))
            negative = text[i++] == '-';
        if (i >= size || text[i] < '0' || text[i] > '9')
            break;
        long long v = 0;
        for (; i < size && text[i] >= '0' && text[i] <= '9'; ++i)
            v = std::min(v * 10 + (text[i] - '0'), 1000000LL);
        out[size_t(count++)] = int(std::clamp(negative ? -v : v, -32768LL, 32767LL));
    }
    out.push_back(count); // the count read, last
    return out;
}

inline QString compare(const QString& path, const QByteArray& text, int n) {
    std::vector<int> got(size_t(n), 12345);
    const int count = OscFile::load(path, got.data(), n);
    got.push_back(count);
    const std::vector<int> want = expected(text, n);
    for (size_t k = 0; k < want.size(); ++k) {
        if (got[k] != want[k])
            return QStringLiteral("n %1: entry %2 is %3, not %4")
                .arg(n)
                .arg(k)
                .arg(got[k])
                .arg(want[k]);
    }
    return QString();
}

inline QString check(const QByteArray& input) {
    const QString path = wavefuzz::scratchPath();
    const QByteArray text = wavefuzz::fileText(input);
    if (!wavefuzz::writeFile(path, text))
        return QStringLiteral("cannot write the scratch file ") + path;
    QString problem = compare(path, text, 1024);
    if (problem.isEmpty())
        problem = compare(path, text, 3);
    return problem;
}

} // namespace oscfuzz

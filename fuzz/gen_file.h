#pragma once

// Arbitrary text as a generator table file, read back through readGenFile and compared with a
// plain reading of the same rule: 512 blank-separated words, each a signed decimal saturated to
// int or else 0, an optional UTF-8 byte-order mark first, zeros after the last word.
#include "instruments/generator/genfile.h"
#include "wave_input.h"

#include <QString>

#include <algorithm>
#include <climits>

namespace genfuzz {

inline int wordValue(const QByteArray& word) {
    int i = 0;
    bool negative = false;
    if (word[0] == '+' || word[0] == '-') {
        negative = word[0] == '-';
        i = 1;
    }
    if (i == word.size())
        return 0;
    long long v = 0;
    for (; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9')
            return 0;
        v = std::min(v * 10 + (word[i] - '0'), 1LL << 40);
    }
    return int(std::clamp(negative ? -v : v, (long long)INT_MIN, (long long)INT_MAX));
}

inline void expected(QByteArray text, int* wave) {
    std::fill(wave, wave + 512, 0);
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    int count = 0, i = 0;
    while (count < 512 && i < text.size()) {
        while (i < text.size() && wavefuzz::isBlank(text[i]))
            ++i;
        const int from = i;
        while (i < text.size() && !wavefuzz::isBlank(text[i]))
            ++i;
        if (i > from)
            wave[count++] = wordValue(text.mid(from, i - from));
    }
}

inline QString check(const QByteArray& input) {
    const QString path = wavefuzz::scratchPath();
    const QByteArray text = wavefuzz::fileText(input);
    if (!wavefuzz::writeFile(path, text))
        return QStringLiteral("cannot write the scratch file ") + path;
    int got[512], want[512];
    std::fill(got, got + 512, 12345);
    if (!core::readGenFile(path, got))
        return QStringLiteral("readable file refused");
    expected(text, want);
    for (int k = 0; k < 512; ++k) {
        if (got[k] != want[k])
            return QStringLiteral("entry %1 is %2, not %3").arg(k).arg(got[k]).arg(want[k]);
    }
    return QString();
}

} // namespace genfuzz

#pragma once

// Arbitrary text as a generator table file, read back through readGenFile and compared with a
// plain reading of the same rule: 512 blank-separated words, each a signed decimal saturated to
// int or else 0, an optional UTF-8 byte-order mark first, zeros after the last word; a file that
// is not UTF-8 text, holds a NUL or has no number among its first 512 words is refused.
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

inline bool isNumberWord(const QByteArray& word) {
    const int from = word[0] == '+' || word[0] == '-' ? 1 : 0;
    return from < word.size() && std::all_of(word.begin() + from, word.end(),
                                             [](char c) { return c >= '0' && c <= '9'; });
}

// False when the file is no table.
inline bool expected(QByteArray text, int* wave) {
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    // Decoding drops a leading mark (a second one is still text), so the round trip is checked
    // behind a letter that keeps every mark in place.
    if (text.contains('\0') || QString::fromUtf8("a" + text).toUtf8() != "a" + text)
        return false;
    bool number = false;
    std::fill(wave, wave + 512, 0);
    int count = 0, i = 0;
    while (count < 512 && i < text.size()) {
        while (i < text.size() && wavefuzz::isBlank(text[i]))
            ++i;
        const int from = i;
        while (i < text.size() && !wavefuzz::isBlank(text[i]))
            ++i;
        if (i > from) {
            number = number || isNumberWord(text.mid(from, i - from));
            wave[count++] = wordValue(text.mid(from, i - from));
        }
    }
    return number;
}

inline QString check(const QByteArray& input) {
    const QString path = wavefuzz::scratchPath();
    const QByteArray text = wavefuzz::fileText(input);
    if (!wavefuzz::writeFile(path, text))
        return QStringLiteral("cannot write the scratch file ") + path;
    int got[512], want[512];
    std::fill(got, got + 512, 12345);
    const bool table = expected(text, want);
    const core::GenRead read = core::readGenFile(path, got);
    if (!table) {
        if (read != core::GenRead::NotTable)
            return QStringLiteral("a file that is no table taken");
        if (std::count(got, got + 512, 12345) != 512)
            return QStringLiteral("a refused file changed the table");
        return QString();
    }
    if (read != core::GenRead::Ok)
        return QStringLiteral("readable file refused");
    for (int k = 0; k < 512; ++k) {
        if (got[k] != want[k])
            return QStringLiteral("entry %1 is %2, not %3").arg(k).arg(got[k]).arg(want[k]);
    }
    return QString();
}

} // namespace genfuzz

#include "genfile.h"

#include "gensynth.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <climits>

namespace {
// A real table file is a few kilobytes; past this much text (say a device node or a huge binary
// picked by mistake) the rest of the table stays 0.
constexpr qint64 maxScanBytes = 4 * 1024 * 1024;

// One whitespace-separated token, parsed as it streams by so that no token is ever stored.
class Token {
public:
    bool empty() const { return length == 0; }
    bool isNumber() const { return valid && digits; }
    void feed(char c) {
        if (length == 0 && (c == '-' || c == '+')) {
            negative = c == '-';
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (magnitude <= (long long)INT_MAX + 1)
                magnitude = magnitude * 10 + (c - '0');
        } else {
            valid = false;
        }
        ++length;
    }
    int take() {
        long long v = valid && digits ? (negative ? -magnitude : magnitude) : 0;
        v = std::clamp<long long>(v, INT_MIN, INT_MAX);
        *this = Token();
        return int(v);
    }

private:
    long long magnitude = 0;
    int length = 0;
    bool negative = false, digits = false, valid = true;
};

bool isSpace(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f';
}
} // namespace

bool writeGenFile(const QString& path, const int* wave) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text;
    text.reserve(gen::tableSize * 7);
    for (int i = 0; i < gen::tableSize; ++i) {
        text.append(QByteArray::number(wave[i]));
        text.append('\n');
    }
    // Flush before commit(): a failure of the final buffered write (disk full) is not seen by
    // commit(), which would then replace the old file with a truncated one.
    if (file.write(text) != text.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool readGenFile(const QString& path, int* wave, bool* anyNumber) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    int values[gen::tableSize] = {};
    int count = 0;
    qint64 scanned = 0;
    Token token;
    bool number = false;
    char chunk[16384];
    bool first = true;
    while (count < gen::tableSize && scanned < maxScanBytes) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        qint64 i = 0;
        if (first && n >= 3 && chunk[0] == '\xEF' && chunk[1] == '\xBB' && chunk[2] == '\xBF')
            i = 3; // a byte-order mark left by some editors
        first = false;
        for (; i < n && count < gen::tableSize; ++i) {
            if (!isSpace(chunk[i]))
                token.feed(chunk[i]);
            else if (!token.empty()) {
                number = number || token.isNumber();
                values[count++] = token.take();
            }
        }
        scanned += n;
    }
    if (count < gen::tableSize && !token.empty()) {
        number = number || token.isNumber();
        values[count++] = token.take();
    }
    if (anyNumber)
        *anyNumber = number;
    std::copy(values, values + gen::tableSize, wave);
    return true;
}

#include "instruments/textfile.h"

#include <QIODevice>
#include <QSaveFile>
#include <algorithm>

namespace TextFile {

bool save(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Flushed before commit(), which could otherwise miss a failing last buffered write and
    // replace the old file with a truncated one.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool isText(QIODevice& device, qint64 maxBytes) {
    // Continuation bytes still due, and the range of the next one (narrower than 80..BF right
    // after a lead byte, so that overlong forms, surrogates and code points past U+10FFFF fail).
    int due = 0;
    unsigned char low = 0x80, high = 0xBF;
    char chunk[4096];
    for (qint64 scanned = 0; scanned < maxBytes;) {
        const qint64 got = device.read(chunk, std::min<qint64>(sizeof chunk, maxBytes - scanned));
        if (got < 0)
            return false;
        if (got == 0)
            return due == 0;
        scanned += got;
        for (qint64 i = 0; i < got; ++i) {
            const auto c = static_cast<unsigned char>(chunk[i]);
            if (due > 0) {
                if (c < low || c > high)
                    return false;
                --due;
                low = 0x80;
                high = 0xBF;
                continue;
            }
            if (c == 0)
                return false;
            if (c < 0x80)
                continue;
            if (c >= 0xC2 && c <= 0xDF) {
                due = 1;
            } else if (c >= 0xE0 && c <= 0xEF) {
                due = 2;
                low = c == 0xE0 ? 0xA0 : 0x80;
                high = c == 0xED ? 0x9F : 0xBF;
            } else if (c >= 0xF0 && c <= 0xF4) {
                due = 3;
                low = c == 0xF0 ? 0x90 : 0x80;
                high = c == 0xF4 ? 0x8F : 0xBF;
            } else {
                return false;
            }
        }
    }
    return true;
}

namespace {
constexpr qint64 saturation = qint64(1) << 40;
} // namespace

IntegerReader::IntegerReader(QIODevice& device, const Options& options)
    : device(device), options(options) {}

bool IntegerReader::isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int IntegerReader::peek() {
    if (pos == size) {
        if (scanned >= options.maxScanBytes)
            return -1;
        size = int(device.read(chunk, sizeof chunk));
        pos = 0;
        if (size <= 0) {
            size = 0;
            return -1;
        }
        scanned += size;
        if (!started && options.skipByteOrderMark && size >= 3 && chunk[0] == '\xEF' &&
            chunk[1] == '\xBB' && chunk[2] == '\xBF')
            pos = 3;
        started = true;
        if (pos == size)
            return peek();
    }
    return static_cast<unsigned char>(chunk[pos]);
}

void IntegerReader::skipWord() {
    for (int c = peek(); c >= 0 && !isSpace(c); c = peek())
        ++pos;
}

bool IntegerReader::next(qint64* value) {
    int c = peek();
    while (isSpace(c)) {
        ++pos;
        c = peek();
    }
    if (c < 0)
        return false;
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        ++pos;
        c = peek();
    }
    qint64 v = 0;
    bool digits = false;
    while (c >= '0' && c <= '9') {
        digits = true;
        if (v < saturation)
            v = v * 10 + (c - '0');
        ++pos;
        c = peek();
    }
    const bool whole = digits && (c < 0 || isSpace(c));
    if (options.policy == StopAtText) {
        // The digits before any text count; the text stops the next call.
        number = digits;
        if (digits)
            *value = negative ? -v : v;
        return digits;
    }
    if (!whole)
        skipWord();
    number = whole;
    *value = whole ? (negative ? -v : v) : 0;
    return true;
}

} // namespace TextFile

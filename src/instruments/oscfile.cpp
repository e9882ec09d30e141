#include "oscfile.h"

#include "osclog.h"
#include "oscscale.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace OscFile {

bool saveValues(const QString& path, const int* values, int n) {
    QByteArray text;
    text.reserve(n * 8);
    for (int i = 0; i < n; ++i) {
        text += QByteArray::number(values[i]);
        text += '\n';
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Flush here: a buffered write that fails only when commit() closes the file would
    // otherwise still replace the old file with a truncated one.
    if (file.write(text) != text.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void spanBounds(int c1, int c2, int* lo, int* hi) {
    *lo = std::min(c1, c2) - 1;
    *hi = std::max(c1, c2) - 1;
}

int spanIndex(int k, int c1, int c2) {
    int lo = 0, hi = 0;
    spanBounds(c1, c2, &lo, &hi);
    const int index = lo / 2 + (k * (hi - lo)) / 1024;
    // Cursors come from clicks on the plot (0..767); anything else must not leave the buffer.
    return std::clamp(index, 0, OscScale::plotLen - 1);
}

bool saveSpan(const QString& path, const int* plot, int c1, int c2) {
    int lo = 0, hi = 0;
    spanBounds(c1, c2, &lo, &hi);
    qCDebug(lcOsc) << "save span lo" << lo << "hi" << hi;
    int lines[spanLines];
    for (int k = 0; k < spanLines; ++k)
        lines[k] = plot[spanIndex(k, c1, c2)];
    return saveValues(path, lines, spanLines);
}

namespace {

// Pulls integers out of a file in small chunks: never more than one chunk in memory.
class NumberReader {
public:
    explicit NumberReader(QFile& file) : file(file) {}

    // False at the end of the input or at text that is not a number.
    bool next(qint64* number) {
        int c = peek();
        while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            ++pos;
            c = peek();
        }
        bool negative = false;
        if (c == '+' || c == '-') {
            negative = c == '-';
            ++pos;
            c = peek();
        }
        if (c < '0' || c > '9')
            return false;
        qint64 v = 0;
        while (c >= '0' && c <= '9') {
            // Saturates: far beyond the sample range, so clamping later gives the right bound.
            if (v < saturation)
                v = v * 10 + (c - '0');
            ++pos;
            c = peek();
        }
        *number = negative ? -v : v;
        return true;
    }

private:
    static constexpr qint64 saturation = qint64(1) << 40;

    int peek() {
        if (pos == size) {
            if (scanned >= maxScanBytes)
                return -1;
            size = int(file.read(chunk, sizeof chunk));
            pos = 0;
            if (size <= 0) {
                size = 0;
                return -1;
            }
            scanned += size;
        }
        return static_cast<unsigned char>(chunk[pos]);
    }

    QFile& file;
    char chunk[4096];
    int pos = 0;
    int size = 0;
    qint64 scanned = 0;
};

} // namespace

int load(const QString& path, int* out, int n) {
    std::fill(out, out + n, 0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    NumberReader reader(file);
    int count = 0;
    qint64 number = 0;
    while (count < n && reader.next(&number))
        out[count++] = int(std::clamp<qint64>(number, -32768, 32767));
    return count;
}

} // namespace OscFile

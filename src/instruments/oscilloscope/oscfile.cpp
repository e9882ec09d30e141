#include "instruments/oscilloscope/oscfile.h"

#include "instruments/instrumentlog.h"
#include "instruments/oscilloscope/oscscale.h"
#include "instruments/textfile.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>

namespace OscFile {

bool saveValues(const QString& path, const int* values, int n) {
    QByteArray text;
    text.reserve(n * 8);
    for (int i = 0; i < n; ++i) {
        text += QByteArray::number(values[i]);
        text += '\n';
    }
    return TextFile::save(path, text);
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

int load(const QString& path, int* out, int n) {
    std::fill(out, out + n, 0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    TextFile::IntegerReader::Options options;
    options.policy = TextFile::IntegerReader::StopAtText;
    options.maxScanBytes = maxScanBytes;
    TextFile::IntegerReader reader(file, options);
    int count = 0;
    qint64 number = 0;
    while (count < n && reader.next(&number))
        out[count++] = int(std::clamp<qint64>(number, -32768, 32767));
    return count;
}

} // namespace OscFile

#include "instruments/generator/genfile.h"

#include "instruments/generator/gensynth.h"
#include "instruments/textfile.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <climits>

namespace {
// A real table file is a few kilobytes; past this much text (say a device node or a huge binary
// picked by mistake) the rest of the table stays 0.
constexpr qint64 maxScanBytes = 4 * 1024 * 1024;
} // namespace

namespace core {

bool writeGenFile(const QString& path, const int* wave) {
    QByteArray text;
    text.reserve(gen::tableSize * 7);
    for (int i = 0; i < gen::tableSize; ++i) {
        text.append(QByteArray::number(wave[i]));
        text.append('\n');
    }
    return TextFile::save(path, text);
}

GenRead readGenFile(const QString& path, int* wave) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return GenRead::CannotOpen;
    if (!TextFile::isText(file, maxScanBytes))
        return GenRead::NotTable;
    if (!file.seek(0))
        return GenRead::CannotOpen;
    TextFile::IntegerReader::Options options;
    options.policy = TextFile::IntegerReader::TextAsZero;
    options.maxScanBytes = maxScanBytes;
    options.skipByteOrderMark = true;
    TextFile::IntegerReader reader(file, options);
    int values[gen::tableSize] = {};
    bool number = false;
    qint64 value = 0;
    for (int count = 0; count < gen::tableSize && reader.next(&value); ++count) {
        number = number || reader.wasNumber();
        values[count] = int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
    }
    if (!number)
        return GenRead::NotTable;
    std::copy(values, values + gen::tableSize, wave);
    return GenRead::Ok;
}

} // namespace core

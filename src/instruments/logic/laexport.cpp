#include "instruments/logic/laexport.h"

#include <zip.h>

#include <utility>

namespace {
constexpr int probes = 8;

QByteArray metadata(qint64 sampleRateHz) {
    QByteArray text = "[global]\nsigrok version=0.5.2\n\n[device 1]\ncapturefile=logic-1\n"
                      "total probes=8\nsamplerate=" +
                      LaExport::rateText(sampleRateHz).toLatin1() + "\ntotal analog=0\n";
    for (int n = 0; n < probes; ++n)
        text += "probe" + QByteArray::number(n + 1) + "=D" + QByteArray::number(n) + '\n';
    return text + "unitsize=1\n";
}

// The archive's bytes, read back out of the in-memory source that zip_close() filled.
QByteArray readSource(zip_source_t* src) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_open(src) < 0)
        return {};
    QByteArray bytes;
    if (zip_source_stat(src, &st) == 0 && (st.valid & ZIP_STAT_SIZE)) {
        bytes.resize(int(st.size));
        if (zip_source_read(src, bytes.data(), st.size) != zip_int64_t(st.size))
            bytes.clear();
    }
    zip_source_close(src);
    return bytes;
}

bool addFile(zip_t* archive, const char* name, const QByteArray& data) {
    zip_source_t* part = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
    if (!part)
        return false;
    if (zip_file_add(archive, name, part, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(part);
        return false;
    }
    return true;
}

// VCD time units: the largest of 1, 10 and 100 s, ms, us, ns that divides the period (in ns).
std::pair<qint64, QByteArray> timeUnit(qint64 periodNs) {
    static const std::pair<qint64, const char*> units[] = {
        {100000000000, "100 s"}, {10000000000, "10 s"}, {1000000000, "1 s"}, {100000000, "100 ms"},
        {10000000, "10 ms"},     {1000000, "1 ms"},     {100000, "100 us"},  {10000, "10 us"},
        {1000, "1 us"},          {100, "100 ns"},       {10, "10 ns"}};
    for (const auto& unit : units)
        if (periodNs % unit.first == 0)
            return {unit.first, unit.second};
    return {1, "1 ns"};
}
} // namespace

QString LaExport::rateText(qint64 hz) {
    if (hz >= 1000000 && hz % 1000000 == 0)
        return QString::number(hz / 1000000) + QStringLiteral(" MHz");
    if (hz >= 1000 && hz % 1000 == 0)
        return QString::number(hz / 1000) + QStringLiteral(" kHz");
    return QString::number(hz) + QStringLiteral(" Hz");
}

QByteArray LaExport::sigrokSession(const uint8_t* samples, int count, qint64 sampleRateHz) {
    // The parts must outlive zip_close(), which is when libzip reads them.
    const QByteArray version("2");
    const QByteArray meta = metadata(sampleRateHz);
    const QByteArray logic(reinterpret_cast<const char*>(samples), count);

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!src)
        return {};
    zip_t* archive = zip_open_from_source(src, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(src);
        return {};
    }
    zip_source_keep(src); // zip_close() would free it, and with it the archive's bytes
    QByteArray bytes;
    if (addFile(archive, "version", version) && addFile(archive, "metadata", meta) &&
        addFile(archive, "logic-1-1", logic) && zip_close(archive) == 0)
        bytes = readSource(src);
    else
        zip_discard(archive);
    zip_source_free(src);
    zip_error_fini(&error);
    return bytes;
}

QByteArray LaExport::vcdHeader(qint64 periodNs, qint64* step, const QByteArray& comment) {
    const auto unit = timeUnit(periodNs);
    *step = periodNs / unit.first;
    QByteArray text = "$timescale " + unit.second + " $end\n$scope module zrv $end\n";
    // Wire n is named D<n> and has the identifier character '!' + n.
    for (int n = 0; n < probes; ++n)
        text += "$var wire 1 " + QByteArray(1, char('!' + n)) + " D" + QByteArray::number(n) +
                " $end\n";
    text += "$upscope $end\n";
    // Only here: a comment among the value changes ends sigrok's reading of the file.
    if (!comment.isEmpty())
        text += "$comment " + comment + " $end\n";
    return text + "$enddefinitions $end\n";
}

void LaExport::vcdSection(QByteArray& text, const char* keyword, int value, qint64 time) {
    text += '#' + QByteArray::number(time) + '\n' + keyword + '\n';
    for (int n = 0; n < probes; ++n)
        text += (value < 0 ? QByteArray("x") : QByteArray::number(value >> n & 1)) +
                char('!' + n) + '\n';
    text += "$end\n";
}

void LaExport::vcdChanges(QByteArray& text, const uint8_t* samples, int count, qint64 step,
                          qint64 firstTime, int* previous) {
    for (int i = 0; i < count; ++i) {
        const int now = samples[i];
        if (now == *previous)
            continue;
        text += '#' + QByteArray::number(firstTime + i * step) + '\n';
        for (int n = 0; n < probes; ++n)
            if (*previous < 0 || ((now ^ *previous) >> n & 1))
                text += QByteArray::number(now >> n & 1) + char('!' + n) + '\n';
        *previous = now;
    }
}

QByteArray LaExport::vcd(const uint8_t* samples, int count, qint64 periodNs) {
    qint64 step = 1;
    QByteArray text = vcdHeader(periodNs, &step);
    int previous = -1;
    vcdChanges(text, samples, count, step, 0, &previous);
    // The end of the last sample, so viewers show its full length.
    return text + '#' + QByteArray::number(count * step) + '\n';
}

QByteArray LaExport::csvHeader() {
    return "sample,time_s,D0,D1,D2,D3,D4,D5,D6,D7\n";
}

void LaExport::csvRows(QByteArray& text, const uint8_t* samples, int count, qint64 periodNs,
                       int zeroSample, const QByteArray& prefix) {
    for (int i = 0; i < count; ++i) {
        text += prefix + QByteArray::number(i) + ',' +
                QByteArray::number(double(i - zeroSample) * double(periodNs) * 1e-9, 'g', 10);
        for (int n = 0; n < probes; ++n)
            text += samples[i] >> n & 1 ? ",1" : ",0";
        text += '\n';
    }
}

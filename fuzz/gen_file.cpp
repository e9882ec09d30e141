// Arbitrary text as a waveform file through its reader; one scratch file for the whole run.
#include "gen_file.h"

#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("wave.txt"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString problem = genfuzz::check(bytes, path);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "gen_file: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}

// Arbitrary bytes as settings.txt through the settings page's reader.
#include "settings_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString problem = settingsfuzz::check(bytes);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "settings_reader: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}

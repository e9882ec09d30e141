// Arbitrary command bytes in arbitrary chunks through the emulator's decoder.
#include "emu_decoder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString problem = decoderfuzz::check(bytes);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "emu_decoder: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}

// Arbitrary byte streams in arbitrary chunks through the frame cutter.
#include "frame_cutter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString problem = cutterfuzz::check(bytes);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "frame_cutter: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}

// Arbitrary bytes as the typed expression, through the generator's whole calculator path.
#include "calc_chain.h"

#include <QLoggingCategory>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QLoggingCategory::setFilterRules(QStringLiteral("zrv.*.debug=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString problem = calcchain::check(bytes);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "calc_chain: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}

// Arbitrary bytes as the typed expression, through the generator's whole calculator path.
#include "calc_chain.h"
#include "fuzz_main.h"

#include <QLoggingCategory>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QLoggingCategory::setFilterRules(QStringLiteral("zrv.*.debug=false"));
    return 0;
}

ZRV_FUZZ_TARGET("calc_chain", calcchain::check)

#!/usr/bin/env bash
# Builds and runs the whole test suite. ZRV_SANITIZE=1 builds it with ASan+UBSan in build-asan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh

JOBS=${JOBS:-$(nproc)}
if [ "${ZRV_SANITIZE:-0}" = 1 ]; then
    BUILD=${BUILD_DIR:-build-asan}
    EXTRA=(-DZRV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
    export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:abort_on_error=1}
    export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
    export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
else
    BUILD=${BUILD_DIR:-build}
    EXTRA=()
fi

cmake -S . -B "$BUILD" -DZRV_TESTS=ON "${EXTRA[@]}" >/dev/null
cmake --build "$BUILD" -j "$JOBS"
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" "$@"

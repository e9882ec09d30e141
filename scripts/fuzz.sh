#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, clang, libFuzzer + ASan + UBSan) and runs each for the given
# number of seconds (default 60), starting from its checked-in corpus fuzz/corpus/<target>/.
# New inputs go to the build folder, never into the checked-in corpus. Exits non-zero on any
# finding (crash, sanitizer report, failed check, timeout, leak); the input that caused it is
# kept as <build>/artifacts/<target>/crash-*, reproducible with `<build>/<target> <file>`.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET=${1:-60}
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-2}

CXX=${FUZZ_CXX:-clang++} cmake -S fuzz -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$JOBS"

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}

status=0
while read -r target; do
    [ -n "$target" ] || continue
    work="$BUILD/work/$target"
    artifacts="$BUILD/artifacts/$target"
    mkdir -p "$work" "$artifacts"
    log="$BUILD/$target.log"
    echo "fuzz: $target for ${SECONDS_PER_TARGET}s"
    if "$BUILD/$target" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(grep -Eo 'Done [0-9]+ runs' "$log" | tail -1 || true)
        cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 || true)
        echo "fuzz: $target ok: ${runs:-no summary}; ${cov:-}"
    else
        echo "fuzz: $target FAILED, log $log, inputs in $artifacts/"
        tail -40 "$log"
        status=1
    fi
done <"$BUILD/targets.txt"
exit $status

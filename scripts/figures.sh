#!/usr/bin/env bash
# Figures of the display path, measured from outside: zrv under a private Xvfb against zrv-emu,
# on the oscilloscope page.
#   cpu      zrv's CPU share while zrv-emu streams at 2 500 000 bit/s, every frame measured
#            (CPU_SECONDS, default 20)
#   latency  time from the last byte of a frame to that frame on screen, at 921 600 and
#            2 500 000 bit/s, the device falling silent after about 8 s of frames; also with
#            20 000 random bytes before every frame (a noisy line)
#   bench    the processors per frame and the pages' paints (builds build-bench, -DZRV_BENCH=ON)
#   sweep    the run time of the readouts' truth sweep (tst_truth, built in build-bench too)
#   cli      zrv-cli without a window: `record scope` at 2 500 000 bit/s (frames the emulator
#            sent whole against frames written, and its CPU share) and `scope` JSON lines at
#            921 600 bit/s (CPU share), each for CLI_SECONDS (default 20)
# The emulator prints the moment the last byte left and that frame's byte sum (--frames); zrv
# logs the sum of every frame it draws (category zrv.frames) with Qt's %{time boot}, the same
# monotonic clock. zrv and zrv-emu are built in BUILD_DIR (default build); zrv runs with a
# configuration folder of its own, so the pages start from their first settings.
#   usage: scripts/figures.sh [cpu] [latency] [bench] [sweep] [cli]     (default: all five)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

PARTS=("$@")
((${#PARTS[@]})) || PARTS=(cpu latency bench sweep cli)
CPU_SECONDS="${CPU_SECONDS:-20}"
CLI_SECONDS="${CLI_SECONDS:-20}"
STREAM_SECONDS=8

XS_NAME=figures
source scripts/lib/xsession.sh
xs_build
WORK="$(mktemp -d /tmp/zrv-figures.XXXXXX)"
LINK="$WORK/zrv-port"
xs_start_xvfb 1100 700
TICKS_PER_S="$(getconf CLK_TCK)"

# Speed code and speed-list entry of settings.txt for a line speed.
declare -A CODE=([921600]=24 [2500000]=22)
declare -A ENTRY=([921600]=6 [2500000]=9)

# run_pair BAUD EMU_ARGS...: zrv-emu and zrv connected to it, port opened.
run_pair() {
    local baud="$1"
    shift
    rm -f "$LINK"
    "$BUILD/emulator/zrv-emu" --link "$LINK" --baud "$baud" --trace "$@" >"$WORK/zrv-emu.log" 2>&1 &
    PIDS+=($!)
    EMU_PID=$!
    await test -L "$LINK"
    printf '#%s#%s#%s#ZRV' "$LINK" "${CODE[$baud]}" "${ENTRY[$baud]}" >"$WORK/settings.txt"
    # A configuration folder of its own: every run starts from the pages' first settings (one
    # channel, free run), whatever the user's zrv.conf remembers, and leaves that file alone.
    xs_start_zrv "$WORK" XDG_CONFIG_HOME="$WORK/config" QT_LOGGING_RULES="zrv.frames.debug=true" \
        QT_MESSAGE_PATTERN="%{time boot} %{message}"
    xdotool mousemove --window "$WINDOW" 930 590 click 1 # "Open port"
}

stop_pair() {
    kill "$ZRV_PID" "$EMU_PID" 2>/dev/null || true
    wait "$ZRV_PID" "$EMU_PID" 2>/dev/null || true
}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$ZRV_PID/stat"; }
frames_drawn() { grep -c 'frame on screen' "$WORK/zrv.log" || true; }

measure_cpu() {
    run_pair 2500000
    sleep 3 # warm-up: the stream is running and the window has settled
    # Frames drawn within the measured span only, not during the warm-up.
    local start_ticks start_ns end_ticks wall_ns start_frames frames
    start_frames=$(frames_drawn)
    start_ticks=$(cpu_ticks)
    start_ns=$(date +%s%N)
    sleep "$CPU_SECONDS"
    end_ticks=$(cpu_ticks)
    wall_ns=$(($(date +%s%N) - start_ns))
    frames=$(($(frames_drawn) - start_frames))
    stop_pair
    awk -v t=$((end_ticks - start_ticks)) -v hz="$TICKS_PER_S" -v ns="$wall_ns" -v s="$CPU_SECONDS" \
        -v f="$frames" 'BEGIN { printf "figures: cpu: %.1f%% of one core at 2500000 bit/s over %d s (%d frames drawn)\n", 100 * t / hz / (ns / 1e9), s, f }'
}

# measure_latency BAUD LABEL BYTES_PER_FRAME EMU_ARGS...: about STREAM_SECONDS of frames.
measure_latency() {
    local baud="$1" label="$2" bytes="$3"
    shift 3
    local frames=$((STREAM_SECONDS * baud / 10 / bytes))
    run_pair "$baud" --frames "$frames" "$@"
    local waited=0
    until grep -q '^silent ' "$WORK/zrv-emu.log"; do
        sleep 0.5
        waited=$((waited + 1))
        if ((waited > 4 * STREAM_SECONDS + 60)); then
            stop_pair
            echo "figures: latency $label: zrv-emu never sent its $frames frames" >&2
            return 1
        fi
    done
    sleep 1 # ten display ticks: the last frame is on screen by now, or will never be
    local silent sent sum shown
    silent="$(grep '^silent ' "$WORK/zrv-emu.log" | head -n 1)"
    sent="$(awk '{print $2}' <<<"$silent")"
    sum="$(awk '{print $4}' <<<"$silent")"
    shown="$(awk -v s="$sum" '$0 ~ ("sum " s "$") {print $1; exit}' "$WORK/zrv.log")"
    stop_pair
    if [ -z "$shown" ]; then
        echo "figures: latency $label: the last frame (sum $sum) was never drawn" >&2
        return 1
    fi
    awk -v a="$sent" -v b="$shown" -v l="$label" -v n="$frames" \
        'BEGIN { printf "figures: latency %s: %.0f ms from its last byte to the last of %d frames on screen\n", l, 1000 * (b - a), n }'
}

bench() {
    local dir="${BENCH_DIR:-build-bench}"
    cmake -S . -B "$dir" -DZRV_BENCH=ON -DZRV_TESTS=OFF >/dev/null
    cmake --build "$dir" -j "$(nproc)" --target bench_oscyloskop bench_analizator \
        bench_analizatorlog bench_decode >/dev/null
    "$dir/bench/bench_oscyloskop" 2>/dev/null |
        awk '/^(processorPerFrame|paintResult)/ {printf "figures: oscilloscope %s (%s %s): %s %s CPU\n", $1, $7, $8, $4, $5}'
    "$dir/bench/bench_analizator" --benchmark_filter='ProcessorPerFrame|PagePaint' 2>/dev/null |
        awk '/^BM_/ {printf "figures: spectrum %s: %s %s CPU\n", $1, $4, $5}'
    "$dir/bench/bench_analizatorlog" --benchmark_filter=paintAtZoom 2>/dev/null |
        awk '/paintAtZoom/ {printf "figures: logic analyser paint %s: %s %s CPU\n", $1, $4, $5}'
    "$dir/bench/bench_decode" 2>/dev/null |
        awk '/^uartAndI2c/ {printf "figures: decoding 1024 samples, UART and I2C: %s %s wall\n", $2, $3}'
}

# The truth sweep's run time, the test alone, run by ctest in the environment the suite gives it
# (headless, its own working and configuration folders). A failing sweep is reported, not timed.
sweep() {
    local dir="${BENCH_DIR:-build-bench}"
    cmake -S . -B "$dir" -DZRV_TESTS=ON >/dev/null
    cmake --build "$dir" -j "$(nproc)" --target tst_truth >/dev/null
    local log="$WORK/tst_truth.log" times totals rc=0
    times="$({ TIMEFORMAT='%R %U %S'; time (cd "$dir" && ctest -R '^tst_truth$' -V >"$log" 2>&1); } 2>&1)" || rc=$?
    totals="$(grep -Eo 'Totals: [0-9]+ passed, [0-9]+ failed, [0-9]+ skipped' "$log" | tail -n 1 || true)"
    if ((rc != 0)) || [ -z "$totals" ]; then
        echo "figures: truth sweep FAILED (${totals:-no totals}), log $log" >&2
        return 1
    fi
    awk -v t="$times" -v s="$totals" 'BEGIN { split(t, a, " ");
        printf "figures: truth sweep: %.2f s wall, %.2f s CPU (%s)\n", a[1], a[2] + a[3], s }'
}

# cli_run BAUD LABEL ZRV_CLI_ARGS...: zrv-cli on a fresh emulator for CLI_SECONDS, ended by
# SIGINT as a script would; prints its CPU share and the frames the emulator sent whole.
cli_run() {
    local baud="$1" label="$2" times sent summary
    shift 2
    rm -f "$LINK"
    "$BUILD/emulator/zrv-emu" --link "$LINK" --baud "$baud" --trace >"$WORK/zrv-emu.log" 2>&1 &
    EMU_PID=$!
    await test -L "$LINK"
    times="$({ TIMEFORMAT='%R %U %S'; time (timeout -s INT "$CLI_SECONDS" \
        "$BUILD/src/zrv-cli" --port "$LINK" --speed "$baud" "$@" >"$WORK/zrv-cli.out" \
        2>"$WORK/zrv-cli.err" || true); } 2>&1)"
    sent=$(grep -c '^frame ' "$WORK/zrv-emu.log" || true)
    kill "$EMU_PID" 2>/dev/null || true
    wait "$EMU_PID" 2>/dev/null || true
    summary="$(grep -o 'frames received.*' "$WORK/zrv-cli.err" || echo "$(wc -l <"$WORK/zrv-cli.out") lines out")"
    awk -v t="$times" -v l="$label" -v s="$sent" -v m="$summary" 'BEGIN { split(t, a, " ");
        printf "figures: cli %s: %.1f%% of one core over %.1f s; emulator sent %d whole frames; %s\n",
            l, 100 * (a[2] + a[3]) / a[1], a[1], s, m }'
}

status=0
for part in "${PARTS[@]}"; do
    case "$part" in
    cpu) measure_cpu ;;
    latency)
        measure_latency 921600 "at 921600 bit/s" 2050 || status=1
        measure_latency 2500000 "at 2500000 bit/s" 2050 || status=1
        measure_latency 2500000 "at 2500000 bit/s after 20000 noise bytes" 22050 \
            --fault garbage --fault-every 0 --garbage-bytes 20000 || status=1
        ;;
    bench) bench ;;
    sweep) sweep || status=1 ;;
    cli)
        cli_run 2500000 "record scope at 2500000 bit/s" record scope -o "$WORK/record.csv"
        cli_run 921600 "scope JSON at 921600 bit/s" scope --frames 0
        cli_run 2500000 "scope JSON at 2500000 bit/s" scope --frames 0
        ;;
    *)
        echo "usage: scripts/figures.sh [cpu] [latency] [bench] [sweep] [cli]" >&2
        exit 2
        ;;
    esac
done
echo "figures: logs in $WORK"
exit $status

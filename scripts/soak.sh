#!/usr/bin/env bash
# Soak: zrv under a private Xvfb against zrv-emu at 921 600 bit/s for SECONDS (default 60). The
# pages are switched every second through the tabs' Alt shortcuts, the emulator pulls the device
# every few seconds (--fault vanish) and "Open port" is pressed again each time it is back.
# zrv's RSS and CPU time are sampled from /proc. Fails when zrv dies, no frame went through, no
# reopen worked, or RSS grew by more than RSS_GROWTH_MIB (default 20) after the warm-up.
#   usage: scripts/soak.sh [SECONDS]      (BUILD_DIR picks the build folder, default build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

SECONDS_TOTAL="${1:-60}"
if ! [[ "$SECONDS_TOTAL" =~ ^[0-9]+$ ]] || ((SECONDS_TOTAL < 10)); then
    echo "usage: scripts/soak.sh [SECONDS >= 10]" >&2
    exit 2
fi
GROWTH_MIB="${RSS_GROWTH_MIB:-20}"
# Frames between two pulls: at 921 600 bit/s about 45 frames a second reach a streaming page.
PULL_EVERY="${PULL_EVERY_FRAMES:-150}"

XS_NAME=soak
source scripts/lib/xsession.sh
xs_build

WORK="$(mktemp -d /tmp/zrv-soak.XXXXXX)"
LINK="$WORK/zrv-port"
xs_start_xvfb 1100 700

"$BUILD/emulator/zrv-emu" --link "$LINK" --trace --stats --fault vanish \
    --fault-every "$PULL_EVERY" --vanish-ms 500 >"$WORK/zrv-emu.log" 2>&1 &
PIDS+=($!)
EMU_PID=$!
await test -L "$LINK"
printf '#%s#24#6#ZRV' "$LINK" >"$WORK/settings.txt"

xs_start_zrv "$WORK"

open_port() { xdotool mousemove --window "$WINDOW" 930 590 click 1; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$ZRV_PID/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$ZRV_PID/stat"; }
alive() { kill -0 "$ZRV_PID" 2>/dev/null; }

open_port
TICKS_PER_S="$(getconf CLK_TCK)"
KEYS=(alt+o alt+a alt+g alt+l alt+o alt+u)
WARMUP=$((SECONDS_TOTAL / 6 > 5 ? SECONDS_TOTAL / 6 : 5))
start_ns=$(date +%s%N)
cpu_start=$(cpu_ticks)
rss_first=$(rss_kib)
rss_warm="" rss_peak=$rss_first rss_end=$rss_first
reopens=0 backs_seen=0 died=0 step=0

while :; do
    sleep 1 # pacing of the user's actions, not a wait for a result
    alive || { died=1; break; }
    elapsed=$((($(date +%s%N) - start_ns) / 1000000000))
    rss=$(rss_kib)
    ((rss > rss_peak)) && rss_peak=$rss
    rss_end=$rss
    [ -z "$rss_warm" ] && ((elapsed >= WARMUP)) && rss_warm=$rss
    ((elapsed >= SECONDS_TOTAL)) && break

    # The device came back: the user presses "Open port" again.
    backs=$(grep -c '^back ' "$WORK/zrv-emu.log" || true)
    if ((backs > backs_seen)); then
        backs_seen=$backs
        open_port
        reopens=$((reopens + 1))
    fi
    xdotool key --window "$WINDOW" "${KEYS[step % ${#KEYS[@]}]}"
    step=$((step + 1))
done

cpu_end=$(cpu_ticks 2>/dev/null || echo "$cpu_start")
wall_ns=$(($(date +%s%N) - start_ns))
alive || died=1
kill -TERM "$EMU_PID" 2>/dev/null || true
wait "$EMU_PID" 2>/dev/null || true
stats="$(grep '^stats:' "$WORK/zrv-emu.log" | tail -n 1)"
frames="$(awk '{print $3}' <<<"$stats")"
pulls="$(awk '{print $7}' <<<"$stats")"
: "${frames:=0}" "${pulls:=0}" "${rss_warm:=$rss_first}"
# A reopen worked when the emulator decoded a command on the new line before the next pull.
confirmed=$(awk '/^back /{b=1; next} /^(vanished|fault |stats:)/{b=0; next} b {ok++; b=0} END {print ok+0}' \
    "$WORK/zrv-emu.log")
cpu_pct=$(awk -v t=$((cpu_end - cpu_start)) -v hz="$TICKS_PER_S" -v ns="$wall_ns" \
    'BEGIN { printf "%.1f", 100 * t / hz / (ns / 1e9) }')

echo "soak: length ${SECONDS_TOTAL}s, frames sent whole ${frames}, device pulled ${pulls} times," \
    "port reopened ${reopens} times (${confirmed} took commands), page switches ${step}"
echo "soak: RSS start ${rss_first} KiB, after warm-up (${WARMUP}s) ${rss_warm} KiB," \
    "end ${rss_end} KiB, peak ${rss_peak} KiB; CPU share ${cpu_pct}% of one core"
echo "soak: logs in $WORK"

fail=0
if ((died)); then
    echo "soak: FAIL: zrv died (see $WORK/zrv.log)" >&2
    fail=1
fi
if ((frames == 0)); then
    echo "soak: FAIL: no frame went through" >&2
    fail=1
fi
if ((pulls > 0 && confirmed == 0)); then
    echo "soak: FAIL: the device was pulled but the port never reopened" >&2
    fail=1
fi
if ((rss_end > rss_warm + GROWTH_MIB * 1024)); then
    echo "soak: FAIL: RSS grew by $(((rss_end - rss_warm) / 1024)) MiB after the warm-up" >&2
    fail=1
fi
exit $fail

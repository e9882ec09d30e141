#!/usr/bin/env bash
# Screenshots without a desktop: runs zrv-emu and zrv under a private Xvfb, presses "Open port",
# visits the five pages as a user would (mouse and the tabs' Alt shortcuts, through xdotool) and
# saves one PNG per page in shots/. zrv works in run/ with its own settings.txt.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

bash scripts/bootstrap.sh
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target zrv zrv-emu
BUILD="$(cd "$BUILD" && pwd)"

SHOTS="$ROOT/shots"
RUN="$ROOT/run"
mkdir -p "$SHOTS" "$RUN"
LINK="$RUN/zrv-port"
if [[ "$LINK" =~ [[:space:]] ]]; then
    LINK="$(mktemp -d /tmp/zrv-shots.XXXXXX)/zrv-port"
fi

PIDS=()
cleanup() {
    # Last started first: zrv, the emulator, then the X server.
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        kill "${PIDS[i]}" 2>/dev/null || true
        wait "${PIDS[i]}" 2>/dev/null || true
    done
}
trap cleanup EXIT

# Waits up to 10 s for a command to succeed.
await() {
    for _ in $(seq 100); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "screenshots: timed out waiting for: $*" >&2
    return 1
}

# A private X server on the first free display from :90 on.
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        DISPLAY_NUMBER=$n
        break
    fi
done
: "${DISPLAY_NUMBER:?no free X display number between :90 and :140}"
Xvfb ":$DISPLAY_NUMBER" -screen 0 1100x700x24 -nolisten tcp >/dev/null 2>&1 &
PIDS+=($!)
export DISPLAY=":$DISPLAY_NUMBER"
unset WAYLAND_DISPLAY
await test -S "/tmp/.X11-unix/X$DISPLAY_NUMBER"
await xdotool getmouselocation

"$BUILD/emulator/zrv-emu" --link "$LINK" >"$RUN/zrv-emu.log" &
PIDS+=($!)
await test -L "$LINK"
printf '#%s#19#3#ZRV' "$LINK" >"$RUN/settings.txt"

(cd "$RUN" && QT_QPA_PLATFORM=xcb exec "$BUILD/src/zrv" >"$RUN/zrv.log" 2>&1) &
PIDS+=($!)
ZRV_PID=$!
await xdotool search --onlyvisible --pid "$ZRV_PID"
WINDOW="$(xdotool search --onlyvisible --pid "$ZRV_PID" | head -n 1)"
xdotool windowmove --sync "$WINDOW" 0 0
xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
sleep 1

click() { # x y in window pixels
    xdotool mousemove --window "$WINDOW" "$1" "$2" click 1
    xdotool mousemove --window "$WINDOW" 1020 8 # out of the plot: no pointer readout
}
shoot() { # page name; waits for a few frames to be drawn first
    sleep "${2:-2}"
    import -window "$WINDOW" "$SHOTS/$1.png"
    echo "screenshots: $SHOTS/$1.png"
}

click 930 590 # "Open port": the oscilloscope starts
shoot oscyloskop 3
xdotool key --window "$WINDOW" alt+g
shoot generator
xdotool key --window "$WINDOW" alt+a
shoot analizator 3
xdotool key --window "$WINDOW" alt+l
sleep 1
click 490 590 # "Start": no trigger condition set, so a capture comes back at once
shoot analizatorlog
xdotool key --window "$WINDOW" alt+u
shoot ustawienia 1

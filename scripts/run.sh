#!/usr/bin/env bash
# Demo without a device: builds zrv and zrv-emu, starts the emulator on a pseudo-terminal and
# zrv connected to it, working in run/ with a settings.txt of its own (the user's own settings
# elsewhere stay untouched). Stops the emulator when zrv exits. Arguments go to zrv-emu, e.g.
#   scripts/run.sh --trace        # print every command zrv sends
# Without a display it takes screenshots instead (scripts/screenshots.sh).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display; taking screenshots under Xvfb instead"
    bash scripts/screenshots.sh
    echo "run: the pictures are in $ROOT/shots/"
    exit 0
fi

bash scripts/bootstrap.sh
BUILD="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target zrv zrv-emu
BUILD="$(cd "$BUILD" && pwd)"

RUN="$ROOT/run"
mkdir -p "$RUN"
LINK="$RUN/zrv-port"
# settings.txt holds one word: a path with blanks cannot be named there.
if [[ "$LINK" =~ [[:space:]] ]]; then
    LINK="$(mktemp -d /tmp/zrv-run.XXXXXX)/zrv-port"
fi

"$BUILD/emulator/zrv-emu" --link "$LINK" "$@" &
EMU_PID=$!
trap 'kill "$EMU_PID" 2>/dev/null || true; wait "$EMU_PID" 2>/dev/null || true' EXIT

for _ in $(seq 100); do
    [ -L "$LINK" ] && break
    kill -0 "$EMU_PID" 2>/dev/null || { echo "run: zrv-emu did not start" >&2; exit 1; }
    sleep 0.1
done
[ -L "$LINK" ] || { echo "run: zrv-emu made no link at $LINK" >&2; exit 1; }

# Port = the emulator's link, speed code 19 (115 200 bit/s), list entry 3.
printf '#%s#19#3#ZRV' "$LINK" >"$RUN/settings.txt"
echo "run: zrv-emu on $(readlink "$LINK"); press \"Open port\" in zrv"
(cd "$RUN" && "$BUILD/src/zrv")

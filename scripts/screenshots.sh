#!/usr/bin/env bash
# Screenshots without a desktop: runs zrv-emu and zrv under a private Xvfb, presses "Open port",
# visits the six pages as a user would (mouse and keyboard through xdotool) and saves one PNG of
# the window per page. zrv works in run/ with its own settings.txt.
#
#   scripts/screenshots.sh [OUTDIR [SCALE]]   # default shots/ at scale 1
#   scripts/screenshots.sh docs/images         # the user guide's pictures
#   scripts/screenshots.sh --dpi-check         # 1x and 2x runs: same layout at twice the size
#
# SCALE goes to Qt as QT_SCALE_FACTOR; the clicks are given in the window's logical pixels and
# scaled here. After the pages are shot the window must measure SCALE times its 1x size.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

# Logical size of the main window (its minimum size; nothing makes it grow).
WIN_W=1028
WIN_H=612

if [ "${1:-}" = "--dpi-check" ]; then
    CHECK="$(mktemp -d /tmp/zrv-dpi.XXXXXX)"
    if [ -z "${ZRV_DPI_KEEP:-}" ]; then trap 'rm -rf "$CHECK"' EXIT; fi
    bash "$0" "$CHECK/x1" 1
    bash "$0" "$CHECK/x2" 2
    # Each 2x shot, brought back to 1x, must show the 1x picture: a control drawn at half size
    # or out of place differs over whole areas, while the live traces and text anti-aliasing
    # only differ along thin lines. RMSE is normalised to 0..1.
    LIMIT="${ZRV_DPI_RMSE:-0.08}"
    fail=0
    for shot in "$CHECK"/x1/*.png; do
        name="$(basename "$shot")"
        size="$(identify -format '%wx%h' "$CHECK/x2/$name")"
        [ "$size" = "$((2 * WIN_W))x$((2 * WIN_H))" ] || {
            echo "dpi-check: $name at 2x is $size, expected $((2 * WIN_W))x$((2 * WIN_H))" >&2
            fail=1
            continue
        }
        convert "$CHECK/x2/$name" -resize "${WIN_W}x${WIN_H}!" "$CHECK/down-$name"
        # compare exits 1 when the pictures differ at all, which they always do a little.
        rmse="$( (compare -metric RMSE "$shot" "$CHECK/down-$name" null: 2>&1 || true) |
            sed -E 's/.*\(([0-9.e+-]+)\).*/\1/')"
        if awk -v r="$rmse" -v l="$LIMIT" 'BEGIN { exit !(r <= l) }'; then
            echo "dpi-check: $name RMSE $rmse (limit $LIMIT)"
        else
            echo "dpi-check: $name RMSE $rmse exceeds $LIMIT" >&2
            fail=1
        fi
    done
    exit "$fail"
fi

OUT="${1:-shots}"
SCALE="${2:-1}"
case "$SCALE" in
1 | 2 | 3) ;;
*)
    echo "screenshots: SCALE must be 1, 2 or 3" >&2
    exit 2
    ;;
esac

XS_NAME=screenshots
source scripts/lib/xsession.sh
xs_build

mkdir -p "$OUT"
SHOTS="$(cd "$OUT" && pwd)"
RUN="$ROOT/run"
mkdir -p "$RUN"
# settings.txt holds one word: a path with blanks cannot be named there.
LINK="$(mktemp -d /tmp/zrv-shots.XXXXXX)/zrv-port"

XS_CLEANUP='rm -rf "$(dirname "$LINK")"'
xs_start_xvfb "$((1100 * SCALE))" "$((700 * SCALE))"

# No noise: the pictures then change only where the signal does.
# The logic inputs carry an SPI and an I2C bus, which the logic page decodes; channel 2 is the
# generator through a band pass, which the Bode page sweeps.
"$BUILD/emulator/zrv-emu" --link "$LINK" --noise 0 --logic-pattern spi,i2c --dut bandpass:2000:5 >"$RUN/zrv-emu.log" &
PIDS+=($!)
await test -L "$LINK"
printf '#%s#19#3#ZRV' "$LINK" >"$RUN/settings.txt"

# A configuration folder of its own, emptied: every run starts from the pages' first settings,
# whatever an earlier run (or the user's zrv.conf) remembers.
rm -rf "$RUN/config"
# Only the logic page starts from remembered settings: both buses decoded, the trigger on CS#
# falling (D2), so the capture begins just before an SPI transfer.
mkdir -p "$RUN/config/zrv"
cat >"$RUN/config/zrv/zrv.conf" <<'CONF'
[General]
format=1

[logic]
trigger2=4
decoders="spi:clk=D0:mosi=D1:cs=D2,i2c:scl=D3:sda=D4"
decoderRows=mosi-data;addr-data
CONF
xs_start_zrv "$RUN" QT_SCALE_FACTOR="$SCALE" XDG_CONFIG_HOME="$RUN/config"
sleep 1

click() { # x y in logical window pixels
    xdotool mousemove --window "$WINDOW" "$(($1 * SCALE))" "$(($2 * SCALE))" click 1
    xdotool mousemove --window "$WINDOW" "$((1020 * SCALE))" "$((8 * SCALE))" # off the plot
}
keys() { # key names for the focused control
    xdotool key --delay 60 "$@"
}
choose() { # x y of a combo box, then how many entries down (negative: up) from the current one
    click "$1" "$2"
    sleep 0.5
    local step=Down n=$3
    if ((n < 0)); then step=Up n=$((-n)); fi
    for ((k = 0; k < n; k++)); do keys "$step"; done
    keys Return
}
shoot() { # page name; waits for a few frames to be drawn first
    sleep "${2:-2}"
    import -window "$WINDOW" "$SHOTS/$1.png"
    echo "screenshots: $SHOTS/$1.png"
}

click 930 590 # "Open port": the oscilloscope starts
click 390 590 # channel 2 on
choose 582 590 2 # trigger mode "Auto"
choose 647 590 1 # rising edge
shoot oscyloskop 3

keys alt+g
choose 535 590 6 # type "function"
click 910 430     # the expression editor
xdotool type --delay 40 'sin(wt)+sin(3wt)/3'
keys Return # Enter generates
shoot generator

keys alt+a
choose 155 590 -2 # span "500Hz/dz": 1 kHz and its third harmonic apart
click 450 590      # Max hold
shoot analizator 3

keys alt+l
sleep 1
click 350 590 # the zoom box
keys ctrl+a
xdotool type --delay 40 '2'
keys Tab
click 490 590 # "Start": the trigger on D2 falling comes within a pattern period
sleep 1
click 200 300 # cursor on the plot, on the SPI transfer
shoot analizatorlog

keys alt+b
click 900 178 # "Start": 30 points from 20 Hz to 20 kHz
sleep 30      # the sweep: about 20 s at this line speed
click 400 250 # the pointer readout near 1 kHz
shoot bode 1

keys alt+u
click 930 590 # "Close port": the settings can be changed again
shoot ustawienia 1

# Same layout at SCALE times the size: the window itself must have grown by SCALE.
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
if [ "$WIDTH" -ne $((WIN_W * SCALE)) ] || [ "$HEIGHT" -ne $((WIN_H * SCALE)) ]; then
    echo "screenshots: window is ${WIDTH}x$HEIGHT at scale $SCALE," \
        "expected $((WIN_W * SCALE))x$((WIN_H * SCALE))" >&2
    exit 1
fi
echo "screenshots: window ${WIDTH}x$HEIGHT at scale $SCALE"

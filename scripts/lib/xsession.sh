# Shared by scripts/screenshots.sh and scripts/soak.sh (sourced, not run): a private Xvfb, the
# processes started under it, and zrv's window.
#   XS_NAME        prefix of messages (set before sourcing)
#   PIDS           processes to stop on exit, last started first
#   XS_CLEANUP     extra command run on exit (optional)

PIDS=()
xs_cleanup() {
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        kill "${PIDS[i]}" 2>/dev/null || true
        wait "${PIDS[i]}" 2>/dev/null || true
    done
    if [ -n "${XS_CLEANUP:-}" ]; then eval "$XS_CLEANUP"; fi
}
trap xs_cleanup EXIT

# Waits up to 10 s for a command to succeed.
await() {
    for _ in $(seq 100); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "$XS_NAME: timed out waiting for: $*" >&2
    return 1
}

# Builds zrv and zrv-emu; sets BUILD to the absolute build folder.
xs_build() {
    bash scripts/bootstrap.sh
    BUILD="${BUILD_DIR:-build}"
    cmake -S . -B "$BUILD" >/dev/null
    cmake --build "$BUILD" -j "$(nproc)" --target zrv zrv-emu >/dev/null
    BUILD="$(cd "$BUILD" && pwd)"
}

# xs_start_xvfb WIDTH HEIGHT: an X server on the first free display from :90 on.
xs_start_xvfb() {
    local n
    DISPLAY_NUMBER=""
    for n in $(seq 90 140); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            DISPLAY_NUMBER=$n
            break
        fi
    done
    : "${DISPLAY_NUMBER:?no free X display number between :90 and :140}"
    # -noreset: by default the server resets when its last client leaves (the readiness probe
    # below), refusing zrv's connection if it arrives during the reset.
    Xvfb ":$DISPLAY_NUMBER" -screen 0 "${1}x${2}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    PIDS+=($!)
    export DISPLAY=":$DISPLAY_NUMBER"
    unset WAYLAND_DISPLAY
    await test -S "/tmp/.X11-unix/X$DISPLAY_NUMBER"
    await xdotool getmouselocation
}

# xs_start_zrv WORKDIR [VAR=VALUE ...]: zrv in WORKDIR (its settings.txt), log in WORKDIR/zrv.log;
# sets ZRV_PID and WINDOW, the window moved to the screen's corner and focused.
xs_start_zrv() {
    local work="$1"
    shift
    (cd "$work" && exec env QT_QPA_PLATFORM=xcb "$@" "$BUILD/src/zrv" >"$work/zrv.log" 2>&1) &
    PIDS+=($!)
    ZRV_PID=$!
    await xdotool search --onlyvisible --pid "$ZRV_PID"
    WINDOW="$(xdotool search --onlyvisible --pid "$ZRV_PID" | head -n 1)"
    xdotool windowmove --sync "$WINDOW" 0 0
    xdotool windowfocus --sync "$WINDOW" 2>/dev/null || true
}

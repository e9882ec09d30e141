#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need. Idempotent: when every
# package is present it does nothing, and it runs `apt-get update` only when one is missing.
set -euo pipefail

PACKAGES=(
    build-essential cmake pkg-config
    qtbase5-dev libqt5serialport5-dev libqwt-qt5-dev libqwtmathml-qt5-dev
    xvfb xauth xdotool imagemagick desktop-file-utils appstream dpkg-dev
    clang libclang-rt-14-dev
    libbenchmark-dev libfftw3-dev
    file libzip-dev sigrok-cli help2man libsigrokdecode-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "bootstrap: installing ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

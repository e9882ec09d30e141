#!/usr/bin/env bash
# Builds the .deb, checks its contents and metadata, installs it with apt-get like a user would,
# starts the installed zrv under Xvfb, and removes the package again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh

BUILD=${BUILD_DIR:-build-pkg}
cmake -S . -B "$BUILD" -DZRV_TESTS=OFF -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target zrv zrv-cli zrv-emu manpages
(cd "$BUILD" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD"/zrv_*.deb | head -n1)
echo "package: $deb"

fail() { echo "package-test: $*" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/zrv ./usr/bin/zrv-cli ./usr/bin/zrv-emu ./usr/share/applications/org.zrv.zrv.desktop \
            ./usr/share/metainfo/org.zrv.zrv.metainfo.xml \
            ./usr/share/icons/hicolor/scalable/apps/zrv.svg \
            ./usr/share/icons/hicolor/48x48/apps/zrv.png \
            ./usr/share/man/man1/zrv.1.gz ./usr/share/man/man1/zrv-emu.1.gz \
            ./usr/share/man/man1/zrv-cli.1.gz ./usr/share/doc/zrv/copyright; do
    grep -q " $path\$" <<<"$contents" || fail "missing $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt5widgets5 libqt5serialport5 libqt5xml5 libqwtmathml-qt5; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.zrv.zrv.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.zrv.zrv.metainfo.xml"

# Install for real, run the installed program for a few seconds, then remove it again.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
work=$(mktemp -d)
set +e
# Its settings go to the configuration folder, here a scratch one instead of the user's.
(cd "$work" && XDG_CONFIG_HOME="$work/config" timeout 5 xvfb-run -a /usr/bin/zrv >/dev/null 2>&1)
status=$?
set -e
settings=$(cat "$work/config/zrv/settings.txt" 2>/dev/null || true)
zrv --version >/dev/null || fail "installed zrv --version failed"
# The installed zrv-cli finds the installed zrv-emu beside it, with no display at all.
lines=$(cd "$work" && XDG_CONFIG_HOME="$work/config" env -u DISPLAY zrv-cli --emulator scope --frames 2) ||
    fail "installed zrv-cli --emulator scope failed"
grep -q '"freq_Hz"' <<<"$lines" || fail "installed zrv-cli gave no readouts: $lines"
man -w zrv >/dev/null 2>&1 || [ -f /usr/share/man/man1/zrv.1.gz ] || fail "no man page for zrv"
apt-get remove -y -qq zrv >/dev/null
rm -rf "$work"
# 124: still running when the time was up, i.e. it started and did not crash.
[ "$status" -eq 124 ] || fail "installed zrv exited with status $status"
[ "$settings" = "#/dev/ttyUSB0#19#3#ZRV" ] || fail "installed zrv wrote no settings: '$settings'"
echo "package-test: ok"

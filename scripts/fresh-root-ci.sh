#!/usr/bin/env bash
# CI as on a newcomer's machine: a fresh Debian 12 root holding only build-essential, cmake and
# git, the repository cloned inside it, and `bash .ci/run` there. Prints the elapsed time.
#
#   sudo scripts/fresh-root-ci.sh [SOURCE]   # SOURCE: the repository to clone (default: this one)
#
# ZRV_FRESH_ROOT names the root folder (default: a new one under /tmp, kept for inspection; an
# existing root is reused), ZRV_MIRROR the Debian mirror (default: this machine's apt sources).
# Needs root and debootstrap. Everything mounted inside the root is unmounted on exit.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
SOURCE=$(cd "${1:-$here}" && pwd)
ROOT=${ZRV_FRESH_ROOT:-$(mktemp -d /tmp/zrv-fresh-root.XXXXXX)}

# The first bookworm mirror of this machine's apt sources, one-line or deb822 style.
mirror_from_apt() {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -r "$f" ] || continue
        sed -E 's/\[[^]]*\]//' "$f" | awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }'
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -r "$f" ] || continue
        awk '/^$/ { uri = "" } /^URIs:/ { uri = $2 }
             /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm" && uri != "") print uri }' "$f"
    done
}
MIRROR=${ZRV_MIRROR:-$(mirror_from_apt | head -n 1)}
[ -n "$MIRROR" ] || { echo "fresh-root-ci: no bookworm mirror in /etc/apt; set ZRV_MIRROR" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "fresh-root-ci: needs root (debootstrap, mount, chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "fresh-root-ci: apt-get install debootstrap" >&2; exit 1; }

mounts=()
cleanup() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
    done
}
trap cleanup EXIT
mount_in() { # mount_in <target inside ROOT> <mount arguments...>
    mkdir -p "$ROOT/$1"
    mount "${@:2}" "$ROOT/$1"
    mounts+=("$ROOT/$1")
}

start=$SECONDS
echo "fresh-root-ci: root $ROOT, mirror $MIRROR, source $SOURCE"
if [ ! -x "$ROOT/usr/bin/git" ]; then
    debootstrap --variant=minbase --include=build-essential,cmake,git bookworm "$ROOT" "$MIRROR"
fi
cp /etc/resolv.conf "$ROOT/etc/resolv.conf"
mount_in proc -t proc proc
mount_in sys -t sysfs sys
mount_in dev --bind /dev
mount_in dev/pts --bind /dev/pts
# The committed HEAD of SOURCE as a bundle: a worktree's git folder lies outside the root.
git -C "$SOURCE" bundle create "$ROOT/root/zrv.bundle" HEAD

status=0
chroot "$ROOT" /usr/bin/env -i HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -euc '
        rm -rf /root/zrv
        git -c advice.detachedHead=false clone -q /root/zrv.bundle /root/zrv
        cd /root/zrv
        bash .ci/run' || status=$?
elapsed=$((SECONDS - start))
verdict=$([ "$status" = 0 ] && echo passed || echo "FAILED ($status)")
printf 'fresh-root-ci: .ci/run %s in the fresh root; elapsed %dm%02ds\n' "$verdict" \
    $((elapsed / 60)) $((elapsed % 60))
exit "$status"

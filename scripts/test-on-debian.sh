#!/usr/bin/env bash
# Runs the test command inside a fresh Debian of the release named, made from Debian's archive:
#   scripts/test-on-debian.sh trixie      # Debian 13, from a Debian 12 machine
#   scripts/test-on-debian.sh bookworm    # Debian 12, from a Debian 13 machine
# Further arguments replace the command run inside (default: scripts/test.sh --no-sanitizers).
#
# The bare system (minbase, with the release's -updates and -security suites) is cached as a
# tarball under /var/cache/lumivista/; every run unpacks it anew, copies this work tree in and
# lets the test command install the packages itself, as on a new machine. /proc, /sys, /dev
# and a private /tmp are mounted in a mount namespace of the run's own. Needs root.
# LUMI_DEBIAN_ROOT=DIR keeps the system in DIR between runs instead (packages and build
# folders stay; the work tree is copied over again), for working on a release at hand.
set -euo pipefail
cd "$(dirname "$0")/.."
release=${1:?"usage: $0 bookworm|trixie [command ...]"}
shift
[ $# -gt 0 ] || set -- scripts/test.sh --no-sanitizers
[ "$(id -u)" -eq 0 ] || exec sudo -- "$0" "$release" "$@"

cache=/var/cache/lumivista
tarball="$cache/debian-$release-minbase.tar"
if [ ! -s "$tarball" ]; then
  command -v mmdebstrap >/dev/null || {
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap
  }
  mkdir -p "$cache"
  mmdebstrap --variant=minbase --format=tar --include=ca-certificates "$release" "$tarball.part" \
    "deb http://deb.debian.org/debian $release main" \
    "deb http://deb.debian.org/debian $release-updates main" \
    "deb http://deb.debian.org/debian-security $release-security main"
  mv "$tarball.part" "$tarball"
fi

root=${LUMI_DEBIAN_ROOT:-}
if [ -n "$root" ]; then
  mkdir -p "$root"
  root=$(realpath "$root")
else
  root=$(mktemp -d "/var/tmp/lumivista-$release.XXXXXX")
fi
cleanup() { [ -n "${LUMI_DEBIAN_ROOT:-}" ] || rm -rf --one-file-system "$root"; }
trap cleanup EXIT
[ -e "$root/etc/debian_version" ] || tar -xf "$tarball" -C "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"

# The work tree as it stands, uncommitted changes included, without build folders.
project="/work/$(basename "$PWD")"
mkdir -p "$root$project"
git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - --no-recursion |
  tar -xf - -C "$root$project"
[ -d ../shared ] && cp -a ../shared "$root/work/shared"

start=$(date +%s)
status=0
unshare --mount --propagation private --fork -- bash -euo pipefail -c '
  root=$1; project=$2; shift 2
  mount -t proc proc "$root/proc"
  mount --rbind /sys "$root/sys"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
  mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
  # Whatever the run leaves behind ends with it: every process of this mount namespace.
  ends_with_us() {
    local own pid
    own=$(readlink /proc/$$/ns/mnt)
    for pid in $(ls /proc | grep -E "^[0-9]+$"); do
      [ "$pid" != $$ ] && [ "$pid" != $PPID ] && [ "$(readlink "/proc/$pid/ns/mnt" 2>/dev/null)" = "$own" ] &&
        kill -9 "$pid" 2>/dev/null
    done
    return 0
  }
  trap ends_with_us EXIT
  chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    FUZZ_SECONDS="${FUZZ_SECONDS:-30}" bash -c "cd \"$project\" && exec \"\$@\"" bash "$@"
' bash "$root" "$project" "$@" || status=$?
echo "== Debian $release ($(cut -d. -f1 <"$root/etc/debian_version")): status $status after $(($(date +%s) - start)) s =="
exit $status

#!/usr/bin/env bash
# Installs the Debian packages Lumivista needs to build, run and test, on Debian 12 or 13.
# Every name is one both releases have; the sanitizers' runtime is the one of the clang
# the release installs.
# Run as root or as a user with sudo. Does nothing when they are all there already.
#   scripts/install-packages.sh [--test] [--download-only]
# --download-only fetches the packages into apt's cache and installs nothing (CI fetches the
# second release's while the first one's tests run).
set -euo pipefail
download_only=""
[ "${2:-}" = "--download-only" ] && download_only=--download-only

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-webengine-dev libqt6webenginecore6-bin
  libgif-dev fonts-dejavu-core
  # The windows' font, Liberation Sans: the widths their twips layouts were drawn for.
  fonts-liberation2
)
if [ "${1:-}" = "--test" ]; then
  packages+=(clang clang-format procps xvfb xauth openbox icewm xdotool x11-utils wmctrl imagemagick
    x11-xserver-utils i3-wm kwin-x11 dbus-daemon sway xwayland
    appstream desktop-file-utils)
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
updated=""
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  [ -n "$updated" ] || $sudo apt-get update -qq
  updated=yes
  $sudo apt-get install -y -qq --no-install-recommends $download_only "${missing[@]}"
}

install_missing "${packages[@]}"
if [ "${1:-}" = "--test" ] && [ -z "$download_only" ]; then
  clang_major=$(clang -dumpversion | cut -d. -f1)
  install_missing "libclang-rt-$clang_major-dev"
fi

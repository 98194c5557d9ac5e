#!/usr/bin/env bash
# Installs what is needed, builds Lumivista into build/app/ and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
# Placement and stay-on-top need X11; under Wayland the program runs through XWayland.
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-xcb}"
exec build/app/lumivista

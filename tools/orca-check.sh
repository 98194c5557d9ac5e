#!/usr/bin/env bash
# Runs Lumivista under the Orca screen reader on a private Xvfb with openbox and prints what
# Orca would speak (from its debug log; no sound device is needed) while the program places an
# exercise, opens its menu and saves the configuration.
#
#   tools/orca-check.sh [BUILD_DIR]     (needs orca, at-spi2-core and dbus-daemon)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/app/lumivista" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${LUMI_ORCA_INNER:-}" ]; then
  exec env LUMI_ORCA_INNER=1 dbus-run-session -- "$0" "$@"
fi

source tools/desktop-lib.sh
start_desktop
work=$(mktemp -d)
cp -r "$build/app" "$work/app"
# Blinking alone, due at the first 10-second tick and shown for 6 seconds.
write_settings "$work/app/LOGO2.DAT" 0 0 20
set_record_numbers "$work/app/LOGO2.DAT" 3 1 20

log="$work/orca.log"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
sleep 1
orca --replace --debug-file="$log" >/dev/null 2>&1 &
orca_pid=$!
sleep 6
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$work/app/lumivista" >/dev/null 2>&1 &
app_pid=$!
logo=$(wait_window_of "$app_pid")
spoken() { grep -a -o "SPEECH OUTPUT: '[^']*'" "$log" | sed "s/SPEECH OUTPUT: //" | sort -u; }

sleep 13 # the exercise comes at the first tick
echo "== exercise placed =="; spoken; : >"$log"
xdotool mousemove --window "$logo" 20 15 click 3
sleep 3
echo "== menu opened =="; spoken; : >"$log"
xdotool key Escape; sleep 1
xdotool mousemove --window "$logo" 20 15 click --repeat 2 --delay 80 1
sleep 4
echo "== configuration opened =="; spoken; : >"$log"
xdotool key Return
sleep 3
echo "== configuration saved =="; spoken
kill "$app_pid" "$orca_pid" 2>/dev/null || true

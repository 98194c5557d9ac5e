#!/usr/bin/env bash
# Takes the README's screenshots from the real program on Xvfb with openbox:
# the logo with three animations, the configuration window and the statistics window.
#   tools/screenshots.sh [BUILD_DIR]     (writes docs/*.png)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/app/lumivista" ] || { echo "build first: cmake --build $build" >&2; exit 2; }
source tools/desktop-lib.sh
start_desktop
work=$(mktemp -d)
cp -r "$build/app" "$work/app"
# The first settings, with three exercises due at the first tick and on display for a minute.
for n in 1 2 3 4 5 6 7 8 9; do
  if [ "$n" -le 3 ]; then set_record_numbers "$work/app/LOGO2.DAT" "$n" 1 200
  else set_record_numbers "$work/app/LOGO2.DAT" "$n" 0 200; fi
done
"$work/app/lumivista" >/dev/null 2>&1 &
pid=$!
logo=$(wait_window_of "$pid")
sleep 11.5
eval "$(xdotool getwindowgeometry --shell "$logo")"
import -window root -crop "$((WIDTH + 24))x$((HEIGHT + 24))+$((X - 12))+$((Y - 12))" +repage docs/logo-with-animations.png

# Window shots include openbox's frame.
shoot_window() { # title file
  local id
  id=$(xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)
  sleep 0.5
  import -frame -window "$id" "$2"
}
xdotool mousemove $((X + 40)) $((Y + 18)) click --repeat 2 --delay 80 1
shoot_window " Lumivista: Logo Configuration Window" docs/configuration-window.png
xdotool key Escape # Cancel
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$logo")"
xdotool mousemove $((X + 40)) $((Y + 18)) click 3 sleep 0.4 key s
shoot_window " Lumivista: Statistics" docs/statistics-window.png
echo "written: docs/logo-with-animations.png docs/configuration-window.png docs/statistics-window.png"

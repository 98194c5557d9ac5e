#!/usr/bin/env bash
# Measures Lumivista beside a bare Qt window of the same size, in one run, on Xvfb with openbox:
# time from launch to the mapped window, resident memory after start, CPU over 60 s idle,
# and CPU over 60 s with three animations on display. Prints a Markdown table with the goals.
#
#   tools/benchmark.sh [BUILD_DIR]      (default: build; build it first)
#   SECONDS_IDLE=60 SECONDS_ANIM=60 RUNS=31 to change the durations.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
app="$build/app/lumivista"
bare="$build/tools/lumivista-bare-window"
mapwait="$build/tools/lumivista-map-wait"
idle_seconds=${SECONDS_IDLE:-60}
anim_seconds=${SECONDS_ANIM:-60}
runs=${RUNS:-31}
[ -x "$app" ] && [ -x "$bare" ] && [ -x "$mapwait" ] || { echo "build first: cmake --build $build" >&2; exit 2; }

source tools/desktop-lib.sh
start_desktop
work=$(mktemp -d)
cp -r "$build/app" "$work/app"
settings() { write_settings "$work/app/LOGO2.DAT" 3 "$1" "$2"; }

wait_visible() { wait_window_of "$1" >/dev/null; }
# Time from launch to the window's MapNotify, in ms; the waiter listens for the X event,
# so nothing polls while the program starts.
launch_ms() { "$mapwait" "$@"; }
median() { sort -g | sed -n "$(( (runs + 1) / 2 ))p"; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
cpu_ns() { awk '{print $1}' "/proc/$1/schedstat"; } # time on CPU, nanoseconds
# Percent of one core used over the given seconds by each pid, measured side by side.
cpu_percent() { # seconds pid...
  local seconds=$1; shift
  local before=() pid i=0
  for pid in "$@"; do before+=("$(cpu_ns "$pid")"); done
  sleep "$seconds"
  for pid in "$@"; do
    awk -v d=$(( $(cpu_ns "$pid") - before[i] )) -v s="$seconds" 'BEGIN { printf "%.4f ", d / (s * 1e9) * 100 }'
    i=$(( i + 1 ))
  done
  echo
}

# Idle is the first settings a user gets: nine exercises waiting, the first due after minutes.
"$build/tools/lumivista-default-settings" "$work/app/LOGO2.DAT"
# The two programs take turns, so a busy moment of the machine weighs on both alike.
app_times=() bare_times=() ratios=()
for _ in $(seq "$runs"); do
  a=$(launch_ms "$work/app/lumivista")
  b=$(launch_ms "$bare")
  app_times+=("$a") bare_times+=("$b")
  ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", a / b }')")
done
app_start=$(printf '%s\n' "${app_times[@]}" | median)
bare_start=$(printf '%s\n' "${bare_times[@]}" | median)
ratio=$(printf '%s\n' "${ratios[@]}" | median)

"$work/app/lumivista" >/dev/null 2>&1 & app_pid=$!
"$bare" >/dev/null 2>&1 & bare_pid=$!
wait_visible "$app_pid"; wait_visible "$bare_pid"; sleep 2
app_rss=$(rss_kb "$app_pid"); bare_rss=$(rss_kb "$bare_pid")
read -r app_idle bare_idle < <(cpu_percent "$idle_seconds" "$app_pid" "$bare_pid")
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true

# Three exercises due together at the first 10-second tick, each shown for 90 seconds.
settings 1 300
"$work/app/lumivista" >/dev/null 2>&1 & app_pid=$!
wait_visible "$app_pid"
sleep 11
width=$(xdotool getwindowgeometry --shell "$(wait_window_of "$app_pid")" | sed -n 's/WIDTH=//p')
read -r app_anim bare_anim < <(cpu_percent "$anim_seconds" "$app_pid" "$bare_pid")
kill "$app_pid" "$bare_pid"; wait "$app_pid" "$bare_pid" 2>/dev/null || true

verdict() { if awk "BEGIN { exit !($1) }"; then echo met; else echo missed; fi; }
cat <<EOF
| Measure | Lumivista | Bare Qt window | Goal | Result |
|---|---|---|---|---|
| Launch to mapped window (median of $runs alternating launches) | ${app_start} ms | ${bare_start} ms | | |
| Launch ratio to the bare window (median of the $runs pairs) | ${ratio} | 1 | at most 1.10 | $(verdict "$ratio <= 1.10") |
| Resident memory after start | $(( app_rss / 1024 )) MB (${app_rss} kB) | $(( bare_rss / 1024 )) MB (${bare_rss} kB) | within 6 MB of the bare window | $(verdict "$app_rss - $bare_rss <= 6144") |
| CPU over ${idle_seconds} s idle (first settings) | ${app_idle} % | ${bare_idle} % | under 0.02 % of one core | $(verdict "$app_idle < 0.02") |
| CPU over ${anim_seconds} s, three animations (window ${width} px wide) | ${app_anim} % | ${bare_anim} % (idle) | under 1 % of one core | $(verdict "$app_anim < 1") |
EOF

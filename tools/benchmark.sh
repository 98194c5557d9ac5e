#!/usr/bin/env bash
# Measures Lumivista beside bare Qt programs doing the same, in one run, on Xvfb with openbox:
# - launch to the mapped window (MapNotify), beside a bare Qt window of the same size;
# - memory (PSS, and RSS) after start, beside that window, both running;
# - CPU idle, beside that window, and with three animations on display, beside three bare
#   QMovie labels playing the same three files: nanoseconds on the CPU summed over all threads
#   (/proc/PID/task/*/schedstat), and context switches a second (voluntary and not, from
#   /proc/PID/task/*/status);
# - the web page viewer (lumivista-viewer, started as the About window starts it) beside a bare
#   QWebEngineView, both showing the same local page: launch to the mapped window, and the
#   PSS of the whole process tree (the engine's helper processes included) once it has loaded.
# Prints a Markdown table with the goals.
#
#   tools/benchmark.sh [BUILD_DIR]      (default: build; build it first)
#   SECONDS_IDLE=120 SECONDS_ANIM=120 RUNS=31 to change the durations and the launches.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
app="$build/app/lumivista"
viewer="$build/app/lumivista-viewer"
bare="$build/tools/lumivista-bare-window"
bare_web="$build/tools/lumivista-bare-web-view"
mapwait="$build/tools/lumivista-map-wait"
idle_seconds=${SECONDS_IDLE:-120}
anim_seconds=${SECONDS_ANIM:-120}
runs=${RUNS:-31}
for program in "$app" "$bare" "$mapwait"; do
  [ -x "$program" ] || { echo "build first: cmake --build $build (missing $program)" >&2; exit 2; }
done
# Built without the web page viewer (LUMI_WEBENGINE off), the table goes without its lines.
with_viewer=true
[ -x "$viewer" ] && [ -x "$bare_web" ] || with_viewer=false
# The first exercise of the first settings is due after 3 minutes: idle ends before.
[ "$idle_seconds" -le 170 ] || { echo "SECONDS_IDLE at most 170" >&2; exit 2; }

source tools/desktop-lib.sh
start_desktop
work=$(mktemp -d)
cp -r "$build/app" "$work/app"

wait_visible() { wait_window_of "$1" >/dev/null; }
# Time from launch to the window's MapNotify, in ms; the waiter listens for the X event,
# so nothing polls while the program starts, and ends the program's whole process group.
launch_ms() { "$mapwait" "$@"; }
median() { sort -g | sed -n "$(( (runs + 1) / 2 ))p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
kb() { awk -v k="$2" '$1 == k ":" { print $2 }' "/proc/$1/$3"; }
pss_kb() { kb "$1" Pss smaps_rollup; }
rss_kb() { kb "$1" VmRSS status; }
mb() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k / 1024 }'; }
verdict() { if awk "BEGIN { exit !($1) }"; then echo met; else echo missed; fi; }

# One line a thread of each process: pid, thread id, nanoseconds on the CPU (schedstat's
# first field), context switches (voluntary and involuntary). Builtins only: it runs every
# second during a measurement.
thread_counts() { # pid...
  local pid task ns key value switches
  for pid in "$@"; do
    for task in /proc/"$pid"/task/*; do
      { read -r ns _ < "$task/schedstat"; } 2>/dev/null || continue
      switches=0
      { while read -r key value; do
          case $key in *ctxt_switches:) switches=$(( switches + value )) ;; esac
        done < "$task/status"; } 2>/dev/null || continue
      echo "$pid ${task##*/} $ns $switches"
    done
  done
}

# For each pid, measured side by side over the given seconds: "percent-of-one-core
# switches-a-second threads-ended". The threads are read every second: a thread born in the
# window counts from zero, for all its time lies in it; one that ends in it counts up to the
# last reading that saw it. Only a thread that lives less than a second between two readings
# goes unseen. The time is the one elapsed between the first and the last reading.
cpu_use() { # seconds pid...
  local seconds=$1 pid n start end; shift
  start=$EPOCHREALTIME
  thread_counts "$@" | sed 's/^/0 /' > "$work/samples"
  for (( n = 1; n <= seconds; n++ )); do
    sleep 1
    end=$EPOCHREALTIME
    thread_counts "$@" | sed "s/^/$n /" >> "$work/samples"
  done
  for pid in "$@"; do
    awk -v pid="$pid" -v s="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" '
      $2 != pid { next }
      $1 == 0 { ns0[$3] = $4; sw0[$3] = $5 }
      { ns[$3] = $4; sw[$3] = $5; seen[$3] = $1; if ($1 > last) last = $1 }
      END {
        for (t in ns) {
          dns += ns[t] - ns0[t]; dsw += sw[t] - sw0[t]
          if (seen[t] < last) ended++
        }
        printf "%.4f %.2f %d\n", dns / (s * 1e9) * 100, dsw / s, ended
      }' "$work/samples"
  done
}

# The process and all its descendants.
tree_of() { # pid
  ps -e -o pid=,ppid= | awk -v root="$1" '
    { parent[$1] = $2 }
    END {
      for (pid in parent) {
        for (up = pid; up != root && up in parent && up > 1; up = parent[up]) {}
        if (up == root) print pid
      }
    }'
}
# Summed PSS of a process tree, in kB, and the number of processes: "kB count".
tree_pss() { # pid
  local pid total=0 count=0 pss
  for pid in $(tree_of "$1"); do
    pss=$(pss_kb "$pid" 2>/dev/null) || continue
    total=$(( total + pss )) count=$(( count + 1 ))
  done
  echo "$total $count"
}
# Whether any of the processes still runs (an orphan that ended but is not yet reaped does not).
any_running() { # pid...
  local pid state
  for pid in "$@"; do
    state=$(awk '{ sub(/.*\) /, ""); print $1 }' "/proc/$pid/stat" 2>/dev/null) || continue
    [ -n "$state" ] && [ "$state" != Z ] && return 0
  done
  return 1
}
# Ends the process and every process under it, by their ids, and waits for them (5 s, then
# they are killed).
end_tree() { # pid
  local pids
  pids=$(tree_of "$1")
  kill $pids 2>/dev/null || true
  for _ in $(seq 50); do any_running $pids || break; sleep 0.1; done
  kill -9 $pids 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# --- Launch to the mapped window. Idle is the first settings a user gets: nine exercises
# waiting, the first due after 3 minutes. The two programs take turns, so a busy moment of the
# machine weighs on both alike.
"$build/tools/lumivista-default-settings" "$work/app/LOGO2.DAT"
app_times=() bare_times=() ratios=()
for _ in $(seq "$runs"); do
  a=$(launch_ms "$work/app/lumivista")
  b=$(launch_ms "$bare")
  app_times+=("$a") bare_times+=("$b") ratios+=("$(ratio "$a" "$b")")
done
app_start=$(printf '%s\n' "${app_times[@]}" | median)
bare_start=$(printf '%s\n' "${bare_times[@]}" | median)
launch_ratio=$(printf '%s\n' "${ratios[@]}" | median)

# --- Memory and idle CPU, side by side.
"$work/app/lumivista" >/dev/null 2>&1 & app_pid=$!
"$bare" >/dev/null 2>&1 & bare_pid=$!
wait_visible "$app_pid"; wait_visible "$bare_pid"; sleep 2
app_pss=$(pss_kb "$app_pid") bare_pss=$(pss_kb "$bare_pid")
app_rss=$(rss_kb "$app_pid") bare_rss=$(rss_kb "$bare_pid")
{ read -r app_idle app_idle_sw app_idle_end; read -r bare_idle bare_idle_sw bare_idle_end; } \
  < <(cpu_use "$idle_seconds" "$app_pid" "$bare_pid")
end_tree "$app_pid"; end_tree "$bare_pid"

# --- Three animations: exercises 1 to 3 due at the first 10-second tick, each shown (Timing
# counts 300 ms) until well after the measurement ends.
write_settings "$work/app/LOGO2.DAT" 3 1 $(( (anim_seconds + 30) * 10 / 3 ))
"$work/app/lumivista" >/dev/null 2>&1 & app_pid=$!
wait_visible "$app_pid"
# The files the program opened for its three players are the ones the yardstick plays.
gifs=()
for _ in $(seq 200); do
  mapfile -t gifs < <(for fd in /proc/"$app_pid"/fd/*; do readlink "$fd"; done 2>/dev/null |
    grep -i '\.gif$' | sort -u)
  [ "${#gifs[@]}" -ge 3 ] && break
  sleep 0.1
done
[ "${#gifs[@]}" -eq 3 ] ||
  { echo "the program did not open three animations: ${gifs[*]}" >&2; exit 1; }
sleep 2
shown=$(printf '%s\n' "${gifs[@]##*/}" | paste -sd ' ')
width=$(xdotool getwindowgeometry --shell "$(wait_window_of "$app_pid")" | sed -n 's/WIDTH=//p')
"$bare" --movies "${gifs[@]}" >/dev/null 2>&1 & bare_pid=$!
wait_visible "$bare_pid"; sleep 2
{ read -r app_anim app_anim_sw app_anim_end; read -r bare_anim bare_anim_sw bare_anim_end; } \
  < <(cpu_use "$anim_seconds" "$app_pid" "$bare_pid")
end_tree "$app_pid"; end_tree "$bare_pid"

# --- The web page viewer and a bare QWebEngineView, on the same small page served here.
measure_viewer() {
  # The viewer is started as the About window starts it, but given the page to open instead of
  # the home page on the internet, and no --parent (which only ties it to the program's life).
  # Its input stays open, for its end ends the viewer.
  mkdir "$work/page"
  title="Lumivista benchmark page"
  {
    printf '<!DOCTYPE html><html><head><meta charset="utf-8"><title>%s</title></head>' "$title"
    printf '<body><h1>%s</h1>' "$title"
    for n in $(seq 20); do printf '<p>Paragraph %d of plain text.</p>' "$n"; done
    printf '</body></html>\n'
  } > "$work/page/index.html"
  exec 4< <(exec python3 -u -m http.server --bind 127.0.0.1 --directory "$work/page" 0 2>/dev/null)
  server_pid=$!
  read -r port <&4 # "Serving HTTP on 127.0.0.1 port N ..."
  port=$(sed 's/.* port \([0-9]*\).*/\1/' <<<"$port")
  page="http://127.0.0.1:$port/"
  exec 5< <(exec sleep infinity) # the viewer's input, never ended
  input_pid=$!
  viewer_times=() web_times=()
  for _ in $(seq "$runs"); do
    viewer_times+=("$(launch_ms "$work/app/lumivista-viewer" --start-page "$page" <&5)")
    web_times+=("$(launch_ms "$bare_web" "$page")")
  done
  viewer_start=$(printf '%s\n' "${viewer_times[@]}" | median)
  web_start=$(printf '%s\n' "${web_times[@]}" | median)

  # Memory once the page has loaded (the window takes the page's title), one program at a
  # time: side by side, they would share the engine's pages and each be counted half of them.
  loaded_tree_pss() { # pid
    # One search at a time: xdotool gives up on a window that goes while it looks.
    for _ in $(seq 150); do
      xdotool search --all --pid "$1" --name "^$title\$" >/dev/null 2>&1 && break
      sleep 0.2
    done
    xdotool search --all --pid "$1" --name "^$title\$" >/dev/null 2>&1 ||
      { echo "no page loaded in 30 s" >&2; return 1; }
    sleep 3
    tree_pss "$1"
  }
  "$work/app/lumivista-viewer" --start-page "$page" <&5 >/dev/null 2>&1 & pid=$!
  read -r viewer_pss viewer_processes < <(loaded_tree_pss "$pid")
  end_tree "$pid"
  "$bare_web" "$page" >/dev/null 2>&1 & pid=$!
  read -r web_pss web_processes < <(loaded_tree_pss "$pid")
  end_tree "$pid"
  kill "$server_pid" "$input_pid"
}
if $with_viewer; then measure_viewer; fi

cat <<EOF
| Measure | Lumivista | Bare yardstick | Goal | Result |
|---|---|---|---|---|
| Launch to mapped window (median of $runs alternating launches) | ${app_start} ms | ${bare_start} ms (bare window) | | |
| Launch ratio to the bare window (median of the $runs pairs) | ${launch_ratio} | 1 | at most 1.10 | $(verdict "$launch_ratio <= 1.10") |
| Memory after start, PSS (both running) | $(mb "$app_pss") (${app_pss} kB) | $(mb "$bare_pss") (${bare_pss} kB) | within 6 MB of the bare window | $(verdict "$app_pss - $bare_pss <= 6144") |
| Memory after start, RSS | $(mb "$app_rss") (${app_rss} kB) | $(mb "$bare_rss") (${bare_rss} kB) | | |
| CPU over ${idle_seconds} s idle (first settings), all threads | ${app_idle} % | ${bare_idle} % (bare window) | under 0.02 % of one core | $(verdict "$app_idle < 0.02") |
| Context switches a second, idle | ${app_idle_sw} | ${bare_idle_sw} | | |
| CPU over ${anim_seconds} s, three animations (${shown}; window ${width} px wide), all threads | ${app_anim} % | ${bare_anim} % (three bare QMovie labels) | under 1 % of one core | $(verdict "$app_anim < 1") |
| Context switches a second, three animations | ${app_anim_sw} | ${bare_anim_sw} | | |
EOF
if $with_viewer; then cat <<EOF
| Web page viewer: launch to mapped window (median of $runs alternating launches) | ${viewer_start} ms | ${web_start} ms (bare QWebEngineView) | | |
| Web page viewer: PSS of its process tree, page loaded | $(mb "$viewer_pss") (${viewer_processes} processes) | $(mb "$web_pss") (${web_processes} processes) | | |
EOF
fi
ended=$(( app_idle_end + bare_idle_end + app_anim_end + bare_anim_end ))
[ "$ended" -eq 0 ] ||
  echo "($ended threads ended during the CPU measurements: each counted to its last reading.)"

# Shared by the desktop tools: a private Xvfb 1920 x 1080 with openbox, and LOGO2.DAT records.
# Source it, then call start_desktop; stop_desktop runs on exit.

start_desktop() {
  runtime=$(mktemp -d)
  chmod 700 "$runtime"
  export XDG_RUNTIME_DIR="$runtime" TMPDIR="$runtime" QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY QT_SCALE_FACTOR
  trap stop_desktop EXIT
  # A server ending at the same moment can take a fresh display number with it: then again.
  local attempt
  for attempt in 1 2 3; do
    start_x_and_wm && return 0
    kill "${wm:-}" "${xvfb:-}" 2>/dev/null || true
    sleep "$attempt"
  done
  echo "no X server with openbox came up" >&2
  return 1
}

x_answers() { xdpyinfo >/dev/null 2>&1 && kill -0 "$xvfb" 2>/dev/null; }

start_x_and_wm() {
  local display _
  exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null & echo "pid $!")
  read -r _ xvfb <&3
  read -r display <&3 || return 1
  export DISPLAY=":$display"
  # The window manager connects only once the server accepts connections.
  for _ in $(seq 100); do x_answers && break; sleep 0.1; done
  x_answers || return 1
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.1
  done
  return 1
}

stop_desktop() {
  pkill -P $$ 2>/dev/null || true
  kill "${wm:-}" "${xvfb:-}" 2>/dev/null || true
  rm -rf "${runtime:-}" "${work:-}"
}

# One 70-byte record: number, frequency, timing, then a message of spaces and no minutes.
record() {
  printf "$(printf '\\x%02x\\x%02x' $(( $1 & 255 )) $(( $1 >> 8 )) $(( $2 & 255 )) $(( $2 >> 8 )) $(( $3 & 255 )) $(( $3 >> 8 )))"
  printf '%60s' ''
  printf '\x00\x00\x00\x00'
}

# Writes FILE with exercises 1..COUNT at FREQUENCY, the rest off, and a common TIMING.
write_settings() { # file count frequency timing
  local n
  for n in 1 2 3 4 5 6 7 8 9; do
    if [ "$n" -le "$2" ]; then record "$n" "$3" "$4"; else record "$n" 0 "$4"; fi
  done > "$1"
}

# Sets Frequency and Timing of one record of an existing file, keeping everything else.
set_record_numbers() { # file record frequency timing
  printf "$(printf '\\x%02x\\x%02x' $(( $3 & 255 )) $(( $3 >> 8 )) $(( $4 & 255 )) $(( $4 >> 8 )))" |
    dd of="$1" bs=1 seek=$(( ($2 - 1) * 70 + 2 )) conv=notrunc status=none
}

# Waits (10 s at most) for a visible window of the process and prints its id.
wait_window_of() {
  timeout 10 xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -n 1
}

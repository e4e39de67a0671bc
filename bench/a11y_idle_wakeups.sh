#!/usr/bin/env bash
# The idle window's wake-ups per thread with accessibility off and on, side by side: sibilon on a
# private X server and a private session bus that starts the accessibility bus on demand, left alone
# for SECONDS (default 10) after it has settled; each thread's context switches over that time.
#
#   bench/a11y_idle_wakeups.sh [path/to/sibilon] [seconds]
#
# With accessibility on, a screen reader's client reads the whole tree once before the count starts
# (so that the bridge has served), and the registry is the only other party on the bus.
set -euo pipefail

program=${1:-}
seconds=${2:-10}
if [ -z "$program" ]; then
  for candidate in build/rel/app/sibilon build/release-tests/app/sibilon build/asan/app/sibilon; do
    [ -x "$candidate" ] && { program=$candidate; break; }
  done
fi
[ -n "$program" ] && [ -x "$program" ] || { echo "a11y_idle_wakeups: no sibilon built (give its path)" >&2; exit 2; }
program=$(realpath "$program")
reader=$(realpath "$(dirname "$0")/../tests/program/screen_reader.py")

# One run inside its own session: prints "mode thread switches" lines for the idle window (threads of
# one name summed).
measure() {  # on|off
  local mode=$1 display xvfb pid
  for display in $(seq 90 140); do [ -e "/tmp/.X11-unix/X$display" ] || break; done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
  export DISPLAY=":$display"
  busctl --user set-property org.a11y.Bus /org/a11y/bus org.a11y.Status IsEnabled b "$([ "$mode" = on ] && echo true || echo false)"
  SDL_AUDIODRIVER=dummy "$program" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 200); do xdotool search --name '^Sibilon$' >/dev/null 2>&1 && break; sleep 0.05; done
  if [ "$mode" = on ]; then /usr/bin/python3 "$reader" Sibilon tree >/dev/null; fi
  sleep 2  # settle: the window's first paints and the bus's greetings are over
  declare -A before
  for task in /proc/$pid/task/*; do
    before[${task##*/}]=$(awk '/voluntary_ctxt_switches/ {s += $2} END {print s}' "$task/status")
  done
  sleep "$seconds"
  for task in /proc/$pid/task/*; do
    local name now
    name=$(cat "$task/comm")
    now=$(awk '/voluntary_ctxt_switches/ {s += $2} END {print s}' "$task/status")
    echo "$mode $name $((now - ${before[${task##*/}]:-0}))"
  done
  kill "$pid" "$xvfb" 2>/dev/null || true
  wait "$pid" "$xvfb" 2>/dev/null || true
}

for mode in off on; do
  export -f measure
  export program reader seconds
  # The session's services (the accessibility bus, its settings) live in a folder of the run's own.
  folder=$(mktemp -d /tmp/sib-a11y-bench.XXXXXX)
  chmod 700 "$folder"
  XDG_RUNTIME_DIR=$folder HOME=$folder XDG_CONFIG_HOME=$folder XDG_CACHE_HOME=$folder \
    dbus-run-session -- bash -c "measure $mode" 2>/dev/null
  rm -rf "$folder"
done | awk -v s="$seconds" '
  { n[$2] = 1; w[$1 " " $2] += $3 }
  END {
    printf "%-16s %10s %10s   (context switches per thread in %s s of idle window)\n", "thread", "a11y off", "a11y on", s
    for (t in n) printf "%-16s %10d %10d\n", t, w["off " t], w["on " t]
  }'

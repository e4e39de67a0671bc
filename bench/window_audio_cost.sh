#!/usr/bin/env bash
# What the window costs in CPU and wake-ups against what a user would run instead to hear the same
# noise at the same level: the window (on a private X server, started and stopped with real clicks),
# sibilon-play and SoX's `play`, one after the other through one private sound server with a null
# sink. For each, over the same span: CPU (user + system of every thread) and wake-ups a second (the
# threads' voluntary + involuntary context switches), in total and per thread, and each thread's
# scheduling policy (RR or FIFO where real-time scheduling was granted).
#
#   bench/window_audio_cost.sh [path/to/sibilon-play] [seconds]
#
# The window is measured never started, playing (after a click on Start Noise) and stopped (after a
# second click and a second for the device to drain and be let go). The programs are found as
# bench/private_sound_server.sh says (build/bench per the README: a Release tree). Needs Xvfb, xdotool,
# pulseaudio, pulseaudio-utils and sox with libsox-fmt-pulse (scripts/setup installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/private_sound_server.sh
find_player window_audio_cost "${1:-}"
seconds=${2:-20}
window=$(dirname "$player")/../app/sibilon
[ -x "$window" ] || { echo "window_audio_cost: no window program at $window" >&2; exit 2; }
recording=$(cd "$(dirname "$player")/../data" && pwd)/Pink.wav

start_sound_server window_audio_cost
export SDL_AUDIODRIVER=pulseaudio DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus

# A free display number of our own.
display=
for n in $(seq 150 250); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=:$n; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$runtime/xvfb.log" 2>&1 &
xvfb_pid=$!
children=("$xvfb_pid")
cleanup() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  stop_sound_server
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.05; done

# One line per thread: tid name cpu-ns switches policy.
snapshot() {  # pid
  local task
  for task in /proc/"$1"/task/*; do
    local ns switches policy
    read -r ns _ <"$task/schedstat" 2>/dev/null || continue
    switches=$(awk '/ctxt_switches/ {n += $2} END {print n}' "$task/status" 2>/dev/null) || continue
    policy=$(awk '$1 == "policy" {print $3}' "$task/sched" 2>/dev/null)
    printf '%s %s %s %s %s\n' "${task##*/}" "$(tr ' ' '_' <"$task/comm")" "$ns" "$switches" "${policy:-?}"
  done
}

# Measures the process for `seconds`; prints the total and the threads (those that lived through it).
measure() {  # label pid
  local label=$1 pid=$2 before after
  before=$(snapshot "$pid")
  sleep "$seconds"
  after=$(snapshot "$pid")
  awk -v label="$label" -v secs="$seconds" '
    NR == FNR { cpu[$1] = $3; sw[$1] = $4; next }
    ($1 in cpu) {
      c = ($3 - cpu[$1]) / 1e6; w = ($4 - sw[$1]) / secs
      tc += c; tw += w
      name[$2] += 0; ncpu[$2] += c; nw[$2] += w; pol[$2] = ($5 == 1 ? " FIFO" : $5 == 2 ? " RR" : "")
    }
    END {
      printf "%-34s %9.1f ms CPU %8.1f wake-ups/s\n", label, tc, tw
      for (n in name) if (ncpu[n] > 0.05 || nw[n] > 0.05)
        printf "    %-30s %9.1f ms     %8.1f /s%s\n", n, ncpu[n], nw[n], pol[n]
    }' <(echo "$before") <(echo "$after")
}

click_start_button() {  # window id; the button's middle in the window
  xdotool mousemove --sync --window "$1" 235 324 click 1
  xdotool mousemove --sync 0 0
}

echo "Over ${seconds} s each, through a private PulseAudio null sink:"

"$window" >"$runtime/window.log" 2>&1 &
window_pid=$!
children+=("$window_pid")
window_id=$(timeout 60 xdotool search --sync --onlyvisible --name '^Sibilon$' | head -1)
sleep 2
measure "window, never started" "$window_pid"
click_start_button "$window_id"
sleep 2
measure "window, playing pink at 50" "$window_pid"
click_start_button "$window_id"
sleep 2
measure "window, stopped after Start and Stop" "$window_pid"
kill "$window_pid"

"$player" --noise pink --level 50 >/dev/null 2>"$runtime/player.log" &
player_pid=$!
children+=("$player_pid")
sleep 2
measure "sibilon-play --noise pink --level 50" "$player_pid"
kill -INT "$player_pid"

play -q -v 0.1 "$recording" repeat 100 >/dev/null 2>&1 &
sox_pid=$!
children+=("$sox_pid")
sleep 2
measure "sox play -v 0.1 Pink.wav" "$sox_pid"
kill "$sox_pid"
exit 0

#!/usr/bin/env bash
# The headless player against what a user would run instead to hear the same recording at the same
# level: SoX's `play -v 0.1` and a GStreamer pipeline with `volume volume=0.1`, all three at once for
# 20 s through a private PulseAudio server with a null sink. Prints each one's CPU time (user + system,
# of the process and everything it waited for), the player's CPU against the leaner of the other two,
# and where the player's time went: CPU and times scheduled per thread, read near the end of the run.
#
#   bench/real_server_cpu.sh [path/to/sibilon-play] [seconds] [extra sibilon-play options...]
#
# (`--paced-by player` measures the window's chain: the player on its own clock, the rate steered.)
#
# The player defaults to build/release-tests/tools/sibilon-play, then build/bench, then build/rel; its
# recordings are found beside it. Needs pulseaudio, pulseaudio-utils, sox with libsox-fmt-pulse and
# gstreamer1.0-tools with the base and good plugins (scripts/setup installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/private_sound_server.sh
find_player real_server_cpu "${1:-}"
seconds=${2:-20}
shift $(($# > 2 ? 2 : $#))
extra=("$@")
recording=$(cd "$(dirname "$player")/../data" && pwd)/Pink.wav
[ -f "$recording" ] || { echo "real_server_cpu: no recording at $recording" >&2; exit 2; }

start_sound_server real_server_cpu
# GStreamer builds its plugin registry on its first run: not part of what is measured.
gst-inspect-1.0 pulsesink >/dev/null 2>&1 || true

# Each runs in a shell of its own that prints the CPU of what it waited for: `times`' second line.
measure() {  # name, output file, command...
  local name=$1 out=$2; shift 2
  bash -c '"$@" >/dev/null 2>"$0.err"; echo "rc $?" >"$0"; times >>"$0"' "$out" "$@" &
}

results=$runtime/results
mkdir -p "$results"
SDL_AUDIODRIVER=pulseaudio measure sibilon-play "$results/sibilon" \
  "$player" --noise pink --level 50 --seconds "$seconds" "${extra[@]}"
measure sox "$results/sox" play -q -v 0.1 "$recording" trim 0 "$seconds"
measure gstreamer "$results/gst" timeout -s INT "$seconds" gst-launch-1.0 -q -e filesrc location="$recording" \
  ! wavparse ! volume volume=0.1 ! pulsesink

# Where the player's time goes, a second before its end: CPU and times run, per thread.
sleep $((seconds - 1))
player_pid=$(pgrep -n -f -- "--noise pink --level 50 --seconds $seconds" | head -1 || true)
threads=$runtime/threads
: >"$threads"
if [ -n "$player_pid" ]; then
  for task in /proc/"$player_pid"/task/*; do
    read -r ns _ slices <"$task/schedstat" || continue
    printf '%-16s %10.1f ms %8d runs\n' "$(cat "$task/comm")" "$(echo "$ns / 1000000" | bc -l)" "$slices" >>"$threads"
  done
fi
wait $(jobs -p | grep -v "^$server_pid$") 2>/dev/null || true

cpu_of() {  # result file: seconds of user + system CPU of the children
  awk '/^rc/ {next} {n++} n == 2 {
         split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%.3f", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' "$1"
}
status_of() { awk '/^rc/ {print $2}' "$1"; }

ours=$(cpu_of "$results/sibilon")
sox=$(cpu_of "$results/sox")
gst=$(cpu_of "$results/gst")
echo "CPU over ${seconds} s through a private PulseAudio null sink (user + system):"
printf '  %-14s %7.3f s   (exit %s)\n' sibilon-play "$ours" "$(status_of "$results/sibilon")" \
  "sox play" "$sox" "$(status_of "$results/sox")" gstreamer "$gst" "$(status_of "$results/gst")"
leaner=$(echo "if ($sox < $gst) $sox else $gst" | bc -l)
printf '  sibilon-play / sox play  = %.2f\n' "$(echo "$ours / $sox" | bc -l)"
printf '  sibilon-play / gstreamer = %.2f\n' "$(echo "$ours / $gst" | bc -l)"
printf '  sibilon-play / leaner    = %.2f\n' "$(echo "$ours / $leaner" | bc -l)"
echo "sibilon-play's threads one second before its end (CPU, times scheduled):"
sed 's/^/  /' "$threads"
for name in sibilon sox gst; do
  [ -s "$results/$name.err" ] && { echo "$name said:"; sed 's/^/  /' "$results/$name.err"; }
done
exit 0

#!/usr/bin/env bash
# The window's chain (the player on its own clock, the output steering the device's rate to follow it)
# through a private PulseAudio null sink: runs `sibilon-play --paced-by player --status` for 60 s and
# prints the range of the steered rate and of the audio queued between the player and the speaker,
# over the whole run and after its first five seconds.
#
#   bench/real_server_steering.sh [path/to/sibilon-play] [seconds] [extra sibilon-play options...]
#
# The player defaults to build/release-tests/tools/sibilon-play, then build/bench, then build/rel.
# Needs pulseaudio and pulseaudio-utils (scripts/setup installs them).
set -euo pipefail
cd "$(dirname "$0")/.."

player=${1:-}
if [ -z "$player" ]; then
  for candidate in build/release-tests/tools/sibilon-play build/bench/tools/sibilon-play build/rel/tools/sibilon-play; do
    [ -x "$candidate" ] && { player=$candidate; break; }
  done
fi
[ -n "$player" ] && [ -x "$player" ] || { echo "real_server_steering: no sibilon-play built (give its path)" >&2; exit 2; }
seconds=${2:-60}
shift $(($# > 2 ? 2 : $#))

runtime=$(mktemp -d /tmp/sib-pulse.XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime PULSE_RUNTIME_PATH=$runtime/pulse HOME=$runtime SDL_AUDIODRIVER=pulseaudio
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT

pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=false --disallow-exit \
  --load="module-null-sink sink_name=out rate=44100" --load="module-native-protocol-unix" \
  >"$runtime/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pactl info >/dev/null 2>&1 || { echo "real_server_steering: the sound server did not start" >&2; exit 1; }

"$player" --paced-by player --status --seconds "$seconds" "$@" >"$runtime/status" 2>"$runtime/errors" || true
# "status: rate R ppm, queued Q ms, played P frames, underrun U frames"
summary() {  # first second to count
  awk -v from="$1" '/^status: rate/ {
      n++; if (n < from) next
      rate = $3; queued = $6; underrun = $12
      if (!seen) { rmin = rmax = rate; qmin = qmax = queued; seen = 1 }
      if (rate < rmin) rmin = rate; if (rate > rmax) rmax = rate
      if (queued < qmin) qmin = queued; if (queued > qmax) qmax = queued
      last = underrun; count++ }
    END { printf "%3d s: rate %+.0f .. %+.0f ppm, queued %.1f .. %.1f ms, underrun %d frames in all\n",
                 count, rmin, rmax, qmin, qmax, last }' "$runtime/status"
}
echo "The window's chain through a private PulseAudio null sink for ${seconds} s ($player):"
printf '  whole run      '; summary 1
printf '  after 5 s      '; summary 6
[ -s "$runtime/errors" ] && { echo "sibilon-play said:"; sed 's/^/  /' "$runtime/errors"; }
exit 0

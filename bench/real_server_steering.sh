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

. bench/private_sound_server.sh
find_player real_server_steering "${1:-}"
seconds=${2:-60}
shift $(($# > 2 ? 2 : $#))

start_sound_server real_server_steering
export SDL_AUDIODRIVER=pulseaudio

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

#!/usr/bin/env bash
# How soon the window is heard to do what it is told, through a private PulseAudio null sink whose
# monitor is recorded at 20 ms latency: ten cycles of a click on Start Noise, the level set to 0
# (Home on the focused track bar) and to 100 (End), and a click on Stop Noise. Each action is marked
# at the frame the recording had reached when it was sent; prints the median and the worst of the ten
# for Start to first sound, level 0 to silence, level 100 to sound, and Stop to silence, and the
# silent runs (>= 32 frames) inside the sound.
#
#   bench/window_latency.sh [path/to/sibilon-play]
#   LOAD=1 bench/window_latency.sh ...   the same with two busy loops at the same priority running
#
# The window is found beside sibilon-play (build/bench per the README). Needs Xvfb, xdotool,
# pulseaudio and pulseaudio-utils, python3.
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/private_sound_server.sh
find_player window_latency "${1:-}"
window=$(dirname "$player")/../app/sibilon
[ -x "$window" ] || { echo "window_latency: no window program at $window" >&2; exit 2; }

start_sound_server window_latency
export SDL_AUDIODRIVER=pulseaudio DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus
display=
for n in $(seq 251 350); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=:$n; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$runtime/xvfb.log" 2>&1 &
children=($!)
cleanup() {
  for pid in "${children[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  stop_sound_server
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.05; done

if [ "${LOAD:-0}" = 1 ]; then
  for _ in 1 2; do sh -c 'while :; do :; done' & children+=($!); done
fi
recording=$runtime/monitor.raw
parec -d out.monitor --latency-msec=20 --format=s16le --rate=44100 --channels=2 --raw >"$recording" &
children+=($!)
"$window" >"$runtime/window.log" 2>&1 &
children+=($!)
window_id=$(timeout 60 xdotool search --sync --onlyvisible --name '^Sibilon$' | head -1)
sleep 1

mark() { echo "$1 $(($(stat -c %s "$recording") / 4))" >>"$runtime/marks"; }
click_start_button() {
  xdotool mousemove --sync --window "$window_id" 235 324 click 1
  xdotool mousemove --sync 0 0
}
: >"$runtime/marks"
for cycle in $(seq 10); do
  mark start; click_start_button; sleep 1.5
  xdotool key --window "$window_id" Tab Tab Tab Tab; sleep 0.3
  mark level0; xdotool key --window "$window_id" Home; sleep 1
  mark level100; xdotool key --window "$window_id" End; sleep 1
  mark stop; click_start_button; sleep 1.5
done
sleep 0.5

python3 - "$recording" "$runtime/marks" "${LOAD:-0}" <<'EOF'
import array, statistics, sys
samples = array.array('h', open(sys.argv[1], 'rb').read())
frames = len(samples) // 2
silent = [samples[2 * i] == 0 and samples[2 * i + 1] == 0 for i in range(frames)]
marks = [line.split() for line in open(sys.argv[2])]
rate = 44100.0

def first_sound(at):
    while at < frames and silent[at]: at += 1
    return at

def silence_from(at, until):  # the frame after the last sound before `until`
    last = at
    for i in range(at, min(until, frames)):
        if not silent[i]: last = i + 1
    return last

found = {'start': [], 'level0': [], 'level100': [], 'stop': []}
runs = 0
for k, (what, at) in enumerate(marks):
    at = int(at)
    following = int(marks[k + 1][1]) if k + 1 < len(marks) else frames
    if what in ('start', 'level100'):
        found[what].append(first_sound(at) - at)
    else:
        found[what].append(silence_from(at, following) - at)
    if what == 'start':  # silent runs inside the sound, from its onset to the level-0 mark
        i, end = first_sound(at), following
        while i < end:
            if silent[i]:
                j = i
                while j < end and silent[j]: j += 1
                if j - i >= 32 and j < end: runs += 1
                i = j
            else:
                i += 1
names = {'start': 'Start to first sound', 'level0': 'level 0 to silence', 'level100': 'level 100 to sound',
         'stop': 'Stop to silence'}
print('window through a private PulseAudio, monitor recorded at 20 ms (ten cycles)%s:' % (' under two busy loops' if len(sys.argv) > 3 and sys.argv[3] == '1' else ''))
for key in ('start', 'level0', 'level100', 'stop'):
    ms = [f / rate * 1000 for f in found[key]]
    print('  %-22s median %6.1f ms   worst %6.1f ms' % (names[key], statistics.median(ms), max(ms)))
print('  silent runs (>= 32 frames) inside the sound: %d' % runs)
EOF

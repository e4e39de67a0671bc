# Sourced by the sound-server benchmarks: finds the headless player and starts a private PulseAudio
# server with a null sink "out" (the default) in a private runtime folder, removed on exit.
#
#   find_player NAME [path]   sets $player: the path given, else the first sibilon-play built in
#                             build/release-tests, build/bench or build/rel
#   start_sound_server NAME   starts the server and exports what a client needs ($runtime is its folder)

find_player() {  # name, path or empty
  player=${2:-}
  if [ -z "$player" ]; then
    for candidate in build/release-tests/tools/sibilon-play build/bench/tools/sibilon-play build/rel/tools/sibilon-play; do
      [ -x "$candidate" ] && { player=$candidate; break; }
    done
  fi
  [ -n "$player" ] && [ -x "$player" ] || { echo "$1: no sibilon-play built (give its path)" >&2; exit 2; }
}

start_sound_server() {  # name
  runtime=$(mktemp -d /tmp/sib-pulse.XXXXXX)
  chmod 700 "$runtime"
  export XDG_RUNTIME_DIR=$runtime PULSE_RUNTIME_PATH=$runtime/pulse HOME=$runtime
  server_pid=
  trap 'stop_sound_server' EXIT
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=false --disallow-exit \
    --load="module-null-sink sink_name=out rate=44100" --load="module-native-protocol-unix" \
    >"$runtime/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
  pactl info >/dev/null 2>&1 || { echo "$1: the sound server did not start" >&2; exit 1; }
  pactl set-default-sink out
}

stop_sound_server() {
  [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$runtime"
}

# Sourced by the benches that need sound: start_audio_server DIR starts a private PulseAudio
# server in DIR (no home, no default script: only its socket and a 48 kHz null sink
# "zarvo_bench"), points PULSE_SERVER at it, waits until it answers and leaves its pid in
# $server for the caller's clean-up.
start_audio_server() {
  local dir=$1
  XDG_RUNTIME_DIR=$dir HOME=$dir pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --disable-shm=yes --use-pid-file=no \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
    -L "module-null-sink rate=48000 sink_name=zarvo_bench" >"$dir/server.log" 2>&1 &
  server=$!
  export PULSE_SERVER=unix:$dir/native
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  cat "$dir/server.log"
  return 1
}

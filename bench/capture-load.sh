#!/usr/bin/env bash
# Live capture's CPU: a private pulseaudio with a null sink plays a minute of a simulated fax
# broadcast at 48 kHz, and zarvo-bench-capture captures the sink's monitor into the input thread
# for SECONDS and prints the process's CPU as a share of one core.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-30}
work=$(mktemp -d)
server=
player=
cleanup() {
  set +e
  if [ -n "$player" ]; then kill "$player" 2>/dev/null; wait "$player" 2>/dev/null; fi
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The test chart at its shortest, with 10 s of phasing: a broadcast of a little over a minute.
"$build/bin/zarvo-sim" --wav "$work/fax.wav" --audio-rate 48000 --chart-height 100 \
  --phasing-seconds 10 --snr 20

# No home and no default script: only the socket and the sink.
XDG_RUNTIME_DIR=$work HOME=$work pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --disable-shm=yes --use-pid-file=no \
  -L "module-native-protocol-unix auth-anonymous=1 socket=$work/native" \
  -L "module-null-sink sink_name=zarvo_bench" >"$work/server.log" 2>&1 &
server=$!
export PULSE_SERVER=unix:$work/native
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl info >/dev/null || { cat "$work/server.log"; exit 1; }

paplay -d zarvo_bench "$work/fax.wav" &
player=$!
"$build/bench/zarvo-bench-capture" zarvo_bench.monitor "$seconds"

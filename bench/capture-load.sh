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

source "$(dirname "$0")/audio-server.sh"
start_audio_server "$work"

paplay -d zarvo_bench "$work/fax.wav" &
player=$!
"$build/bench/zarvo-bench-capture" zarvo_bench.monitor "$seconds"

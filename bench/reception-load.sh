#!/usr/bin/env bash
# The program receiving with the window shown under Xvfb: prints its CPU share and resident
# memory over a stretch of reception. By default from a box on COM1 (7200 samples/s): zarvo-sim
# streams at the box's pace on a pseudo-terminal, in a process of its own, so that only the
# receiver is measured;
# with "sound", from a sound card: a private PulseAudio server plays a broadcast at 48 kHz into a
# null sink and the program captures the sink's monitor.
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
seconds=${2:-30}
source=${3:-box}
if [ -z "${ZARVO_UNDER_XVFB:-}" ]; then
  ZARVO_UNDER_XVFB=1 exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$bin" "$seconds" "$source"
fi
home=$(mktemp -d)
server=
player=
pid=
box=
cleanup() {
  set +e
  for p in $pid $player $server $box; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$home"
}
trap cleanup EXIT
mkdir -p "$home/Auto"
cp "$bin/Zarvo.cfg" "$home/"
if [ "$source" = sound ]; then
  # Long enough for the start, the phasing and the measured stretch of picture.
  "$bin/zarvo-sim" --wav "$home/fax.wav" --audio-rate 48000 --snr 20
  source "$(dirname "$0")/audio-server.sh"
  start_audio_server "$home"
  mkdir -p "$home/config/Zarvo"
  printf '[SoundInput]\nChosen=true\nSource=zarvo_bench.monitor\n' \
    >"$home/config/Zarvo/Zarvo Meteo.conf"
  XDG_CONFIG_HOME=$home/config "$bin/zarvo-meteo" --home "$home" >/dev/null 2>&1 &
  pid=$!
  sleep 3  # the capture is open
  paplay -d zarvo_bench "$home/fax.wav" &
  player=$!
else
  # Two broadcasts of the chart: long enough for the start, the phasing and the measured stretch.
  "$bin/zarvo-sim" --repeat 2 --noise 40 --phasing-seconds 10 --pty >"$home/pty" 2>/dev/null &
  box=$!
  for _ in $(seq 100); do [ -s "$home/pty" ] && break; sleep 0.05; done
  ZARVO_COM1=$(head -n 1 "$home/pty") XDG_CONFIG_HOME=$home/config "$bin/zarvo-meteo" \
    --home "$home" >/dev/null 2>&1 &
  pid=$!
fi
sleep 20  # start tone and phasing: the picture is being written from here on
# The threads' run time in nanoseconds, as the scheduler counts it: exact, where the clock
# ticks of /proc/PID/stat only sample which thread was running.
runtime() { cat /proc/"$pid"/task/*/schedstat | awk '{ns += $1} END {printf "%d", ns}'; }
# Wakeups: the threads' voluntary context switches (each a sleep that something ended). The cost
# of one varies from host to host and run to run, their number does not.
wakeups() {
  for t in /proc/"$pid"/task/*; do
    echo "${t##*/} $(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status") $(cat "$t/comm")"
  done 2>/dev/null
}
before=$(runtime)
woken_before=$(wakeups)
sleep "$seconds"
after=$(runtime)
woken_after=$(wakeups)
# Per thread with ZARVO_BENCH_THREADS=1; the total always.
woken=$(awk -v each="${ZARVO_BENCH_THREADS:-}" 'NR == FNR {was[$1] = $2; next}
  {n = $2 - was[$1]; total += n; if (each) printf "  thread %s %s: %d\n", $1, $3, n > "/dev/stderr"}
  END {print total}' <(echo "$woken_before") <(echo "$woken_after"))
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
permille=$(( (after - before) / 1000000 / seconds ))
what="reception with the window shown"
[ "$source" = sound ] && what="reception from a sound card at 48 kHz with the window shown"
echo "$what: CPU $(( permille / 10 )).$(( permille % 10 )) % of a core," \
  "$(( woken / seconds )) wakeups/s over ${seconds} s, resident memory $(( rss / 1024 )) MB"

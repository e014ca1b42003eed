#!/usr/bin/env bash
# The program receiving its simulated interface (7200 samples/s) with the window shown under
# Xvfb: prints its CPU share and resident memory over a stretch of reception.
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
seconds=${2:-30}
if [ -z "${ZARVO_UNDER_XVFB:-}" ]; then
  ZARVO_UNDER_XVFB=1 exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$bin" "$seconds"
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/Auto"
cp "$bin/Zarvo.cfg" "$home/"
"$bin/zarvo-meteo" --demo --home "$home" >/dev/null 2>&1 &
pid=$!
sleep 20  # start tone and phasing: the picture is being written from here on
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(ticks)
sleep "$seconds"
after=$(ticks)
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
hz=$(getconf CLK_TCK)
permille=$(( 1000 * (after - before) / hz / seconds ))
echo "reception with the window shown: CPU $(( permille / 10 )).$(( permille % 10 )) % of a core" \
  "over ${seconds} s, resident memory $(( rss / 1024 )) MB"
kill -TERM "$pid"
wait "$pid" || true

#!/usr/bin/env bash
# The program at rest under Xvfb: prints its CPU share with COM1 open on a line that brings
# nothing (a pseudo-terminal nobody writes to), and with no port (COM1 leads to no device).
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
seconds=${2:-30}
if [ -z "${ZARVO_UNDER_XVFB:-}" ]; then
  ZARVO_UNDER_XVFB=1 exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$bin" "$seconds"
fi
home=$(mktemp -d)
pid=
line=
cleanup() {
  set +e
  for p in $pid $line; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$home"
}
trap cleanup EXIT
# The threads' run time in nanoseconds, as the scheduler counts it.
runtime() { cat /proc/"$pid"/task/*/schedstat | awk '{ns += $1} END {printf "%d", ns}'; }

# One run of the program on DEVICE: settled for 5 s, then measured for $seconds.
measure() {
  local device=$1 what=$2
  rm -rf "$home/run" && mkdir -p "$home/run/Auto"
  cp "$bin/Zarvo.cfg" "$home/run/"
  # The error box of a missing port waits for an answer: it is part of the rest measured.
  ZARVO_COM1=$device XDG_CONFIG_HOME=$home/config "$bin/zarvo-meteo" --home "$home/run" \
    >/dev/null 2>&1 &
  pid=$!
  sleep 5
  local before after permille
  before=$(runtime)
  sleep "$seconds"
  after=$(runtime)
  kill "$pid" && wait "$pid" 2>/dev/null || true
  pid=
  permille=$(( (after - before) / 100000 / seconds ))  # in hundredths of a per cent
  printf '%s: CPU %d.%02d %% of a core over %d s\n' "$what" $(( permille / 100 )) \
    $(( permille % 100 )) "$seconds"
}

# A line held open and silent: the master side of a pseudo-terminal, never written.
exec 3< <(python3 -c '
import os, sys, time
master, slave = os.openpty()
print(os.ttyname(slave), flush=True)
time.sleep(100000)')
read -r device <&3
line=$(pgrep -n -f 'time.sleep\(100000\)' || true)
measure "$device" "at rest with the port open and the line silent"
measure "$home/no-such-device" "at rest with no port"

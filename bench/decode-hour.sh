#!/usr/bin/env bash
# One hour of 7200/s interface bytes (repeated broadcasts of the test chart, with noise) through
# zarvo-decode: prints the wall time.
set -euo pipefail
bin=${1:-build/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/zarvo-sim" --noise 30 --repeat 9 -o "$work/hour.raw"
truncate -s $((7200 * 3600)) "$work/hour.raw"
mkdir "$work/out"
start=$(date +%s%N)
"$bin/zarvo-decode" --start "2026-12-07 00:00" --out "$work/out" "$work/hour.raw" | tail -n 1
end=$(date +%s%N)
echo "zarvo-decode of one hour at 7200/s: $(( (end - start) / 1000000 )) ms wall," \
  "$(ls "$work/out" | wc -l) faxes"

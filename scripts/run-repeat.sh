#!/usr/bin/env bash
# Runs the headless `make run` N times in a row and counts the runs that failed, to show the
# demo run is reliable (also while the machine is busy with something else):
#   scripts/run-repeat.sh [N]        default 20
# A run counts as good when it exits 0 and leaves a picture and a recording of its own, both
# newer than the run's start. Each run's output is kept in build/run-repeat/N.txt.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
runs=${1:-20}
out=$root/build/run-repeat
mkdir -p "$out"
bad=0
for i in $(seq "$runs"); do
  marker=$out/start-$i
  touch "$marker"
  start=$SECONDS
  env -u DISPLAY bash scripts/run.sh >"$out/$i.txt" 2>&1
  status=$?
  verdict=ok
  if [ "$status" != 0 ]; then
    verdict="exit $status: $(tail -n 1 "$out/$i.txt")"
  elif [ ! build/screenshot.png -nt "$marker" ]; then
    verdict="no fresh picture"
  elif [ ! build/run/zumbrel-out.wav -nt "$marker" ]; then
    verdict="no fresh recording"
  fi
  rm -f "$marker"
  [ "$verdict" = ok ] || bad=$((bad + 1))
  echo "run $i of $runs: $verdict ($((SECONDS - start)) s) $(grep -a '^run: [0-9]' "$out/$i.txt" | head -1)"
done
echo "run-repeat: $bad of $runs runs failed"
[ "$bad" = 0 ]

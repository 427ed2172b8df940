#!/usr/bin/env bash
# Takes a screenshot of Zumbrel on a Wine virtual desktop (with captions and borders):
#   screenshot.sh [output.png]           default build/screenshot.png
# Environment: ZUMBREL_ARCH (win64 or win32, default win64), ZUMBREL_RUN_DIR (the working
# directory, where the program looks for its instrument and settings; default build/run),
# ZUMBREL_SHOT_DELAY (seconds before the picture, default 3: the load pane shows after 1 s).
# Builds nothing: run `make build` first (make run does).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(realpath -m "${1:-$root/build/screenshot.png}")
arch=${ZUMBREL_ARCH:-win64}
exe=$root/build/$arch/src/app/zumbrel.exe
run_dir=${ZUMBREL_RUN_DIR:-$root/build/run}
delay=${ZUMBREL_SHOT_DELAY:-3}
desktop=800x600
[ -f "$exe" ] || { echo "screenshot: $exe is not built (make build)" >&2; exit 1; }

# Our own display, so that nothing else is in the picture.
unset DISPLAY
source "$root/scripts/session.sh"
session_start
trap session_stop EXIT

mkdir -p "$run_dir" "$(dirname "$out")"
cd "$run_dir"
"$root/scripts/wine-run.sh" "$arch" explorer "/desktop=Zumbrel,$desktop" "$exe" \
  </dev/null >/dev/null 2>&1 &
program=$!
sleep "$delay"
xwd -root -silent | convert xwd:- -crop "$desktop+0+0" +repage "$out"
kill "$program" 2>/dev/null || true
echo "screenshot: $out"

#!/usr/bin/env bash
# Builds everything and starts Zumbrel (zumbrel.exe) under Wine.
# With a display (DISPLAY set) the program opens there and this waits until it is closed.
# Without one it runs on a virtual display, leaves a screenshot in build/screenshot.png and
# ends after ZUMBREL_RUN_SECONDS (default 5).
# Environment: ZUMBREL_ARCH (win64 or win32, default win64), ZUMBREL_RUN_DIR (working
# directory: the program looks there for its instrument and settings; default build/run).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
make --no-print-directory build
arch=${ZUMBREL_ARCH:-win64}
exe=$root/build/$arch/src/app/zumbrel.exe
run_dir=${ZUMBREL_RUN_DIR:-$root/build/run}
mkdir -p "$run_dir"

if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display; starting Zumbrel on a virtual one"
  ZUMBREL_SHOT_DELAY=${ZUMBREL_RUN_SECONDS:-5} bash scripts/screenshot.sh "$root/build/screenshot.png"
  exit 0
fi

source scripts/session.sh
session_start
trap session_stop EXIT
cd "$run_dir"
echo "run: starting $exe in $run_dir"
"$root/scripts/wine-run.sh" "$arch" "$exe"

#!/usr/bin/env bash
# The long audio checks, outside `make test`: a real-time run of the simulated card, the
# open/close cycle check, and a real-time run through Windows audio into a private sound
# server (scripts/sound-server.sh) whose capture is checked for gaps, on both Windows targets.
#   tests/audio/soak.sh [seconds] [cycles]      (defaults 60 and 1000)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
export ZUMBREL_SOAK_SECONDS=${1:-60}
export ZUMBREL_SOAK_CYCLES=${2:-1000}
for preset in win32 win64; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 --target asio_stream_soak zumbrel_sim_asio wasapi_soak \
    >/dev/null
done
source scripts/session.sh
session_start
status=0
for preset in win32 win64; do
  if [ "$preset" = win32 ] && ! session_runs_win32; then
    echo "== win32 not run: this machine runs no 32-bit programs"
    continue
  fi
  echo "== $preset"
  for deferred in 0 1; do
    ZUMBREL_SOAK_DEFERRED=$deferred scripts/wine-run.sh "$preset" \
      "build/$preset/tests/audio/asio_stream_soak.exe" --gtest_filter=AsioStreamSoak.RealTime \
      || status=1
  done
  scripts/wine-run.sh "$preset" "build/$preset/tests/audio/asio_stream_soak.exe" \
    --gtest_filter=AsioStreamSoak.Cycles || status=1
  sound=$root/build/$preset/sound-soak
  bash scripts/sound-server.sh start "$sound"
  PULSE_SERVER=unix:$sound/native ZUMBREL_SOUND_DIR=Z:$sound \
    scripts/wine-run.sh "$preset" "build/$preset/tests/audio/wasapi_soak.exe" || status=1
  bash scripts/sound-server.sh stop "$sound"
  rm -rf "$sound"
done
session_stop
exit $status

#!/usr/bin/env bash
# Builds Zumbrel and starts it (zumbrel.exe) under Wine with an instrument and a sound card:
# the demo instrument is copied into the run directory as zumbrel.dll, the simulated sound
# card is registered (real time, 256 frames, 48000 Hz, recording to zumbrel-out.wav in the run
# directory), and a run directory without tarvoshell.ini gets one that chooses it.
# With a display (DISPLAY set) the program opens there and this waits until it is closed.
# Without one it runs on a virtual display: a phrase is played on the instrument's on-screen
# keyboard, a screenshot is left in build/screenshot.png while the last note sounds, the
# program is closed and one line tells what the sound card played.
# Environment: ARCH (64 or 32) or ZUMBREL_ARCH (win64 or win32), default 64-bit;
# ZUMBREL_RUN_DIR (working directory: the program looks there for its instrument and
# settings; default build/run).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
case "${ARCH:-}" in
  32) arch=win32 ;;
  64) arch=win64 ;;
  "") arch=${ZUMBREL_ARCH:-win64} ;;
  *) echo "run: ARCH is 32 or 64, not '$ARCH'" >&2; exit 2 ;;
esac
[ "$arch" = win32 ] || [ "$arch" = win64 ] || { echo "run: unknown architecture '$arch'" >&2; exit 2; }

bash scripts/setup.sh
source scripts/session.sh
if [ "$arch" = win32 ] && ! session_runs_win32; then
  echo "run: this machine runs no 32-bit programs (the kernel's 32-bit emulation is off);" \
       "use ARCH=64" >&2
  exit 1
fi
# Only what the run needs: the program, the instrument, the sound card and the player.
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" -j"$(nproc)" \
  --target zumbrel demo_instrument zumbrel_sim_asio zumbrel-demo-player >/dev/null
exe=$root/build/$arch/src/app/zumbrel.exe
instrument=$root/build/$arch/instruments/demo/ZumbrelDemoSynth.dll
card_dll=$root/build/$arch/tools/sim-asio/zumbrel_sim_asio.dll
player=$root/build/$arch/tools/demo-player/zumbrel-demo-player.exe
card_name="Zumbrel Simulated Sound Card"
run_dir=$(realpath -m "${ZUMBREL_RUN_DIR:-$root/build/run}")
mkdir -p "$run_dir"
stats=$run_dir/sim-asio-stats.txt
wav=$run_dir/zumbrel-out.wav
screenshot=$root/build/screenshot.png
wine_run() { "$root/scripts/wine-run.sh" "$arch" "$@"; }
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }

# The instrument beside the program's settings, under the executable's base name.
cp "$instrument" "$run_dir/$(basename "$exe" .exe).dll"

if [ -z "${DISPLAY:-}" ]; then headless=1; else headless=0; fi
session_start
# The card leaves the prefix again when the run ends; the settings file keeps its choice.
unregister() { wine_run regsvr32 /s /u "$(windows_path "$card_dll")" </dev/null >/dev/null 2>&1 || true; }
trap 'unregister; session_stop' EXIT

rm -f "$stats"
ZUMBREL_SIM_ASIO_WAV=$(windows_path "$wav") ZUMBREL_SIM_ASIO_STATS=$(windows_path "$stats") \
  wine_run regsvr32 /s "$(windows_path "$card_dll")" </dev/null >/dev/null 2>&1
wine_run reg add "HKLM\\Software\\ASIO\\$card_name" /v SampleRate /t REG_DWORD /d 48000 /f \
  </dev/null >/dev/null 2>&1
wine_run reg add "HKLM\\Software\\ASIO\\$card_name" /v PreferredSize /t REG_DWORD /d 256 /f \
  </dev/null >/dev/null 2>&1

# The program counts drivers from 1 in the order the registry lists them.
if [ ! -f "$run_dir/tarvoshell.ini" ]; then
  number=$(wine_run reg query 'HKLM\Software\ASIO' </dev/null 2>/dev/null | tr -d '\r' |
           grep -i '^HKEY_LOCAL_MACHINE\\Software\\ASIO\\' | sed 's/.*\\//' |
           grep -n -x -F "$card_name" | cut -d: -f1 || true)
  printf '[device]\r\nasio=%s\r\nsamplerate=1\r\nmidiin=0\r\ntempo=120\r\n' "${number:-1}" \
    >"$run_dir/tarvoshell.ini"
fi

cd "$run_dir"
if [ "$headless" = 0 ]; then
  echo "run: starting $exe in $run_dir"
  wine_run "$exe" || true
else
  echo "run: no display; Zumbrel plays a phrase on a virtual one"
  desktop=800x600
  request=$run_dir/screenshot-request
  rm -f "$request" "$wav"
  wine_run explorer "/desktop=Zumbrel,$desktop" "$exe" </dev/null >/dev/null 2>&1 &
  program=$!
  # The player clicks the editor's keys from the same virtual desktop (windows of another
  # desktop are not seen) and holds the last note until the picture is taken.
  wine_run explorer "/desktop=Zumbrel,$desktop" "$player" "$(windows_path "$wav")" \
    "$(windows_path "$request")" </dev/null >"$run_dir/player.txt" 2>&1 &
  playing=$!
  for _ in $(seq 600); do
    [ -e "$request" ] && break
    kill -0 "$playing" 2>/dev/null || break
    sleep 0.1
  done
  if [ -e "$request" ]; then
    xwd -root -silent | convert xwd:- -crop "$desktop+0+0" +repage "$screenshot"
    rm -f "$request"
  fi
  status=0
  wait "$playing" || status=$?
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  [ -f "$screenshot" ] && echo "run: screenshot in $screenshot"
  played=$(grep -a '^player:' "$run_dir/player.txt" | sed 's/^player: //' | tr -d '\r' | tail -1)
  if [ -s "$stats" ]; then
    value() { sed -n "s/^$1=//p" "$stats" | tr -d '\r' | head -1; }
    echo "run: $(value blocks) blocks rendered, $(value late) late; ${played:-the player said nothing}"
    echo "run: recording in $wav"
  else
    echo "run: the sound card wrote no statistics (no audio blocks flowed); ${played:-}"
    status=1
  fi
  exit "$status"
fi

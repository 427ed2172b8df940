#!/usr/bin/env bash
# Builds everything and starts Zumbrel (zumbrel.exe) under Wine with an instrument and a sound
# card: the demo instrument is copied into the run directory as zumbrel.dll, the simulated
# sound card is registered (real time, 256 frames, 48000 Hz, recording to zumbrel-out.wav in
# the run directory), and a run directory without tarvoshell.ini gets one that chooses it.
# With a display (DISPLAY set) the program opens there and this waits until it is closed.
# Without one it runs on a virtual display, leaves a screenshot in build/screenshot.png, closes
# the program after ZUMBREL_RUN_SECONDS (default 5) and prints what the sound card played.
# Environment: ZUMBREL_ARCH (win64 or win32, default win64), ZUMBREL_RUN_DIR (working
# directory: the program looks there for its instrument and settings; default build/run).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
make --no-print-directory build
arch=${ZUMBREL_ARCH:-win64}
exe=$root/build/$arch/src/app/zumbrel.exe
instrument=$root/build/$arch/instruments/demo/ZumbrelDemoSynth.dll
card_dll=$root/build/$arch/tools/sim-asio/zumbrel_sim_asio.dll
card_name="Zumbrel Simulated Sound Card"
run_dir=$(realpath -m "${ZUMBREL_RUN_DIR:-$root/build/run}")
mkdir -p "$run_dir"
stats=$run_dir/sim-asio-stats.txt
wav=$run_dir/zumbrel-out.wav
wine_run() { "$root/scripts/wine-run.sh" "$arch" "$@"; }
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }

# The instrument beside the program's settings, under the executable's base name.
cp "$instrument" "$run_dir/$(basename "$exe" .exe).dll"

source scripts/session.sh
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
  echo "run: no display; starting Zumbrel on a virtual one"
  desktop=800x600
  wine_run explorer "/desktop=Zumbrel,$desktop" "$exe" </dev/null >/dev/null 2>&1 &
  program=$!
  sleep "${ZUMBREL_RUN_SECONDS:-5}"
  xwd -root -silent | convert xwd:- -crop "$desktop+0+0" +repage "$root/build/screenshot.png"
  echo "run: screenshot in $root/build/screenshot.png"
  # A close request, so the program stops its devices and the card writes its statistics.
  # It is sent from the same virtual desktop: windows of another desktop are not seen.
  wine_run explorer "/desktop=Zumbrel,$desktop" taskkill /IM "$(basename "$exe")" \
    </dev/null >/dev/null 2>&1 || true
  for _ in $(seq 100); do [ -s "$stats" ] && break; sleep 0.1; done
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  if [ -s "$stats" ]; then
    value() { sed -n "s/^$1=//p" "$stats" | tr -d '\r' | head -1; }
    echo "run: $card_name played $(value blocks) blocks ($(value answered) answered," \
         "$(value late) late, $(value missed) missed); recording in $wav"
  else
    echo "run: the sound card wrote no statistics (no audio blocks flowed)"
  fi
fi

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
# Whatever stops this script early says which step it was, in one line.
trap 'echo "run: failed: $BASH_COMMAND (exit $?)" >&2' ERR
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
mkdir -p build
build_log=$root/build/run-build.log
if ! { cmake --preset "$arch" && cmake --build --preset "$arch" -j"$(nproc)" \
       --target zumbrel demo_instrument zumbrel_sim_asio zumbrel-demo-player; } >"$build_log" 2>&1; then
  grep -E 'error|Error' "$build_log" | head -30 >&2
  echo "run: failed: the $arch build (log in $build_log)" >&2
  exit 1
fi
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
  # The prefix leaves windows to no window manager (its tests run without one); on a real
  # display the program's windows get the desktop's own frames.
  appkey="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$exe")\\X11 Driver"
  wine_run reg add "$appkey" /v Managed /d Y /f </dev/null >/dev/null 2>&1
  trap 'wine_run reg delete "$appkey" /f </dev/null >/dev/null 2>&1; unregister; session_stop' EXIT
  echo "run: starting $exe in $run_dir"
  wine_run "$exe" || true
  exit 0
fi

echo "run: no display; Zumbrel plays a phrase on a virtual one"
desktop=800x600
request=$run_dir/screenshot-request
report=$run_dir/player.txt
# Nothing from an earlier run may pass for this run's results.
rm -f "$request" "$wav" "$report" "$screenshot"
# One virtual desktop, made by the player's explorer; the player starts Zumbrel on it itself
# (windows of another desktop are not seen) and holds the last note until the picture is taken.
wine_run explorer "/desktop=Zumbrel,$desktop" "$player" "$(windows_path "$exe")" \
  "$(windows_path "$wav")" "$(windows_path "$request")" "$(windows_path "$report")" \
  </dev/null >/dev/null 2>&1 &
desktop_pid=$!
# The player needs about 4 s to play and at most 30 s for Zumbrel to appear and 15 s each to
# be pictured and to close; 90 s leaves room on a busy machine.
pictured=0
for _ in $(seq 900); do
  if [ -e "$request" ] && [ "$pictured" = 0 ]; then
    xwd -root -silent | convert xwd:- -crop "$desktop+0+0" +repage "$screenshot"
    pictured=1
    rm -f "$request"
  fi
  [ -s "$report" ] && break
  kill -0 "$desktop_pid" 2>/dev/null || break
  sleep 0.1
done
# The desktop closes by itself once its last program has ended; wait for that a little.
for _ in $(seq 50); do kill -0 "$desktop_pid" 2>/dev/null || break; sleep 0.1; done
kill "$desktop_pid" 2>/dev/null || true
wait "$desktop_pid" 2>/dev/null || true

played=$(sed -n 's/^player: //p' "$report" 2>/dev/null | tr -d '\r' | tail -1)
[ "$pictured" = 1 ] && echo "run: screenshot in $screenshot"
if [ -z "$played" ]; then
  echo "run: failed: the demo player ended without a report (no Zumbrel window, or Wine failed)" >&2
  exit 1
fi
if [ ! -s "$stats" ]; then
  echo "run: failed: the sound card wrote no statistics (no audio blocks flowed); $played" >&2
  exit 1
fi
value() { sed -n "s/^$1=//p" "$stats" | tr -d '\r' | head -1; }
echo "run: $(value blocks) blocks rendered, $(value late) late; $played"
[ -s "$wav" ] && echo "run: recording in $wav"
if ! grep -q 'notes played' <<<"$played" || grep -q 'silent\|too quiet\|no screenshot' <<<"$played" \
   || [ "$pictured" = 0 ]; then
  echo "run: failed: $played" >&2
  exit 1
fi

#!/usr/bin/env bash
# Takes screenshots of the settings dialog on its own, on a Wine virtual desktop:
#   dialog-screenshot.sh [output folder]     default build/dialog-shots
# Writes dialog.png (the dialog as it opens) and popup.png (the driver selector's menu open),
# with a settings file holding a driver list, stored choices and two scripted MIDI ports.
# Environment: ZUMBREL_ARCH (win64 or win32, default win64). Builds nothing: build the
# device_settings_demo target first.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(realpath -m "${1:-$root/build/dialog-shots}")
arch=${ZUMBREL_ARCH:-win64}
exe=$root/build/$arch/tests/ui/device_settings_demo.exe
desktop=400x240
[ -f "$exe" ] || { echo "dialog-screenshot: $exe is not built" >&2; exit 1; }

unset DISPLAY
source "$root/scripts/session.sh"
session_start
trap session_stop EXIT

run_dir=$(mktemp -d)
mkdir -p "$out"
cat > "$run_dir/tarvoshell.ini" <<'INI'
[list]
0=none
1=USB Audio Interface
2=Zumbrel Simulated Sound Card
num=3
[device]
asio=2
midiin=1
samplerate=1
tempo=128
INI

shot() { # shot <name> <arguments...>
  local name=$1; shift
  (cd "$run_dir" && "$root/scripts/wine-run.sh" "$arch" explorer "/desktop=Dialog,$desktop" \
     "$exe" "$@" </dev/null >/dev/null 2>&1) &
  local program=$!
  sleep 4
  xwd -root -silent | convert xwd:- -crop "$desktop+0+0" +repage "$out/$name.png"
  kill "$program" 2>/dev/null || true
  "$root/scripts/wine-prefix.sh" "$arch" stop >/dev/null 2>&1 || true
  "$root/scripts/wine-prefix.sh" "$arch" start >/dev/null 2>&1 || true
  echo "dialog-screenshot: $out/$name.png"
}

shot dialog --scripted-midi
shot popup --scripted-midi --popup=800
rm -rf "$run_dir"

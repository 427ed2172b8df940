#!/usr/bin/env bash
# Makes the README's pictures anew, each cropped to its window:
#   docs/main-window.png      Zumbrel playing the demo instrument (a headless `make run`)
#   docs/settings-dialog.png  the device settings dialog with a driver list and MIDI ports
# Runs its own virtual display and restarts the 64-bit prefix's wineserver: not while
# `make test` runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
unset DISPLAY
mkdir -p docs
run_dir=$(mktemp -d)
shots=$(mktemp -d)
trap 'rm -rf "$run_dir" "$shots"' EXIT

# A fresh run directory, so the picture shows the settings a new user gets.
ZUMBREL_RUN_DIR=$run_dir ARCH=64 bash scripts/run.sh
convert build/screenshot.png -trim +repage docs/main-window.png

cmake --build --preset win64 --target device_settings_demo >/dev/null
bash scripts/dialog-screenshot.sh "$shots"
convert "$shots/dialog.png" -trim +repage docs/settings-dialog.png
echo "readme-screenshots: docs/main-window.png docs/settings-dialog.png"

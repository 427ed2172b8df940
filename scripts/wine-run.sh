#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix of the given architecture:
#   wine-run.sh win32|win64 program.exe [arguments...]
# CMake uses it as the cross-compiling emulator, so `ctest` in build/win32 or build/win64
# runs the test executables without further setup.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=${1:?win32 or win64}
shift
export WINEPREFIX=$root/build/wine/$arch
export WINEDEBUG=${WINEDEBUG:--all}
case "$arch" in
  win32) loader=/usr/lib/wine/wine ;;
  win64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-run: unknown architecture '$arch'" >&2; exit 2 ;;
esac
[ -f "$WINEPREFIX/.zumbrel-ready" ] || "$root/scripts/wine-prefix.sh" "$arch" start
exec "$loader" "$@"

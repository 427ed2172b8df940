#!/usr/bin/env bash
# Prepares and serves the project-local Wine prefix of one architecture.
#   wine-prefix.sh win32|win64 start   create the prefix if needed, start a persistent wineserver
#   wine-prefix.sh win32|win64 stop    stop that prefix's wineserver
# The server is started with its output detached: Wine's background services inherit the
# first process's stdout/stderr, and an attached pipe would keep CTest waiting.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=${1:?win32 or win64}
action=${2:-start}
export WINEPREFIX=$root/build/wine/$arch
export WINEDEBUG=-all
case "$arch" in
  win32) export WINEARCH=win32; loader=/usr/lib/wine/wine ;;
  win64) export WINEARCH=win64; loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-prefix: unknown architecture '$arch'" >&2; exit 2 ;;
esac

if [ "$action" = stop ]; then
  [ -d "$WINEPREFIX" ] && wineserver -k </dev/null >/dev/null 2>&1 || true
  exit 0
fi

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
wineserver -p </dev/null >/dev/null 2>&1 || true
if [ ! -f "$WINEPREFIX/.zumbrel-ready" ]; then
  echo "wine-prefix: creating $arch prefix (first run only)..." >&2
  "$loader" wineboot --init </dev/null >/dev/null 2>&1
  touch "$WINEPREFIX/.zumbrel-ready"
else
  "$loader" wineboot </dev/null >/dev/null 2>&1
fi
# The prefix's own settings, applied once (a prefix made by an earlier version gets them too).
settings_version=2
if [ "$(cat "$WINEPREFIX/.zumbrel-settings" 2>/dev/null)" != "$settings_version" ]; then
  # A crash must fail the test that caused it instead of waiting on a dialog.
  "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1
  # No window manager runs on the virtual display: a window the X11 driver leaves to one waits
  # up to 2 s for an answer each time it is hidden or destroyed. Wine draws the frames itself.
  "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  echo "$settings_version" >"$WINEPREFIX/.zumbrel-settings"
fi
# Wine's own fonts, as a Wine installation normally offers them: without them window captions
# draw their buttons as the letters behind Marlett's symbols ("0 1 r") and dialogs fall back
# to wider fonts than Tahoma.
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -d "$fonts" ] && [ -d /usr/share/wine/fonts ] && [ ! -f "$fonts/marlett.ttf" ]; then
  cp -n /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
fi

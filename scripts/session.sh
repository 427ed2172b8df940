# Sourced by the test and run scripts: a virtual display when there is none, and a persistent
# wineserver per prefix, so each Wine program starts in a fraction of a second.
# session_start brings both up; session_stop takes down what session_start started.

_session_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
_session_xvfb_pid=

# True when this machine runs 32-bit programs: a kernel can have its 32-bit emulation off
# (then every 32-bit program fails with "Exec format error"), and Wine's 32-bit side with it.
session_runs_win32()
{
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

session_start()
{
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    _session_xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  if session_runs_win32; then
    "$_session_root/scripts/wine-prefix.sh" win32 start
  fi
  "$_session_root/scripts/wine-prefix.sh" win64 start
}

session_stop()
{
  "$_session_root/scripts/wine-prefix.sh" win32 stop
  "$_session_root/scripts/wine-prefix.sh" win64 stop
  if [ -n "$_session_xvfb_pid" ]; then
    kill "$_session_xvfb_pid" 2>/dev/null
    wait "$_session_xvfb_pid" 2>/dev/null
    unset DISPLAY
  fi
  return 0
}

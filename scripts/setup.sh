#!/usr/bin/env bash
# Installs the cross compilers, Wine and the virtual display the build and tests need.
# Idempotent and quiet when everything is already there.
set -euo pipefail

need_cmds=(i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix i686-w64-mingw32-windres
           x86_64-w64-mingw32-windres wine wineserver Xvfb cmake xwd convert)
need_files=(/usr/lib/wine/wine64 /usr/src/googletest/CMakeLists.txt
            /usr/include/benchmark/benchmark.h /usr/lib/i386-linux-gnu/wine)

missing=0
for c in "${need_cmds[@]}"; do command -v "$c" >/dev/null 2>&1 || missing=1; done
for f in "${need_files[@]}"; do [ -e "$f" ] || missing=1; done
[ "$missing" = 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive

echo "setup: installing cross compilers, Wine and Xvfb (first run only)..."
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    wine wine32:i386 wine64 fonts-wine \
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 \
    xvfb xauth x11-apps imagemagick \
    cmake make googletest libbenchmark-dev g++ >/dev/null
echo "setup: done."

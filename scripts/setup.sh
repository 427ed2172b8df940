#!/usr/bin/env bash
# Installs the cross compilers, Wine, the virtual display and the sound server (the Windows
# audio tests play into a private one) the build and tests need.
# Idempotent and quiet when everything is already there.
#
# A bad mirror day does not stop the build. `apt-get update` is tried a few times and the
# install goes on with the lists that did load. The 64-bit tool chain and Wine come first;
# the 32-bit Wine packages are installed on their own afterwards. When they cannot be, setup
# says so in one line, writes the reason to build/setup/win32-missing (the test run then
# counts the win32 cases as skipped, with that reason) and succeeds. A required package that
# cannot be installed ends setup with one line naming it and apt's reason.
#
# ZUMBREL_SETUP_ROOT stands in for / when looking for installed files (for the tests).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sysroot=${ZUMBREL_SETUP_ROOT:-}
win32_note=$root/build/setup/win32-missing
update_attempts=3

need_cmds=(i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix i686-w64-mingw32-windres
           x86_64-w64-mingw32-windres wine wineserver Xvfb cmake xwd convert
           pulseaudio parec pactl)
need_files=(/usr/lib/wine/wine64 /usr/src/googletest/CMakeLists.txt
            /usr/include/benchmark/benchmark.h)
need32_files=(/usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine)
packages=(wine wine64 fonts-wine
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
          xvfb xauth x11-apps imagemagick
          cmake make googletest libbenchmark-dev g++
          pulseaudio pulseaudio-utils)
packages32=(wine32:i386)

have_all()
{
  local c f
  for c in "${need_cmds[@]}"; do command -v "$c" >/dev/null 2>&1 || return 1; done
  for f in "${need_files[@]}"; do [ -e "$sysroot$f" ] || return 1; done
}

have_32bit()
{
  local f
  for f in "${need32_files[@]}"; do [ -e "$sysroot$f" ] || return 1; done
}

# apt's own reason from its output in file $1: the first unmet dependency it names, else its
# first error line, else its last line.
apt_reason()
{
  local reason
  reason=$(grep -m1 -E '^ \S+ : (Depends|PreDepends|Breaks|Conflicts): ' "$1" | sed -E 's/^ +//; s/ +/ /g')
  [ -n "$reason" ] || reason=$(grep -m1 -E '^E: ' "$1" | sed -E 's/^E: //')
  [ -n "$reason" ] || reason=$(grep -v '^[[:space:]]*$' "$1" | tail -n 1)
  echo "${reason:-apt-get gave no reason}"
}

if have_all && have_32bit; then
  rm -f "$win32_note"
  exit 0
fi

if [ "$(id -u)" != 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
out=$(mktemp)
prefs=
trap 'rm -f "$out"; [ -z "$prefs" ] || rm -rf "$prefs"' EXIT

echo "setup: installing cross compilers, Wine and Xvfb (first run only)..."
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

lists_complete=0
for attempt in $(seq "$update_attempts"); do
  if $SUDO apt-get update -qq >"$out" 2>&1; then
    lists_complete=1
    break
  fi
  [ "$attempt" -lt "$update_attempts" ] && sleep $((attempt * 5))
done
if [ "$lists_complete" = 0 ]; then
  echo "setup: some package lists did not load ($(apt_reason "$out")); installing from the rest"
fi

if ! have_all; then
  if ! $SUDO apt-get install -y -qq --no-install-recommends "${packages[@]}" >"$out" 2>&1; then
    # Name the package apt cannot install: the first one whose install alone would fail.
    culprit=
    reason=$(apt_reason "$out")
    for p in "${packages[@]}"; do
      if ! apt-get install -s -qq --no-install-recommends "$p" >"$out" 2>&1; then
        culprit=$p
        reason=$(apt_reason "$out")
        break
      fi
    done
    echo "setup: failed: cannot install ${culprit:-the required packages}: $reason"
    exit 1
  fi
fi

if ! have_32bit; then
  installed32=0
  if $SUDO apt-get install -y -qq --no-install-recommends "${packages32[@]}" >"$out" 2>&1; then
    installed32=1
  elif [ "$lists_complete" = 0 ]; then
    # The 32-bit libraries must have their 64-bit twins' versions. With one security list
    # missing, both come from the point release when the security archive ranks lower.
    prefs=$(mktemp -d)
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 50\n' >"$prefs/security"
    $SUDO apt-get install -y -qq --no-install-recommends -o "Dir::Etc::PreferencesParts=$prefs" \
      "${packages32[@]}" >"$out" 2>&1 && installed32=1
  fi
  if [ "$installed32" = 1 ] && have_32bit; then
    rm -f "$win32_note"
  else
    reason="32-bit Wine (${packages32[*]}) could not be installed: $(apt_reason "$out")"
    mkdir -p "$(dirname "$win32_note")"
    echo "$reason" >"$win32_note"
    echo "setup: $reason; the win32 tests will be skipped"
  fi
else
  rm -f "$win32_note"
fi

if ! have_all; then
  echo "setup: failed: apt-get succeeded but the tools are still missing"
  exit 1
fi
echo "setup: done."

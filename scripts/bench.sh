#!/usr/bin/env bash
# Builds the native benchmarks with full optimisation and runs them, then compares every sample
# conversion and the output stage with their reference definitions over all inputs: natively,
# and built for Windows under Wine (win64, and win32 where this machine runs 32-bit programs).
# The conversions and the output stage are timed and checked for every vector loop the
# processor runs (SSE2, and AVX2 where it runs). Under Wine it also times the guard around
# every call into a plug-in or driver. Ends with the goal lines (for the loops the program
# uses, and the guard per Windows build) and one line per exhaustive run. Never fails on timings; exits
# non-zero when an exhaustive check finds a difference or does not run, or when the 64-bit
# Windows build moves a 256-bit register to or from the stack with an aligned instruction.
# Build folders: build/bench and build/bench-win32, build/bench-win64, or ZUMBREL_BENCH_DIR
# and ZUMBREL_BENCH_WIN_DIR (a prefix, completed by win32 and win64).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
source scripts/session.sh  # session_runs_win32 only: console programs need no display

native_dir=${ZUMBREL_BENCH_DIR:-build/bench}
win_prefix=${ZUMBREL_BENCH_WIN_DIR:-build/bench-}
options=(-DCMAKE_BUILD_TYPE=Release -DZUMBREL_BENCHMARKS=ON -DZUMBREL_WERROR=ON)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

cmake -S . -B "$native_dir" "${options[@]}" >/dev/null
cmake --build "$native_dir" -j"$(nproc)" >/dev/null
for b in "$native_dir"/bench/*/*_bench; do
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.2 --benchmark_color=false | tee -a "$logs/bench.txt"
done

# One exhaustive run: prints its lines as they come and keeps a verdict for the summary.
failed=0
exhaustive()
{
  local where=$1 start=$SECONDS status=0
  shift
  echo "== exhaustive check, $where"
  "$@" | tee "$logs/exhaustive-$where.txt" || status=$?
  if [ "$status" = 0 ]; then
    echo "$where: $(grep -c ' equal over ' "$logs/exhaustive-$where.txt") checks equal" \
         "($((SECONDS - start)) s)" >>"$logs/summary.txt"
  else
    echo "$where: FAILED (exit $status)" >>"$logs/summary.txt"
    failed=1
  fi
}

exhaustive native "$native_dir/bench/exhaustive/sample_exhaustive_check"

# The 64-bit Windows compiler cannot align its stack to 32 bytes, so a 256-bit register it
# spills is stored with an aligned move to a slot that is only 16-byte aligned, and faults.
# The AVX2 loops are written to need no spill; this lists any aligned 256-bit stack access.
aligned_wide_stack_moves()
{
  local objdump
  objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$1/CMakeCache.txt")
  "$objdump" -d --no-show-raw-insn "$2" |
    awk '/^[0-9a-f]+ <.*>:$/ { fn = $2 }
         /vmov(ap[sd]|dqa)/ && /ymm/ && /\(%r[sb]p\)/ { print fn, $0 }'
}

declare -A toolchain=([win32]=cmake/mingw-i686.cmake [win64]=cmake/mingw-x86_64.cmake)
for arch in win64 win32; do
  if [ "$arch" = win32 ] && ! session_runs_win32; then
    echo "win32: not run: this machine runs no 32-bit programs" >>"$logs/summary.txt"
    continue
  fi
  dir=$win_prefix$arch
  log=$logs/build-$arch.txt
  if ! { cmake -S . -B "$dir" --toolchain "${toolchain[$arch]}" "${options[@]}" &&
         cmake --build "$dir" -j"$(nproc)" --target sample_exhaustive_check fault_guard_cost; } \
       >"$log" 2>&1; then
    grep -E 'error|Error' "$log" | head -30
    echo "$arch: FAILED (the build; log above)" >>"$logs/summary.txt"
    failed=1
    continue
  fi
  exe=$dir/bench/exhaustive/sample_exhaustive_check.exe
  if [ "$arch" = win64 ]; then
    moves=$(aligned_wide_stack_moves "$dir" "$exe")
    if [ -n "$moves" ]; then
      echo "$moves" | head -20
      echo "win64: FAILED (aligned 256-bit stack moves; listed above)" >>"$logs/summary.txt"
      failed=1
    else
      echo "win64: no aligned 256-bit stack moves in the build" >>"$logs/summary.txt"
    fi
  fi
  exhaustive "$arch" scripts/wine-run.sh "$arch" "$exe"
  # What the guard around every call into a plug-in or driver costs (Windows only).
  echo "== call guard, $arch"
  scripts/wine-run.sh "$arch" "$dir/bench/fault_guard_cost.exe" 2>/dev/null \
    | sed "s/^goal: call guard/goal: call guard ($arch)/" | tee -a "$logs/bench.txt" || true
done

echo "== goals"
grep '^goal:' "$logs/bench.txt" || echo "(no goal lines)"
echo "== exhaustive checks"
cat "$logs/summary.txt"
exit "$failed"

#!/usr/bin/env bash
# The whole test run: installs what is missing, builds the four configurations, runs every
# test (the Windows ones under Wine, on a virtual display) and ends with one summary line
# "N passed, N failed, N skipped" over all of them, counted per test case. Exits non-zero on
# any failure. Prints a line per stage while it works and the time each configuration took.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh || exit 1

presets=(native tsan win32 win64)
declare -A what=([native]="Linux, portable code with AddressSanitizer and UBSan"
                 [tsan]="Linux, portable code with ThreadSanitizer"
                 [win32]="Windows 32-bit under Wine" [win64]="Windows 64-bit under Wine")
declare -A build_time test_time outcome
jobs=$(nproc)
passed=0
failed=0
skipped=0
win32_why="not run on this machine"
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

n=0
for preset in "${presets[@]}"; do
  n=$((n + 1))
  echo "== build $n of ${#presets[@]}: $preset (${what[$preset]})"
  start=$SECONDS
  log=$logs/build-$preset.log
  # Always configure: a subsystem folder that appeared since the last run joins the build.
  cmake --preset "$preset" >"$log" 2>&1 || { cat "$log"; echo "configure of $preset failed"; exit 1; }
  if ! cmake --build --preset "$preset" -j"$jobs" >"$log" 2>&1; then
    grep -E 'error|warning|Error' "$log" | head -60
    echo "build of $preset failed"
    exit 1
  fi
  build_time[$preset]=$((SECONDS - start))
done

# Sums the case counts of the result files one configuration's test programs wrote:
# prints "cases failures skipped".
count_cases()
{
  local dir=$1 cases=0 failures=0 skips=0 file head t f d s
  for file in "$dir"/*.xml; do
    [ -f "$file" ] || continue
    head=$(grep -m1 -a '<testsuites ' "$file" | tr -d '\r')
    t=$(sed -nE 's/.* tests="([0-9]+)".*/\1/p' <<<"$head")
    f=$(sed -nE 's/.* failures="([0-9]+)".*/\1/p' <<<"$head")
    d=$(sed -nE 's/.* disabled="([0-9]+)".*/\1/p' <<<"$head")
    s=$(grep -a -c 'result="skipped"' "$file")
    cases=$((cases + ${t:-0}))
    failures=$((failures + ${f:-0}))
    skips=$((skips + ${d:-0} + s))
  done
  echo "$cases $failures $skips"
}

# Runs one configuration's tests and adds its cases to the totals.
run_tests()
{
  local preset=$1 log=$logs/test-$preset.log results=$root/build/$1/test-results
  local retry=() status summary programs bad_programs cases failures skips
  echo "== tests: $preset (${what[$preset]})"
  rm -rf "$results"
  mkdir -p "$results"
  # Under Wine a test process now and then fails to exit after its tests passed; one retry
  # keeps such a hiccup from failing the run, while a real fault fails both times.
  case $preset in win32|win64) retry=(--repeat until-pass:2) ;; esac
  ctest --preset "$preset" -j"$jobs" "${retry[@]}" >"$log" 2>&1
  status=$?
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ]; then
    cat "$log"
    echo "ctest for $preset printed no summary (status $status)"
    failed=$((failed + 1))
    outcome[$preset]="no summary"
    return
  fi
  programs=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad_programs=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  read -r cases failures skips < <(count_cases "$results")
  if [ "$status" != 0 ]; then
    sed -n '/The following tests FAILED/,$p' "$log"
    grep -a -E '^\[  FAILED  \]|Failure$|\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception' "$log" |
      sort -u | head -60
    grep -a -B2 -A12 -E 'Failure$' "$log" | head -200
    # A program that failed without a failed case (a crash, a hang, no results) counts once.
    [ "$failures" = 0 ] && failures=$bad_programs
    [ "$failures" = 0 ] && failures=1
  fi
  passed=$((passed + cases - failures - skips))
  failed=$((failed + failures))
  skipped=$((skipped + skips))
  outcome[$preset]="$((cases - failures - skips)) passed, $failures failed, $skips skipped"
  echo "   $preset: ${outcome[$preset]} ($cases cases in $programs programs)"
}

source scripts/session.sh
session_start

for preset in "${presets[@]}"; do
  start=$SECONDS
  if [ "$preset" = win32 ] && ! session_runs_win32; then
    # The 32-bit programs hold the same cases as the 64-bit ones, which run below. Setup leaves
    # the reason in build/setup/win32-missing when it could not install 32-bit Wine.
    if [ -f build/setup/win32-missing ]; then
      win32_why=$(head -n 1 build/setup/win32-missing)
      echo "== tests: win32 not run: $win32_why"
    else
      echo "== tests: win32 not run: this machine runs no 32-bit programs (the kernel's 32-bit"
      echo "   emulation is off); the 32-bit build compiled, its tests run where 32-bit programs do"
    fi
    outcome[win32]=skipped
    continue
  fi
  run_tests "$preset"
  test_time[$preset]=$((SECONDS - start))
done
if [ "${outcome[win32]:-}" = skipped ] && [ -d "$root/build/win64/test-results" ]; then
  read -r cases _ _ < <(count_cases "$root/build/win64/test-results")
  skipped=$((skipped + cases))
  outcome[win32]="$cases skipped ($win32_why)"
fi

session_stop
echo "== time per configuration (build, tests):"
for preset in "${presets[@]}"; do
  printf '   %-7s %4ss build, %4ss tests: %s\n' "$preset" "${build_time[$preset]}" \
    "${test_time[$preset]:--}" "${outcome[$preset]:-}"
done
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]

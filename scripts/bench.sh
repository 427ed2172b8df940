#!/usr/bin/env bash
# Builds the native benchmarks with full optimisation and runs them. Never fails on timings.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)" >/dev/null
for b in build/bench/bench/*/*_bench; do
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.2 --benchmark_color=false
done

#!/usr/bin/env bash
# Builds what it measures and prints the benchmark table.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
bash scripts/setup.sh >&2
for preset in native windows-x64 windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs" >&2
done
python3 bench/wine_bench.py

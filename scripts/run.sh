#!/usr/bin/env bash
# The main job: builds veltrik.exe and repairs Safe Mode in a fresh Wine
# prefix, which has no SafeBoot branch at all, as a damaged machine would.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/setup.sh
for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
done
ls -l build/windows-x64/veltrik.exe build/windows-x86/veltrik.exe
python3 scripts/demo.py build/windows-x64

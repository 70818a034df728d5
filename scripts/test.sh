#!/usr/bin/env bash
# Everything the project checks: unit tests (under sanitizers), both
# Windows builds with their static checks, and the end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/setup.sh

# The unit tests once, under the sanitizers, which check all a plain run does and more.
echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs" --target veltrik_tests
ctest --preset sanitize

echo "== Windows builds"
# The program and what the end-to-end tests run beside it; bench/run.sh builds the benchmarks' programs.
for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs" --target veltrik recorder probe
done
tests/static/check_binaries.sh build/windows-x64/veltrik.exe build/windows-x86/veltrik.exe
python3 tests/static/check_docs.py

echo "== end-to-end tests under Wine"
python3 tests/e2e/e2e_test.py build/windows-x64 build/windows-x86

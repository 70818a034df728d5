#!/usr/bin/env bash
# Everything the project checks: unit tests (plain and under sanitizers),
# both Windows builds, and the end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)"
ctest --preset native

cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$(nproc)"
ctest --preset sanitize

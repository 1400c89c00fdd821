#!/usr/bin/env bash
# Builds vastrid2 and every test in Release (warnings are errors) and runs them all.
# Usage: tools/run_tests.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVASTRID2_WERROR=ON >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"

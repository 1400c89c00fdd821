#!/usr/bin/env bash
# Builds vastrid2 and every test, and runs them all twice: in Release (warnings are
# errors), then under AddressSanitizer and UndefinedBehaviorSanitizer.
# Usage: tools/run_tests.sh [--fast]   (--fast: the Release pass only)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="$(nproc)"

run_pass() {
  local build_dir="$1"; shift
  cmake -S . -B "$build_dir" -DVASTRID2_WERROR=ON "$@" >/dev/null
  cmake --build "$build_dir" -j"$jobs"
  ctest --test-dir "$build_dir" --output-on-failure -j"$jobs" --timeout 900
}

run_pass build -DCMAKE_BUILD_TYPE=Release
if [ "${1:-}" != "--fast" ]; then
  run_pass build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVASTRID2_SANITIZE=ON
fi

#!/usr/bin/env bash
# Builds vastrid2 and every test, and runs them all twice: in Release (warnings are
# errors), then under AddressSanitizer and UndefinedBehaviorSanitizer, then gives
# each fuzzer of fuzz/ a few seconds, then builds and runs again, as a
# 32-bit x86 program, the end-to-end tests and the unit tests of the simulation
# (build-m32; skipped when g++ -m32 cannot link).
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
  # A few seconds of each input-reader fuzzer (skips itself without clang).
  tools/run_fuzzers.sh 5
  # 32-bit x86: the end-to-end tests, and so the same expected files, must pass,
  # with the unit tests of the parts whose sizes and arithmetic depend on the word size.
  if echo 'int main() { return 0; }' | g++ -m32 -x c++ - -o /dev/null 2>/dev/null; then
    m32_tests=(e2e_tests demography_tests coalescent_tests genetree_tests random_tests)
    cmake -S . -B build-m32 -DVASTRID2_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake >/dev/null
    cmake --build build-m32 -j"$jobs" --target vastrid2 "${m32_tests[@]}"
    for test_binary in "${m32_tests[@]}"; do
      build-m32/tests/"$test_binary" --gtest_brief=1
    done
  else
    echo "Skipping the 32-bit pass: g++ -m32 cannot link (install g++-multilib)."
  fi
fi

#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang (in build-fuzz) and runs each
# for a while, two at a time at most.
# Usage: tools/run_fuzzers.sh [seconds-per-fuzzer] [names...]
#   seconds default 600; names are those of fuzz/<name>_fuzzer.cpp (default: all).
# The seed corpus of fuzz/corpus/<name>/ is only read: new inputs go to a scratch
# folder kept between runs (FUZZ_CORPUS_DIR, default /tmp/vastrid2-fuzz-corpus); crash,
# timeout and out-of-memory inputs go to build-fuzz/findings/<name>/ (another build
# folder with FUZZ_BUILD_DIR). Exit status 1 when any
# fuzzer found something. FUZZ_FLAGS adds libFuzzer flags, e.g.
#   FUZZ_FLAGS="-fork=1 -ignore_crashes=1" to keep going after a finding.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-600}"
[ $# -gt 0 ] && shift
case "$seconds" in '' | *[!0-9]*) echo "run_fuzzers.sh: seconds must be a whole number, got '$seconds'" >&2; exit 2 ;; esac

clang="${CLANGXX:-$(command -v clang++ || true)}"
if [ -z "$clang" ] || [ ! -x "$clang" ]; then
  echo "run_fuzzers.sh: clang++ not found; fuzzing skipped (apt-get install clang)"
  exit 0
fi
runtime="$("$clang" -print-file-name=libclang_rt.fuzzer-x86_64.a 2>/dev/null || true)"
if [ ! -f "$runtime" ]; then
  runtime="$(find "$("$clang" -print-resource-dir 2>/dev/null || echo /nonexistent)" \
    -name 'libclang_rt.fuzzer-x86_64.a' 2>/dev/null | head -n 1 || true)"
fi
if [ -z "$runtime" ] || [ ! -f "$runtime" ]; then
  echo "run_fuzzers.sh: the libFuzzer runtime (libclang_rt.fuzzer-x86_64.a) of $clang is missing; fuzzing skipped"
  exit 0
fi

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for source in fuzz/*_fuzzer.cpp; do
    name="$(basename "$source" _fuzzer.cpp)"
    names+=("$name")
  done
fi

build_dir="${FUZZ_BUILD_DIR:-build-fuzz}"
targets=()
for name in "${names[@]}"; do
  if [ ! -f "fuzz/${name}_fuzzer.cpp" ]; then
    echo "run_fuzzers.sh: no fuzzer '$name' (fuzz/${name}_fuzzer.cpp is missing)" >&2
    exit 2
  fi
  targets+=("${name}_fuzzer")
done
CXX="$clang" cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVASTRID2_FUZZ=ON \
  -DVASTRID2_BUILD_TESTS=OFF -DVASTRID2_WERROR=ON >/dev/null
cmake --build "$build_dir" -j2 --target "${targets[@]}"

corpus_root="${FUZZ_CORPUS_DIR:-${TMPDIR:-/tmp}/vastrid2-fuzz-corpus}"
findings_root="$build_dir/findings"
mkdir -p "$corpus_root" "$findings_root"
# The harnesses write their inputs to files: keep those in memory where possible.
scratch="$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo /tmp)/vastrid2-fuzz-inputs.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch"
echo "run_fuzzers.sh: ${seconds} s per fuzzer; new corpus entries in $corpus_root; findings in $findings_root"

run_one() {
  local name="$1"
  local corpus="$corpus_root/$name" findings="$findings_root/$name"
  rm -rf "$findings"  # the findings of the latest run only
  mkdir -p "$corpus" "$findings"
  # -timeout: one input taking 10 s is a hang; -rss_limit_mb and -malloc_limit_mb
  # catch sizes taken from the input before they are checked.
  "$build_dir/fuzz/${name}_fuzzer" "$corpus" "fuzz/corpus/$name" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/" ${FUZZ_FLAGS:-} \
    >"$findings_root/$name.log" 2>&1
}

failed=()
pending=("${names[@]}")
declare -A running=()
while [ ${#pending[@]} -gt 0 ] || [ ${#running[@]} -gt 0 ]; do
  while [ ${#running[@]} -lt 2 ] && [ ${#pending[@]} -gt 0 ]; do
    name="${pending[0]}"
    pending=("${pending[@]:1}")
    run_one "$name" &
    running[$!]="$name"
  done
  status=0
  wait -n -p done_pid "${!running[@]}" || status=$?
  name="${running[$done_pid]}"
  unset "running[$done_pid]"
  # Executions: the final statistics, or in fork mode the last progress line.
  stats="$(grep -E '^stat::number_of_executed_units' "$findings_root/$name.log" | awk '{print $2}' || true)"
  [ -n "$stats" ] || stats="$(grep -oE '^#[0-9]+' "$findings_root/$name.log" | tail -n 1 | tr -d '#' || true)"
  found="$(find "$findings_root/$name" -type f | wc -l)"
  if [ "$status" -eq 0 ] && [ "$found" -eq 0 ]; then
    echo "  $name: ok, ${stats:-?} executions"
  else
    echo "  $name: FINDING (exit $status, $found inputs kept), ${stats:-?} executions; see $findings_root/$name.log and $findings_root/$name/"
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "run_fuzzers.sh: findings in: ${failed[*]}"
  exit 1
fi
echo "run_fuzzers.sh: no findings"

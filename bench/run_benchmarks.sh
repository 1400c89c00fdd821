#!/bin/sh
# The benchmark command: builds the benchmarks in Release (build-bench/, with
# the draw counter of the main random stream) and prints the tables.
#
#   bench/run_benchmarks.sh [SECTION...] [--case PATTERN]... [--all] [--end-time N]
#
# SECTION is forward, genetic or growth (default: forward genetic).
#   forward  the demographic simulation on the shared landscapes (Europe at 0.5
#            and 0.25 degree, Africa-Eurasia at 1 degree; models 1 and 3; one
#            and two layers; EndTime 2000), with the dense-write floor ratio.
#            --all adds Europe at 0.1 degree and EndTime 4000 (long: about an
#            hour on an idle machine); --case keeps the cases whose name holds
#            PATTERN (forward_bench --list shows the names).
#   genetic  genealogies on examples/europe_15min (lineage-generations per
#            second, ran3 draws and the ratio to their floor) and its whole
#            genetic run (simulations per second).
#   growth   time and memory against land cells x generations (three grids,
#            two EndTimes) and against the number of sampled genes (20, 200,
#            2000).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VASTRID2_BENCH_BUILD:-$root/build-bench}"  # another folder: VASTRID2_BENCH_BUILD=DIR
sections=""
forward_args=""
while [ $# -gt 0 ]; do
  case "$1" in
    forward|genetic|growth) sections="$sections $1" ;;
    --case) forward_args="$forward_args --case $2"; shift ;;
    --end-time) forward_args="$forward_args --end-time $2"; shift ;;
    --all) forward_args="$forward_args --all" ;;
    *) echo "usage: $0 [forward|genetic|growth]... [--case PATTERN]... [--all] [--end-time N]" >&2
       exit 1 ;;
  esac
  shift
done
[ -n "$sections" ] || sections="forward genetic"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVASTRID2_BUILD_TESTS=OFF \
  -DVASTRID2_COUNT_RANDOM_DRAWS=ON >/dev/null
cmake --build "$build" -j2 --target vastrid2_bench >/dev/null

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"\
  "load average $(cut -d' ' -f1-3 /proc/loadavg); $(c++ --version | head -1); Release (-O3)"
for section in $sections; do
  echo
  case "$section" in
    forward)
      # shellcheck disable=SC2086
      "$build/bench/forward_bench" $forward_args ;;
    genetic)
      "$build/bench/genealogy_bench" --genealogies 100
      echo
      "$build/bench/genetic_run_bench" --simulations 10 ;;
    growth)
      "$build/bench/forward_bench" --growth
      for genes in 2 20 200; do
        echo
        "$build/bench/genealogy_bench" --genealogies 20 --genes-per-sample "$genes"
      done ;;
  esac
done

#!/usr/bin/env bash
# Builds vastrid2 and runs the bundled example (examples/small) in its folder.
# Usage: tools/run_example.sh [example-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
example="${1:-examples/small}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target vastrid2
binary="$PWD/build/vastrid2"
cd "$example"
"$binary" settings.txt

#!/usr/bin/env bash
# Builds a Release quillet and measures it on large survey files: the format engine's
# micro-benchmarks, then every code's throughput and peak memory and the output checksums.
#
#   bench/run.sh [--readings N] [--repeat R]
#
# The survey files (about 250 MB at the default million readings) live in a temporary folder
# that is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF -DQUILLET_BENCH=ON \
  >/dev/null
cmake --build build-release -j"$(nproc)" --target quillet quillet_bench >/dev/null
build-release/quillet_bench --benchmark_filter='ThreeArray|DataLine' --benchmark_min_time=0.5
python3 bench/measure.py build-release/quillet "$@"

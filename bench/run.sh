#!/usr/bin/env bash
# Measures the tree side by side with a reference revision on large survey files: the format
# engine's micro-benchmarks, then every code's speed (interleaved runs of the two builds), the
# outputs of the two builds compared byte for byte, and the memory growth of the tree's build.
#
#   bench/run.sh [--ref REV] [--readings N] [--pairs P] [--codes CODES] [--no-micro]
#
# REV (default: `ref=` below, a revision whose outputs are known to be right) is built from
# `git archive` in build-ref/COMMIT/, once; the tree in build-release/. The survey files (about
# 250 MB at the default million readings) live in a temporary folder that is removed at the end.
# Exit status 1 when an output differs, a run fails or memory grows; speed is reported, never
# judged.
set -euo pipefail
cd "$(dirname "$0")/.."

# Move this after a deliberate change of the outputs, to a commit that holds it. Now: main once
# C files carried positions in time, their column-type and projection files (earlier: Santos
# files of two or three arrays with one record per reading).
ref=ff295ac675b1e9c9af4f2a5dfc950f75e050efa5
micro=1
measure_args=()
while (($#)); do
  case "$1" in
    --ref=*) ref=${1#--ref=} ;;
    --ref) ref=${2:?--ref needs a revision}; shift ;;
    --no-micro) micro=0 ;;
    *) measure_args+=("$1") ;;
  esac
  shift
done

scripts/install-deps.sh test
commit=$(git rev-parse --verify --quiet "$ref^{commit}") || {
  echo "bench/run.sh: no revision $ref in this clone (a shallow clone lacks it: git fetch --unshallow)" >&2
  exit 1
}
jobs=$(nproc)
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF -DQUILLET_BENCH=ON \
  >/dev/null
cmake --build build-release -j"$jobs" --target quillet quillet_bench >/dev/null
ref_dir=build-ref/$commit
if [ ! -x "$ref_dir/build/quillet" ]; then
  echo "Building the reference $ref ($commit) in $ref_dir"
  rm -rf "$ref_dir"
  mkdir -p "$ref_dir/src"
  git archive "$commit" | tar -x -C "$ref_dir/src"
  cmake -S "$ref_dir/src" -B "$ref_dir/build" -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF \
    >/dev/null
  cmake --build "$ref_dir/build" -j"$jobs" --target quillet >/dev/null
fi
if ((micro)); then
  build-release/quillet_bench --benchmark_filter='ThreeArray|DataLine' --benchmark_min_time=0.5
fi
python3 bench/measure.py build-release/quillet "$ref_dir/build/quillet" \
  --ref-name "$ref" "${measure_args[@]+"${measure_args[@]}"}"

#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs every test. The tests are switched on
# whatever the build folder's cache holds (scripts/example.sh configures it without them), and a
# run that finds no test fails rather than passing empty.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUILLET_WERROR=ON -DQUILLET_TESTS=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure --no-tests=error -j"$(nproc)"

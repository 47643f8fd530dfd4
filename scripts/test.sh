#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUILLET_WERROR=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"

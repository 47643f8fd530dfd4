#!/usr/bin/env bash
# Sets up a fresh machine, builds the program and transcribes the bundled example raw file
# into every output type; the results land in examples/out/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target quillet
rm -rf examples/out && mkdir -p examples/out
cp examples/survey.raw examples/out/
cd examples/out
../../build/quillet survey.raw XGDLSP 0.2 </dev/null
ls -l

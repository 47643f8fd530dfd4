#!/usr/bin/env bash
# Sets up a fresh machine with what building needs, builds the program and transcribes every
# example raw file of examples/ with every code. Each raw file and code gets a folder of its own,
# examples/out/RAWNAME/CODE/, so that no code replaces another's files (X and G write the same
# names) and every output stays to be looked at. Then quillet-view writes the report page of the
# three-array survey beside its Geosoft XYZ file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUILLET_TESTS=OFF
cmake --build build -j"$(nproc)" --target quillet quillet-view
quillet=$PWD/build/quillet
rm -rf examples/out
for raw in examples/*.raw; do
  name=$(basename "$raw" .raw)
  for code in X G D L S P I R C; do
    dir=examples/out/$name/$code
    mkdir -p "$dir"
    cp "$raw" "$dir/"
    # Standard input closed: every prompt keeps its default.
    (cd "$dir" && "$quillet" "$name.raw" "$code" 0.2 </dev/null >console.txt 2>&1) || true
    rm "$dir/$name.raw"
    echo "$dir: $(grep 'Summary:' "$dir/console.txt" | sed 's/^ *//')"
  done
done
# The report page of the three-array survey (GPS, three coil arrays), from its Geosoft XYZ file.
for xyz in examples/out/three_arrays/G/*.xyz; do
  [ "$(basename "$xyz")" = Default.xyz ] || build/quillet-view "$xyz"
done
echo "The outputs are in examples/out/RAWFILE/CODE/, each with the console text in console.txt;"
echo "the report page of the three-array survey is examples/out/three_arrays/G/*.xyz.html."

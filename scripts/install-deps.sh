#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when any is missing.
# With the argument "checks" it also installs clang and its sanitizer and libFuzzer runtimes,
# which the sanitizer and fuzzing checks (scripts/checks.sh) need.
set -euo pipefail
packages=(cmake g++ make libgtest-dev libbenchmark-dev gfortran geographiclib-tools python3 time gdal-bin)
if [ "${1:-}" = checks ]; then
  packages+=(clang libclang-rt-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

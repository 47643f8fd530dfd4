#!/usr/bin/env bash
# Installs the Debian packages that are missing, for one of three needs:
#   scripts/install-deps.sh build    what building the program needs (the default)
#   scripts/install-deps.sh test     that, and what the tests, oracles and package check need
#   scripts/install-deps.sh checks   that, and clang with its sanitizer and libFuzzer runtimes,
#                                    which the sanitizer and fuzzing checks (scripts/checks.sh) need
set -euo pipefail
need=${1:-build}
packages=(cmake g++ make)
case "$need" in
  build) ;;
  test | checks)
    packages+=(libgtest-dev libbenchmark-dev gfortran geographiclib-tools python3 time)
    packages+=(gdal-bin)
    packages+=(groff-base dpkg-dev)
    # The screenshot test of quillet-view's page.
    packages+=(chromium)
    [ "$need" = test ] || packages+=(clang libclang-rt-dev)
    ;;
  *)
    echo "usage: $0 [build|test|checks]" >&2
    exit 2
    ;;
esac
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

#!/usr/bin/env bash
# The checks beyond the tests, as CI runs them after scripts/test.sh:
#   1. the whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer (g++);
#   2. each libFuzzer target (clang) run for a bounded time on the seed corpus.
# Any sanitizer report, leak, crash, hang or timeout fails the script.
# FUZZ_SECONDS (default 120) is the fuzzing time of all targets together.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh checks
jobs="$(nproc)"
root="$PWD"

# A report must fail the run it comes from: recoverable checks are made fatal, and a failing
# program exits with a code that no run of the program itself gives.
export ASAN_OPTIONS="detect_leaks=1:exitcode=86:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

echo "== Test suite with AddressSanitizer and UndefinedBehaviorSanitizer"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
# The instrumentation makes g++ see uninitialised values where there are none (in std::regex,
# for one); the normal build holds the warnings to account.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLET_WERROR=OFF -DQUILLET_STATIC=OFF \
  -DCMAKE_CXX_FLAGS="-O1 -g $sanitize -Wno-maybe-uninitialized" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$jobs" --timeout 600

echo "== Bounded fuzzing"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_FUZZ=ON \
  -DQUILLET_TESTS=OFF
cmake --build build-fuzz -j"$jobs" --target quillet_fuzz quillet_fuzz_layout quillet_fuzz_fast_paths

total="${FUZZ_SECONDS:-120}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# target, share of the time in percent, extra options
fuzz() {
  local target="$1" share="$2"
  shift 2
  local seconds=$((total * share / 100))
  local corpus="$scratch/$target-corpus"
  mkdir -p "$corpus" "$scratch/$target-artifacts"
  echo "-- $target for ${seconds}s"
  # The whole-program target writes its files into TMPDIR and "fort.99" into the current folder.
  # Its progress goes to a log; the end of the log, or all of a report, is shown.
  local log="$scratch/$target.log"
  if ! (cd "$scratch" && TMPDIR="$scratch" "$root/build-fuzz/$target" "$corpus" "$@" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$scratch/$target-artifacts/") >"$log" 2>&1; then
    grep -v -E '^#[0-9]+' "$log" | tail -n 150
    echo "*** $target found a fault; the input that shows it, in base64:"
    for artifact in "$scratch/$target-artifacts"/*; do
      [ -f "$artifact" ] || continue
      echo "$(basename "$artifact"):"
      head -c 65536 "$artifact" | base64
    done
    return 1
  fi
  grep -E '^#[0-9]+ +(INITED|DONE)|^Done|^stat::' "$log"
}
fuzz quillet_fuzz 60 "$root/fuzz/corpus" -dict="$root/fuzz/raw.dict" -max_len=4096
fuzz quillet_fuzz_layout 25 -max_len=256
fuzz quillet_fuzz_fast_paths 15 -max_len=128
echo "Sanitizer suite and bounded fuzzing: no finding"

#!/usr/bin/env bash
# Hostile drives and files: runs the whole test suite under AddressSanitizer
# and UndefinedBehaviorSanitizer (clang), then each libFuzzer target in fuzz/
# for a bounded time, seeded from the sample drives and the real captures.
# A sanitizer report, a failed test, a crash or a broken invariant fails the
# script; the fuzzer's input is then left under build/fuzz/artifacts.
#   FUZZ_SECONDS  time per fuzz target (default 60; 0 skips fuzzing)
set -euo pipefail
cd "$(dirname "$0")/.."

[ -n "${VANTREL_DEPS_INSTALLED:-}" ] || scripts/install-deps.sh test

jobs=2
seconds="${FUZZ_SECONDS:-60}"
captures="$PWD/../shared/captures"
export CC=clang-14 CXX=clang++-14
export UBSAN_OPTIONS=print_stacktrace=1

echo "== native under AddressSanitizer and UBSan"
cmake -S . -B build/asan -DVANTREL_SANITIZE=ON
cmake --build build/asan -j "$jobs"
(cd build/asan && ctest --output-on-failure)

[ "$seconds" -gt 0 ] || exit 0

echo "== fuzz targets, ${seconds}s each"
cmake -S . -B build/fuzz -DVANTREL_FUZZ=ON -DVANTREL_BUILD_TESTS=OFF
cmake --build build/fuzz -j "$jobs" --target capture_fuzzer scan_fuzzer fuzz-seeds

seeds=build/fuzz/seeds
rm -rf "$seeds"
mkdir -p "$seeds/capture" "$seeds/scan" build/fuzz/artifacts
shopt -s nullglob
build/fuzz/fuzz/fuzz-seeds "$seeds" samples/*.smart "$captures"/*.smart "$captures"/nvme/*.smart
shopt -u nullglob

# name, largest input: an NVMe capture of every section is 8728 bytes; a
# machine is 9 header bytes and twelve 512-byte blocks.
for target in "capture 8728" "scan 6153"; do
    set -- $target
    corpus="build/fuzz/corpus/$1"
    mkdir -p "$corpus"
    echo "-- ${1}_fuzzer"
    if ! "build/fuzz/fuzz/${1}_fuzzer" -max_total_time="$seconds" -max_len="$2" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$1-" \
        "$corpus" "$seeds/$1" "fuzz/regressions/$1"; then
        echo "${1}_fuzzer failed; its input is in build/fuzz/artifacts (replay it by passing" \
             "the file to build/fuzz/fuzz/${1}_fuzzer, keep it in fuzz/regressions/$1)" >&2
        exit 1
    fi
done

#!/usr/bin/env bash
# Builds the libFuzzer target with clang and runs it for a bounded time;
# fails on any crash or sanitizer report.
# Usage: scripts/fuzz.sh [libFuzzer options ...]   (FUZZ_SECONDS, default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh clang libclang-rt-14-dev
dir=build-fuzz
CC=clang CXX=clang++ scripts/build.sh "$dir" -DQUILLON_FUZZ=ON -DQUILLON_BUILD_APP=OFF \
    -DQUILLON_BUILD_TESTS=OFF -DQUILLON_BUILD_BENCH=OFF -- fuzz_packet_builder

# New inputs are kept in the build tree; the seeds in fuzz/corpus stay as they are.
corpus="$dir/fuzz/corpus"
mkdir -p "$corpus"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$dir/fuzz/fuzz_packet_builder" -max_total_time="${FUZZ_SECONDS:-60}" -print_final_stats=1 \
    -artifact_prefix="$dir/fuzz/" "$@" "$corpus" fuzz/corpus

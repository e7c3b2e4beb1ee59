#!/usr/bin/env bash
# Builds the suite with --coverage in its own folder, runs it, and prints the
# line and branch coverage of library/, app/, sim/ and recording/, then the
# size of the tests against the code they test (non-blank lines of C++).
# Usage: scripts/coverage.sh [ctest options ...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh gcovr
dir=build-coverage
scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Debug -DQUILLON_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage \
    -DCMAKE_SHARED_LINKER_FLAGS=--coverage
find "$dir" -name '*.gcda' -delete
QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" -j2 "$@" >"$dir/coverage-run.log" 2>&1 ||
    { tail -n 30 "$dir/coverage-run.log"; echo "tests failed, see $dir/coverage-run.log" >&2; exit 1; }

gcovr -r . --object-directory "$dir" -j2 --filter 'library/' --filter 'app/' --filter 'sim/' \
    --filter 'recording/' \
    --exclude-throw-branches --exclude-unreachable-branches \
    --txt "$dir/coverage.txt" --print-summary | grep -E '^(lines|branches):'

lines() {
    git ls-files -- "$@" | grep -E '\.(cpp|h)$' | xargs cat | grep -cv '^[[:space:]]*$'
}
code=$(lines library app sim recording)
tests=$(lines tests)
echo "tests: $tests non-blank lines against $code of code ($((100 * tests / code))%)"

#!/usr/bin/env bash
# Builds everything and runs the whole test suite through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
scripts/build.sh build -DQUILLON_BUILD_TESTS=ON -DQUILLON_BUILD_APP=ON -DQUILLON_BUILD_SIM=ON
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 "$@"

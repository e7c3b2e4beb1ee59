#!/usr/bin/env bash
# Configures and builds one build tree.
# Usage: scripts/build.sh BUILD_DIR [cmake options ...] [-- targets ...]
set -euo pipefail
cd "$(dirname "$0")/.."

dir="$1"
shift
opts=()
targets=()
while [ $# -gt 0 ]; do
    if [ "$1" = "--" ]; then
        shift
        targets=("$@")
        break
    fi
    opts+=("$1")
    shift
done

cmake -S . -B "$dir" -G Ninja -DQUILLON_WERROR=ON "${opts[@]}" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" --target "${targets[@]}"
else
    cmake --build "$dir"
fi

#!/usr/bin/env bash
# Builds Vantor and starts it against the built-in virtual controller.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
scripts/build.sh build -- Vantor
exec build/app/Vantor --simulate "$@"

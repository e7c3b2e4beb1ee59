#!/usr/bin/env bash
# Builds and runs the worker benchmark against the virtual controller: an idle
# worker, then repeating items on an instant line and on a paced 115200-baud
# line. Usage: scripts/bench.sh [--items N] [--transactions T]
# With --program: the whole Vantor program against vantor-sim instead
# (scripts/program_bench.sh). Usage: scripts/bench.sh --program [--seconds N] [--docks]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
if [ "${1:-}" = "--program" ]; then
    shift
    scripts/build.sh build -- Vantor vantor-sim
    exec scripts/program_bench.sh build "$@"
fi
scripts/build.sh build -DQUILLON_BUILD_BENCH=ON -- worker_throughput
bench=build/bench/worker_throughput
"$bench" --idle-seconds 5 --transactions 100000 "$@"
echo
"$bench" --idle-seconds 0 --transactions 10000 --pace "$@"
echo
# The instant line again, recording the session into a scratch file.
record=$(mktemp -u --suffix=.sqlite)
"$bench" --idle-seconds 0 --transactions 100000 --record "$record" "$@"
rm -f "$record" "$record-wal" "$record-shm"

#!/usr/bin/env bash
# Builds and runs the worker benchmark against the virtual controller: an idle
# worker, then repeating items on an instant line and on a paced 115200-baud
# line. Usage: scripts/bench.sh [--items N] [--transactions T]
# With --program: the whole Vantor program against vantor-sim instead
# (scripts/program_bench.sh). Usage: scripts/bench.sh --program [--seconds N] [--docks]
# With --open: how long Vantor takes from its start to the first picture of a
# one-hour recording, and its largest resident memory, three times.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
if [ "${1:-}" = "--open" ]; then
    scripts/deps.sh time
    scripts/build.sh build -- Vantor
    hour=build/bench/hour.sqlite
    if [ ! -e "$hour" ]; then
        mkdir -p build/bench
        scripts/hour_recording.sh "$hour.part" && mv "$hour.part" "$hour"
    fi
    shot=$(mktemp -d)
    trap 'rm -rf "$shot"' EXIT
    echo "Vantor --open $hour ($(du -mL "$hour" | cut -f1) MB) --screenshot, to the picture:"
    for _ in 1 2 3; do
        QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%e s, largest resident memory %M KiB" \
            build/app/Vantor --open "$hour" --screenshot "$shot/shot.png" --quit-after 1 2>&1 |
            grep 'resident memory'
    done
    exit 0
fi
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

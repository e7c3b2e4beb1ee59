#!/usr/bin/env bash
# The whole program against vantor-sim in a process of its own: Vantor runs
# headless, and after a warm-up its CPU time (all threads, user and system,
# from /proc) is read at both ends of a window in which vantor-sim counts the
# answers and the turnaround it sees from its side of the line.
# Usage: scripts/program_bench.sh [BUILD_DIR] [--seconds N]
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
seconds=20
while [ $# -gt 0 ]; do
    case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    *) build="$1"; shift ;;
    esac
done
vantor="$build/app/Vantor"
sim="$build/sim/vantor-sim"
warm_up=3
ticks=$(getconf CLK_TCK)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpu_ticks() {
    # Fields 14 and 15 of /proc/PID/stat (after the name in parentheses):
    # user and system time of every thread, in clock ticks.
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

# run LABEL "SIM OPTIONS" [VANTOR OPTIONS...]
run() {
    local label="$1" sim_options="$2"
    shift 2
    local out="$scratch/sim.out"
    # shellcheck disable=SC2086
    "$sim" --stats $sim_options >"$out" &
    local sim_pid=$!
    local device=""
    for _ in $(seq 100); do
        device=$(head -n 1 "$out")
        [ -n "$device" ] && break
        sleep 0.05
    done
    QT_QPA_PLATFORM=offscreen "$vantor" --port "$device" \
        --quit-after $(((warm_up + seconds + 2) * 1000)) "$@" >/dev/null 2>&1 &
    local vantor_pid=$!
    sleep "$warm_up"
    local before
    before=$(cpu_ticks "$vantor_pid")
    kill -USR1 "$sim_pid"
    sleep "$seconds"
    local after
    after=$(cpu_ticks "$vantor_pid")
    kill -USR1 "$sim_pid"
    wait "$vantor_pid" || true
    kill -TERM "$sim_pid"
    wait "$sim_pid" || true
    # The sim's second statistics line covers the window.
    sed -n 3p "$out" | awk -v label="$label" -v cpu=$((after - before)) -v ticks="$ticks" '{
        answers = $4; rate = $6
        us = answers > 0 ? cpu / ticks * 1e6 / answers : 0
        printf "%-24s %6.0f transactions/s  CPU %6.1f us per transaction (%4.1f%% of a core)  turnaround median %6.1f us, p99 %7.1f us  (controller late %5.1f / %6.1f us)\n",
            label, rate, us, 100 * cpu / ticks / $2, $9, $11, $16, $18
    }'
}

echo "Vantor against vantor-sim, ${seconds} s each after ${warm_up} s of warm-up:"
run "instant line" ""
run "paced 115200-baud line" "--pace"
run "instant line, recording" "" --record "$scratch/session.sqlite"

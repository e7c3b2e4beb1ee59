#!/usr/bin/env bash
# The whole program against vantor-sim in a process of its own: Vantor runs
# headless, and after a warm-up its CPU time (all threads, user and system,
# from /proc) is read at both ends of a window in which vantor-sim counts the
# answers and the turnaround it sees from its side of the line.
# Usage: scripts/program_bench.sh [BUILD_DIR] [--seconds N] [--docks]
# With --docks: the paced line with the views closed, with the Charts dock
# open, with both Charts and Traffic open, and with both open while recording,
# to show what the docks cost. The window is then drawn on a 1366x768 screen
# (Xvfb), as a technician's laptop would show it: the offscreen platform's
# 800x600 screen draws smaller docks and costs less.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
seconds=20
docks=false
while [ $# -gt 0 ]; do
    case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --docks) docks=true; shift ;;
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

# The same for the interface thread (the process's first) and the worker
# (Qt names its threads "QThread"); what is left is Qt's and the system's.
thread_ticks() {
    local pid=$1 ui=0 worker=0 task
    for task in /proc/"$pid"/task/*; do
        local t
        t=$(sed 's/^.*) //' "$task/stat" 2>/dev/null | awk '{ print $12 + $13 }') || continue
        if [ "${task##*/}" = "$pid" ]; then
            ui=$((ui + t))
        elif [ "$(cat "$task/comm" 2>/dev/null)" = QThread ]; then
            worker=$((worker + t))
        fi
    done
    echo "$ui $worker"
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
    QT_QPA_PLATFORM=$platform "$vantor" --port "$device" \
        --quit-after $(((warm_up + seconds + 2) * 1000)) "$@" >/dev/null 2>&1 &
    local vantor_pid=$!
    sleep "$warm_up"
    local before threads_before
    before=$(cpu_ticks "$vantor_pid")
    threads_before=$(thread_ticks "$vantor_pid")
    kill -USR1 "$sim_pid"
    sleep "$seconds"
    local after threads_after
    after=$(cpu_ticks "$vantor_pid")
    threads_after=$(thread_ticks "$vantor_pid")
    kill -USR1 "$sim_pid"
    wait "$vantor_pid" || true
    kill -TERM "$sim_pid"
    wait "$sim_pid" || true
    # The sim's second statistics line covers the window.
    sed -n 3p "$out" | awk -v label="$label" -v cpu=$((after - before)) -v ticks="$ticks" \
        -v before="$threads_before" -v after="$threads_after" '{
        answers = $4; rate = $6
        per = answers > 0 ? 1e6 / ticks / answers : 0
        split(before, b); split(after, a)
        printf "%-24s %6.0f transactions/s  CPU %5.1f us per transaction (interface thread %5.1f, worker %5.1f; %4.1f%% of a core)  turnaround median %6.1f us, p99 %7.1f us (controller late %5.1f / %6.1f us)\n",
            label, rate, cpu * per, (a[1] - b[1]) * per, (a[2] - b[2]) * per,
            100 * cpu / ticks / $2, $9, $11, $16, $18
    }'
}

platform=offscreen
if $docks; then
    scripts/deps.sh xvfb x11-utils
    display=:$((50 + RANDOM % 100))
    Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null; rm -rf "$scratch"' EXIT
    export DISPLAY="$display"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    platform=xcb
fi

echo "Vantor against vantor-sim, ${seconds} s each after ${warm_up} s of warm-up:"
if $docks; then
    echo "(drawn on a 1366x768 screen)"

    run "paced, docks closed" "--pace"
    run "paced, charts open" "--pace" --show charts
    run "paced, both open" "--pace" --show charts,traffic
    run "paced, both, recording" "--pace" --show charts,traffic --record "$scratch/session.sqlite"
    exit 0
fi
run "instant line" ""
run "paced 115200-baud line" "--pace"
run "instant line, recording" "" --record "$scratch/session.sqlite"

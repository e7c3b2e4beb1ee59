#!/usr/bin/env bash
# Runs tests under a sanitizer and fails on any report.
# Usage: scripts/sanitize.sh address   the whole suite under ASan + UBSan
#        scripts/sanitize.sh thread    the threaded library tests and the
#                                      program's tests under TSan
set -euo pipefail
cd "$(dirname "$0")/.."
kind="${1:?address or thread}"
supp="$PWD/scripts/sanitizers"

scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
case "$kind" in
address)
    dir=build-asan
    scripts/build.sh "$dir" -DQUILLON_SANITIZE=address -DQUILLON_BUILD_BENCH=OFF
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
    # Debian's Qt has no frame pointers: suppressions only match with the slow unwinder.
    export LSAN_OPTIONS="suppressions=$supp/lsan.supp:fast_unwind_on_malloc=0:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    labels=()
    ;;
thread)
    dir=build-tsan
    # The program too: its queues and windows over the worker's thread.
    scripts/build.sh "$dir" -DQUILLON_SANITIZE=thread -DQUILLON_BUILD_APP=ON -DQUILLON_BUILD_BENCH=OFF \
        -- threaded_tests app_tests
    # The largest history, so that the stack of an old access (a queued
    # argument Qt built on the worker) is restored and a rule can match it.
    export TSAN_OPTIONS="suppressions=$supp/tsan.supp:halt_on_error=0:exitcode=66:second_deadlock_stack=1:history_size=7"
    labels=(-L 'threaded|app')
    ;;
*)
    echo "unknown sanitizer: $kind" >&2
    exit 2
    ;;
esac

log="$dir/sanitizer-run.log"
status=0
ctest --test-dir "$dir" --output-on-failure -j2 "${labels[@]}" >"$log" 2>&1 || status=1
cat "$log"
if grep -E -q "ERROR: (Address|Leak|Thread)Sanitizer|WARNING: ThreadSanitizer|runtime error:" "$log"; then
    echo "sanitizer reports found in $log" >&2
    status=1
fi
exit $status

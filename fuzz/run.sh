#!/usr/bin/env bash
# Runs every fuzz target for the given time (or until 1,000,000 inputs), several at once,
# each on its own copy of the seed corpus, and prints one line per target.
#   fuzz/run.sh <seconds> [build-dir] [jobs]
set -uo pipefail
cd "$(dirname "$0")/.."
secs="${1:?usage: fuzz/run.sh <seconds> [build-dir] [jobs]}"
build="${2:-build-asan}"
jobs="${3:-3}"
out="$build/fuzz-runs"
mkdir -p "$out"
targets=$(sed -n '/set(CORVANE_FUZZ_TARGETS/,/)/p' fuzz/CMakeLists.txt | tr -s ' ()\n' '\n' | grep '^fuzz_')
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen

run_one() {
    local t="$1" bin="$build/fuzz/$1"
    [ -x "$bin" ] || { echo "$t: not built"; return 1; }
    local corpus="$out/$t.corpus" art="$out/$t.artifacts/"
    rm -rf "$corpus" "$art"; mkdir -p "$corpus" "$art"
    [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$corpus/"
    nice "$bin" -max_total_time="$secs" -runs=1000000 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$art" -print_final_stats=1 "$corpus" > "$out/$t.log" 2>&1
    local rc=$?
    local runs crashes timeouts
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$t.log" | tail -1)
    crashes=$(find "$art" -name 'crash-*' -o -name 'leak-*' | wc -l)
    timeouts=$(find "$art" -name 'timeout-*' -o -name 'slow-unit-*' -o -name 'oom-*' | wc -l)
    echo "$t: runs=${runs:-?} crashes=$crashes hangs=$timeouts exit=$rc"
}
export -f run_one
export build out secs
printf '%s\n' $targets | xargs -P "$jobs" -I{} bash -c 'run_one {}' | tee "$out/summary.txt"
! grep -qv 'crashes=0 hangs=0 exit=0' "$out/summary.txt"

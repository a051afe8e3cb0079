#!/usr/bin/env bash
# Start-up of the real window against a bare window of as many stock controls, both started
# the same way under Xvfb: median wall time from process start to window shown and idle, and
# median peak memory. Usage: benchmarks/startup.sh [build dir] [runs]
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@"
fi
build=${1:-build}
runs=${2:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Offset files, instance lock and print history of the probe stay in the scratch folder.
export XDG_RUNTIME_DIR=$work XDG_DATA_HOME=$work/data
cp "$build/benchmarks/bench_startup_sorafu" "$build/benchmarks/bench_startup_bare" "$work/"
# HISTORY_LETTERS=100000 starts the probe on a history holding that many letters.
if [ -n "${HISTORY_LETTERS:-}" ]; then
    mkdir -p "$work/data/bench_startup_sorafu"
    "$build/benchmarks/bench_history" -n "$HISTORY_LETTERS" --make "$work/data/bench_startup_sorafu/history.sqlite"
fi

measure() {
    local probe=$1 times=() memory=()
    for _ in $(seq "$runs"); do
        local start end kb
        start=$(date +%s%N)
        kb=$("$work/$probe")
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000 )))
        memory+=("$kb")
    done
    local t m
    t=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    m=$(printf '%s\n' "${memory[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    echo "$t $m"
}

run() {
    read -r real_us real_kb < <(measure bench_startup_sorafu)
    read -r bare_us bare_kb < <(measure bench_startup_bare)
    awk -v rt="$real_us" -v rk="$real_kb" -v bt="$bare_us" -v bk="$bare_kb" -v n="$runs" 'BEGIN {
        printf "runs: %d each (median)\n", n
        printf "sorafu window: %7.1f ms  %7.1f MiB peak\n", rt / 1000, rk / 1024
        printf "bare window:   %7.1f ms  %7.1f MiB peak\n", bt / 1000, bk / 1024
        printf "ratio:         %7.2fx    %7.2fx\n", rt / bt, rk / bk
    }'
}

run

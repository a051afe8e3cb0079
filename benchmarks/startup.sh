#!/usr/bin/env bash
# Start-up of the real window against an anchor window of as many stock controls and against a
# bare QWidget of the same size, all started the same way under Xvfb: wall time from process
# start to window shown and idle (the end of the process left out), and peak memory then.
# Paired: each round starts the three one after another, in an order that turns round by round,
# and the ratios are taken round by round, so the load of a busy machine falls on all three
# alike. The medians of the rounds are printed.
# Usage: benchmarks/startup.sh [build dir] [rounds]
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@"
fi
build=${1:-build}
rounds=${2:-31}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Offset files, instance lock and print history of the probe stay in the scratch folder.
export XDG_RUNTIME_DIR=$work XDG_DATA_HOME=$work/data
probes=(bench_startup_sorafu bench_startup_anchor bench_startup_bare)
for probe in "${probes[@]}"; do
    cp "$build/benchmarks/$probe" "$work/"
done
# The program's loadable parts (the PDF scan reader, the print service) are found beside it.
if [ -d "$build/lib" ]; then
    cp -r "$build/lib" "$work/"
fi
# HISTORY_LETTERS=100000 starts the probe on a history holding that many letters.
if [ -n "${HISTORY_LETTERS:-}" ]; then
    mkdir -p "$work/data/bench_startup_sorafu"
    "$build/benchmarks/bench_history" -n "$HISTORY_LETTERS" --make "$work/data/bench_startup_sorafu/history.sqlite"
fi

# One start: prints "microseconds kilobytes", from just before the start to the window shown and
# idle, as the probe itself tells.
start() {
    local out
    out=$(SORAFU_PROBE_START=$(date +%s%N) "$work/$1")
    echo "${out#* } ${out% *}"
}

for _ in 1 2 3; do # the page cache warmed for all three
    for probe in "${probes[@]}"; do start "$probe" >/dev/null; done
done
for round in $(seq "$rounds"); do
    declare -A result=()
    for i in 0 1 2; do
        probe=${probes[$(( (round + i) % 3 ))]}
        result[$probe]=$(start "$probe")
    done
    echo "${result[bench_startup_sorafu]} ${result[bench_startup_anchor]}" \
        "${result[bench_startup_bare]}"
done | awk -v n="$rounds" '
function median(a, k,   i, j, t) {
    for (i = 2; i <= k; i++)
        for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return a[int((k + 1) / 2)]
}
{
    st[NR] = $1; sm[NR] = $2; at[NR] = $3; am[NR] = $4; bt[NR] = $5; bm[NR] = $6
    rat[NR] = $1 / $3; ram[NR] = $2 / $4; rbt[NR] = $1 / $5; rbm[NR] = $2 / $6
}
END {
    printf "rounds: %d, paired (median of each column)\n", n
    printf "sorafu window:  %7.1f ms  %7.1f MiB peak\n", median(st, n) / 1000, median(sm, n) / 1024
    printf "anchor window:  %7.1f ms  %7.1f MiB peak\n", median(at, n) / 1000, median(am, n) / 1024
    printf "bare window:    %7.1f ms  %7.1f MiB peak\n", median(bt, n) / 1000, median(bm, n) / 1024
    printf "sorafu/anchor:  %7.2fx    %7.2fx   (median of the pairs)\n",
        median(rat, n), median(ram, n)
    printf "sorafu/bare:    %7.2fx    %7.2fx\n", median(rbt, n), median(rbm, n)
}'

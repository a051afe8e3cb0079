#!/usr/bin/env bash
# Non-blank lines of C++ (headers included; the .ui form and the benchmarks left out): the
# program (src/ and app/), its tests (tests/), and the tests as a share of the program.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
    git ls-files -- "$@" | grep -E '\.(cpp|h)$' | xargs cat | grep -cv '^\s*$'
}

production=$(count src app)
tests=$(count tests)
echo "production $production"
echo "tests      $tests"
awk -v t="$tests" -v p="$production" 'BEGIN { printf "percentage %.1f%%\n", 100 * t / p }'

#!/usr/bin/env bash
# The average-cost calculation of a whole year on demo companies of growing size, each on a
# fresh embedded server: document lines per second, and how the time grows against the number
# of lines (ratios measured in this one run). Usage: bench/calculate-bench.sh [SIZE...]
# (default 500 2000 8000 products); STOCKCOST_BUILD names the build directory (default
# build/default, which is built first when it lacks stockcost-admin).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${STOCKCOST_BUILD:-build/default}
if [ ! -x "$build/admin/stockcost-admin" ]; then
    cmake --preset default >/dev/null
    cmake --build "$build" --target stockcost-admin
fi
admin=$(realpath "$build/admin/stockcost-admin")
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(500 2000 8000)
year=2024
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() { date +%s.%N; }

printf '%8s %10s %10s %12s %12s %12s\n' products lines seconds lines/s time-ratio line-ratio
first_lines=""
first_time=""
for n in "${sizes[@]}"; do
    server="embedded:$work/server-$n"
    "$admin" init "$work/server-$n" >/dev/null
    "$admin" --server "$server" create-company BENCH >/dev/null
    "$admin" --server "$server" install BENCH >/dev/null
    lines=$("$admin" --server "$server" demo BENCH --year "$year" --products "$n" |
        sed -n 's/.* \([0-9][0-9]*\) document lines.*/\1/p')
    start=$(seconds)
    "$admin" --server "$server" calculate BENCH --year "$year" >"$work/calculate-$n.log"
    end=$(seconds)
    elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    [ -n "$first_lines" ] || { first_lines=$lines; first_time=$elapsed; }
    awk -v n="$n" -v l="$lines" -v t="$elapsed" -v l0="$first_lines" -v t0="$first_time" \
        'BEGIN { printf "%8d %10d %10.2f %12.0f %12.2f %12.2f\n", n, l, t, l / t, t / t0, l / l0 }'
    rm -rf "$work/server-$n"
done

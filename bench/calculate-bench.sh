#!/usr/bin/env bash
# The average-cost calculation of a whole year on demo companies of growing size, each on a
# fresh embedded server: document lines per second of a rerun, and how its time grows against
# the number of lines (ratios measured in this one run). Usage: bench/calculate-bench.sh [SIZE...]
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

# The first run of a company takes a second pass from the first month whose finished goods took
# a work-order cost worked out only later; a rerun over final costs takes one pass. Both are
# given: "first" with its passes, "rerun" the steady state of a nightly run.
printf '%8s %10s %10s %7s %10s %12s %12s %12s\n' products lines first passes rerun lines/s \
    time-ratio line-ratio
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
    middle=$(seconds)
    "$admin" --server "$server" calculate BENCH --year "$year" >"$work/rerun-$n.log"
    end=$(seconds)
    passes=$((1 + $(grep -c ' again: ' "$work/calculate-$n.log" || true)))
    elapsed=$(awk -v a="$start" -v b="$middle" 'BEGIN { print b - a }')
    rerun=$(awk -v a="$middle" -v b="$end" 'BEGIN { print b - a }')
    [ -n "$first_lines" ] || { first_lines=$lines; first_time=$rerun; }
    awk -v n="$n" -v l="$lines" -v t="$elapsed" -v p="$passes" -v r="$rerun" \
        -v l0="$first_lines" -v t0="$first_time" \
        'BEGIN { printf "%8d %10d %10.2f %7d %10.2f %12.0f %12.2f %12.2f\n", n, l, t, p, r, l / r, r / t0, l / l0 }'
    rm -rf "$work/server-$n"
done

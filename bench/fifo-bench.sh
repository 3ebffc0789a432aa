#!/usr/bin/env bash
# A whole FIFO year against a whole average-cost year on demo companies of the same size, each
# pair on a fresh embedded server and timed in turns in this one run, both by stockcost-admin
# calculate. Prints document lines per second, the ratio of FIFO to average cost, and how the
# FIFO time grows against the number of lines. Each time is the median of ROUNDS runs (default
# 3): the first run of a company goes through the months twice (its work orders had no cost
# yet), the later ones once. Usage: bench/fifo-bench.sh [SIZE...] (default 500 2000);
# STOCKCOST_BUILD names the build directory (default build/default, built first when it lacks
# the programs).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${STOCKCOST_BUILD:-build/default}
if [ ! -x "$build/admin/stockcost-admin" ]; then
    cmake --preset default >/dev/null
    cmake --build "$build" --target stockcost-admin
fi
admin=$(realpath "$build/admin/stockcost-admin")
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(500 2000)
rounds=${ROUNDS:-3}
year=2024
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%8s %10s %9s %11s %10s %9s %11s %7s %11s %11s\n' products avg-lines avg-s avg-lines/s \
    fifo-lines fifo-s fifo-lines/s ratio time-growth line-growth
first_lines=""
first_time=""
for n in "${sizes[@]}"; do
    dir="$work/server-$n"
    server="embedded:$dir"
    "$admin" init "$dir" >/dev/null
    "$admin" --server "$server" create-company AVG >/dev/null
    "$admin" --server "$server" create-company FIFO --method 3 >/dev/null
    lines_of() { sed -n 's/.* \([0-9][0-9]*\) document lines.*/\1/p'; }
    avg_lines=$("$admin" --server "$server" demo AVG --year "$year" --products "$n" | lines_of)
    fifo_lines=$("$admin" --server "$server" demo FIFO --year "$year" --products "$n" | lines_of)
    : >"$work/avg-$n"
    : >"$work/fifo-$n"
    for _ in $(seq "$rounds"); do
        start=$(seconds)
        "$admin" --server "$server" calculate AVG --year "$year" >/dev/null
        end=$(seconds)
        awk -v a="$start" -v b="$end" 'BEGIN { print b - a }' >>"$work/avg-$n"
        start=$(seconds)
        "$admin" --server "$server" calculate FIFO --year "$year" >/dev/null
        end=$(seconds)
        awk -v a="$start" -v b="$end" 'BEGIN { print b - a }' >>"$work/fifo-$n"
    done
    avg_time=$(median <"$work/avg-$n")
    fifo_time=$(median <"$work/fifo-$n")
    [ -n "$first_lines" ] || { first_lines=$fifo_lines; first_time=$fifo_time; }
    awk -v n="$n" -v al="$avg_lines" -v at="$avg_time" -v fl="$fifo_lines" -v ft="$fifo_time" \
        -v l0="$first_lines" -v t0="$first_time" \
        'BEGIN { printf "%8d %10d %9.2f %11.0f %10d %9.2f %11.0f %7.2f %11.2f %11.2f\n",
                 n, al, at, al / at, fl, ft, fl / ft, ft / at, ft / t0, fl / l0 }'
    rm -rf "$dir"
done

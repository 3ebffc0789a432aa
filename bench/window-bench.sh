#!/usr/bin/env bash
# The average-cost window's run, started by its daily timer under Xvfb, against
# stockcost-admin calculate on the same demo company, in turns in one sitting: the seconds of
# every run and the ratio of the medians. Usage: bench/window-bench.sh [PRODUCTS [ROUNDS]]
# (default 2000 products, 3 rounds); STOCKCOST_BUILD names the build directory (default
# build/default, which is built first when it lacks the benchmark).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${STOCKCOST_BUILD:-build/default}
if [ ! -x "$build/bench/stockcost-window-bench" ]; then
    cmake --preset default >/dev/null
    cmake --build "$build" --target stockcost-admin stockcost-window-bench
fi
admin=$(realpath "$build/admin/stockcost-admin")
bench=$(realpath "$build/bench/stockcost-window-bench")
products=${1:-2000}
rounds=${2:-3}
year=2024
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$admin" init server >Server.Dat
"$admin" create-company BENCH >/dev/null
"$admin" demo BENCH --year "$year" --products "$products"
XDG_RUNTIME_DIR=$work xvfb-run -a -s "-screen 0 800x600x24" \
    "$bench" "$admin" BENCH "$year" "$rounds"

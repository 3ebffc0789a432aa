#!/usr/bin/env bash
# Installs what is missing, builds everything, creates an embedded demo server in demo/ with a
# demo company DEMO (average cost, a year of documents) and opens the average-cost window on
# it. Without a display ($DISPLAY empty) it runs the same calculation on the terminal instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
admin=$PWD/build/default/admin/stockcost-admin
program=$PWD/build/default/app/stockcost
year=$(date +%Y)

rm -rf demo
mkdir demo
cd demo
server=$("$admin" init server)
echo "$server" >Server.Dat
"$admin" create-company DEMO
"$admin" demo DEMO --year "$year"
echo "Embedded server $server (demo/Server.Dat), company DEMO, year $year"

if [ -n "${DISPLAY:-}" ]; then
    # Menu entry 1, user 1 (granted), company DEMO, start mode 1: the window.
    exec "$program" 1 1 DEMO - 1
else
    exec "$admin" calculate DEMO --year "$year"
fi

#!/usr/bin/env bash
# Takes docs/window.png: the average-cost window under Xvfb on a fresh demo company, a few
# seconds into a run started by its daily timer. Expects a build in build/default
# (STOCKCOST_BUILD names another).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${STOCKCOST_BUILD:-build/default}")
output=$PWD/docs/window.png
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/admin/stockcost-admin" init server >Server.Dat
"$build/admin/stockcost-admin" create-company DEMO
"$build/admin/stockcost-admin" demo DEMO >/dev/null

cat >shot.sh <<SHOT
#!/usr/bin/env bash
# The run starts 4 seconds after the window opens; the picture is taken 3 seconds later.
"$build/app/stockcost" 1 1 DEMO - 1 - \$(date -d '+4 seconds' +%H:%M:%S) &
sleep 7
import -window root window.png
kill \$!
SHOT
xvfb-run -s "-screen 0 640x480x24" bash shot.sh
mkdir -p "$(dirname "$output")"
convert window.png -trim +repage "$output"
echo "$output"

#!/usr/bin/env bash
# Takes docs/window.png and docs/window-fifo.png: the average-cost and the FIFO window under
# Xvfb on fresh demo companies of 2,000 products, a few seconds into a run started by the daily
# timer.
# Expects a build in build/default (STOCKCOST_BUILD names another).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${STOCKCOST_BUILD:-build/default}")
docs=$PWD/docs
admin=$build/admin/stockcost-admin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$admin" init server >Server.Dat
"$admin" create-company DEMO
"$admin" demo DEMO --products 2000 >/dev/null
"$admin" create-company FIFO --method 3
"$admin" demo FIFO --products 2000 >/dev/null

# COMPANY PICTURE SECONDS: the run starts 4 seconds after the window opens; the picture is
# taken SECONDS later.
shoot() {
    cat >shot.sh <<SHOT
#!/usr/bin/env bash
"$build/app/stockcost" 1 1 $1 - 1 - \$(date -d '+4 seconds' +%H:%M:%S) &
sleep $((4 + $3))
import -window root $2
kill \$!
SHOT
    xvfb-run -a -s "-screen 0 1024x768x24" bash shot.sh
    mkdir -p "$docs"
    convert "$2" -trim +repage "$docs/$2"
    echo "$docs/$2"
}
shoot DEMO window.png 3
shoot FIFO window-fifo.png 3

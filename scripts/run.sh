#!/usr/bin/env bash
# Installs what is missing, builds everything, creates an embedded demo server in demo/server
# and shows what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
admin=build/default/admin/stockcost-admin

mkdir -p demo
server=$("$admin" init demo/server)
echo "$server" >demo/Server.Dat
echo "Embedded server: $server (written to demo/Server.Dat)"
cd demo
"../$admin" sql master "Select Name From SysDatabases Order By Name"

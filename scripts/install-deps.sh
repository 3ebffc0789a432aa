#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run. Safe to run again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libsqlite3-dev sqlite3
    unixodbc unixodbc-dev tdsodbc
    libgtest-dev googletest libbenchmark-dev
    fonts-thai-tlwg xvfb xauth imagemagick
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Registers the FreeTDS ODBC driver under the name the program asks for.
if ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1; then
    lib=$(find /usr/lib -name libtdsodbc.so -print -quit 2>/dev/null || true)
    if [ -n "$lib" ]; then
        tmp=$(mktemp)
        printf '[FreeTDS]\nDescription=FreeTDS ODBC driver for SQL Server\nDriver=%s\n' "$lib" >"$tmp"
        sudo_cmd=""
        [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
        $sudo_cmd odbcinst -i -d -f "$tmp" >/dev/null
        rm -f "$tmp"
    fi
fi

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Each folder of the program includes only from itself and the folders its library uses, so the
# folders stay a stack: app/ on top, nothing below it including app/, no two folders including
# each other. Usage: tests/layout.sh SOURCE_ROOT
set -euo pipefail
root=${1:-$(dirname "$0")/..}
declare -A uses=(
    [platform]=""
    [port]=""
    [modbus]="port"
    [receive]="port modbus"
    [send]="port modbus"
    [view]=""
    [plot]="port platform"
    [app]="platform port modbus receive send view plot"
)
status=0
for folder in "${!uses[@]}"; do
    while IFS=: read -r file line include; do
        used=${include%%/*}
        [ "$used" = "$folder" ] && continue
        if [[ " ${uses[$folder]} " != *" $used "* ]]; then
            echo "$file:$line includes $include, but $folder/ may use only: ${uses[$folder]:-itself}"
            status=1
        fi
    done < <(grep -n -o -E '^#include "[a-z]+/[^"]+"' "$root/$folder"/*.h "$root/$folder"/*.cpp \
        2>/dev/null | sed -E "s#^$root/##; s/#include \"//; s/\"$//")
done
exit $status

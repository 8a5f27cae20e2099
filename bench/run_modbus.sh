#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# What 协议解析 and the automatic answers cost (bench_modbus), in a real X11 window (xcb on Xvfb);
# prints one Markdown table.
#
#   bench/run_modbus.sh [LABEL=BENCH_MODBUS_BINARY ...]
#
# With no binaries it builds build-release and measures its bench_modbus. Options for
# bench_modbus go in PORTLARK_MODBUS_ARGS (say "--seconds 3 --requests 200" for a short run).
set -euo pipefail
PORTLARK_SCRIPT="run_modbus"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

ensure_packages xvfb xauth
if [ $# -eq 0 ]; then
    ensure_packages "${PORTLARK_BUILD_PACKAGES[@]}"
    configure bench
    build bench bench_modbus
    set -- "this=$PORTLARK_ROOT/build-release/bench/bench_modbus"
fi
read -r -a extra <<<"${PORTLARK_MODBUS_ARGS:-}"

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

echo "| build | frames/s | window CPU, 协议解析 无 | window CPU, Modbus RTU | answers | answer latency, median | 95th percentile | longest |"
echo "|---|---|---|---|---|---|---|---|"
for pair in "$@"; do
    label=${pair%%=*}
    binary=${pair#*=}
    line=$(QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$binary" "${extra[@]}" 2>/dev/null | grep "^result " || echo "result failed=1")
    if [ -n "$(field failed "$line")" ]; then
        echo "| $label | failed | | | | | | |"
        continue
    fi
    printf '| %s | %s | %s %% | %s %% | %s | %s ms | %s ms | %s ms |\n' "$label" \
        "$(field rate "$line")" "$(field plaincpu "$line")" "$(field decodedcpu "$line")" \
        "$(sed -n 's/.* answered=\([0-9]* of [0-9]*\) .*/\1/p' <<<"$line")" \
        "$(field answermedian "$line")" "$(field answerp95 "$line")" "$(field answermax "$line")"
done

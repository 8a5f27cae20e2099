#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Whether the protocol view shows the line's timing (bench_timing), in a real X11 window (xcb on
# Xvfb); prints one Markdown table.
#
#   bench/run_timing.sh [LABEL=BENCH_TIMING_BINARY ...]
#
# With no binaries it builds build-release and measures its bench_timing; with several (say
# before=... after=...) each is run in turn. Options for bench_timing go in PORTLARK_TIMING_ARGS
# (say "--replies 200 --exchanges 20" for a short run).
set -euo pipefail
PORTLARK_SCRIPT="run_timing"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

ensure_packages xvfb xauth
if [ $# -eq 0 ]; then
    ensure_packages "${PORTLARK_BUILD_PACKAGES[@]}"
    configure bench
    build bench bench_timing
    set -- "this=$PORTLARK_ROOT/build-release/bench/bench_timing"
fi
read -r -a extra <<<"${PORTLARK_TIMING_ARGS:-}"

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

echo "| build | replies split (the device paused a frame gap inside) | replies merged | stamp − device clock, median | stamp error, median abs | stamp error, 99th percentile abs | +N ms − device's wait, median | +N ms error, 99th percentile abs | replies with no +N ms |"
echo "|---|---|---|---|---|---|---|---|---|"
for pair in "$@"; do
    label=${pair%%=*}
    binary=${pair#*=}
    line=$(QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$binary" "${extra[@]}" 2>/dev/null | tee /dev/stderr | grep "^result " || echo "result failed=1")
    if [ -n "$(field failed "$line")" ]; then
        echo "| $label | failed | | | | | | | |"
        continue
    fi
    printf '| %s | %s of %s (%s) | %s | %s ms | %s ms | %s ms | %s ms | %s ms | %s of %s |%s\n' \
        "$label" "$(field split "$line")" "$(field replies "$line")" "$(field late "$line")" \
        "$(field merged "$line")" \
        "$(field stampmedian "$line")" "$(field stampabsmedian "$line")" \
        "$(field stampp99 "$line")" "$(field responsemedian "$line")" \
        "$(field responsep99 "$line")" "$(field unfigured "$line")" "$(field exchanges "$line")" \
        "$([ "$(field complete "$line")" = 1 ] || echo ' NOT ALL BYTES ARRIVED')"
done

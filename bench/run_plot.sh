#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# The plot window's figures in a real X11 window (xcb on Xvfb), as one Markdown table.
#
#   bench/run_plot.sh [SECONDS] [BENCH_PLOT_BINARY]
#
# Each rated feed runs SECONDS (default 10) three times (PORTLARK_RATE_REPEATS) and the run with
# the median CPU is shown. With no binary it builds build-release and measures its bench_plot.
set -euo pipefail
PORTLARK_SCRIPT="run_plot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

ensure_packages xvfb xauth procps

seconds=${1:-10}
repeats=${PORTLARK_RATE_REPEATS:-3}
binary=${2:-}
if [ -z "$binary" ]; then
    ensure_packages "${PORTLARK_BUILD_PACKAGES[@]}"
    configure bench
    build bench bench_plot
    binary="$PORTLARK_ROOT/build-release/bench/bench_plot"
fi

# measure ARGS...: the "result" line of one run in its own X server, whose CPU is measured too.
measure() {
    # shellcheck disable=SC2016 # expanded by the shell inside the X session
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
        server=$(pgrep -n -f "^Xvfb $DISPLAY( |\$)" || echo 0)
        "$0" "$@" --server-pid "$server" 2>/dev/null | grep "^result " || echo "result failed=1"
    ' "$binary" "$@" || echo "result failed=1"
}

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

rated() { # lines values: the median run by CPU
    local runs=() line
    for _ in $(seq "$repeats"); do
        runs+=("$(measure --lines "$1" --values "$2" --seconds "$seconds")")
    done
    for line in "${runs[@]}"; do echo "$(field percent "$line") $line"; done | sort -g \
        | sed -n "$(((repeats + 1) / 2))p" | cut -d' ' -f2-
}

echo "median of $repeats runs of $seconds s after 1 s to settle, 10 ms ticks; $(nproc) cores"
echo
echo "| feed | program CPU | X server CPU | frames/s | longest stall | lines sent / parsed (unread at stop) |"
echo "|---|---|---|---|---|---|"
for feed in "1000 8" "20000 4"; do
    read -r lines values <<<"$feed"
    r=$(rated "$lines" "$values")
    printf '| %s lines/s of %s values | %.1f %% | %.1f %% | %.1f | %.0f ms | %s / %s (%s) |\n' \
        "$lines" "$values" "$(field percent "$r")" "$(field server "$r")" "$(field fps "$r")" \
        "$(field stall "$r")" "$(field sent "$r")" "$(field parsed "$r")" "$(field backlog "$r")"
done
r=$(measure --points 1000000 --values 4)
echo
echo "| N = 1,000,000, 4 series | memory above base | bound (1.2 x 4 x N x 16 B) | frame median | frame longest |"
echo "|---|---|---|---|---|"
printf '| filled flat out, text display stopped | %.1f MiB | %.1f MiB | %.1f ms | %.1f ms |\n' \
    "$(field mib "$r")" "$(field bound "$r")" "$(field median "$r")" "$(field longest "$r")"

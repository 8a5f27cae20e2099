#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# A port served by ser2net on loopback beside the same pseudo-terminal opened locally, in one run:
# the window's CPU at 115200 baud in 10 ms ticks (per cent of one core, the median of several
# runs, the three ways taking turns so that each sees the machine as busy) and flat out into the
# display, in a real X11 window (xcb on Xvfb). ser2net's own CPU is its process's and not counted.
# Prints one Markdown table.
#
#   bench/run_remote.sh [SECONDS] [BENCH_BINARY]
#
# SECONDS (default 10) is how long each rated feed is measured, PORTLARK_RATE_REPEATS (default 5)
# how many times. Without a binary it builds build-release and measures its bench_receive.
set -euo pipefail
PORTLARK_SCRIPT="run_remote"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

ensure_packages xvfb xauth procps ser2net

seconds=${1:-10}
repeats=${PORTLARK_RATE_REPEATS:-5}
bench=${2:-}
if [ -z "$bench" ]; then
    ensure_packages "${PORTLARK_BUILD_PACKAGES[@]}"
    configure bench
    build bench bench_receive
    bench="$PORTLARK_ROOT/build-release/bench/bench_receive"
fi
ways=("local|" "RFC 2217|--via rfc2217" "raw TCP|--via tcp")

# measure ARGS...: the "result" line of one run in its own X server.
measure() {
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$bench" "$@" 2>/dev/null | grep "^result " || echo "result failed=1"
}
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }
# checked LINE: nothing when every byte arrived and showed, else a warning.
checked() {
    [ -z "$(field failed "$1")" ] || { printf ', FAILED'; return; }
    [ "$(field equal "$1")$(field counted "$1")" = 11 ] || printf ', BYTES DIFFER'
}

rows=()
for mode in text hex; do
    declare -A runs=()
    for _ in $(seq "$repeats"); do
        for i in "${!ways[@]}"; do
            read -r -a via <<<"${ways[$i]#*|}"
            runs[$i]+="$(measure --pty "$mode" --rate 11520 --tick 10 --seconds "$seconds" \
                "${via[@]}")"$'\n'
        done
    done
    row="| 115200 baud, 115 B every 10 ms, $mode: % of a core |"
    for i in "${!ways[@]}"; do
        mapfile -t lines <<<"${runs[$i]%$'\n'}"
        median=$(for line in "${lines[@]}"; do echo "$(field percent "$line") $line"; done \
            | sort -g | sed -n "$(((${#lines[@]} + 1) / 2))p")
        warn=""
        for line in "${lines[@]}"; do warn+=$(checked "$line"); done
        row+=" $(printf '%.2f %%' "$(field percent "$median")")${warn:+ ${warn#, }} |"
        say "$mode, ${ways[$i]%%|*}: median $(field percent "$median") %"
    done
    rows+=("$row")
    unset runs
done
for mode in text hex; do
    row="| flat out, 16 MiB, $mode: MB/s into the display |"
    for i in "${!ways[@]}"; do
        read -r -a via <<<"${ways[$i]#*|}"
        line=$(measure --pty "$mode" --mib 16 "${via[@]}")
        row+=" $(printf '%.1f' "$(field mbps "$line")")$(checked "$line") |"
    done
    rows+=("$row")
done
echo "rated feeds: median of $repeats runs of $seconds s, each after 1 s to fill the display; $(nproc) cores"
echo
echo "| feed | local pty | ser2net, RFC 2217 | ser2net, raw TCP |"
echo "|---|---|---|---|"
printf '%s\n' "${rows[@]}"

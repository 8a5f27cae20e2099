#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# The receive display at the rates adapters deliver, in a real X11 window (xcb on Xvfb: painting
# is the cost), and flat out; prints one Markdown table.
#
#   bench/run_rates.sh [SECONDS] [LABEL=BENCH_BINARY ...]
#
# SECONDS (default 10) is how long each rated feed is measured; each is measured three times
# (PORTLARK_RATE_REPEATS), the binaries taking turns, and the median shown. With no binaries it builds build-release and
# measures its bench_receive; with several (say before=... after=...) each feed is run with each
# binary in turn, so all see the same machine. A binary may carry options of its own
# (LABEL="BINARY --protocol"); with no binaries, build-release's is measured with everything off and
# with time stamps, 50 ms frames and sent lines on.
set -euo pipefail
PORTLARK_SCRIPT="run_rates"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

ensure_packages xvfb xauth procps

seconds=${1:-10}
shift || true
repeats=${PORTLARK_RATE_REPEATS:-3}
labels=()
binaries=()
if [ $# -eq 0 ]; then
    ensure_packages "${PORTLARK_BUILD_PACKAGES[@]}"
    configure bench
    build bench bench_receive
    bench="$PORTLARK_ROOT/build-release/bench/bench_receive"
    set -- "off=$bench" "protocol=$bench --protocol"
fi
for pair in "$@"; do
    labels+=("${pair%%=*}")
    binaries+=("${pair#*=}")
done

# measure BINARY ARGS...: the "result" line of one run in its own X server, with the X server's
# process id passed on so its CPU is measured over the same span.
measure() {
    local -a command
    read -r -a command <<<"$1"
    shift
    # shellcheck disable=SC2016 # expanded by the shell inside the X session
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
        server=$(pgrep -n -f "^Xvfb $DISPLAY( |\$)" || echo 0)
        "$0" "$@" --server-pid "$server" 2>/dev/null | grep "^result " || echo "result failed=1"
    ' "${command[@]}" "$@" || echo "result failed=1"
}

# field NAME RESULT_LINE
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

# cell UNIT RESULT_LINES...: the run with the median CPU (UNIT: percent or cpupermb), and whether
# any run lost or changed a byte.
cell() {
    local unit="$1" line shown="" value
    shift
    for line in "$@"; do
        [ -n "$(field failed "$line")" ] && shown=", A RUN FAILED"
        [ "$(field equal "$line")$(field counted "$line")" = 11 ] || shown=", BYTES DIFFER"
    done
    line=$(for line in "$@"; do echo "$(field percent "$line") $line"; done | sort -g \
        | sed -n "$((($# + 1) / 2))p")
    if [ "$unit" = percent ]; then
        value=$(printf '%.1f %%' "$(field percent "$line")")
    else
        value=$(printf '%.3f' "$(field cpupermb "$line")")
    fi
    printf '%s (X server %.1f %%)%s' "$value" "$(field server "$line")" "$shown"
}

flat_out() { # binary, mode
    local line
    line=$(measure "$1" --pty "$2" --mib 16)
    if [ -n "$(field failed "$line")" ]; then
        printf 'failed'
        return
    fi
    local shown=""
    [ "$(field equal "$line")$(field counted "$line")" = 11 ] || shown=", BYTES DIFFER"
    awk -v mbps="$(field mbps "$line")" -v first="$(field first "$line")" \
        -v last="$(field last "$line")" -v stall="$(field stall "$line")" \
        -v increase="$(field increase "$line")" -v shown="$shown" 'BEGIN {
        printf "%.1f MB/s, last MiB x%.2f of the first, peak +%.2f B/byte, stall %.0f ms at 1 MB/s%s",
            mbps, last / first, increase, stall, shown }'
}

feeds=(
    "115200 baud, 115 B every 10 ms: % of a core|11520 10 percent"
    "1 MB/s in 10 ms ticks: CPU-s per MB|1000000 10 cpupermb"
    "921600 baud, 92 B every 1 ms: % of a core|92160 1 percent"
    "115200 baud as above, RX count box not repainted|11520 10 percent --quiet-counter"
    "unlimited, 16 MiB, then 4 s at 1 MB/s|flat"
)
header="| feed |"
rule="|---|"
for label in "${labels[@]}"; do
    header+=" $label text | $label hex |"
    rule+="---|---|"
done
rows=()
for feed in "${feeds[@]}"; do
    read -r -a how <<<"${feed#*|}"
    declare -A cells=()
    for mode in text hex; do
        if [ "${how[0]}" = flat ]; then
            for i in "${!binaries[@]}"; do
                cells[$i$mode]=$(flat_out "${binaries[$i]}" "$mode")
            done
            continue
        fi
        # The binaries take turns, so that each sees the machine as busy as the others do.
        declare -A runs=()
        for _ in $(seq "$repeats"); do
            for i in "${!binaries[@]}"; do
                runs[$i]+="$(measure "${binaries[$i]}" --pty "$mode" --rate "${how[0]}" \
                    --tick "${how[1]}" --seconds "$seconds" "${how[@]:3}")"$'\n'
            done
        done
        for i in "${!binaries[@]}"; do
            mapfile -t lines <<<"${runs[$i]%$'\n'}"
            cells[$i$mode]=$(cell "${how[2]}" "${lines[@]}")
        done
        unset runs
    done
    row="| ${feed%%|*} |"
    for i in "${!binaries[@]}"; do
        for mode in text hex; do
            row+=" ${cells[$i$mode]} |"
            say "${feed%%|*}, ${labels[$i]}, $mode: ${cells[$i$mode]}"
        done
    done
    unset cells
    rows+=("$row")
done
echo "rated feeds: median of $repeats runs of $seconds s, each after 1 s to fill the display; $(nproc) cores"
echo
echo "$header"
echo "$rule"
printf '%s\n' "${rows[@]}"

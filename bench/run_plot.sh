#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# The plot window's figures in a real X11 window (xcb on Xvfb), as Markdown tables.
#
#   bench/run_plot.sh [SECONDS] [LABEL=BENCH_PLOT_BINARY ...]
#
# Each rated feed runs SECONDS (default 10) three times (PORTLARK_RATE_REPEATS) and the run with
# the median CPU is shown; the filled ring of 1,000,000 samples as often, with the median frame. With no binary it builds build-release and measures its bench_plot;
# with several (say before=... after=...) they take turns at each run, so that all see the machine
# as busy as the others do, and each has a column. The load average is printed before and after:
# compare only the columns of one run.
set -euo pipefail
PORTLARK_SCRIPT="run_plot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

ensure_packages xvfb xauth procps

seconds=${1:-10}
shift || true
repeats=${PORTLARK_RATE_REPEATS:-3}
if [ $# -eq 0 ]; then
    ensure_packages "${PORTLARK_BUILD_PACKAGES[@]}"
    configure bench
    build bench bench_plot
    set -- "this tree=$PORTLARK_ROOT/build-release/bench/bench_plot"
fi
labels=()
binaries=()
for pair in "$@"; do
    labels+=("${pair%%=*}")
    binaries+=("${pair#*=}")
done

# measure BINARY ARGS...: the "result" line of one run in its own X server, whose CPU is measured
# too.
measure() {
    # shellcheck disable=SC2016 # expanded by the shell inside the X session
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
        server=$(pgrep -n -f "^Xvfb $DISPLAY( |\$)" || echo 0)
        "$0" "$@" --server-pid "$server" 2>/dev/null | grep "^result " || echo "result failed=1"
    ' "$@" || echo "result failed=1"
}

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

# median RESULT_LINES...: the run with the median CPU.
median() {
    local line
    for line in "$@"; do echo "$(field percent "$line") $line"; done | sort -g \
        | sed -n "$((($# + 1) / 2))p" | cut -d' ' -f2-
}

load() { cut -d' ' -f1-3 /proc/loadavg; }

echo "median of $repeats runs of $seconds s after 1 s to settle, 10 ms ticks, the binaries taking turns;" \
    "$(nproc) cores, load average $(load) at the start"
header="| feed |"
rule="|---|"
for label in "${labels[@]}"; do
    header+=" $label |"
    rule+="---|"
done
rows=()
for feed in "1000 8" "20000 4"; do
    read -r lines values <<<"$feed"
    declare -A runs=()
    for _ in $(seq "$repeats"); do
        for i in "${!binaries[@]}"; do
            runs[$i]+="$(measure "${binaries[$i]}" --lines "$lines" --values "$values" \
                --seconds "$seconds")"$'\n'
        done
    done
    cpu="| $lines lines/s of $values values: program CPU (X server) |"
    pace="| frames/s, longest stall |"
    count="| lines sent / parsed (unread at stop) |"
    for i in "${!binaries[@]}"; do
        mapfile -t results <<<"${runs[$i]%$'\n'}"
        r=$(median "${results[@]}")
        say "$lines x $values, ${labels[$i]}: $r"
        cpu+=$(printf ' %.1f %% (%.1f %%) |' "$(field percent "$r")" "$(field server "$r")")
        pace+=$(printf ' %.1f, %.0f ms |' "$(field fps "$r")" "$(field stall "$r")")
        count+=" $(field sent "$r") / $(field parsed "$r") ($(field backlog "$r")) |"
    done
    unset runs
    rows+=("$cpu" "$pace" "$count")
done
memory="| N = 1,000,000, 4 series, filled flat out: memory above base (bound 1.2 x 4 x N x 16 B) |"
frames="| frame median, longest |"
declare -A runs=()
for _ in $(seq "$repeats"); do
    for i in "${!binaries[@]}"; do
        runs[$i]+="$(measure "${binaries[$i]}" --points 1000000 --values 4)"$'\n'
    done
done
for i in "${!binaries[@]}"; do
    # The run with the median frame time.
    r=$(while read -r line; do echo "$(field median "$line") $line"; done <<<"${runs[$i]%$'\n'}" \
        | sort -g | sed -n "$(((repeats + 1) / 2))p" | cut -d' ' -f2-)
    memory+=$(printf ' %.1f MiB (%.1f MiB) |' "$(field mib "$r")" "$(field bound "$r")")
    frames+=$(printf ' %.1f ms, %.1f ms |' "$(field median "$r")" "$(field longest "$r")")
done
rows+=("$memory" "$frames")
echo "load average $(load) at the end"
echo
echo "$header"
echo "$rule"
printf '%s\n' "${rows[@]}"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Plots seconds per MiB against MiB already displayed, for our receive view and a stock
# QPlainTextEdit, from the curve file that bench_receive writes with --curve.
# Usage: bench/plot_receive.sh CURVE_FILE OUTPUT_PNG
set -euo pipefail
curve=${1:?curve file}
output=${2:?output png}
command -v gnuplot >/dev/null || { source "$(dirname "$0")/../scripts/common.sh"; ensure_packages gnuplot-nox; }
gnuplot <<PLOT
set terminal pngcairo size 800,480 font "sans,10"
set output "$output"
set title "Receive display: cost of each MiB of hex pairs as the display grows"
set xlabel "MiB already displayed"
set ylabel "seconds for the next MiB"
set logscale xy
set format y "%g"
set grid
set key right center box opaque
# The first row (nothing displayed yet) has no place on a logarithmic axis.
plot "$curve" every ::1 using 1:2 with lines lw 2 title "PORTLARK receive view", \
     "$curve" every ::1 using 1:3 with linespoints lw 2 title "stock QPlainTextEdit"
PLOT
echo "wrote $output"

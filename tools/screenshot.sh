#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Remakes docs/screenshot.png: the window on a virtual X display, COM1 bound to the simulated
# device so that received data shows. Usage: tools/screenshot.sh [OUTPUT.png]
set -euo pipefail
PORTLARK_SCRIPT="screenshot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
# shellcheck source=tools/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

extra_packages=()
on_virtual_display "$PORTLARK_ROOT/docs/screenshot.png" "$@"
mkdir -p "$(dirname "$output")"
# A screenful of text, then the device's line every second.
start_window 1620
# Let a few lines of data arrive and the clock show the time.
sleep 3
import -window "$window" "$output"
say "wrote $output ($(identify -format '%wx%h' "$output"))"

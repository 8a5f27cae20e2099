#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Remakes the screenshots of the context menus in docs/: the port group's (line control, with its
# flow control submenu open), the receive box's (with a capture log running, and again with the
# encoding submenu open) and the send box's (with ChkHexSend ticked and the check submenu open).
# The window runs on a virtual X display with COM1 bound to the simulated device; xdotool gives
# the right clicks and keys.
# Usage: tools/menus-screenshot.sh [OUTPUT_DIR]
set -euo pipefail
PORTLARK_SCRIPT="menus-screenshot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

# shellcheck source=tools/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

extra_packages=(xdotool)
on_virtual_display "$PORTLARK_ROOT/docs" "$@"
mkdir -p "$output"
start_window 800 --log "$work/capture.log"
sleep 2

shot menu-receive.png 400 150
shot menu-encoding.png 400 150 Up Up Right
shot menu-port.png 20 12 Down Right
xdotool mousemove --window "$window" 10 352 click 1 # ChkHexSend
shot menu-send.png 500 345 Up Up Up Up Up Up Right

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Remakes docs/remote-port.png: the 远程串口 dialog, opened from the port group's menu (its last
# item), with COM5 already a link to a Raspberry Pi's ser2net and COM1 the simulated device.
# Usage: tools/remote-screenshot.sh [OUTPUT.png]
set -euo pipefail
PORTLARK_SCRIPT="remote-screenshot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

# shellcheck source=tools/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

extra_packages=(xdotool)
on_virtual_display "$PORTLARK_ROOT/docs/remote-port.png" "$@"
mkdir -p "$work/portlark/devices"
ln -s rfc2217://lab-pi:7777 "$work/portlark/devices/com5"
ln -s tcp://10.0.0.20:4001 "$work/portlark/devices/com6"
start_window 200
sleep 2

xdotool mousemove --window "$window" 20 12 click 3
sleep 0.5
xdotool key --delay 150 Up Return
sleep 1
dialog=$(xwininfo -name "远程串口" | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
[ -n "$dialog" ] || die "the 远程串口 dialog did not open"
# COM6 picked in the list, its address in the box.
xdotool mousemove --window "$((dialog))" 60 130 click 1
sleep 0.5
import -window "$((dialog))" "$output"
say "wrote $output"

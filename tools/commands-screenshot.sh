#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Remakes the pictures of stored commands in docs/: the 快捷发送 window with a list running its
# sequence, and the send box's menu with its 发送历史 submenu open. The window runs on a virtual X
# display with COM1 bound to the simulated device, and with a kept list and history.
# Usage: tools/commands-screenshot.sh [OUTPUT_DIR]
set -euo pipefail
PORTLARK_SCRIPT="commands-screenshot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

# shellcheck source=tools/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

extra_packages=(xdotool)
on_virtual_display "$PORTLARK_ROOT/docs" "$@"
mkdir -p "$output" "$work/portlark"
cat >"$work/portlark/commands.json" <<'JSON'
{
    "format": "portlark-commands",
    "version": 1,
    "commands": [
        { "name": "读保持寄存器", "content": "01 03 00 00 00 0A C5 CD", "hex": true, "delayMs": 500 },
        { "name": "版本", "content": "AT+GMR", "ending": "crlf", "delayMs": 500 },
        { "name": "复位", "content": "AT+RST", "ending": "crlf", "delayMs": 2000, "sequence": false },
        { "name": "Arduino", "content": "led on", "ending": "lf", "delayMs": 500 }
    ]
}
JSON
cat >"$work/portlark/history.json" <<'JSON'
{ "version": 1, "history": [
    { "text": "01 03 00 00 00 0A C5 CD", "hex": true },
    { "text": "AT+GMR" },
    { "text": "led on" },
    { "text": "01 06 00 01 00 03 98 0B", "hex": true }
] }
JSON
printf '[commands]\ngeometry=700x260+40+420\n' >"$work/portlark/portlark.conf"
start_window 200
sleep 2

# The send box's menu first, while no other window covers the screen: 发送历史 is the fourth item
# from the end.
shot menu-send-history.png 500 345 Up Up Up Up Right

# The window at the place portlark.conf keeps, with its sequence running: 循环发送 is the third
# button from the right on the row under the table, 225 pixels from the right edge and 43 from the
# bottom.
xdotool windowfocus --sync "$window" key F8
sleep 1
commands=$(xwininfo -name "快捷发送" | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
xdotool mousemove --window "$((commands))" 475 217 click 1
sleep 1.2
import -window "$((commands))" "$output/commands-window.png"
say "wrote $output/commands-window.png"
xdotool click 1

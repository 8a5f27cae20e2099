#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Remakes docs/modbus.png and docs/commands-tallies.png against a real Modbus slave: pymodbus'
# serial server (tests/modbus_peer.py) on a pseudo-terminal linked as COM1. First a decoded
# exchange: 协议解析 Modbus RTU with 时间戳 and 显示发送, and a few requests typed in hexadecimal
# and sent with xdotool. Then the 快捷发送 window after a looped run of a kept list whose rows
# expect replies (one the slave refuses, one to a unit that is not there), with its tallies.
# Usage: tools/modbus-screenshot.sh [OUTPUT_DIR]
set -euo pipefail
PORTLARK_SCRIPT="modbus-screenshot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
# shellcheck source=tools/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

extra_packages=(xdotool python3-pymodbus python3-serial-asyncio)
on_virtual_display "$PORTLARK_ROOT/docs" "$@"
mkdir -p "$output" "$work/portlark/devices"
cat >"$work/portlark/portlark.conf" <<'CONF'
[view]
timestamps=true
show-sent=true
decode=modbus-rtu

[commands]
geometry=1000x560+10+10
CONF
cat >"$work/portlark/commands.json" <<'JSON'
{
    "format": "portlark-commands",
    "version": 2,
    "commands": [
        { "name": "读保持寄存器", "content": "01 03 00 00 00 02 C4 0B", "hex": true, "delayMs": 100,
          "expect": { "kind": "modbus", "timeoutMs": 500 } },
        { "name": "读越界", "content": "01 03 FF FF 00 02 C4 2F", "hex": true, "delayMs": 100,
          "expect": { "kind": "modbus", "timeoutMs": 500 } },
        { "name": "写寄存器", "content": "01 06 00 01 00 03 98 0B", "hex": true, "delayMs": 100,
          "expect": { "kind": "hex", "pattern": "01 06 00 01 00 03 ?? ??", "timeoutMs": 500 } },
        { "name": "从站5", "content": "05 03 00 00 00 02 C5 8F", "hex": true, "delayMs": 100,
          "expect": { "kind": "modbus", "timeoutMs": 300, "retries": 1 } }
    ],
    "answers": [
        { "kind": "modbus", "pattern": "2", "replyKind": "registers", "delayMs": 0 }
    ],
    "registers": { "0": 1, "1": 101 }
}
JSON

coproc PEER {
    exec /usr/bin/python3 -u "$PORTLARK_ROOT/tests/modbus_peer.py" \
        "$work/portlark/devices/com1" slave 300 2>"$work/peer.err"
}
# shellcheck disable=SC2153 # set by coproc
pids+=("$PEER_PID")
if ! read -r -t 30 word <&"${PEER[0]}" || [ "$word" != ready ]; then
    cat "$work/peer.err" >&2
    die "the Modbus slave did not come up"
fi

start_program
sleep 1
xdotool mousemove --window "$window" 10 213 click 1 # ChkHexReceive
xdotool mousemove --window "$window" 10 352 click 1 # ChkHexSend
for request in "01 03 00 00 00 02 C4 0B" "01 01 00 00 00 05 FC 09" "01 06 00 01 00 03 98 0B" \
    "01 03 FF FF 00 02 C4 2F" "01 03 00 00 00 02 00 00"; do
    xdotool mousemove --window "$window" 400 350 click 1 key ctrl+a
    xdotool type --delay 10 "$request"
    xdotool mousemove --window "$window" 716 406 click 1 # CmdSend
    sleep 0.7
done
sleep 0.5
import -window "$window" "$output/modbus.png"
say "wrote $output/modbus.png"

# The window at the place portlark.conf keeps; 循环发送 is on the row under the table, 282 pixels
# from the right edge and 242 from the bottom. The run stops by the keyboard: the tallies that
# show under the table move the button.
xdotool windowfocus --sync "$window" key F8
sleep 1
commands=$(xwininfo -name "快捷发送" | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
xdotool mousemove --window "$((commands))" 718 318 click 1
sleep 8
xdotool key space
sleep 0.5
import -window "$((commands))" "$output/commands-tallies.png"
say "wrote $output/commands-tallies.png"

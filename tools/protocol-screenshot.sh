#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Remakes docs/protocol-view.png: a Modbus RTU exchange in the receive display with time stamps,
# frames split at 20 ms gaps, the frames' characters, the sent frames and the response times.
# COM1 is bound to a small Modbus slave on a pseudo-terminal (register reads answered after about
# 10 ms); xdotool ticks the hexadecimal boxes, types the request and sends it a few times.
# Usage: tools/protocol-screenshot.sh [OUTPUT.png]
set -euo pipefail
PORTLARK_SCRIPT="protocol-screenshot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
# shellcheck source=tools/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

extra_packages=(xdotool python3)
on_virtual_display "$PORTLARK_ROOT/docs/protocol-view.png" "$@"
mkdir -p "$(dirname "$output")" "$work/portlark/devices"
cat >"$work/portlark/portlark.conf" <<'CONF'
[view]
frame-ms=20
hex-chars=true
show-sent=true
timestamps=true
CONF

# A slave at address 1: function 3 (read holding registers) answers with register n holding
# 100 * n + 1; anything else is left unanswered.
coproc SLAVE {
    exec python3 -u - "$work/portlark/devices/com1" <<'PY' 2>"$work/slave.err"
import os, pty, sys, time, tty

def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])

master, slave = pty.openpty()
tty.setraw(slave)
os.symlink(os.ttyname(slave), sys.argv[1])
print("ready")
pending = b""
while True:
    pending += os.read(master, 256)
    while len(pending) >= 8:
        request, pending = pending[:8], pending[8:]
        if request[1] != 3 or crc16(request[:6]) != request[6:]:
            continue
        start, count = int.from_bytes(request[2:4], "big"), int.from_bytes(request[4:6], "big")
        body = bytes([request[0], 3, 2 * count]) + b"".join(
            (100 * n + 1).to_bytes(2, "big") for n in range(start, start + count))
        time.sleep(0.01)
        os.write(master, body + crc16(body))
PY
}
# shellcheck disable=SC2153 # set by coproc
pids+=("$SLAVE_PID")
if ! read -r -t 20 word <&"${SLAVE[0]}" || [ "$word" != ready ]; then
    cat "$work/slave.err" >&2
    die "the Modbus slave did not come up"
fi

start_program
sleep 1

xdotool mousemove --window "$window" 10 213 click 1 # ChkHexReceive
xdotool mousemove --window "$window" 10 352 click 1 # ChkHexSend
xdotool mousemove --window "$window" 400 350 click 1 key ctrl+a
xdotool type --delay 20 "01 03 00 00 00 02 C4 0B"
for request in "01 03 00 00 00 02 C4 0B" "01 03 00 0A 00 04 64 0B" "01 03 00 00 00 02 C4 0B"; do
    xdotool mousemove --window "$window" 400 350 click 1 key ctrl+a
    xdotool type --delay 10 "$request"
    xdotool mousemove --window "$window" 716 406 click 1 # CmdSend
    sleep 0.7
done
sleep 0.5
import -window "$window" "$output"
say "wrote $output ($(identify -format '%wx%h' "$output"))"

#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Remakes docs/transfer.png and docs/line-state.png. For the first, COM1 is a pseudo-terminal whose
# far end runs lrzsz's rb, fed slowly enough to catch a YMODEM send half way; the file is chosen
# in the program's own file dialog. For the second, COM1 is the simulated device; a pseudo-terminal
# has no modem lines, so a small ioctl shim (LD_PRELOAD, built here) makes up changing ones where
# the driver has none to give.
# Usage: tools/boot-screenshot.sh [OUTPUT_DIR]
set -euo pipefail
PORTLARK_SCRIPT="boot-screenshot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
# shellcheck source=tools/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"

extra_packages=(xdotool python3)
on_virtual_display "$PORTLARK_ROOT/docs" "$@"
mkdir -p "$output" "$work/portlark/devices" "$work/received"
head -c 102400 /dev/urandom >"$work/u-boot.bin"

# rb on the far end, its input paced at about 8 KiB a second. It starts when the file "go" is
# there, once the transfer has started: its first request would otherwise come while nothing
# waits for it, and the next one ten seconds later (a loader after `loady` asks every second).
coproc LOADER {
    exec python3 -u - "$work/portlark/devices/com1" "$work/received" "$work/go" \
        <<'PY' 2>"$work/loader.err"
import os, pty, selectors, subprocess, sys, time, tty

master, slave = pty.openpty()
tty.setraw(slave)
os.symlink(os.ttyname(slave), sys.argv[1])
print("ready")
while not os.path.exists(sys.argv[3]):
    time.sleep(0.1)
rb = subprocess.Popen(["rb", "-y"], cwd=sys.argv[2], stdin=subprocess.PIPE,
                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, bufsize=0)
watch = selectors.DefaultSelector()
watch.register(master, selectors.EVENT_READ)
watch.register(rb.stdout, selectors.EVENT_READ)
while rb.poll() is None:
    for key, _ in watch.select(1):
        if key.fileobj == master:
            data = os.read(master, 128)
            time.sleep(len(data) / 8192)
            rb.stdin.write(data)
        else:
            os.write(master, os.read(rb.stdout.fileno(), 4096))
PY
}
# shellcheck disable=SC2153 # set by coproc
pids+=("$LOADER_PID")
if ! read -r -t 20 word <&"${LOADER[0]}" || [ "$word" != ready ]; then
    cat "$work/loader.err" >&2
    die "the far end did not come up"
fi
start_program
sleep 2

# 传输文件 is the second item from the end of the send box's menu; YMODEM 发送… the third of its
# submenu. The file dialog takes the path typed into its name box.
xdotool mousemove --window "$window" 500 345 click 3
sleep 0.5
xdotool key --delay 150 Up Up Right Down Down Return
sleep 1.5
xdotool type --delay 20 "$work/u-boot.bin"
xdotool key Return
touch "$work/go"
sleep 6
transfer=$(xwininfo -name "传输文件" | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
import -window "$((transfer))" "$output/transfer.png"
say "wrote $output/transfer.png"
stop_window
pids=()
work="$(mktemp -d "${TMPDIR:-/tmp}/portlark-shot.XXXXXX")"

# Modem lines for a pseudo-terminal: DSR and DCD asserted, CTS changing every 0.4 s, RI off; the
# output lines take what they are given. Only where the driver itself says it has none.
cat >"$work/lines.c" <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <time.h>

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, void*);
    va_list list;
    va_start(list, request);
    void* argument = va_arg(list, void*);
    va_end(list);
    if (!real)
        real = (int (*)(int, unsigned long, void*))dlsym(RTLD_NEXT, "ioctl");
    const int result = real(fd, request, argument);
    if (result == 0 || (errno != ENOTTY && errno != EINVAL))
        return result;
    if (request == TIOCMGET) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const int cts = (now.tv_sec * 10 + now.tv_nsec / 100000000) / 4 % 2;
        *(int*)argument = TIOCM_DSR | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS | (cts ? TIOCM_CTS : 0);
        return 0;
    }
    return request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET ? 0 : result;
}
C
cc -shared -fPIC -O2 -o "$work/lines.so" "$work/lines.c" -ldl
LD_PRELOAD="$work/lines.so" start_window 200
sleep 1
# 线路状态… is the port group's last item.
xdotool mousemove --window "$window" 20 12 click 3
sleep 0.5
xdotool key --delay 150 Up Return
sleep 3.3
lines=$(xwininfo -name "线路状态" | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
import -window "$((lines))" "$output/line-state.png"
say "wrote $output/line-state.png"

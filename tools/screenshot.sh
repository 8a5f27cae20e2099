#!/usr/bin/env bash
# Remakes docs/screenshot.png: the window on a virtual X display, COM1 bound to the simulated
# device so that received data shows. Usage: tools/screenshot.sh [OUTPUT.png]
set -euo pipefail
PORTLARK_SCRIPT="screenshot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

title="Velmora-串口调试助手PORTLARK2.1"
build_dir="$PORTLARK_ROOT/build-run"

if [ "${1:-}" != "--inside" ]; then
    output="$(realpath -m "${1:-$PORTLARK_ROOT/docs/screenshot.png}")"
    ensure_packages "${PORTLARK_BUILD_PACKAGES[@]}" xvfb xauth x11-utils imagemagick
    configure "$build_dir" -DCMAKE_BUILD_TYPE=Release
    build "$build_dir" portlark portlark-simdevice
    mkdir -p "$(dirname "$output")"
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" --inside "$output"
fi

# On the virtual display from here on.
output="$2"
work="$(mktemp -d "${TMPDIR:-/tmp}/portlark-shot.XXXXXX")"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# wait_for SECONDS COMMAND...: polls until COMMAND succeeds.
wait_for() {
    local tenths=$(($1 * 10))
    shift
    while ! "$@" >/dev/null 2>&1; do
        tenths=$((tenths - 1))
        [ "$tenths" -gt 0 ] || return 1
        sleep 0.1
    done
}

devices="$work/portlark/devices"
mkdir -p "$devices"
# A screenful of text, then the device's line every second.
coproc DEVICE {
    exec "$build_dir/tools/simdevice/portlark-simdevice" --devices "$devices" --com 1 \
        --send-text 1620 --rate 1000 2>"$work/device.err"
}
# shellcheck disable=SC2153 # set by coproc
pids+=("$DEVICE_PID")
exec {device_out}<&"${DEVICE[0]}"
if ! read -r -t 20 word _ <&"$device_out" || [ "$word" != ready ]; then
    cat "$work/device.err" >&2
    die "the simulated device did not come up"
fi

# Read the data as a Chinese system would (GBK), as the program was made for.
LC_CTYPE=zh_CN.UTF-8 XDG_CONFIG_HOME="$work" "$build_dir/app/portlark" >"$work/portlark.log" 2>&1 &
pids+=($!)
wait_for 20 xwininfo -name "$title" || { cat "$work/portlark.log" >&2; die "no window came up"; }
# Let a few lines of data arrive and the clock show the time.
sleep 3
import -window "$(xwininfo -name "$title" | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')" \
    "$output"
say "wrote $output ($(identify -format '%wx%h' "$output"))"

#!/usr/bin/env bash
# Remakes the screenshots of the three context menus in docs/: the port group's (line control,
# with its flow control submenu open), the receive box's (with a capture log running) and the
# send box's (with ChkHexSend ticked and the check submenu open). The window runs on a virtual X
# display with COM1 bound to the simulated device; xdotool gives the right clicks and keys.
# Usage: tools/menus-screenshot.sh [OUTPUT_DIR]
set -euo pipefail
PORTLARK_SCRIPT="menus-screenshot"
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

build_dir="$PORTLARK_ROOT/build-run"

if [ "${1:-}" != "--inside" ]; then
    output="$(realpath -m "${1:-$PORTLARK_ROOT/docs}")"
    ensure_packages "${PORTLARK_BUILD_PACKAGES[@]}" xvfb xauth x11-utils imagemagick xdotool
    configure "$build_dir" -DCMAKE_BUILD_TYPE=Release
    build "$build_dir" portlark portlark-simdevice
    mkdir -p "$output"
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "${BASH_SOURCE[0]}" --inside "$output"
fi

output="$2"
work="$(mktemp -d "${TMPDIR:-/tmp}/portlark-menus.XXXXXX")"
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

devices="$work/portlark/devices"
mkdir -p "$devices"
coproc DEVICE {
    exec "$build_dir/tools/simdevice/portlark-simdevice" --devices "$devices" --com 1 \
        --send-text 800 --rate 1000 2>"$work/device.err"
}
# shellcheck disable=SC2153 # set by coproc
pids+=("$DEVICE_PID")
exec {device_out}<&"${DEVICE[0]}"
if ! read -r -t 20 word _ <&"$device_out" || [ "$word" != ready ]; then
    cat "$work/device.err" >&2
    die "the simulated device did not come up"
fi

LC_CTYPE=zh_CN.UTF-8 XDG_CONFIG_HOME="$work" "$build_dir/app/portlark" --log "$work/capture.log" \
    >"$work/portlark.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
    window=$(xdotool search --name "PORTLARK2\.1" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "${window:-}" ] || { cat "$work/portlark.log" >&2; die "no window came up"; }
sleep 2

# shot NAME X Y KEYS...: right-clicks at (X, Y) in the window, presses the keys, captures the
# screen and trims it to the window and its menus.
shot() {
    local name=$1 x=$2 y=$3
    shift 3
    xdotool mousemove --window "$window" "$x" "$y" click 3
    sleep 0.5
    [ $# -eq 0 ] || xdotool key --delay 150 "$@"
    sleep 0.5
    import -window root "$work/shot.png"
    convert "$work/shot.png" -trim +repage "$output/$name"
    xdotool key Escape Escape Escape
    sleep 0.3
    say "wrote $output/$name"
}

shot menu-receive.png 400 150
shot menu-port.png 20 12 Down Down Down Right
xdotool mousemove --window "$window" 10 352 click 1 # ChkHexSend
shot menu-send.png 500 345 Up Right

# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# shellcheck shell=bash
# Shared by the screenshot scripts: the window on a virtual X display, COM1 bound to the simulated
# device so that received data shows. Sourced after scripts/common.sh, not run.

build_dir="$PORTLARK_ROOT/build-run"

# on_virtual_display DEFAULT_OUTPUT [ARGUMENTS...]: outside the display it installs what is
# missing, builds, and runs the calling script again under xvfb-run; it returns only there, with
# `output` set to the first argument (or DEFAULT_OUTPUT) as an absolute path and `work` to a
# scratch folder that goes when the script ends. Packages beyond the usual ones go in the array
# extra_packages.
on_virtual_display() {
    local default="$1"
    shift
    if [ "${1:-}" = "--inside" ]; then
        output="$2"
        work="$(mktemp -d "${TMPDIR:-/tmp}/portlark-shot.XXXXXX")"
        pids=()
        trap stop_window EXIT
        return
    fi
    output="$(realpath -m "${1:-$default}")"
    # shellcheck disable=SC2154 # set by the sourcing script
    ensure_packages "${PORTLARK_BUILD_PACKAGES[@]}" xvfb xauth x11-utils imagemagick \
        "${extra_packages[@]}"
    configure run
    build run
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside "$output"
}

# start_window TEXT_BYTES [PROGRAM ARGUMENTS...]: the device sends TEXT_BYTES of text then a line
# a second; both run as on a Chinese system (GBK). Sets `window` to the window's
# id; both processes end with the script.
start_window() {
    local text_bytes="$1"
    shift
    local devices="$work/portlark/devices"
    mkdir -p "$devices"
    coproc DEVICE {
        exec env LC_CTYPE=zh_CN.UTF-8 "$build_dir/tools/simdevice/portlark-simdevice" \
            --devices "$devices" --com 1 \
            --send-text "$text_bytes" --rate 1000 2>"$work/device.err"
    }
    # shellcheck disable=SC2153 # set by coproc
    pids+=("$DEVICE_PID")
    local device_out word
    exec {device_out}<&"${DEVICE[0]}"
    if ! read -r -t 20 word _ <&"$device_out" || [ "$word" != ready ]; then
        cat "$work/device.err" >&2
        die "the simulated device did not come up"
    fi
    start_program "$@"
}

# start_program [PROGRAM ARGUMENTS...]: the program as a Chinese system runs it, its configuration
# folder the scratch folder; sets `window` to the window's id once it shows.
start_program() {
    LC_CTYPE=zh_CN.UTF-8 XDG_CONFIG_HOME="$work" "$build_dir/app/portlark" "$@" \
        >"$work/portlark.log" 2>&1 &
    pids+=($!)
    local tenths=200
    local title="Velmora-串口调试助手PORTLARK2.1"
    until window=$(xwininfo -name "$title" 2>/dev/null \
        | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p') && [ -n "$window" ]; do
        tenths=$((tenths - 1))
        [ "$tenths" -gt 0 ] || { cat "$work/portlark.log" >&2; die "no window came up"; }
        sleep 0.1
    done
    window=$((window))
}

# shot NAME X Y KEYS...: right-clicks at (X, Y) in the window, presses the keys, captures the
# screen and trims it to the window and its menus, into NAME in the folder `output`.
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

stop_window() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}

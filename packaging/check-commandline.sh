#!/bin/sh
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# --help and --version answer on standard output with status 0 and no display; a bad option is
# one line on standard error and status 2.
# Usage: check-commandline.sh PORTLARK VERSION
program=$1
version=$2
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
failed=0

# expect STATUS ARGUMENTS...: runs the program without any display.
expect() {
    want=$1
    shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" >"$out" 2>"$err"
    got=$?
    if [ "$got" -ne "$want" ]; then
        echo "FAIL: portlark $*: status $got, expected $want"
        cat "$err"
        failed=1
    fi
}
fail() { echo "FAIL: $*"; failed=1; }

expect 0 --version
[ "$(cat "$out")" = "portlark $version" ] || fail "--version printed '$(cat "$out")'"
[ -s "$err" ] && fail "--version wrote to standard error: $(cat "$err")"

expect 0 -platform offscreen --help
head -n 1 "$out" | grep -q '^Usage: portlark' || fail "--help printed no usage line"
for option in --version --com --settings --log; do
    grep -q -- "$option" "$out" || fail "--help does not name $option"
done
[ -s "$err" ] && fail "--help wrote to standard error: $(cat "$err")"

for bad in --frobnicate -x --com=x --settings=9600,N; do
    expect 2 "$bad"
    [ "$(wc -l <"$err")" -eq 1 ] || fail "$bad: not one line on standard error: $(cat "$err")"
    [ -s "$out" ] && fail "$bad wrote to standard output"
done
exit $failed

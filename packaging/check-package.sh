#!/usr/bin/env bash
# Checks a built package as a user would meet it: its control fields and contents, lintian, that
# apt can install it with every dependency on a system that has nothing installed, and that once
# unpacked into a fresh root by dpkg the program answers --version and starts.
# Usage: check-package.sh PACKAGE.deb VERSION
set -uo pipefail
[ -f "${1:-}" ] || { echo "FAIL: no package at '${1:-}'"; exit 1; }
deb=$(realpath "$1")
version=$2
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = portlark ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), expected $version"
[ "$(field Section)" = electronics ] || fail "section $(field Section)"
[ "$(basename "$deb")" = "portlark_${version}_amd64.deb" ] || fail "file name $(basename "$deb")"
depends=$(field Depends)
for needed in fonts-wqy-microhei qt6-qpa-plugins libqt6widgets6 libqt6serialport6 libc6; do
    [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
field Description | grep -q -P '\p{Han}' || fail "the description has no Chinese line"

dpkg-deb --contents "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$work/contents"
expected=(/usr/bin/portlark /usr/share/applications/portlark.desktop
    /usr/share/metainfo/example.velmora.portlark.metainfo.xml /usr/share/man/man1/portlark.1.gz
    /usr/share/doc/portlark/copyright /usr/share/doc/portlark/changelog.gz
    /usr/share/icons/hicolor/scalable/apps/portlark.svg)
for size in 16 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/portlark.png")
done
for path in "${expected[@]}"; do
    grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done

# Errors fail; the warnings kept are listed in the README.
lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1
sed 's/^/lintian: /' "$work/lintian"
grep -q '^E:' "$work/lintian" && fail "lintian reports errors"

# An empty dpkg status stands for a system with nothing installed: apt must find every
# dependency in the archive.
: >"$work/status"
if ! apt-get install --simulate -o Dir::State::status="$work/status" "$deb" >"$work/apt" 2>&1; then
    cat "$work/apt"
    fail "apt cannot install the package on an empty system (are the package lists current?)"
elif ! grep -q '^Inst portlark ' "$work/apt"; then
    fail "apt would not install portlark"
else
    echo "apt: portlark installs on an empty system with $(grep -c '^Inst ' "$work/apt") packages"
fi

# A fresh root with only this package in it.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
if dpkg --root="$root" --log=/dev/null --force-depends --force-not-root -i "$deb" >"$work/dpkg" 2>&1; then
    dpkg --root="$root" -s portlark | grep -q '^Status: install ok installed' \
        || fail "dpkg does not list portlark as installed"
    got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/portlark" --version)
    [ "$got" = "portlark $version" ] || fail "installed portlark --version printed '$got'"
    # Started on a screen of its own with COM1 absent, it must keep running (behind the warning)
    # until stopped: 124 is timeout's status for that.
    mkdir -p "$work/config/portlark/devices"
    ln -s /nonexistent "$work/config/portlark/devices/com1"
    XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/portlark" \
        >"$work/run" 2>&1
    status=$?
    [ "$status" -eq 124 ] || { cat "$work/run"; fail "installed portlark ended with status $status"; }
else
    cat "$work/dpkg"
    fail "dpkg could not install the package into a fresh root"
fi
[ "$failed" -eq 0 ] && echo "package checks passed: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
exit "$failed"

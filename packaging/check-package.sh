#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Checks a built package as a user would meet it: its control fields and contents, lintian, and
# that on a clean Debian 12 apt installs it with every dependency and the program runs.
# Needs root (chroot) and Debian's archive. With --prepare it only makes the clean Debian 12 in
# CACHE and fetches the libraries the package is known to need, which is mostly waiting on the
# network: scripts/test does that while it builds.
# Usage: check-package.sh PACKAGE.deb VERSION CACHE
#        check-package.sh --prepare CACHE
set -uo pipefail
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# What the package must depend on; --prepare fetches them.
needed=(fonts-wqy-microhei qt6-translations-l10n libqt6widgets6 libqt6serialport6 libc6)

# seed FOLDER: the packages this machine's apt already fetched, linked (or copied) into FOLDER, so
# that debootstrap and apt take those of the same version from there instead of the archive; each
# is still checked against the archive's checksums.
seed() {
    mkdir -p "$1"
    find /var/cache/apt/archives -maxdepth 1 -name '*.deb' -exec cp -l -n -t "$1/" {} + 2>/dev/null \
        || find /var/cache/apt/archives -maxdepth 1 -name '*.deb' -exec cp -n -t "$1/" {} +
}

# make_base CACHE: debootstrap's minbase of Debian 12 as CACHE/bookworm-minbase.tar, unless it is
# there, and the needed libraries' packages fetched into CACHE/archives.
make_base() {
    local cache=$1 root="$work/base"
    local base="$cache/bookworm-minbase.tar"
    mkdir -p "$cache/archives"
    [ -f "$base" ] && return 0
    seed "$root/var/cache/apt/archives"
    if ! timeout 600 debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian \
        >"$work/debootstrap" 2>&1; then
        tail -n 20 "$work/debootstrap"
        fail "debootstrap could not install Debian 12"
        return 1
    fi
    # The minbase tree without the seeded packages: apt cleans nothing after debootstrap.
    find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -delete
    tar -C "$root" -cf "$base.part" . && mv "$base.part" "$base"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    seed "$root/var/cache/apt/archives"
    local fetch="apt-get update -q && apt-get install -y -q --download-only --no-install-recommends"
    if timeout 600 chroot "$root" env DEBIAN_FRONTEND=noninteractive sh -c "$fetch ${needed[*]}" \
        >"$work/fetch" 2>&1; then
        keep_fetched "$root/var/cache/apt/archives" "$cache/archives"
    else
        tail -n 20 "$work/fetch" # the check itself fetches what is missing
    fi
    rm -rf "$root"
}

# keep_fetched ARCHIVES CACHE_ARCHIVES: what apt fetched is kept for the next run; what this
# machine had stays where it is.
keep_fetched() {
    local fetched
    for fetched in "$1"/*.deb; do
        if [ -e "$fetched" ] && [ ! -e "/var/cache/apt/archives/${fetched##*/}" ]; then
            mv "$fetched" "$2/"
        fi
    done
}

if [ "${1:-}" = --prepare ]; then
    make_base "$(realpath -m "${2:?the cache folder}")"
    exit "$failed"
fi
[ -f "${1:-}" ] || { echo "FAIL: no package at '${1:-}'"; exit 1; }
deb=$(realpath "$1")
version=$2
cache=$(realpath -m "$3")

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = portlark ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), expected $version"
[ "$(field Section)" = electronics ] || fail "section $(field Section)"
arch=$(dpkg --print-architecture)
[ "$(field Architecture)" = "$arch" ] || fail "architecture $(field Architecture), expected $arch"
[ "$(basename "$deb")" = "portlark_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"
depends=$(field Depends)
for package in "${needed[@]}"; do
    [[ "$depends" == *"$package"* ]] || fail "Depends lacks $package: $depends"
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

# A clean Debian 12 (debootstrap's minbase, its tarball and the packages apt fetched cached in
# CACHE), in which apt installs the package with every dependency from Debian's archive; then the
# installed program must answer --version and, started on a screen of its own with COM1 absent,
# keep running (behind its warning) until stopped: 124 is timeout's status for that.
base="$cache/bookworm-minbase.tar"
root="$work/root"
make_base "$cache"
mkdir -p "$root"
if [ -f "$base" ] && tar -C "$root" -xpf "$base"; then
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    cp "$deb" "$root/tmp/"
    archives="$root/var/cache/apt/archives"
    seed "$archives"
    find "$cache/archives" -maxdepth 1 -name '*.deb' -exec cp -t "$archives/" {} +
    # The root is thrown away afterwards: dpkg need not wait for each file to reach the disk.
    install="apt-get update -q && apt-get install -y -q --no-install-recommends"
    install+=" -o Dpkg::Options::=--force-unsafe-io /tmp/${deb##*/}"
    if timeout 600 chroot "$root" env DEBIAN_FRONTEND=noninteractive sh -c "$install" \
        >"$work/apt" 2>&1; then
        others=$(grep '^Setting up ' "$work/apt" | grep -vc '^Setting up portlark')
        echo "apt: installed portlark and $others other packages in a clean root"
        keep_fetched "$archives" "$cache/archives"
        got=$(chroot "$root" portlark --version)
        [ "$got" = "portlark $version" ] || fail "installed portlark --version printed '$got'"
        mkdir -p "$root/tmp/config/portlark/devices"
        ln -s /nonexistent "$root/tmp/config/portlark/devices/com1"
        chroot "$root" env XDG_CONFIG_HOME=/tmp/config QT_QPA_PLATFORM=offscreen \
            timeout 3 portlark >"$work/run" 2>&1
        status=$?
        if [ "$status" -ne 124 ]; then
            cat "$work/run"
            fail "installed portlark ended with status $status"
        fi
    else
        tail -n 30 "$work/apt"
        fail "apt could not install the package in a clean Debian 12"
    fi
elif [ -f "$base" ]; then
    fail "could not unpack the cached Debian 12 in $base"
fi
[ "$failed" -eq 0 ] && echo "package checks passed: ${deb##*/}, $(du -k "$deb" | cut -f1) KiB"
exit "$failed"

# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

# Shared by scripts/run and scripts/test: where things are, and installing what is missing.
# Sourced, not run.

PORTLARK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What building the program needs on Debian 12, the Chinese font included; the icons are rendered
# and the manual page written at build time. lrzsz runs the file transfers (and plays the far end
# in their tests).
PORTLARK_BUILD_PACKAGES=(
    qt6-base-dev qt6-serialport-dev libqt6serialport6 qt6-qpa-plugins qt6-translations-l10n
    cmake ninja-build g++ pkg-config
    fontconfig fonts-wqy-microhei fonts-dejavu-core
    librsvg2-bin scdoc
    lrzsz
)
# What making and checking the package needs besides (debootstrap for a clean Debian 12 to install
# it in); the validators run in the test suite too.
# (CPack's dependency scan needs file and dpkg-shlibdeps; without them it leaves the libraries out.)
PORTLARK_PACKAGE_PACKAGES=(dpkg-dev file lintian desktop-file-utils appstream groff-base debootstrap)
# What only the test suite needs besides: the check that every file names its licence, and Qt's
# private headers, to tell the receive view a screen reader listens; the zones the stamps are
# tested in; a real Modbus peer (pymodbus, whose serial server needs serial_asyncio); ser2net, which
# serves a pseudo-terminal over the network for the remote port's tests and benchmark.
PORTLARK_TEST_PACKAGES=(reuse qt6-base-private-dev tzdata python3-pymodbus python3-serial-asyncio
    ser2net)

say() { printf '%s: %s\n' "${PORTLARK_SCRIPT:-portlark}" "$*" >&2; }
die() { say "$*"; exit 1; }

# Installs the Debian packages named that are not installed yet; the package lists are
# refreshed only when something is missing.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    command -v apt-get >/dev/null || die "missing ${missing[*]}, and there is no apt-get to install them"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || die "missing ${missing[*]}: run as root or install sudo"
        sudo=(sudo)
    fi
    say "installing ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q \
        || die "apt-get update failed"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends "${missing[@]}" </dev/null \
        || die "could not install ${missing[*]}"
}

# configure PRESET [cmake options...]: the build folder and options CMakePresets.json names.
configure() {
    local preset="$1"
    shift
    cmake -S "$PORTLARK_ROOT" --preset "$preset" "$@" >/dev/null \
        || die "cmake failed for the $preset preset"
}

# hardening_options: the CMake options that build with Debian's hardening flags, as a package is
# built (dpkg-buildflags, from dpkg-dev), less -g: the package's binary is stripped, so debug
# information would only slow the build. Sets the array hardening.
hardening_options() {
    local cxxflags
    cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
    cxxflags=$(sed -E 's/(^| )-g( |$)/ /' <<<"$cxxflags")
    hardening=("-DCMAKE_CXX_FLAGS=$cxxflags"
        "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)")
}

# PORTLARK_JOBS, when set, overrides the presets' two jobs (the machine is shared).
job_options=()
if [ -n "${PORTLARK_JOBS:-}" ]; then
    job_options=(-j "$PORTLARK_JOBS")
fi

# build PRESET [targets...]: the preset's targets unless others are named.
build() {
    local preset="$1"
    shift
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    (cd "$PORTLARK_ROOT" && cmake --build --preset "$preset" "${job_options[@]}" "${targets[@]}") \
        || die "build failed for the $preset preset"
}

display_available() {
    [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]
}

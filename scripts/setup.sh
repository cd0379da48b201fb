#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine, from
# Debian's own packages. Safe to run again: it only acts on what is missing.
set -euo pipefail

need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        exec sudo -E bash "$0" "$@"
    fi
}
need_root "$@"

export DEBIAN_FRONTEND=noninteractive

packages=(
    cmake make ninja-build
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-i686
    wine wine32:i386
    # For machines that cannot execute 32-bit code (scripts/arch.sh): the
    # tests are built for 64-bit Windows there and run under 64-bit Wine.
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine64
    xvfb xauth x11-utils imagemagick
    # Checks of the packages users get (tests/package).
    lintian desktop-file-utils
    fonts-nanum
    googletest
    locales
    python3
    file
)

# An install cut short (a killed shell, a machine restarted) leaves dpkg
# half-configured, and apt then refuses everything until it is finished.
if [ -n "$(dpkg --audit 2>/dev/null)" ]; then
    echo "setup: finishing an interrupted package install"
    dpkg --configure -a >/dev/null
fi

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    missing=("${packages[@]}")
else
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Without the Korean locale Wine cannot map Korean file names and such files
# vanish from a directory listing.
if ! locale -a 2>/dev/null | grep -qi '^ko_KR\.utf-\?8$'; then
    sed -i 's/^# *\(ko_KR.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ko_KR.UTF-8 UTF-8' /etc/locale.gen || echo 'ko_KR.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
echo "setup: ready"

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
    # Names outside Hangul: Latin letters with accents, kanji, symbols. The
    # Korean faces lack them; the prefix links these in (wine-env.sh).
    fonts-dejavu-core fonts-wqy-microhei fonts-symbola
    googletest
    locales
    python3
    file
    # Brings the tag library's source (scripts/taglib.sh builds it).
    dpkg-dev libutfcpp-dev
    # Real tag writers of other programs, for the reader's fixtures.
    id3v2 eyed3 python3-mutagen ffmpeg
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
# The tag library is built from Debian's source package for each Windows
# architecture (scripts/taglib.sh); the source is kept outside the repository.
deps=${SORVANE_DEPS:-/var/cache/mp3-sorvane}
if ! ls -d "$deps"/src/taglib-*/ >/dev/null 2>&1; then
    # Source entries beside the machine's binary ones, from the same archives.
    srclist=/etc/apt/sources.list.d/mp3-sorvane-src.sources
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$srclist"
    else
        grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > "${srclist%.sources}.list"
    fi
    apt-get update -qq
    mkdir -p "$deps/src"
    rm -rf "$deps/src.part" && mkdir -p "$deps/src.part"
    (cd "$deps/src.part" && apt-get source -qq taglib >/dev/null 2>&1) || {
        echo "setup: could not bring the source package taglib" >&2
        exit 1
    }
    dir=$(ls -d "$deps"/src.part/taglib-*/)
    mv "$dir" "$deps/src/"
    rm -rf "$deps/src.part"
fi
echo "setup: ready"

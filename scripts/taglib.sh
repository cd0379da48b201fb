#!/usr/bin/env bash
# Builds the tag library (Debian's source package taglib) as a static library
# for one Windows architecture with the mingw-w64 cross compilers, into a
# folder outside the repository, once. Prints the install prefix.
# Usage: taglib.sh ARCH (i686 or x86_64). The source is brought by setup.sh.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=$1
deps=${SORVANE_DEPS:-/var/cache/mp3-sorvane}
src=$(ls -d "$deps"/src/taglib-*/ 2>/dev/null | head -n1)
if [ -z "$src" ]; then
    echo "taglib: no source in $deps/src; run scripts/setup.sh first" >&2
    exit 1
fi
version=$(basename "$src")
prefix=$deps/$version-$arch
# Bump when the options below change, so that old builds are made again.
stamp=$prefix/.sorvane-built-1
if [ ! -f "$stamp" ]; then
    (
        flock 9
        if [ ! -f "$stamp" ]; then
            echo "taglib: building $version for $arch" >&2
            work=$deps/build-$version-$arch
            rm -rf "$work" "$prefix"
            # No zlib: a compressed frame is then passed over, never inflated,
            # so no frame can make the reader allocate more than its own size.
            cmake -S "$src" -B "$work" -G Ninja \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
                -DCMAKE_CROSSCOMPILING_EMULATOR= \
                -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
                -DBUILD_SHARED_LIBS=OFF -DWITH_ZLIB=OFF -DBUILD_TESTING=OFF \
                -DBUILD_EXAMPLES=OFF -DBUILD_BINDINGS=OFF \
                -DCMAKE_CXX_FLAGS="-DTAGLIB_STATIC -isystem /usr/include/utf8cpp" >/dev/null
            cmake --build "$work" -j"$(nproc)" >/dev/null
            cmake --install "$work" >/dev/null
            rm -rf "$work"
            touch "$stamp"
        fi
    ) 9>"$deps/.lock-$arch"
fi
echo "$prefix"

#!/usr/bin/env bash
# Configures and builds with the mingw-w64 cross toolchain.
# Usage: build.sh FOLDER [cmake options...]; the architecture is this
# machine's (scripts/arch.sh) unless SORVANE_ARCH says otherwise, and every
# target is built unless SORVANE_TARGET names one.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=$1
shift
source "$root/scripts/arch.sh"
taglib=$(bash "$root/scripts/taglib.sh" "$SORVANE_ARCH")
cmake -S "$root" -B "$dir" -G Ninja \
    -DTAGLIB_ROOT="$taglib" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$SORVANE_ARCH.cmake" \
    -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)" ${SORVANE_TARGET:+--target "$SORVANE_TARGET"}

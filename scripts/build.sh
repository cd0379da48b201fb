#!/usr/bin/env bash
# Configures and builds into build/ with the mingw-w64 cross toolchain.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cmake -S "$root" -B "$root/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$root/build" -j"$(nproc)"

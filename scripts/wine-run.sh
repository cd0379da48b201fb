#!/usr/bin/env bash
# Runs one Windows program under the project's Wine environment; ctest uses it
# as the cross-compiling emulator.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
sorvane_wine_prefix
exec "$SORVANE_WINE" "$@"

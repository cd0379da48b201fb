#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine and Xvfb.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
source "$root/scripts/arch.sh"
# The tests talk to a site stub on the loopback address.
bash "$root/scripts/build.sh" "$root/build/test" -DSORVANE_SITE_BASE=http://127.0.0.1/
if [ "$SORVANE_ARCH" != i686 ]; then
    # This machine runs the tests' 64-bit build; the i386 package and the
    # Windows zip hold the 32-bit program, so it must at least build.
    echo "test: this machine cannot run 32-bit code; the tests run a $SORVANE_ARCH build, the 32-bit program is only built"
    SORVANE_ARCH=i686 bash "$root/scripts/build.sh" "$root/build/win32" -DSORVANE_TESTS=OFF
fi
source "$root/scripts/wine-env.sh"
sorvane_wine_prefix
sorvane_display
trap sorvane_display_stop EXIT
cd "$root/build/test"
ctest --output-on-failure "$@"

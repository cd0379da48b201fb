#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine and Xvfb.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" -DSORVANE_SITE_BASE=http://127.0.0.1/
source "$root/scripts/wine-env.sh"
sorvane_wine_prefix
sorvane_display
trap sorvane_display_stop EXIT
cd "$root/build"
ctest --output-on-failure "$@"

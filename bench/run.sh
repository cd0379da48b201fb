#!/usr/bin/env bash
# Builds and runs the benchmark (see bench/README.md).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build/bench" -DSORVANE_TESTS=OFF
source "$root/scripts/wine-env.sh"
sorvane_wine_prefix
sorvane_display
trap sorvane_display_stop EXIT
python3 "$root/bench/run.py" "$@"

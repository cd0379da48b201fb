#!/usr/bin/env bash
# Makes docs/outcomes.png, the README's picture of the file list after a
# pass: the end-to-end test that passes over a song of each outcome keeps
# the screen while the pointer rests on the row whose name was taken, and
# the picture is cut to the windows on it.
# Usage: outcomes-shot.sh [BUILD_DIR]  (default build/test, the tests' build)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-$root/build/test}
out=$root/docs/outcomes.png

SORVANE_TARGET=e2e_work_tests bash "$root/scripts/build.sh" "$dir" -DSORVANE_SITE_BASE=http://127.0.0.1/
# A display of its own, whatever the caller's, so that nothing else is in
# the picture.
unset DISPLAY
source "$root/scripts/wine-env.sh"
sorvane_wine_prefix
sorvane_display
work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
    sorvane_display_stop
}
trap cleanup EXIT

(cd "$dir/tests/e2e" && SORVANE_OUTCOMES_SHOT=$work/screen.png \
    wine e2e_work_tests.exe --gtest_filter=WorkWindow.EachRowShowsWhatBecameOfItsSongAndWhy)
[ -f "$work/screen.png" ] || { echo "outcomes-shot: the test kept no screen" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
# The windows on the bare display's black; no time stamps in the file.
convert "$work/screen.png" -trim +repage -strip -define png:exclude-chunks=date,time "$out"
echo "outcomes-shot: $out ($(identify -format '%wx%h' "$out"))"

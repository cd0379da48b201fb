#!/usr/bin/env bash
# Installs what is missing, builds, and starts MP3 Sorvane under Wine.
# Without a display it starts a virtual one and saves a screenshot of the
# screen every few seconds to shots/screen.png so the window can be seen.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
# The program alone: the tests and the benchmark take minutes more to build.
SORVANE_TARGET=MP3_Sorvane bash "$root/scripts/build.sh" "$root/build/run" \
    -DSORVANE_SITE_BASE=http://sorvane.example/ -DSORVANE_TESTS=OFF "$@"
source "$root/scripts/wine-env.sh"
sorvane_wine_prefix
exe="$root/build/run/app/MP3_Sorvane.exe"
if [ ! -f "$exe" ]; then
    echo "run: $exe was not built" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
    sorvane_display
    trap sorvane_display_stop EXIT
    mkdir -p "$root/shots"
    echo "run: no display; started Xvfb on $DISPLAY."
    echo "run: a screenshot is saved to $root/shots/screen.png every 3 s while the program runs"
    echo "run: (or look live with: x11vnc -display $DISPLAY, or DISPLAY=$DISPLAY xwd -root | convert xwd:- shot.png)."
    wine "$exe" &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        sleep 3
        import -display "$DISPLAY" -window root "$root/shots/screen.png" 2>/dev/null || true
    done
    wait "$pid" || true
else
    wine "$exe"
fi

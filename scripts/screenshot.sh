#!/usr/bin/env bash
# Makes the README's picture, docs/work-window.png, from a real run: the
# program started under Wine on a virtual display, a folder of Korean songs
# added to its list by the package test's driver (the clicks a user makes),
# and the work window taken as it is on screen.
# Usage: screenshot.sh [BUILD_DIR]  (default build/test, the tests' build: the
# driver is one of its targets)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-$root/build/test}
out=$root/docs/work-window.png

bash "$root/scripts/setup.sh"
SORVANE_TARGET=package_drive bash "$root/scripts/build.sh" "$dir" -DSORVANE_SITE_BASE=http://127.0.0.1/
cmake --build "$dir" --target MP3_Sorvane
# A display of its own, whatever the caller's, so that nothing else is in
# the picture.
unset DISPLAY
source "$root/scripts/wine-env.sh"
sorvane_wine_prefix
sorvane_display

# The songs in the prefix's drive C:, so that the picture shows a path a
# Windows user knows.
music_unix=$WINEPREFIX/drive_c/음악
music='C:\음악'
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    [ -z "$pid" ] || wait "$pid" 2>/dev/null || true
    rm -rf "$music_unix"
    sorvane_display_stop
}
trap cleanup EXIT
rm -rf "$music_unix"
# path | artist | album | title; the driver looks for the first one.
songs=(
    "가수 - 첫 노래.mp3|가수|첫 앨범|첫 노래"
    "하늘빛/봄날의 약속.mp3|하늘빛|봄날|봄날의 약속"
    "하늘빛/바람이 분다.mp3|하늘빛|봄날|바람이 분다"
    "하늘빛/여름 끝에서.mp3|하늘빛|계절 노래|여름 끝에서"
    "별무리/밤하늘.mp3|별무리|은하수 길|밤하늘"
    "별무리/은하수 길.mp3|별무리|은하수 길|은하수 길"
    "푸른숲 - 비 오는 날.mp3|푸른숲|작은 정원|비 오는 날"
    "푸른숲 - 작은 정원.mp3|푸른숲|작은 정원|작은 정원"
    "달빛소리/첫눈.mp3|달빛소리|겨울 편지|첫눈"
)
args=()
for s in "${songs[@]}"; do
    IFS='|' read -r path artist album title <<<"$s"
    args+=("$music_unix/$path" "$artist" "$album" "$title")
done
python3 "$root/tests/package/song.py" "${args[@]}"

program_windows() { xwininfo -root -tree 2>/dev/null | grep -F '"MP3 Sorvane": ("mp3_sorvane.exe"' || true; }
wine "$dir/app/MP3_Sorvane.exe" &
pid=$!
for _ in $(seq 300); do
    [ -n "$(program_windows)" ] && break
    sleep 0.2
done
[ -n "$(program_windows)" ] || { echo "screenshot: the program showed no window" >&2; exit 1; }
if ! wine "$dir/tests/package/package_drive.exe" "$music" "${#songs[@]}"; then
    echo "screenshot: the driver could not list the songs" >&2
    exit 1
fi
# The work window is the largest of the program's windows on screen.
window=$(for id in $(program_windows | awk '{print $1}'); do
    xwininfo -id "$id" | awk -v id="$id" '/Width:/ {w = $2} /Height:/ {h = $2}
        /Map State: IsViewable/ {print w * h, id}'
done | sort -n | tail -1 | cut -d' ' -f2)
[ -n "$window" ] || { echo "screenshot: no window of the program is on screen" >&2; exit 1; }
sleep 1
mkdir -p "$(dirname "$out")"
# No time stamps in the file: the same picture makes the same bytes.
import -window "$window" -strip -define png:exclude-chunks=date,time "$out"
echo "screenshot: $out ($(identify -format '%wx%h' "$out"))"

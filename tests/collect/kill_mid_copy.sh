#!/usr/bin/env bash
# A program killed in the middle of a copy (kill -9: no handler runs, as in
# a crash or a power cut for the program's part) leaves no temporary file
# next to the targets, and the source untouched. Runs the real jobs
# (sorvane_bench_jobs.exe: scan, then copy, scripted user) on one large song
# and kills the process at several moments after its temporary file appears.
# Usage: kill_mid_copy.sh BENCH_JOBS_EXE   (in the project's Wine environment)
set -euo pipefail
exe=$1
: "${SORVANE_WINE:?run this in the Wine environment of scripts/wine-env.sh}"
work=$(mktemp -d /tmp/sorvane-kill.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/곡"
song="$work/src/곡/big.mp3"
# 400 MB of audio stand-in, then a tag naming an artist and an album.
head -c 400000000 /dev/zero | tr '\0' '\125' > "$song"
python3 - "$song" <<'PY'
import sys
tag = b"TAG" + b"Title".ljust(30, b"\0") + b"Band".ljust(30, b"\0") + b"Disc".ljust(30, b"\0") + b"2000" + b"\0" * 30 + b"\x11"
open(sys.argv[1], "ab").write(tag)
PY
sum_before=$(md5sum < "$song")
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

killed=0 leftovers=0
for delay in 0 0.02 0.05 0.08 0.12 0.2; do
    rm -rf "$work/dst"
    mkdir -p "$work/dst"
    "$SORVANE_WINE" "$exe" "$(winpath "$work/src")" "$(winpath "$work/dst")" >/dev/null 2>&1 &
    pid=$!
    # Wait for the temporary file, then let the copy go on for the delay.
    for _ in $(seq 400); do
        [ -n "$(find "$work/dst" -name '~*' 2>/dev/null | head -1)" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if [ -z "$(find "$work/dst" -name '~*' | head -1)" ]; then
        echo "kill_mid_copy: no temporary file appeared (delay $delay)" >&2
        kill -9 "$pid" 2>/dev/null || true
        exit 1
    fi
    sleep "$delay"
    placed=$(find "$work/dst" -type f -name '*.mp3' | wc -l)
    if kill -9 "$pid" 2>/dev/null && [ "$placed" -eq 0 ]; then
        killed=$((killed + 1))
    fi
    wait "$pid" 2>/dev/null || true
    # The Wine server closes the dead process's handles; give it a moment.
    for _ in $(seq 100); do
        [ -z "$(find "$work/dst" -name '~*' | head -1)" ] && break
        sleep 0.05
    done
    left=$(find "$work/dst" -name '~*' | wc -l)
    echo "kill_mid_copy: killed after ${delay}s in the copy: $left temporary file(s) left; $(find "$work/dst" -type f | wc -l) file(s) under the destination"
    leftovers=$((leftovers + left))
    # A target under its final name is only ever complete.
    while IFS= read -r f; do
        [ "$(md5sum < "$f")" = "$sum_before" ] || { echo "kill_mid_copy: incomplete target $f" >&2; exit 1; }
    done < <(find "$work/dst" -type f -name '*.mp3')
done
[ "$(md5sum < "$song")" = "$sum_before" ] || { echo "kill_mid_copy: the source changed" >&2; exit 1; }
echo "kill_mid_copy: $killed kills in mid-copy, $leftovers temporary files left"
[ "$leftovers" -eq 0 ] && [ "$killed" -gt 0 ]

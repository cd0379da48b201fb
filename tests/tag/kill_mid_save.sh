#!/usr/bin/env bash
# A program killed in the middle of a tag save (kill -9: no handler runs, as
# in a crash) leaves the song whole: byte for byte the file before that save
# or the file after it, never a mix. Saves (sorvane_bench_save.exe) alternate
# two edits of a large song that has an ID3v2 tag, over and over, and the
# process is killed at many moments; what is left beside the song is counted.
# Usage: kill_mid_save.sh BENCH_SAVE_EXE [AUDIO_MB] [KILLS]
#        (in the project's Wine environment)
set -euo pipefail
exe=$1
mb=${2:-200}
kills=${3:-24}
: "${SORVANE_WINE:?run this in the Wine environment of scripts/wine-env.sh}"
work=$(mktemp -d /tmp/sorvane-killsave.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/곡"
song="$work/곡/big.mp3"
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# A v2.3 tag with a picture, replay gain and a date the save must keep, room
# to spare, then the audio stand-in.
python3 - "$song" <<'PY'
import sys
def frame(fid, body):
    return fid + len(body).to_bytes(4, "big") + b"\0\0" + body
frames = (frame(b"TIT2", b"\0Title") + frame(b"TPE1", b"\0Band") + frame(b"TALB", b"\0Disc")
          + frame(b"TYER", b"\x002000") + frame(b"TDAT", b"\x000105")
          + frame(b"RVAD", bytes([3, 16, 0x12, 0x34, 0x56, 0x78, 0, 1, 0, 2]))
          + frame(b"APIC", b"\0image/jpeg\0\x03\0" + bytes(range(256)) * 40))
body = frames + b"\0" * 4096
size = len(body)
synchsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
with open(sys.argv[1], "wb") as f:
    f.write(b"ID3\x03\x00\x00" + synchsafe + body)
PY
head -c $((mb * 1000000)) /dev/zero | tr '\0' '\125' >> "$song"

# The images the song may be: as made, after edit 0, after edit 1. Once both
# edits have been saved, each save turns one into the other.
sum_orig=$(md5sum < "$song")
"$SORVANE_WINE" "$exe" "$(winpath "$song")" 1 0 >/dev/null
sum_a=$(md5sum < "$song")
"$SORVANE_WINE" "$exe" "$(winpath "$song")" 2 1 > "$work/times.txt"
sum_a2=$(md5sum < "$song")
"$SORVANE_WINE" "$exe" "$(winpath "$song")" 1 1 >/dev/null
sum_b=$(md5sum < "$song")
if [ "$sum_a" != "$sum_a2" ] || [ "$sum_a" = "$sum_b" ] || [ "$sum_a" = "$sum_orig" ]; then
    echo "kill_mid_save: the two edits do not give two images in turn" >&2
    exit 1
fi
echo "kill_mid_save: saves of $mb MB: $(grep ^save "$work/times.txt" | tr -d "\r" | tr "\n" " ")"

mid=0 mid_old=0 mid_new=0 leftovers=0 empties=0
for i in $(seq "$kills"); do
    # Each round starts with the edit the song does not hold yet.
    [ "$(md5sum < "$song")" = "$sum_a" ] && first=1 || first=0
    "$SORVANE_WINE" "$exe" "$(winpath "$song")" 0 "$first" > "$work/out.txt" 2>&1 &
    pid=$!
    # Moments spread over the first saves: in the copy, at the flush, at the
    # rename, between saves.
    sleep "$(python3 -c "import random; print(round(random.uniform(0.2, 4.0), 2))")"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # The Wine server closes the dead process's handles, and the temporary
    # goes with them, once the process is gone: one killed in the flush dies
    # only when the disk has taken the data, which on a busy machine takes
    # seconds.
    # A kill in the instant between a temporary's creation and its mark
    # leaves it empty: nothing of the song's data, and nothing the system
    # knows to remove (a mark made with the file cannot be undone under
    # Wine, nor before Windows 10, and the file is to be kept). That is
    # told, not failed; a temporary holding anything is a failure.
    holding() { find "$work/곡" -mindepth 1 ! -name big.mp3 -size +0 | wc -l; }
    for waited in $(seq 600); do
        [ "$(holding)" -eq 0 ] && break
        sleep 0.05
    done
    [ "$waited" -le 100 ] || echo "kill_mid_save: kill $i: the temporary took $((waited / 20)) s to go"
    left=$(holding)
    empty=$(($(ls -A "$work/곡" | wc -l) - 1 - left))
    [ "$left" -eq 0 ] && [ "$empty" -eq 0 ] || ls -la "$work/곡"
    leftovers=$((leftovers + left))
    empties=$((empties + empty))
    if grep -q 'failed\|cannot' "$work/out.txt"; then
        echo "kill_mid_save: a save failed: $(cat "$work/out.txt")" >&2
        exit 1
    fi
    now=$(md5sum < "$song")
    if [ "$now" = "$sum_a" ]; then image=A; elif [ "$now" = "$sum_b" ]; then image=B; else
        echo "kill_mid_save: kill $i left a song that is neither image" >&2
        ls -la "$work/곡" >&2
        exit 1
    fi
    last=$(tail -n 1 "$work/out.txt" | tr -d '\r')
    when="between saves"
    if [ "${last%% *}" = begin ]; then
        # Save k writes edit (k + first) % 2: image A for edit 0, B for 1.
        k=${last#begin }
        [ $(((k + first) % 2)) -eq 0 ] && new=A || new=B
        mid=$((mid + 1))
        if [ "$image" = "$new" ]; then mid_new=$((mid_new + 1)); when="in save $k: the new file"; else
            mid_old=$((mid_old + 1)); when="in save $k: the old file"; fi
    fi
    echo "kill_mid_save: kill $i ($when), $left file(s) left beside the song, $empty empty"
    # Whatever is left beside it goes before the next round.
    find "$work/곡" -mindepth 1 ! -name big.mp3 -delete
done
echo "kill_mid_save: $kills kills, $mid in mid-save ($mid_old left the old file whole, $mid_new the new one); the song whole every time; $leftovers temporary file(s) left holding data, $empties empty"
[ "$leftovers" -eq 0 ] && [ "$mid" -gt 0 ]

#!/usr/bin/env bash
# Songs tagged by other programs' real tag writers (eyeD3, mid3v2, id3v2,
# ffmpeg, and mutagen's own library), rich as users' songs are (pictures,
# lyrics, several comments, user texts, replay gain, a record beside the
# tag), each with one field edited through the save as the tag dialog edits
# it; an independent reader (mutagen) then finds that field changed and every
# other frame, the version and the audio as they were.
# Usage: save_roundtrip.sh TAG_WRITER_SAVE_EXE   (in the project's Wine environment)
set -euo pipefail
exe=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${SORVANE_WINE:?run this in the Wine environment of scripts/wine-env.sh}"
py=/usr/bin/python3
if ! "$py" -c 'import mutagen' 2>/dev/null; then
    echo "save round trip: mutagen is not installed (scripts/setup.sh installs it)"
    exit 1
fi
work=$(mktemp -d /tmp/sorvane-save.XXXXXX)
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
have() {
    if command -v "$1" >/dev/null 2>&1; then return 0; fi
    echo "save round trip: $1 is not installed; its songs are passed over"
    return 1
}

base=$work/base.mp3
ffmpeg -v error -f lavfi -i sine=frequency=440:duration=1 -ac 1 -ar 22050 -b:a 32k \
    -id3v2_version 0 -write_xing 0 "$base"
cover=$work/cover.png
ffmpeg -v error -f lavfi -i "testsrc=size=64x64" -frames:v 1 "$cover"
lyrics=$work/lyrics.txt
printf '바람이 분다\n서러운 마음에\n' > "$lyrics"
song() { cp "$base" "$work/$1"; printf '%s' "$work/$1"; }

# NAME FIELD TEXT FRAME [READ]: one edit of one song, and what its frame
# reads after it where that is not TEXT.
edits=()
edit() { edits+=("$1|$2|$3|$4|${5-$3}"); }

if have eyeD3; then
    eye() { eyeD3 --no-color -Q "$@" >/dev/null 2>&1; }
    rich=(-a "이소라" -A "눈물" -t "바람이 분다" --recording-date 2004 -n 3 -N 12 -G Rock -c "좋아"
          --add-comment "iTunes says:iTunNORM:eng" --add-lyrics "$lyrics"
          --user-text-frame "REPLAYGAIN_TRACK_GAIN:-6.20 dB" --add-image "$cover:FRONT_COVER")
    f=$(song eyed3-v23.mp3)
    eye --to-v2.3 --encoding utf16 "${rich[@]}" "$f"
    edit eyed3-v23.mp3 title "새 제목 Café" TIT2
    f=$(song eyed3-v24.mp3)
    eye --to-v2.4 --encoding utf8 "${rich[@]}" "$f"
    edit eyed3-v24.mp3 comment "고친 메모" COMM
    # A rich ID3v2 tag and a sparse record beside it: the row shows the
    # record's fields, and only the title is edited.
    f=$(song eyed3-sparse-v1.mp3)
    eye --to-v2.4 --encoding utf8 "${rich[@]}" "$f"
    eye --v1 -a "Lee Sora" -A "Nunmul" -t "Baram" "$f"
    edit eyed3-sparse-v1.mp3 title "Baram (live)" TIT2
    f=$(song eyed3-v23-year.mp3)
    eye --to-v2.3 --encoding latin1 -a "Beyoncé" -A "Lemonade" -t "Formation" --recording-date 2016 \
        --add-image "$cover:FRONT_COVER" "$f"
    edit eyed3-v23-year.mp3 year "2017" TYER
fi

if have mid3v2; then
    f=$(song mid3v2-v24.mp3)
    mid3v2 -a "Sigur Rós" -A "Takk" -t "Hoppípolla" -y 2005-09-12 -T 2/11 -g "Post-Rock" \
        -c "":"좋은 노래":"kor" -c "other":"second comment":"eng" -p "$cover":"front":3:image/png \
        --TXXX "REPLAYGAIN_ALBUM_GAIN:-7.10 dB" --USLT "la la la" "$f"
    edit mid3v2-v24.mp3 album "Ágætis byrjun" TALB
    # The row shows the track's number alone; its count stays.
    edit mid3v2-v24.mp3 track 7 TRCK 7/11
fi

# mutagen's library writes v2.3 too, with frames no command line offers.
"$py" - "$(song mutagen-v23.mp3)" "$cover" <<'PY'
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, TYER, TRCK, TCON, COMM, APIC, RVAD, TXXX, USLT, PRIV
tags = ID3()
tags.add(TIT2(encoding=1, text="Hoppípolla"))
tags.add(TPE1(encoding=1, text="서태지와 아이들"))
tags.add(TALB(encoding=0, text="Album"))
tags.add(TYER(encoding=0, text="1993"))
tags.add(TRCK(encoding=0, text="3/12"))
tags.add(TCON(encoding=0, text="(17)"))
tags.add(APIC(encoding=0, mime="image/png", type=3, desc="", data=open(sys.argv[2], "rb").read()))
tags.add(COMM(encoding=1, lang="kor", desc="", text="메모"))
tags.add(COMM(encoding=0, lang="eng", desc="iTunNORM", text=" 000003E8 000003E8"))
tags.add(USLT(encoding=1, lang="kor", desc="", text="가사"))
tags.add(TXXX(encoding=0, desc="REPLAYGAIN_TRACK_GAIN", text="-6.20 dB"))
tags.add(RVAD(adjustments=[500, -250], peaks=[65535, 60000]))
tags.add(PRIV(owner="WM/MediaClassPrimaryID", data=b"\xbc}`\xd1#\xe3\xe2K\x86\xa1H\xa4*(D\x1e"))
tags.save(sys.argv[1], v2_version=3)
PY
edit mutagen-v23.mp3 artist "" TPE1

if have id3v2; then
    f=$(song id3v2-v23.mp3)
    id3v2 -a "Artist" -A "Album" -t "Title" -y 2004 -T 3/12 -g 17 -c "Note" -c "desc":"Other note":"eng" \
        --TXXX "REPLAYGAIN_TRACK_GAIN:-6.20 dB" "$f"
    edit id3v2-v23.mp3 artist "새 가수" TPE1
fi

if have ffmpeg; then
    ff() {
        local out=$1
        shift
        ffmpeg -v error -y -i "$base" -i "$cover" -map 0 -map 1 -c copy -write_xing 0 \
            -metadata:s:v title="Album cover" -metadata:s:v comment="Cover (front)" "$@" "$work/$out"
    }
    meta=(-metadata artist="이소라" -metadata album="눈물" -metadata title="바람이 분다" -metadata date=2004
          -metadata track=3/12 -metadata genre=Rock)
    ff ffmpeg-v23.mp3 -id3v2_version 3 "${meta[@]}"
    edit ffmpeg-v23.mp3 title "바람이 분다 (live)" TIT2
    ff ffmpeg-v24.mp3 -id3v2_version 4 -write_id3v1 1 "${meta[@]}"
    edit ffmpeg-v24.mp3 album "Nunmul" TALB
fi

failures=0
for e in "${edits[@]}"; do
    IFS='|' read -r name field text frame reads <<< "$e"
    "$py" "$here/tag_frames.py" snapshot "$work/$name" "$work/before.json"
    if ! "$SORVANE_WINE" "$exe" "$(winpath "$work/$name")" "$field" "$text"; then
        echo "FAIL $name: the save failed"
        failures=$((failures + 1))
        continue
    fi
    if "$py" "$here/tag_frames.py" check "$work/before.json" "$work/$name" "$frame" "$reads"; then
        echo "ok   $name: $field edited, every other frame as it was"
    else
        echo "FAIL $name: $field edited"
        failures=$((failures + 1))
    fi
done
echo "${#edits[@]} songs edited, $failures otherwise than they should be"
[ "$failures" -eq 0 ]

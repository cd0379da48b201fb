#!/usr/bin/env bash
# Songs tagged by other programs' real tag writers (id3v2, eyeD3, mid3v2,
# ffmpeg), read as the scan reads them: the reader meets what those tools
# really write, not what its own tests think they write. A tool that is not
# installed is passed over with a message (scripts/setup.sh installs them).
# Usage: writers.sh TAG_WRITER_READ_EXE   (in the project's Wine environment)
set -euo pipefail
exe=$1
: "${SORVANE_WINE:?run this in the Wine environment of scripts/wine-env.sh}"
work=$(mktemp -d /tmp/sorvane-writers.XXXXXX)
trap 'rm -rf "$work"' EXIT
songs=$work/songs
mkdir -p "$songs"
expect=$work/expect.txt
: > "$expect"
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
have() {
    if command -v "$1" >/dev/null 2>&1; then return 0; fi
    echo "writers: $1 is not installed; its songs are passed over"
    return 1
}
cp949() { printf '%s' "$1" | iconv -f UTF-8 -t CP949; }
latin1() { printf '%s' "$1" | iconv -f UTF-8 -t LATIN1; }

# The audio every song starts from: a real second of MP3 where ffmpeg is
# there, else a few hundred bytes of frame-like data.
base=$work/base.mp3
if command -v ffmpeg >/dev/null 2>&1; then
    ffmpeg -v error -f lavfi -i sine=frequency=440:duration=1 -ac 1 -ar 22050 -b:a 32k \
        -id3v2_version 0 -write_xing 0 "$base"
else
    { for _ in $(seq 8); do printf '\xff\xfb\x90\x64'; head -c 100 /dev/zero; done; } > "$base"
fi
song() { cp "$base" "$songs/$1"; printf '%s' "$songs/$1"; }
# expect NAME TITLE ARTIST ALBUM YEAR TRACK GENRE GENRE_TEXT COMMENT
expect() { (IFS=$'\t'; printf '%s\n' "$*") >> "$expect"; }

lift="Lift Your Skinny Fists Like Antennas to Heaven"
long_ko="사랑할수록 그리고 다시 부르는 노래들의 이야기"

if have id3v2; then
    # id3lib: v2.3 and an ID3v1 record, both Latin-1; Korean taggers of old
    # fed it CP949 bytes, which land in frames declared Latin-1.
    f=$(song id3v2-plain.mp3)
    id3v2 -a "Artist" -A "Album" -t "Title" -y 2004 -T 3/12 -g 17 -c "Note" "$f"
    expect id3v2-plain.mp3 Title Artist Album 2004 3 17 "" Note
    f=$(song id3v2-long.mp3)
    id3v2 -a "Godspeed You Black Emperor" -A "$lift" -t "Storm" "$f"
    expect id3v2-long.mp3 Storm "Godspeed You Black Emperor" "$lift" "" 0 255 "" ""
    f=$(song "id3v2-부활.mp3")
    id3v2 -a "$(cp949 "부활")" -A "$(cp949 "$long_ko")" -t "$(cp949 "네버 엔딩 스토리")" "$f"
    expect "id3v2-부활.mp3" "네버 엔딩 스토리" "부활" "$long_ko" "" 0 255 "" ""
    f=$(song id3v2-latin1.mp3)
    id3v2 -a "$(latin1 "Beyoncé")" -A "Lemonade" -t "$(latin1 "Björk Café")" "$f"
    expect id3v2-latin1.mp3 "Björk Café" "Beyoncé" "Lemonade" "" 0 255 "" ""
    # An accented capital before a letter, which CP949 would read as a rare
    # syllable, in the frames and in the record.
    f=$(song id3v2-latin1-pairs.mp3)
    id3v2 -a "$(latin1 "Die Ärzte")" -A "$(latin1 "Geräusch")" -t "$(latin1 "Ångest")" "$f"
    expect id3v2-latin1-pairs.mp3 "Ångest" "Die Ärzte" "Geräusch" "" 0 255 "" ""
    f=$(song id3v2-record-latin1.mp3)
    id3v2 -1 -a "$(latin1 "Björk")" -A "$(latin1 "Début")" "$f"
    expect id3v2-record-latin1.mp3 "" "Björk" "Début" "" 0 255 "" ""
fi

if have eyeD3; then
    eye() { eyeD3 --no-color -Q "$@" >/dev/null 2>&1; }
    f=$(song eyed3-v23-utf16.mp3)
    eye --to-v2.3 --encoding utf16 -a "이소라" -A "눈물" -t "바람이 분다" --recording-date 2004 -n 3 -N 12 -G Rock -c "좋아" "$f"
    expect eyed3-v23-utf16.mp3 "바람이 분다" "이소라" "눈물" 2004 3 17 "" "좋아"
    f=$(song eyed3-v24-utf8.mp3)
    eye --to-v2.4 --encoding utf8 -a "Sigur Rós" -A "Ágætis byrjun" -t "Svefn-g-englar" --recording-date 1999-05-01 -n 4 "$f"
    expect eyed3-v24-utf8.mp3 "Svefn-g-englar" "Sigur Rós" "Ágætis byrjun" 1999 4 255 "" ""
    f=$(song eyed3-v24-utf16be.mp3)
    eye --to-v2.4 --encoding utf16-be -a "서태지와 아이들" -A "Seo Taiji and Boys" -t "난 알아요" "$f"
    expect eyed3-v24-utf16be.mp3 "난 알아요" "서태지와 아이들" "Seo Taiji and Boys" "" 0 255 "" ""
    f=$(song eyed3-v23-latin1.mp3)
    eye --to-v2.3 --encoding latin1 -a "Beyoncé" -A "Lemonade" -t "Formation" "$f"
    expect eyed3-v23-latin1.mp3 "Formation" "Beyoncé" "Lemonade" "" 0 255 "" ""
    # A record beside the tag, written by eyeD3's Latin-1 ID3v1 writer:
    # Hangul becomes '?', the album is cut at 30 bytes. What it puts in the
    # record's track and genre when given none is its own affair ("*").
    f=$(song eyed3-v1-lossy.mp3)
    eye --to-v2.4 --encoding utf8 -a "이소라" -A "$lift" -t "Track" "$f"
    eye --v1 -a "이소라" -A "$lift" -t "Track" "$f"
    expect eyed3-v1-lossy.mp3 "Track" "이소라" "$lift" "" "*" "*" "" ""
    f=$(song eyed3-v1-only.mp3)
    eye --v1 -a "Artist" -A "Album" -t "Title" -Y 1987 "$f"
    expect eyed3-v1-only.mp3 Title Artist Album 1987 "*" "*" "" ""
fi

if have mid3v2; then
    # mutagen: v2.4, UTF-8.
    f=$(song "mid3v2-서태지.mp3")
    mid3v2 -a "서태지와 아이들" -A "Seo Taiji and Boys" -t "하여가" -y 1993-06-21 -T 3/12 -g "K-Pop" -c "메모" "$f"
    expect "mid3v2-서태지.mp3" "하여가" "서태지와 아이들" "Seo Taiji and Boys" 1993 3 255 "K-Pop" "메모"
    f=$(song mid3v2-genre.mp3)
    mid3v2 -a "Motörhead" -A "Ace of Spades" -g 9 "$f"
    expect mid3v2-genre.mp3 "" "Motörhead" "Ace of Spades" "" 0 9 "" ""
    if have id3v2; then
        # A record id3lib writes beside the tag, holding the artist alone:
        # every field it lacks is the tag's.
        f=$(song mid3v2-id3v2-record.mp3)
        mid3v2 -a "서태지와 아이들" -A "Seo Taiji and Boys" -t "하여가" -T 3/12 -g "K-Pop" -c "메모" "$f"
        id3v2 -1 -a "Seo Taiji" "$f"
        expect mid3v2-id3v2-record.mp3 "하여가" "Seo Taiji" "Seo Taiji and Boys" "" 3 255 "K-Pop" "메모"
    fi
fi

if have ffmpeg; then
    ff() {
        local out=$1
        shift
        ffmpeg -v error -y -i "$base" -c copy -write_xing 0 "$@" "$songs/$out"
    }
    # ffmpeg keeps a comment in a TXXX frame, not in COMM: none is listed.
    meta_ko=(-metadata artist="이소라" -metadata album="눈물" -metadata title="바람이 분다" -metadata date=2004
             -metadata track=3/12 -metadata genre=Rock -metadata comment="좋아")
    ff ffmpeg-v23.mp3 -id3v2_version 3 "${meta_ko[@]}"
    expect ffmpeg-v23.mp3 "바람이 분다" "이소라" "눈물" 2004 3 17 "" ""
    ff ffmpeg-v24.mp3 -id3v2_version 4 "${meta_ko[@]}"
    expect ffmpeg-v24.mp3 "바람이 분다" "이소라" "눈물" 2004 3 17 "" ""
    # ffmpeg writes its ID3v1 record in UTF-8, its comment too.
    ff ffmpeg-v23-v1.mp3 -id3v2_version 3 -write_id3v1 1 "${meta_ko[@]}"
    expect ffmpeg-v23-v1.mp3 "바람이 분다" "이소라" "눈물" 2004 3 17 "" "*"
    ff ffmpeg-v24-v1-long.mp3 -id3v2_version 4 -write_id3v1 1 -metadata artist="Beyoncé" -metadata album="$lift" \
        -metadata title="Plain"
    expect ffmpeg-v24-v1-long.mp3 "Plain" "Beyoncé" "$lift" "" 0 255 "" ""
fi

count=$(wc -l < "$expect")
if [ "$count" -eq 0 ]; then
    echo "writers: no tag writer is installed; nothing was checked"
    exit 0
fi
"$SORVANE_WINE" "$exe" "$(winpath "$songs")" "$(winpath "$expect")"

#!/usr/bin/env python3
"""Writes a deterministic MP3-like corpus for the benchmark.

N files of a few KB in a nested tree (10-50 files a folder, depth 2-4):
about 85 % carry an ID3v1 tag (artists and albums from a pool, so an album
holds several files; some names Korean, stored as CP949 bytes in the tag and
as UTF-8 names on disk, which Wine shows the program as CP949), 10 % have no
tag, 5 % are exact copies of an earlier file placed in another folder. Sizes
come from a narrow range, so some files share a size without sharing bytes.
A few non-MP3 files are mixed in.
"""
import argparse
import os
import random

KOREAN_ARTISTS = ["가수", "아이유", "빅뱅", "소녀시대", "김광석", "이문세", "장범준", "자우림"]
KOREAN_WORDS = ["사랑", "바다", "봄날", "이별", "노래", "하늘", "추억", "꿈"]


def tag_record(rng, artist, album, title):
    def field(text, size):
        raw = text.encode("cp949")[:size]
        return raw + b"\0" * (size - len(raw))
    rec = b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30)
    rec += field(str(rng.randint(1970, 2024)), 4)
    rec += field("bench", 28) + b"\0" + bytes([rng.randint(1, 20)])
    rec += bytes([rng.randint(0, 147)])
    assert len(rec) == 128
    return rec


def id3v2_tag(rng, pad_rng, artist, album, title, version):
    """The same fields as tag_record (drawing the same numbers from rng), as
    the ID3v2 tag today's tools write instead: v2.3 in UTF-16, v2.4 in UTF-8,
    padded to 3-10 KB."""
    year = str(rng.randint(1970, 2024))
    track = rng.randint(1, 20)
    genre = rng.randint(0, 147)

    def text(s):
        if version == 3:
            return b"\x01" + s.encode("utf-16")
        return b"\x03" + s.encode("utf-8")

    def size(n):
        if version == 4:
            return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
        return n.to_bytes(4, "big")

    frames = [("TIT2", text(title)), ("TPE1", text(artist)), ("TALB", text(album)),
              ("TRCK", text("%d/20" % track)), ("TYER" if version == 3 else "TDRC", text(year)),
              ("TCON", text("(%d)" % genre)), ("COMM", text("")[:1] + b"eng" + text("")[1:] + (b"\0\0" if version == 3 else b"\0") + text("bench")[1:])]
    body = b"".join(fid.encode() + size(len(data)) + b"\0\0" + data for fid, data in frames)
    total = pad_rng.randint(3072, 10240)
    body += b"\0" * max(0, total - 10 - len(body))
    n = len(body)
    return b"ID3" + bytes([version, 0, 0]) + bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F]) + body


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("root")
    ap.add_argument("count", type=int)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--tags", choices=("v1", "v2"), default="v1",
                    help="v2: the same tree and names, each tagged with an ID3v2 tag alone")
    args = ap.parse_args()
    rng = random.Random(args.seed)
    pad_rng = random.Random(args.seed + 1)

    n_artists = max(4, args.count // 60)
    artists = []
    for i in range(n_artists):
        if rng.random() < 0.2:
            artists.append("%s %d" % (rng.choice(KOREAN_ARTISTS), i))
        else:
            artists.append("Artist %04d" % i)
    albums = {a: ["%s %d" % (rng.choice(KOREAN_WORDS), j) if rng.random() < 0.2 else "Album %d" % j
                  for j in range(rng.randint(1, 4))] for a in artists}

    # Folder tree: depth 2-4, 10-50 files a folder.
    folders = []
    made = 0
    while made < args.count:
        depth = rng.randint(2, 4)
        parts = ["d%02d" % rng.randint(0, 30) for _ in range(depth - 1)]
        parts.append("f%05d" % len(folders))
        take = min(rng.randint(10, 50), args.count - made)
        folders.append((os.path.join(args.root, *parts), take))
        made += take

    # Tagged originals, for exact copies; their bytes are read back when
    # copied, so that a corpus of a million files does not sit in memory.
    written = []
    index = 0
    for folder, take in folders:
        os.makedirs(folder, exist_ok=True)
        for _ in range(take):
            index += 1
            roll = rng.random()
            src_path = written[rng.randrange(len(written))] if written else ""
            if roll < 0.05 and written and os.path.dirname(src_path) != folder:
                name = os.path.basename(src_path)
                with open(src_path, "rb") as f:
                    data = f.read()
            else:
                size = rng.randint(2048, 10240)
                audio = rng.randbytes(size)
                if roll < 0.15:
                    data = audio
                    name = "untagged %06d.mp3" % index
                else:
                    artist = rng.choice(artists)
                    album = rng.choice(albums[artist])
                    title = "%s %d" % (rng.choice(KOREAN_WORDS), index) if rng.random() < 0.2 else "Song %06d" % index
                    if args.tags == "v2":
                        data = id3v2_tag(rng, pad_rng, artist, album, title, 3 + index % 2) + audio
                    else:
                        data = audio + tag_record(rng, artist, album, title)
                    name = "%s - %s.mp3" % (artist, title)
            path = os.path.join(folder, name)
            with open(path, "wb") as f:
                f.write(data)
            if roll >= 0.15:
                written.append(path)
        if rng.random() < 0.3:
            with open(os.path.join(folder, "cover.jpg"), "wb") as f:
                f.write(rng.randbytes(512))
        if rng.random() < 0.1:
            with open(os.path.join(folder, "LOUD.MP3"), "wb") as f:
                f.write(rng.randbytes(700))
    print("corpus: %d files in %d folders under %s" % (index, len(folders), args.root))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes MP3 files with an ID3v1 tag in CP949, as Korean tag editors write
it: a frame header, silence, and the tag.

Usage: song.py PATH ARTIST ALBUM TITLE [PATH ARTIST ALBUM TITLE ...]
Folders on the way are made.
"""
import os
import sys


def field(text, size):
    return text.encode("cp949").ljust(size, b"\0")


def write(path, artist, album, title):
    tag = (b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + b"2026"
           + field("", 28) + b"\0\1" + bytes([13]))
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(b"\xff\xfb\x90\x00" + bytes(4092) + tag)


def main():
    args = sys.argv[1:]
    if not args or len(args) % 4:
        sys.exit(__doc__)
    for i in range(0, len(args), 4):
        write(*args[i:i + 4])


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Compares a song's ID3v2 frames and audio before and after one field was
edited, read by an independent reader (mutagen).

  tag_frames.py snapshot SONG OUT.json
  tag_frames.py check BEFORE.json SONG FRAME TEXT   (TEXT empty: the frame is gone)

FRAME is the edited field's frame id (COMM: the comment without a
description). Every other frame must read the same, the audio (between the
tag and a record) must be byte for byte the same, and the tag's version too.
"""
import hashlib
import json
import sys

from mutagen.id3 import ID3


def is_field(key, frame_id):
    if frame_id == "COMM":
        return key.startswith("COMM:") and key.split(":")[1] == ""
    if frame_id in ("TYER", "TDRC"):
        return key in ("TYER", "TDRC")
    return key == frame_id


def snapshot(path):
    # As stored: no conversion between versions, and the ID3v2 tag alone (the
    # record is written from the row, as ever).
    tag = ID3(path, translate=False, load_v1=False)
    with open(path, "rb") as f:
        data = f.read()
    end = len(data) - (128 if data[-128:-125] == b"TAG" else 0)
    return {
        "version": list(tag.version),
        "frames": {key: repr(frame) for key, frame in tag.items()},
        "texts": {key: [str(t) for t in frame.text] for key, frame in tag.items() if hasattr(frame, "text")},
        "audio": hashlib.sha256(data[tag.size:end]).hexdigest(),
        "unknown": len(tag.unknown_frames),
    }


def main():
    if sys.argv[1] == "snapshot":
        with open(sys.argv[3], "w", encoding="utf-8") as f:
            json.dump(snapshot(sys.argv[2]), f, ensure_ascii=False)
        return 0
    with open(sys.argv[2], encoding="utf-8") as f:
        before = json.load(f)
    song, frame_id, text = sys.argv[3], sys.argv[4], sys.argv[5]
    after = snapshot(song)
    faults = []
    if after["version"] != before["version"]:
        faults.append("version %s became %s" % (before["version"], after["version"]))
    if after["audio"] != before["audio"]:
        faults.append("the audio changed")
    if after["unknown"] != before["unknown"]:
        faults.append("frames mutagen does not know: %d became %d" % (before["unknown"], after["unknown"]))
    keys = set(before["frames"]) | set(after["frames"])
    for key in sorted(keys):
        if is_field(key, frame_id):
            continue
        if before["frames"].get(key) != after["frames"].get(key):
            faults.append("%s: %s became %s" % (key, before["frames"].get(key), after["frames"].get(key)))
    edited = [key for key in after["texts"] if is_field(key, frame_id)]
    if text == "":
        if edited:
            faults.append("%s is still there: %s" % (frame_id, edited))
    elif len(edited) != 1 or after["texts"][edited[0]] != [text]:
        faults.append("%s reads %s, not %r" % (frame_id, [after["texts"][k] for k in edited], text))
    for fault in faults:
        print("  " + fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

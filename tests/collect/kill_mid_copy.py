#!/usr/bin/env python3
"""A program killed in the middle of a copy pass (kill -9: no handler runs, as
in a crash or a power cut for the program's part) leaves no temporary file
next to the targets, only complete files under final names, and the sources
untouched. Runs the real scan and pass (sorvane_pass.exe, scripted user) on a
large song followed by small ones, which the movers copy ahead and which then
wait for their turn to be named, and kills the process at many moments: as
the first temporary appears, at amounts of the large copy written, as songs
get their final names, and at moments drawn from a seed; then on many small
songs, where most of a copy's requests are the temporary's creation, marks
and naming, at moments drawn from a seed.

Usage: kill_mid_copy.py PASS_EXE   (in the project's Wine environment)"""
import hashlib
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

MB = 1 << 20


def tag(title):
    return (b"TAG" + title.ljust(30, b"\0") + b"Band".ljust(30, b"\0") + b"Disc".ljust(30, b"\0") + b"2000"
            + b"\0" * 30 + b"\x11")


def digest(path):
    h = hashlib.md5()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(MB), b""):
            h.update(block)
    return h.hexdigest()


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def look(dst):
    """Temporaries (name, size) and songs under their final names."""
    temps, songs = [], []
    for folder, _, files in os.walk(dst):
        for name in files:
            path = os.path.join(folder, name)
            if name.startswith("~"):
                try:
                    temps.append(os.path.getsize(path))
                except OSError:
                    pass
            elif name.endswith(".mp3"):
                songs.append(path)
    return temps, songs


def main():
    exe = sys.argv[1]
    wine = os.environ.get("SORVANE_WINE")
    if not wine:
        sys.exit("run this in the Wine environment of scripts/wine-env.sh")
    work = tempfile.mkdtemp(prefix="sorvane-kill.")
    try:
        dst = os.path.join(work, "dst")
        src = os.path.join(work, "src", "곡")
        many = os.path.join(work, "many", "곡")
        os.makedirs(src)
        os.makedirs(many)
        with open(os.path.join(src, "a-big.mp3"), "wb") as f:
            block = b"\x55" * MB
            for _ in range(600):
                f.write(block)
            f.write(tag(b"Big"))
        for i in range(24):
            with open(os.path.join(src, "s%02d.mp3" % i), "wb") as f:
                f.write(bytes([i + 1]) * (200000 + i * 1000) + tag(b"Small %d" % i))
        for i in range(400):
            with open(os.path.join(many, "m%03d.mp3" % i), "wb") as f:
                f.write(bytes([i % 251 + 1]) * (2000 + i * 7) + tag(b"Many %d" % i))
        sums = {}
        for folder in (src, many):
            sums.update({name: digest(os.path.join(folder, name)) for name in os.listdir(folder)})

        # (source tree, what, test on (largest temporary, temporaries, songs
        # named), or a delay after the first temporary)
        big = os.path.join(work, "src")
        moments = [(big, "the first temporary", lambda size, n, placed: n > 0)]
        moments += [(big, "%d MB of the large copy" % m, lambda size, n, placed, m=m: size >= m * MB)
                    for m in (1, 16, 64, 200, 400, 590)]
        moments += [(big, "%d songs named" % k, lambda size, n, placed, k=k: placed >= k) for k in (1, 3, 8, 16, 24)]
        seeded = random.Random(21)
        for _ in range(6):
            delay = seeded.uniform(0, 0.3)
            moments.append((big, "%.3f s after the first temporary" % delay, None, delay))
        for _ in range(12):
            delay = seeded.uniform(0, 0.6)
            moments.append((os.path.join(work, "many"), "%.3f s into many small copies" % delay, None, delay))
        killed = waiting = leftovers = 0
        for moment in moments:
            tree, what, test = moment[0], moment[1], moment[2]
            shutil.rmtree(dst, ignore_errors=True)
            os.makedirs(dst)
            proc = subprocess.Popen([wine, exe, winpath(tree), winpath(dst)],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 60
            first = None
            temps, songs = [], []
            while proc.poll() is None and time.time() < deadline:
                temps, songs = look(dst)
                if temps and first is None:
                    first = time.time()
                if test is not None and test(max(temps, default=0), len(temps), len(songs)):
                    break
                if test is None and first is not None and time.time() - first >= moment[3]:
                    break
            if proc.poll() is None:
                proc.send_signal(signal.SIGKILL)
                killed += 1
                if len(temps) >= 2:
                    waiting += 1
            proc.wait()
            # The Wine server closes the dead process's handles; give it a moment.
            for _ in range(100):
                if not look(dst)[0]:
                    break
                time.sleep(0.05)
            left, placed = look(dst)
            print("kill_mid_copy: killed at %s (%d temporaries, %d songs named then): %d temporaries left, "
                  "%d songs named" % (what, len(temps), len(songs), len(left), len(placed)))
            leftovers += len(left)
            for path in placed:
                if digest(path) != sums.get(os.path.basename(path)):
                    sys.exit("kill_mid_copy: incomplete target " + path)
        for folder in (src, many):
            for name in os.listdir(folder):
                if digest(os.path.join(folder, name)) != sums[name]:
                    sys.exit("kill_mid_copy: the source %s changed" % name)
        print("kill_mid_copy: %d kills (%d with copies waiting for their turn), %d temporary files left"
              % (killed, waiting, leftovers))
        sys.exit(0 if leftovers == 0 and killed > len(moments) // 2 and waiting > 0 else 1)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

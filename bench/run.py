#!/usr/bin/env python3
"""Runs the floor and the program's real jobs alternately on generated
corpora and prints, per size, the median ratio program/floor for the scan
and for the copy pass, the growth from one size to the next, the program's
peak working set per listed file and its longest user-interface stall; then,
per job, the longest refresh tick of the work window and the longest answer
of its thread (with their 99th percentiles).

    bench/run.sh [--sizes 2000,20000,100000] [--pairs 5]
    bench/run.sh --sizes 1000000 --once [--scan-only]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "bench")
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")


def winpath(p):
    return "Z:" + p.replace("/", "\\")


def run(exe, src, dest, extra=(), timeout=3600):
    if os.path.exists(dest):
        shutil.rmtree(dest)
    os.makedirs(dest)
    # The last run's writes and deletions go to disk now, not during this run.
    os.sync()
    start = time.monotonic()
    out = subprocess.run([WINE_RUN, exe, winpath(src), winpath(dest)] + list(extra), capture_output=True, text=True,
                         timeout=timeout)
    wall = time.monotonic() - start
    if out.returncode != 0:
        sys.exit("%s failed (%d): %s %s" % (exe, out.returncode, out.stdout, out.stderr))
    res = {k: float(v) for k, v in re.findall(r"(\w+)=([0-9.]+)(?=\s|$)", out.stdout)}
    res.update(re.findall(r"(\w+_laps_ms)=(\S+)", out.stdout))
    res["printed"] = out.stdout.strip()
    res["wall_s"] = wall
    return res


def make_corpus(work, n, tags="v1"):
    corpus = os.path.join(work, "corpus-%d%s" % (n, "" if tags == "v1" else "-" + tags))
    if not os.path.exists(os.path.join(corpus, ".done")):
        shutil.rmtree(corpus, ignore_errors=True)
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "gen_corpus.py"), corpus, str(n), "--tags", tags],
                       check=True)
        open(os.path.join(corpus, ".done"), "w").close()
    return corpus


def tags(prog, sizes, args):
    """The scan of a tree whose songs carry ID3v1 records against the same
    tree whose songs carry ID3v2 tags alone (3-10 KB with padding)."""
    for n in sizes:
        v1 = make_corpus(args.work, n, "v1")
        v2 = make_corpus(args.work, n, "v2")
        dest = os.path.join(args.work, "dest")
        run(prog, v1, dest, ["--scan-only"])  # warm-up: the file cache, Wine's start
        run(prog, v2, dest, ["--scan-only"])
        rows = []
        for i in range(args.pairs):
            a = run(prog, v1, dest, ["--scan-only"])
            b = run(prog, v2, dest, ["--scan-only"])
            if a["rows"] != b["rows"]:
                sys.exit("the two trees listed different counts: %r %r" % (a, b))
            rows.append((a, b))
            print("  n=%d pair %d: ID3v1 scan %.0f ms, ID3v2 scan %.0f ms (%.2fx); bytes/file %.0f / %.0f" % (
                n, i + 1, a["scan_ms"], b["scan_ms"], b["scan_ms"] / a["scan_ms"], a["peak_ws"] / a["rows"],
                b["peak_ws"] / b["rows"]), flush=True)
        print("n=%d: median ID3v2/ID3v1 scan %.2fx; bytes/file ID3v2 at most %.0f" % (
            n, statistics.median(b["scan_ms"] / a["scan_ms"] for a, b in rows),
            max(b["peak_ws"] / b["rows"] for _, b in rows)), flush=True)
        shutil.rmtree(dest, ignore_errors=True)


def once(prog, corpus, dest, n, scan_only):
    """The program alone, one run: for sizes where pairs with the floor would
    take hours. Prints what the program printed, the run's wall time (Wine's
    start and the window's end included) and the working set per file."""
    p = run(prog, corpus, dest, ["--scan-only"] if scan_only else [], timeout=6 * 3600)
    print("  n=%d once%s, the program printed:" % (n, " (scan only)" if scan_only else ""))
    for line in p["printed"].splitlines():
        print("    " + line)
    print("  wall %.0f s, peak working set %.0f MB, %.0f bytes/file" % (
        p["wall_s"], p["peak_ws"] / 1e6, p["peak_ws"] / max(1, p["rows"])), flush=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--sizes", default="2000,20000,100000")
    ap.add_argument("--pairs", type=int, default=5)
    ap.add_argument("--work", default="/tmp/sorvane-bench")
    ap.add_argument("--build", default=BUILD, help="the build tree that holds bench/*.exe")
    ap.add_argument("--smoke", action="store_true", help="one pair, no warm-up: proves the road, measures nothing")
    ap.add_argument("--once", action="store_true", help="the program alone, once per size: no floor, no warm-up")
    ap.add_argument("--scan-only", action="store_true", help="with --once: the program declines the organise pass")
    ap.add_argument("--tags", action="store_true",
                    help="the program's scan alone, on the tree tagged with ID3v1 records and the same tree tagged "
                         "with ID3v2 tags only, alternately: the median ratio v2/v1")
    args = ap.parse_args()
    if args.scan_only and not args.once:
        ap.error("--scan-only goes with --once")

    floor = os.path.join(args.build, "bench", "sorvane_floor.exe")
    prog = os.path.join(args.build, "bench", "sorvane_bench_jobs.exe")
    sizes = [int(s) for s in args.sizes.split(",")]
    print("machine: %s cores, load %s" % (os.cpu_count(), " ".join("%.2f" % x for x in os.getloadavg())))

    if args.tags:
        tags(prog, sizes, args)
        return

    results = {}
    for n in sizes:
        corpus = make_corpus(args.work, n)
        dest = os.path.join(args.work, "dest")
        if args.once:
            once(prog, corpus, dest, n, args.scan_only)
            shutil.rmtree(dest, ignore_errors=True)
            continue
        pairs = 1 if args.smoke else args.pairs
        if not args.smoke:
            run(floor, corpus, dest)  # warm-up: the file cache, Wine's start
            run(prog, corpus, dest)
        rows = []
        for i in range(pairs):
            f = run(floor, corpus, dest)
            p = run(prog, corpus, dest)
            rows.append((f, p))
            if p["rows"] != f["files"] or p["succeeded"] != f["copied"]:
                sys.exit("program and floor disagree: %r %r" % (f, p))
            print("  n=%d pair %d: floor scan %.0f ms copy %.0f ms | program scan %.0f ms copy %.0f ms"
                  % (n, i + 1, f["scan_ms"], f["copy_ms"], p["scan_ms"], p["copy_ms"]), flush=True)
            print("    longest tick / UI answer (ms): scan %.0f / %.0f, copy %.0f / %.0f"
                  % (p["scan_tick_max_ms"], p["scan_ui_max_ms"], p["copy_tick_max_ms"], p["copy_ui_max_ms"]),
                  flush=True)
            if n >= 20000:
                print("    program per 10,000 rows (ms): scan %s, copy %s"
                      % (p.get("scan_laps_ms", "-"), p.get("copy_laps_ms", "-")), flush=True)
        res = {
            "scan_ratio": statistics.median(p["scan_ms"] / f["scan_ms"] for f, p in rows),
            "copy_ratio": statistics.median(p["copy_ms"] / f["copy_ms"] for f, p in rows),
            "scan_ms": statistics.median(p["scan_ms"] for _, p in rows),
            "copy_ms": statistics.median(p["copy_ms"] for _, p in rows),
            "floor_scan_ms": statistics.median(f["scan_ms"] for f, _ in rows),
            "floor_copy_ms": statistics.median(f["copy_ms"] for f, _ in rows),
            "bytes_per_row": max(p["peak_ws"] / max(1, p["rows"]) for _, p in rows),
            "ui_stall_ms": max(p["ui_stall_ms"] for _, p in rows),
            "rows": rows[-1][1]["rows"],
        }
        # The longest over all runs; the 99th percentiles' median.
        for job in ("scan", "copy"):
            for what in ("tick", "ui"):
                res["%s_%s_max" % (job, what)] = max(p["%s_%s_max_ms" % (job, what)] for _, p in rows)
                res["%s_%s_p99" % (job, what)] = statistics.median(p["%s_%s_p99_ms" % (job, what)] for _, p in rows)
        results[n] = res
        shutil.rmtree(dest, ignore_errors=True)

    if args.once:
        return
    print()
    print("%8s %10s %10s %11s %11s %9s %9s %12s %10s" % (
        "N", "scan ms", "copy ms", "scan/floor", "copy/floor", "scan grow", "copy grow", "bytes/file", "UI stall"))
    prev = None
    for n in sizes:
        r = results[n]
        sg = cg = "-"
        if prev:
            sg = "%.2fx" % (r["scan_ms"] / results[prev]["scan_ms"])
            cg = "%.2fx" % (r["copy_ms"] / results[prev]["copy_ms"])
        print("%8d %10.0f %10.0f %10.2fx %10.2fx %9s %9s %12.0f %8.0fms" % (
            n, r["scan_ms"], r["copy_ms"], r["scan_ratio"], r["copy_ratio"], sg, cg, r["bytes_per_row"], r["ui_stall_ms"]))
        prev = n

    print()
    print("The work window's thread (ms): longest refresh tick and longest answer, 99th percentile in brackets")
    print("%8s %18s %18s %18s %18s" % ("N", "scan tick", "scan UI answer", "copy tick", "copy UI answer"))
    for n in sizes:
        r = results[n]
        print("%8d" % n + "".join("%18s" % ("%.0f (%.0f)" % (r[k + "_max"], r[k + "_p99"]))
                                  for k in ("scan_tick", "scan_ui", "copy_tick", "copy_ui")))


if __name__ == "__main__":
    main()

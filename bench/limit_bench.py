#!/usr/bin/env python3
"""Measures how closely the bandwidth limit (/limit=N, PassOptions::limitKiBs) holds.

  1. for each N of --limits (512, 2048 and 8192 KiB/s): a pass over one file of N KiB/s times
     --seconds (30), so that the download spans several 10 s windows;
  2. at the middle N: a pass over many files of 64 KiB, one bucket across them all;
  3. the baseline: the largest file once without a limit, to show the connection is faster
     than every N.

While a pass runs, the bytes under its folder (the growing download temporaries and the files
already in place) are sampled every 50 ms. Printed as ratios to N: the average rate from the
first byte to the last, and the fastest and slowest 10 s window. A ratio above 1.10 or under
0.90 is a defect of the limit (or, under 0.90 only, a machine too loaded to keep up).

Needs a release build: cmake --preset release && cmake --build --preset release.
Run: bench/limit_bench.py [--build build/release] [--limits 512,2048,8192] [--seconds 30]
"""
import argparse
import os
import shutil
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import update_bench as ub  # noqa: E402

SMALL_SIZE, WINDOW_S, SAMPLE_S, GOAL = 64 * 1024, 10.0, 0.05, 0.10


def folder_bytes(folder):
    """The bytes of the downloads under folder: its update\\ folder holds the pass's own files."""
    total = 0
    for base, folders, files in os.walk(folder):
        if base == folder and "update" in folders:
            folders.remove("update")
        for name in files:
            try:
                total += os.path.getsize(os.path.join(base, name))
            except OSError:  # renamed between the listing and the look
                pass
    return total


class Sampler:
    """(seconds, bytes) of a folder every 50 ms on a thread of its own, until stopped."""

    def __init__(self, folder):
        self.folder, self.samples, self.done = folder, [], threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)

    def run(self):
        while not self.done.is_set():
            self.sample()
            time.sleep(SAMPLE_S)

    def sample(self):
        # A temporary renamed between the listing and the look is missed once; what arrived
        # never goes.
        held = self.samples[-1][1] if self.samples else 0
        self.samples.append((time.monotonic(), max(held, folder_bytes(self.folder))))

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *_):
        self.done.set()
        self.thread.join()
        self.sample()


def rates(samples, kibs, expected):
    """The average and the fastest and slowest 10 s window, each as a ratio to kibs, over the
    samples from the first byte to the last; None for a window when the download was shorter."""
    # The final bytes appear at once when the last rename lands; the samples up to the last
    # change are the download's.
    first = next(i for i, (_, b) in enumerate(samples) if b > 0)
    last = next(i for i in range(len(samples) - 1, -1, -1) if samples[i][1] < samples[-1][1]) + 1
    run = samples[max(first - 1, 0):last + 1]
    if run[-1][1] != expected:
        sys.exit("the pass left %d bytes, not %d" % (run[-1][1], expected))
    limit = kibs * 1024.0
    seconds = run[-1][0] - run[0][0]
    average = (run[-1][1] - run[0][1]) / seconds / limit
    windows = []
    j = 0
    for i, (t, b) in enumerate(run):
        while j < len(run) and run[j][0] < t + WINDOW_S:
            j += 1
        if j == len(run):
            break
        windows.append((run[j][1] - b) / (run[j][0] - t) / limit)
    if not windows:
        return average, None, None, seconds
    return average, max(windows), min(windows), seconds


def limited_pass(args, url, folder, kibs, expected):
    options = ["--limit", str(kibs)] if kibs else []
    os.makedirs(folder, exist_ok=True)
    with Sampler(folder) as sampler:
        pass_s = ub.run_pass(args, url, folder, options=options)[0]
    return rates(sampler.samples, kibs or 1, expected), pass_s


def verdict(ratio):
    if ratio is None:
        return "shorter than a window"
    return "ok" if 1 - GOAL <= ratio <= 1 + GOAL else "OUT OF BOUNDS"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ub.root, "build", "release"))
    parser.add_argument("--limits", default="512,2048,8192",
                        help="the limits in KiB/s, comma-separated (default 512,2048,8192)")
    parser.add_argument("--seconds", type=float, default=30,
                        help="how long each one-file download takes at its limit (default 30)")
    parser.add_argument("--files", type=int, default=400,
                        help="files of 64 KiB in the many-files pass (default 400)")
    args = parser.parse_args()
    limits = [int(n) for n in args.limits.split(",")]
    if not limits or min(limits) <= 0:
        parser.error("--limits takes whole numbers of KiB/s above 0")
    pki = ub.prepare(args, "limit_bench")

    work = tempfile.mkdtemp(prefix="tolvane-limit-bench-")
    docroot = os.path.join(work, "docroot")
    nginx = None
    results = []
    try:
        sizes = {}
        for kibs in limits:
            sizes[kibs] = int(kibs * 1024 * args.seconds)
            ub.serve(docroot, "one%d" % kibs, "big\\one.bin", os.urandom(sizes[kibs]))
            ub.serve_list(docroot, "one%d" % kibs, "1", ["big\\one.bin"])
        many = ["data\\file%04d.bin" % i for i in range(args.files)]
        for name in many:
            ub.serve(docroot, "many", name, os.urandom(SMALL_SIZE))
        ub.serve_list(docroot, "many", "1", many)
        # Version lines name a file too: one the server lacks is a logged failure, so serve it.
        for site in ["one%d" % kibs for kibs in limits] + ["many"]:
            ub.serve(docroot, site, "Version = 1", b"1")

        nginx = ub.ts.Nginx(docroot, pki).start()
        for kibs in limits:
            folder = os.path.join(work, "one%d" % kibs)
            results.append(("one file of %d MiB" % (sizes[kibs] >> 20), kibs,
                            *limited_pass(args, nginx.url + "one%d/" % kibs, folder, kibs, sizes[kibs] + 1)))
            shutil.rmtree(folder)
        middle = limits[len(limits) // 2]
        folder = os.path.join(work, "many")
        results.append(("%d files of 64 KiB" % args.files, middle,
                        *limited_pass(args, nginx.url + "many/", folder, middle, SMALL_SIZE * args.files + 1)))
        shutil.rmtree(folder)
        biggest = max(limits)
        folder = os.path.join(work, "free")
        (free, _, _, free_s), _ = limited_pass(args, nginx.url + "one%d/" % biggest, folder, 0, sizes[biggest] + 1)
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(work, ignore_errors=True)

    print("ratios to the limit N; bounds %.2f-%.2f" % (1 - GOAL, 1 + GOAL))
    print("%-24s %8s %9s %9s %9s %8s  %s" % ("download", "N KiB/s", "average", "fastest", "slowest",
                                              "seconds", "verdict"))
    for what, kibs, (average, fastest, slowest, seconds), _ in results:
        marks = {verdict(r) for r in (average, fastest, slowest) if r is not None}
        print("%-24s %8d %9.3f %9s %9s %8.1f  %s" % (
            what, kibs, average, "%.3f" % fastest if fastest else "-", "%.3f" % slowest if slowest else "-",
            seconds, "OUT OF BOUNDS" if "OUT OF BOUNDS" in marks else "ok"))
    # free is a ratio to 1 KiB/s: the unlimited rate in KiB/s.
    print("baseline, no limit: %.0f KiB/s over %.1f s = %.1f times the largest N"
          % (free, free_s, free / biggest))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Times a signed release installed whole against the same release installed file by file,
against one local nginx over HTTPS.

The release is update_bench.py's first-pass set: 500 files of 64 KiB and 4 of 16 MiB in five
folders, published with tolvane-publish --key (size, SHA-256 and a signature on the list), and
a second version in which every file changed. Each of --rounds rounds, on fresh folders:

  1. the first pass of version 1 (no version record), by a pass with the list key (each file
     staged beside its target, then the release switched in by one journalled commit) and by a
     pass without it (each file fetched to a temporary name, then moved over its target);
  2. the pass from version 1 to 2 in the folders the first passes left, the same two ways (the
     commit now also moves every current copy aside and deletes it).

Bytes are the response bodies in nginx's access log; both ways must fetch the same. Each pass of
a round also runs once more with bench/no_flush.c preloaded into Wine (every fsync returns at
once): the difference is what the flushes cost, the stage copies' before the commit's journal,
the journal's own, and the downloads' before the stat cache vouches for them; and, natively,
the same files written with and without a flush each (what the flushes cost the disk, with
no Wine and no network to sway it). Then once,
the retry: version 2 served with one file wrong (other bytes, same size) to a folder at version
1: the pass with the key stages the others, holds the release back and changes nothing; served
right again, the next pass fetches only that file and installs the release.

Needs a release build: cmake --preset release && cmake --build --preset release.
Run: bench/release_bench.py [--build build/release] [--rounds N]; needs cc for the no-flush library.
Pass times are measured inside the Windows program, so Wine's start-up is not in them.
"""
import argparse
import contextlib
import filecmp
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pin_bench  # noqa: E402
import update_bench as ub  # noqa: E402
from update_bench import ts  # noqa: E402

sys.path.insert(0, os.path.join(ub.root, "tools", "testing"))
from release_folder import publish, write_release  # noqa: E402

WAYS = ("whole", "file by file")
FLUSHED = (True, False)  # as the launcher runs; with every flush a no-op
GOAL = 1.05
WRONG = "big\\large1.bin"  # the file served wrong in the retry
INSTALLED = re.compile(r"release installed: .*")
LEFTOVER = (".tolvane-stage", ".tolvane-old", ".tolvane-part")
STAGE, ASIDE = os.path.join("update", "stage"), os.path.join("update", "aside")


def release(names, sizes):
    """{relative path with slashes: random bytes}: one version of the release."""
    return {name.replace("\\", "/"): os.urandom(size) for name, size in zip(names, sizes)}


def publish_site(key, release_folder, files, version, site, first=False):
    write_release(release_folder, files)
    result = publish("--key", key, *(["--new-site"] if first else []), release_folder, version, site)
    if result.returncode != 0:
        sys.exit("tolvane-publish failed:\n" + result.stderr[-2000:])


def make_sites(work, key):
    """Sites v1, v2 and v2-wrong (v2 with WRONG served with other bytes of its size) under
    work/docroot; returns {version: release folder} to check players against."""
    names = ["data%d\\file%03d.bin" % (i % ub.SMALL_FOLDERS, i) for i in range(ub.SMALL)]
    names += ["big\\large%d.bin" % i for i in range(ub.LARGE)]
    sizes = [ub.SMALL_SIZE] * ub.SMALL + [ub.LARGE_SIZE] * ub.LARGE
    docroot, stores = os.path.join(work, "docroot"), {}
    site = os.path.join(docroot, "v1")
    for version in (1, 2):
        stores[version] = os.path.join(work, "release%d" % version)
        if version == 2:  # the next version is published onto a copy of the last site
            shutil.copytree(site, os.path.join(docroot, "v2"), copy_function=os.link)
            site = os.path.join(docroot, "v2")
        publish_site(key, stores[version], release(names, sizes), "%d" % version, site, version == 1)
    shutil.copytree(site, os.path.join(docroot, "v2-wrong"), copy_function=os.link)
    wrong = os.path.join(docroot, "v2-wrong", "AppGameUpload", *WRONG.split("\\"))
    os.remove(wrong)
    with open(wrong, "wb") as f:
        f.write(os.urandom(ub.LARGE_SIZE))
    return stores


def check(player, store, who, staged=False):
    """Exits unless player holds the store's files as they are, and no stage copies in
    update\\stage (unless staged), no aside copies in update\\aside and no temporaries."""
    for folder, _, files in os.walk(store):
        for name in files:
            ours = os.path.join(player, os.path.relpath(os.path.join(folder, name), store))
            if not os.path.isfile(ours) or not filecmp.cmp(ours, os.path.join(folder, name), shallow=False):
                sys.exit("%s left %s unlike the release" % (who, os.path.relpath(ours, player)))
    left = [name for _, _, files in os.walk(player) for name in files if name.endswith(LEFTOVER)]
    left += [name for area in (ASIDE,) + (() if staged else (STAGE,))
             for _, _, files in os.walk(os.path.join(player, area)) for name in files]
    if left:
        sys.exit("%s left %d stage, aside or part copies, e.g. %s" % (who, len(left), left[0]))


@contextlib.contextmanager
def flushes(args, flushed):
    """Wine's flushes as they are, or (flushed false) every one a no-op."""
    if flushed:
        yield
        return
    os.environ["LD_PRELOAD"] = args.no_flush
    try:
        yield
    finally:
        del os.environ["LD_PRELOAD"]


def build_no_flush(work):
    """bench/no_flush.c as a library to preload."""
    library = os.path.join(work, "no_flush.so")
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "no_flush.c")
    if subprocess.run(["cc", "-shared", "-fPIC", "-O2", "-o", library, source]).returncode != 0:
        sys.exit("cc could not build bench/no_flush.c")
    return library


def timed(args, way, site, folder, logged=None, flushed=True):
    """One pass of either way; what nginx served for it, its seconds and its commit line."""
    options = ["--list-key", args.key_hex] if way == "whole" else []
    with flushes(args, flushed):
        got = pin_bench.timed_pass(args, site, folder, options, logged)
    found = INSTALLED.search(got["output"])
    got["installed"] = found.group(0) if found else ""
    if way == "whole" and not logged and not found:
        sys.exit("the pass with the key did not install the release:\n" + got["output"][-2000:])
    return got


def time_ways(args, stores, work):
    """{(way, pass, flushed): [results]} over the rounds; pass is "first" or "update"."""
    got = {(way, step, flushed): [] for way in WAYS for step in ("first", "update") for flushed in FLUSHED}
    for turn in range(args.rounds):
        # Rounds alternate the ways, so a load that comes and goes weighs on each alike.
        for way in WAYS:
            for flushed in FLUSHED:
                folder = os.path.join(work, "player-%s-%d-%d" % (way.replace(" ", "-"), turn, flushed))
                got[way, "first", flushed].append(timed(args, way, "v1", folder, flushed=flushed))
                check(folder, stores[1], "the first pass (%s)" % way)
                got[way, "update", flushed].append(timed(args, way, "v2", folder, flushed=flushed))
                check(folder, stores[2], "the pass to version 2 (%s)" % way)
                shutil.rmtree(folder)
    return got


def time_retry(args, stores, work):
    """The held-back pass against v2-wrong and the pass that finishes the release."""
    folder = os.path.join(work, "player-retry")
    timed(args, "whole", "v1", folder)
    logged = []
    held = timed(args, "whole", "v2-wrong", folder, logged)
    if held["installed"] or len(logged) != 1 or WRONG.replace("\\", "/") not in logged[0].replace("\\", "/"):
        sys.exit("the pass against one wrong file did not hold the release back with one error line:\n"
                 + "".join(logged) + held["installed"])
    check(folder, stores[1], "the held-back pass", staged=True)
    held["staged"] = sum(len(files) for _, _, files in os.walk(os.path.join(folder, STAGE)))
    finished = timed(args, "whole", "v2", folder)
    check(folder, stores[2], "the pass that finished the release")
    return held, finished


def median(runs, key="seconds"):
    return statistics.median(r[key] for r in runs)


def flush_cost(way, on, off):
    """What the flushes cost a way: the passes with them against those with every flush a
    no-op. The fastest of each is the least swayed by the load of other programs; the rounds'
    own ratios (the two ran one after the other) show how far the load swayed them."""
    fastest_on, fastest_off = (min(r["seconds"] for r in runs) for runs in (on, off))
    cost = fastest_on - fastest_off
    said = ("%.2f s, %.2f ms a file fetched" % (cost, 1000 * cost / max(median(on, "files"), 1))
            if cost > 0 else "none above the noise")
    return ("%s, every flush a no-op: %.2f s (%.2f-%.2f); with / without flushes: fastest %.3f, "
            "rounds %s; cost of the flushes (fastest passes): %s"
            % (way, median(off), fastest_off, max(r["seconds"] for r in off), fastest_on / fastest_off,
               ", ".join("%.2f" % (a["seconds"] / b["seconds"]) for a, b in zip(on, off)), said))


def flush_alone(work, rounds):
    """The flushes alone, natively: the release's 504 files written as a download leaves them
    (to the page cache), then each flushed (fsync, as Wine's FlushFileBuffers does), against
    the same writes without flushes, the two in turn for each round; the fastest of each."""
    sizes = [ub.SMALL_SIZE] * ub.SMALL + [ub.LARGE_SIZE] * ub.LARGE
    body = os.urandom(ub.LARGE_SIZE)
    times = {True: [], False: []}
    for turn in range(rounds):
        for flushed in (True, False):
            folder = os.path.join(work, "flush-%d-%d" % (turn, flushed))
            os.makedirs(folder)
            start = time.perf_counter()
            for number, size in enumerate(sizes):
                with open(os.path.join(folder, "%03d.bin" % number), "wb") as f:
                    f.write(body[:size])
                    if flushed:
                        f.flush()
                        os.fsync(f.fileno())
            times[flushed].append(time.perf_counter() - start)
            shutil.rmtree(folder)
    return min(times[True]), min(times[False]), len(sizes)


def report(args, got, held, finished, total):
    print("release: %d files, %.0f MiB; medians of %d rounds (fastest-slowest)"
          % (ub.SMALL + ub.LARGE, total / 2**20, args.rounds))
    for step, label in (("first", "first pass, no version record"), ("update", "version 1 -> 2, every file changed")):
        print(label + ":")
        for way in WAYS:
            runs = got[way, step, True]
            print("  %-13s %7.2f s (%5.2f-%5.2f)  %4d files  %10d bytes"
                  % (way, median(runs), min(r["seconds"] for r in runs), max(r["seconds"] for r in runs),
                     median(runs, "files"), median(runs, "bytes")))
        whole, single = got["whole", step, True], got["file by file", step, True]
        ratio = median(whole) / median(single)
        same = all(w["bytes"] == s["bytes"] and w["files"] == s["files"] for w, s in zip(whole, single))
        print("  ratio whole / file by file: %.3f  (goal at most %.2f: %s); bytes fetched %s"
              % (ratio, GOAL, "met" if ratio <= GOAL else "not met", "the same" if same else "DIFFER"))
        # Under a load that comes and goes, the two passes of one round and the fastest of each
        # way say more than the medians alone.
        print("    the same of the fastest: %.3f; median of each round's ratio: %.3f (rounds: %s)"
              % (min(r["seconds"] for r in whole) / min(r["seconds"] for r in single),
                 statistics.median(w["seconds"] / s["seconds"] for w, s in zip(whole, single)),
                 ", ".join("%.2f" % (w["seconds"] / s["seconds"]) for w, s in zip(whole, single))))
        print("  " + whole[-1]["installed"])
        for way in WAYS:
            print("  " + flush_cost(way, got[way, step, True], got[way, step, False]))
    print("retry, version 1 -> 2 with %s served wrong, then right:" % WRONG)
    print("  held back:        %7.2f s  %4d files  %10d bytes  (%d copies staged, nothing installed)"
          % (held["seconds"], held["files"], held["bytes"], held["staged"]))
    print("  finished:         %7.2f s  %4d files  %10d bytes  (%s)"
          % (finished["seconds"], finished["files"], finished["bytes"], finished["installed"]))
    print("  ratio finished / whole pass to version 2: time %.2f, bytes %.3f"
          % (finished["seconds"] / median(got["whole", "update", True]),
             finished["bytes"] / median(got["whole", "update", True], "bytes")))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ub.root, "build", "release"))
    parser.add_argument("--rounds", type=int, default=3, help="rounds of each timed pass (default 3)")
    args = parser.parse_args()
    if args.rounds < 1:
        parser.error("--rounds must be at least 1")
    pki = ub.prepare(args, "release_bench")

    work = tempfile.mkdtemp(prefix="tolvane-release-bench-")
    nginx = None
    try:
        key = ub.signing_key(args, work, publish)
        args.no_flush = build_no_flush(work)
        stores = make_sites(work, key)
        nginx = ts.Nginx(os.path.join(work, "docroot"), pki).start()
        args.url, args.fetched = nginx.url, pin_bench.Fetched(nginx)
        got = time_ways(args, stores, work)
        held, finished = time_retry(args, stores, work)
        alone = flush_alone(work, args.rounds)
        total = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(stores[1]) for f in fs)
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(work, ignore_errors=True)
    report(args, got, held, finished, total)
    with_flush, without, files = alone
    print("the flushes alone, natively, the fastest of %d rounds: %d files written %.2f s, written and "
          "each flushed %.2f s; ratio %.2f, %.2f ms a file" % (args.rounds, files, without, with_flush,
                                                             with_flush / without, 1000 * (with_flush - without) / files))


if __name__ == "__main__":
    main()

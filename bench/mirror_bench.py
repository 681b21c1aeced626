#!/usr/bin/env python3
"""Times a pass whose first update server dies halfway through it, against a pass on the good
server alone, and counts the bytes each server sent.

The release: 24 files of 1 MiB and 2 of 8 MiB in two folders, every line pinned (size and
SHA-256). Each round runs, in turn, into fresh folders:

  1. the pass on nginx alone (the baseline);
  2. the pass with two servers: first the fault server, whose "dieK" level serves whole files
     until half the release's bytes have gone, cuts the file that reaches that point and then
     drops every request unanswered; then the same nginx as the mirror.

The bytes come from nginx's access log (body bytes sent) and from the fault server's own count.
A pass must end with every file whole and no error line, or the benchmark stops.

Needs a release build: cmake --preset release && cmake --build --preset release.
Run: bench/mirror_bench.py [--build build/release] [--rounds N]
"""
import argparse
import hashlib
import os
import re
import shutil
import statistics
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import update_bench as ub  # noqa: E402

ts = ub.ts
FILES = [("small\\part%02d.bin" % i, 1024 * 1024) for i in range(24)]
FILES += [("large\\pack%d.bin" % i, 8 * 1024 * 1024) for i in range(2)]
# One nginx access-log line: ... "GET /path HTTP/1.1" STATUS BYTES ...
SENT = re.compile(r'"GET (\S+) [^"]*" (\d{3}) (\d+)')


def pinned_list(files):
    lines = ["Version = 1;{d}"]
    for name, data in files:
        lines.append("%s;size=%d;sha256=%s" % (name, len(data), hashlib.sha256(data).hexdigest()))
    return ("\r\n".join(lines) + "\r\n").encode()


def nginx_bytes(nginx, start):
    """Body bytes nginx sent for the GET requests after the first start lines of its log."""
    with open(nginx.access_log) as f:
        lines = f.read().splitlines()[start:]
    return sum(int(m.group(3)) for m in map(SENT.search, lines) if m), len(lines)


def log_lines(nginx):
    with open(nginx.access_log) as f:
        return len(f.read().splitlines())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ub.root, "build", "release"))
    parser.add_argument("--rounds", type=int, default=3,
                        help="rounds of the two passes, taken in turn (default 3)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    args.programs = ub.check_build(build, "mirror_bench")
    args.prefix = os.path.join(build, "wineprefix")
    pki = ub.trust_test_ca(args, build)

    files = [(name, os.urandom(size)) for name, size in FILES]
    listed = pinned_list(files)
    release = sum(len(data) for _, data in files) + len(listed)
    # The level and its name: the fault server dies once half the release's bytes have gone.
    level = "die%d" % (release // 2 // 1024)
    site = "release/%s/" % level
    work = tempfile.mkdtemp(prefix="tolvane-mirror-bench-")
    docroot = os.path.join(work, "docroot")
    nginx = fault = None
    alone, failed_over = [], []
    try:
        for name, data in files:
            ub.serve(docroot, site, name, data)
        ub.serve(docroot, site, "uploadfile.uda", listed)
        nginx = ts.Nginx(docroot, pki).start()
        fault = ts.start_fault_server(docroot, pki.cert, pki.key)
        for turn in range(args.rounds):
            folder = os.path.join(work, "alone%d" % turn)
            start = log_lines(nginx)
            seconds = ub.run_pass(args, nginx.url + site, folder)[0]
            ub.check_copies(folder, [n for n, _ in files], [len(d) for _, d in files], "the pass on nginx alone")
            alone.append((seconds, nginx_bytes(nginx, start)[0]))
            shutil.rmtree(folder)

            folder = os.path.join(work, "mirrors%d" % turn)
            start = log_lines(nginx)
            fault.__dict__.pop("dying", None)  # the first server lives again
            seconds, _, output = ub.run_pass(args, fault.url + site, folder,
                                             options=["--mirror", nginx.url + site])
            ub.check_copies(folder, [n for n, _ in files], [len(d) for _, d in files], "the pass with two servers")
            sent, dead = fault.dying["/".join(site.strip("/").split("/"))]
            if not dead:
                sys.exit("the first server did not die in the pass:\n" + output[-2000:])
            failed_over.append((seconds, sent, nginx_bytes(nginx, start)[0]))
            shutil.rmtree(folder)
    finally:
        if fault:
            fault.stop()
        if nginx:
            nginx.stop()
        shutil.rmtree(work, ignore_errors=True)

    mib = release / (1024 * 1024)
    alone_s = statistics.median(s for s, _ in alone)
    over_s = statistics.median(s for s, _, _ in failed_over)
    print("release: %d files and the list, %.1f MiB; the first server dies after %.1f MiB"
          % (len(files), mib, (release // 2 // 1024) / 1024))
    print("medians of %d rounds (fastest-slowest):" % args.rounds)
    print("pass on nginx alone:                      %7.2f s  (%s)"
          % (alone_s, ub.spread([s for s, _ in alone])))
    print("pass, first server dies halfway:          %7.2f s  (%s)"
          % (over_s, ub.spread([s for s, _, _ in failed_over])))
    print("ratio dying-first / alone:                %7.2f" % (over_s / alone_s))
    for turn, ((_, only), (_, dead, good)) in enumerate(zip(alone, failed_over)):
        print("round %d bytes: alone %d (%.3f of the release); dying server %d, nginx %d, "
              "together %.3f of the release, %s" % (
                  turn + 1, only, only / release, dead, good, (dead + good) / release,
                  "within the release plus what the dying server sent"
                  if dead + good <= release + dead else "MORE than the release plus what the dying server sent"))


if __name__ == "__main__":
    main()

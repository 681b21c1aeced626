#!/usr/bin/env python3
"""Times a version bump over 10,000 files of which 100 changed, with the list written without
content fields and with size and sha256 on every line, against one local nginx over HTTPS.

  1. the first pass of version 1 with size and sha256 on every line (every download hashed and
     its hash cached); the player folder for lists without fields is a copy of it without the
     stat cache. --first-without-fields also times a first pass from a list without fields;
  2. the pass that brings version 2 (100 files changed), and the pass that brings version 5
     after three earlier bumps of 100 files each: without fields, today's publisher marks every
     file that ever changed "{rw}" (100, then 400 files fetched again); with fields only what
     differs is fetched. Bytes fetched come from nginx's access log. --rounds rounds, medians;
  3. a pass over the 10,000 unchanged files with a changed Version line, with fields (stat
     cache warm) against without (every file present, none "{rw}"), --rounds rounds; then once
     with fields and the stat cache deleted (every file hashed), and once a repair pass;
  4. what such a pass spends on each line, step by step (bench/line_costs.cpp).

Needs a release build: cmake --preset release && cmake --build --preset release.
Run: bench/pin_bench.py [--build build/release] [--rounds N] [--first-without-fields]
Pass times are measured inside the Windows programs, so Wine's start-up is not in them.
"""
import argparse
import os
import re
import shutil
import signal
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pin_release as pr  # noqa: E402
import pin_report  # noqa: E402
import update_bench as ub  # noqa: E402
from update_bench import ts  # noqa: E402

LOG_LINE = re.compile(r'"[A-Z]+ (\S+) [^"]*" (\d{3}) (\d+)')
COSTS = re.compile(r"(\w+)_ms=([\d.]+)")


class Fetched:
    """What nginx served since the last call, from its access log."""

    def __init__(self, nginx):
        self.log, self.offset = nginx.access_log, 0

    def since_last(self):
        text = ""
        if os.path.exists(self.log):
            with open(self.log) as f:
                f.seek(self.offset)
                text = f.read()
                self.offset = f.tell()
        got = {"files": 0, "bytes": 0, "list": 0, "other": []}
        for line in text.splitlines():
            found = LOG_LINE.search(line)
            if not found or found.group(2) != "200":
                got["other"].append(line)
            elif found.group(1).endswith("/uploadfile.uda"):
                got["list"] += int(found.group(3))
            else:
                got["files"] += 1
                got["bytes"] += int(found.group(3))
        return got


def timed_pass(args, site, folder, options=(), logged=None):
    """Runs a pass and returns its seconds, its output and what nginx served for it. logged:
    as for update_bench.run_pass."""
    args.fetched.since_last()
    seconds, _, output = ub.run_pass(args, args.url + site + "/", folder, options=options, logged=logged)
    got = args.fetched.since_last()
    if got["other"]:
        sys.exit("nginx answered the pass with other than 200:\n" + "\n".join(got["other"][:5]))
    got["seconds"], got["output"] = seconds, output
    return got


def check(release, folder, version, who):
    wrong = release.differences(folder, version)
    if wrong:
        sys.exit("%s left %d files unlike version %d, e.g. %s" % (who, len(wrong), version, wrong[0]))


def serve_versions(release, docroot):
    """A site for each version and list form, and the two lists over unchanged files (version
    5's files under a Version line of 6, no "{rw}"); returns those two lists' local paths."""
    for version in range(1, pr.VERSIONS + 1):
        for form in pr.FORMS:
            release.site(docroot, "%s%d" % (form, version), version, release.list_text(version, form == "pinned"))
    return {form: release.site(docroot, "same-" + form, pr.VERSIONS,
                               release.list_text(pr.VERSIONS, form == "pinned", False, "6"))
            for form in pr.FORMS}


def install_players(args, release, work):
    """Player folders at versions 1 and 4 for each form, and the first passes' results."""
    players, firsts = {}, {}
    for form in ("pinned", "plain"):
        first = players[form, 1] = os.path.join(work, "%s-v1" % form)
        if form == "pinned" or args.first_without_fields:
            firsts[form] = timed_pass(args, "%s1" % form, first)
            check(release, first, 1, "the first pass")
        else:
            # The same files and record as after a first pass from a list without fields.
            pr.copy_player(players["pinned", 1], first)
            os.remove(os.path.join(first, "update", "hashes.cache"))
        later = players[form, 4] = os.path.join(work, "%s-v4" % form)
        pr.copy_player(first, later)
        for version in range(2, 5):
            timed_pass(args, "%s%d" % (form, version), later)
        check(release, later, 4, "the passes to version 4")
    return players, firsts


def time_bumps(args, release, players, work):
    """The timed bumps, each on a fresh copy of a player; also the players the last round left
    at the last version."""
    bumps = {(form, end): [] for form in pr.FORMS for _, end in pr.BUMPS}
    final = {}
    for turn in range(args.rounds):
        for start, end in pr.BUMPS:
            for form in pr.FORMS:
                folder = os.path.join(work, "run-%s-%d-%d" % (form, end, turn))
                pr.copy_player(players[form, start], folder)
                bumps[form, end].append(timed_pass(args, "%s%d" % (form, end), folder))
                check(release, folder, end, "the pass to version %d" % end)
                if turn == args.rounds - 1 and end == pr.VERSIONS:
                    final[form] = folder
                else:
                    shutil.rmtree(folder)
    return bumps, final


def time_unchanged(args, release, final):
    """Passes over the players' unchanged files: every line handled, stopped at the Version
    line, with the stat cache deleted, and a repair."""
    got = {"unchanged": {form: [] for form in pr.FORMS}, "stopped": {form: [] for form in pr.FORMS}}
    previous = "Version = %d;{d}" % pr.VERSIONS
    for turn in range(args.rounds):
        for form in pr.FORMS:
            pr.set_record(final[form], previous)
            got["unchanged"][form].append(timed_pass(args, "same-" + form, final[form]))
            # Recorded now: the next pass stops at the Version line.
            got["stopped"][form].append(timed_pass(args, "same-" + form, final[form]))
    os.remove(os.path.join(final["pinned"], "update", "hashes.cache"))
    pr.set_record(final["pinned"], previous)
    got["cold"] = timed_pass(args, "same-pinned", final["pinned"])
    # The record now equals the list's Version line: only a repair goes on.
    got["repair"] = timed_pass(args, "same-pinned", final["pinned"], ["--repair"])
    every = sum(got["unchanged"].values(), []) + sum(got["stopped"].values(), [])
    for result in every + [got["cold"], got["repair"]]:
        if result["files"]:
            sys.exit("a pass over unchanged files fetched %d files" % result["files"])
    check(release, final["pinned"], pr.VERSIONS, "the passes over unchanged files")
    return got


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ub.root, "build", "release"))
    parser.add_argument("--rounds", type=int, default=3, help="rounds of each timed pass (default 3)")
    parser.add_argument("--first-without-fields", action="store_true",
                        help="also time a first pass from a list without fields (two minutes more)")
    parser.add_argument("--files", type=int, default=pr.FILES, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.rounds < 1 or args.files < pr.CHANGED * pr.VERSIONS:
        parser.error("--rounds must be at least 1, --files at least %d" % (pr.CHANGED * pr.VERSIONS))
    build = os.path.abspath(args.build)
    args.programs = ub.check_build(build, "pin_bench", {"costs": "bench/update_line_costs.exe"})
    args.prefix = os.path.join(build, "wineprefix")
    pki = ub.trust_test_ca(args, build)
    # An interrupted run still stops nginx and removes its quarter of a gigabyte.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("pin_bench: stopped"))

    work = tempfile.mkdtemp(prefix="tolvane-pin-bench-")
    nginx = None
    try:
        release = pr.Release(os.path.join(work, "store"), args.files)
        same = serve_versions(release, os.path.join(work, "docroot"))
        nginx = ts.Nginx(os.path.join(work, "docroot"), pki).start()
        args.url, args.fetched = nginx.url, Fetched(nginx)
        players, firsts = install_players(args, release, work)
        bumps, final = time_bumps(args, release, players, work)
        unchanged = time_unchanged(args, release, final)
        _, output = ub.run_windows(args, args.programs["costs"],
                                   [ts.windows_path(same["pinned"]), ts.windows_path(final["pinned"]) + "\\"],
                                   "file_exists")
        costs = {name: float(ms) for name, ms in COSTS.findall(output)}
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(work, ignore_errors=True)
    pin_report.report(args.rounds, release, firsts, bumps, unchanged, costs)


if __name__ == "__main__":
    main()

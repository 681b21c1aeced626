#!/usr/bin/env python3
"""Times the update engine against one local nginx, beside the bare platform call and curl.

  1. a first pass over 500 files of 64 KiB and 4 files of 16 MiB in 5 folders (no progress
     callback); the same 504 files fetched one after another by a bare URLDownloadToFileW loop
     (the floor, bench/download_floor.cpp) and by a single curl; three rounds of the three in
     turn (--rounds), medians printed;
  2. a pass whose Version line is unchanged, over a list of 10,000 lines;
  3. a pass whose Version line changed, over 10,000 files that are all present already;
  4. with --pause only (it takes minutes): a first pass over 100 files of 64 KiB with a progress
     callback installed and ProgressPauseMs 300 (the launcher's default), then 0.

Needs a release build: cmake --preset release && cmake --build --preset release.
Run: bench/update_bench.py [--build build/release] [--pause] [--rounds N]
Pass and floor times are measured inside the Windows programs, so Wine's start-up is not in them.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tools", "testing"))
import test_servers as ts  # noqa: E402

WINE_RUN = os.path.join(root, "tools", "testing", "wine-run")
SMALL, SMALL_SIZE, SMALL_FOLDERS = 500, 64 * 1024, 4
LARGE, LARGE_SIZE = 4, 16 * 1024 * 1024
MANY, MANY_FOLDERS = 10_000, 10
PAUSED, PAUSES_MS = 100, (300, 0)
FLOOR_GOAL = 1.1


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def serve(docroot, site, relative, data):
    write(os.path.join(docroot, site, "AppGameUpload", *relative.split("\\")), data)


def serve_list(docroot, site, version, names):
    serve(docroot, site, "uploadfile.uda",
          ("Version = %s;\r\n" % version + "".join(n + ";\r\n" for n in names)).encode())


def check_build(build, name="update_bench", extra=None):
    """The programs of the build tree and the host tools the benchmark needs; exits naming the
    missing ones. extra: more programs, {key: path under the build tree}."""
    programs = {
        "runner": os.path.join(build, "bench", "update_pass_runner.exe"),
        "floor": os.path.join(build, "bench", "download_floor.exe"),
        "trust_ca": os.path.join(build, "tools", "testing", "trust_ca.exe"),
    }
    programs.update({key: os.path.join(build, path) for key, path in (extra or {}).items()})
    missing = [path for path in programs.values() if not os.path.isfile(path)]
    missing += ["%s (on PATH)" % tool for tool in ("nginx", "curl", "openssl", "xvfb-run")
                if not shutil.which(tool)]
    if not (shutil.which("wine64") or shutil.which("wine") or os.access("/usr/lib/wine/wine64", os.X_OK)):
        missing.append("wine64 (on PATH)")
    if missing:
        sys.exit("%s: the build tree %s or this machine lacks:\n  %s\n"
                 "Build it with: cmake --preset release -B %s && cmake --build %s -j2\n"
                 "(./tolvane deps installs the host tools.)"
                 % (name, build, "\n  ".join(missing), build, build))
    return programs


def trust_test_ca(args, build):
    """The build tree's test CA, trusted in its Wine prefix (args.prefix)."""
    pki = ts.TestPki(os.path.join(build, "test-pki"))
    trust = subprocess.run([WINE_RUN, args.prefix, args.programs["trust_ca"], ts.windows_path(pki.ca)],
                           capture_output=True, text=True)
    if trust.returncode != 0:
        sys.exit("trust_ca.exe could not add the test CA to %s:\n%s" % (args.prefix, trust.stderr[-2000:]))
    return pki


def prepare(args, name):
    """Checks the build tree of args.build for name's programs and trusts its test CA: sets
    args.programs and args.prefix and returns the test PKI."""
    build = os.path.abspath(args.build)
    args.programs = check_build(build, name)
    args.prefix = os.path.join(build, "wineprefix")
    return trust_test_ca(args, build)


def signing_key(args, work, publish):
    """A studio key made for the run under work/key: sets args.key_hex (X and Y, as the pass
    runner's --list-key takes them) and returns the private key's path."""
    keys = os.path.join(work, "key")
    if publish("keygen", keys).returncode != 0:
        sys.exit("tolvane-publish keygen failed")
    args.key_hex = subprocess.run([sys.executable, os.path.join(root, "cmake", "list_key.py"),
                                   os.path.join(keys, "public.pem")],
                                  check=True, capture_output=True, text=True).stdout.strip()
    return os.path.join(keys, "private.pem")


def run_windows(args, program, arguments, key):
    """Runs a Windows program under Wine and returns the seconds it printed as KEY_ms=, and
    its standard error followed by its standard output (a pass's trace)."""
    result = subprocess.run([WINE_RUN, args.prefix, program, *arguments],
                            capture_output=True, text=True, errors="replace")
    found = re.search(key + r"_ms=([\d.]+)", result.stderr)
    if result.returncode != 0 or not found:
        sys.exit("%s did not run:\n%s" % (os.path.basename(program), result.stderr[-2000:]))
    return float(found.group(1)) / 1000, result.stderr + result.stdout


def run_pass(args, server_url, folder, pause_ms=None, options=(), logged=None):
    """Seconds of one pass into folder, the progress reports it counted (with pause_ms) and its
    output. options: more of update_pass_runner's options (--repair, --list-key). A pass that
    logs errors stops the benchmark, unless logged (a list) is given to take the lines."""
    os.makedirs(folder, exist_ok=True)
    errors = os.path.join(os.path.dirname(args.programs["runner"]), "errors.err")
    if os.path.exists(errors):
        os.remove(errors)
    pause = [] if pause_ms is None else ["--pause", str(pause_ms)]
    seconds, output = run_windows(args, args.programs["runner"],
                                  pause + list(options) + [server_url, ts.windows_path(folder) + "\\"],
                                  "pass")
    if os.path.exists(errors):
        with open(errors, errors="replace") as f:
            lines = f.read().splitlines()
        if logged is None:
            sys.exit("the pass logged errors:\n" + "\n".join(lines)[-2000:])
        logged += lines
    return seconds, int(re.search(r"reports=(\d+)", output).group(1)), output


def run_floor(args, base_url, names, folder, work):
    """Seconds of the bare URLDownloadToFileW loop over names into folder."""
    listing = os.path.join(work, "floor.list")
    with open(listing, "w", encoding="utf-8", newline="\n") as f:
        for name in names:
            target = os.path.join(folder, *name.split("\\"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            f.write("%s%s\t%s\n" % (base_url, name.replace("\\", "/"), ts.windows_path(target)))
    return run_windows(args, args.programs["floor"], [ts.windows_path(listing)], "floor")[0]


def spread(times):
    return "%.2f-%.2f s" % (min(times), max(times))


def check_copies(folder, names, sizes, who):
    for name, size in zip(names, sizes):
        path = os.path.join(folder, *name.split("\\"))
        if not os.path.isfile(path) or os.path.getsize(path) != size:
            sys.exit("%s did not fetch %s whole" % (who, name))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(root, "build", "release"))
    parser.add_argument("--pause", action="store_true",
                        help="also time 100 files with the progress pause at 300 and 0 ms (minutes)")
    parser.add_argument("--rounds", type=int, default=3,
                        help="rounds of first pass, floor and curl, taken in turn (default 3)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    args.programs = check_build(build)
    args.prefix = os.path.join(build, "wineprefix")
    pki = trust_test_ca(args, build)

    work = tempfile.mkdtemp(prefix="tolvane-bench-")
    docroot = os.path.join(work, "docroot")
    nginx = None
    firsts, floors, curls, paused = [], [], [], {}
    try:
        # The data sets.
        names = ["data%d\\file%03d.bin" % (i % SMALL_FOLDERS, i) for i in range(SMALL)]
        names += ["big\\large%d.bin" % i for i in range(LARGE)]
        sizes = [SMALL_SIZE] * SMALL + [LARGE_SIZE] * LARGE
        for name, size in zip(names, sizes):
            serve(docroot, "files", name, os.urandom(size))
        serve(docroot, "files", "Version = 1", b"1")
        serve_list(docroot, "files", "1", names)
        many = ["set%d\\entry%05d.dat" % (i % MANY_FOLDERS, i) for i in range(MANY - 1)]
        serve_list(docroot, "unchanged", "2", many)
        serve_list(docroot, "changed", "3", many)
        serve(docroot, "changed", "Version = 3", b"3")
        present = os.path.join(work, "present")
        for name in many:
            write(os.path.join(present, *name.split("\\")), b"already here")
        write(os.path.join(present, "update", "update.info"), b"Version = 2;")
        paused_names = ["data\\file%03d.bin" % i for i in range(PAUSED)]
        if args.pause:
            for name in paused_names:
                serve(docroot, "paused", name, os.urandom(SMALL_SIZE))
            serve(docroot, "paused", "Version = 1", b"1")
            serve_list(docroot, "paused", "1", paused_names)
        total = sum(sizes)

        nginx = ts.Nginx(docroot, pki).start()
        config = os.path.join(work, "curl.config")
        # Rounds alternate the three, so a load that comes and goes weighs on each alike.
        for turn in range(args.rounds):
            folder = os.path.join(work, "first%d" % turn)
            firsts.append(run_pass(args, nginx.url + "files/", folder)[0])
            check_copies(folder, names, sizes, "the first pass")
            shutil.rmtree(folder)

            folder = os.path.join(work, "floor%d" % turn)
            floors.append(run_floor(args, nginx.url + "files/AppGameUpload/", names, folder, work))
            check_copies(folder, names, sizes, "the floor loop")
            shutil.rmtree(folder)

            folder = os.path.join(work, "curl%d" % turn)
            with open(config, "w") as f:
                for name in names:
                    f.write('url = "%sfiles/AppGameUpload/%s"\noutput = "%s"\n'
                            % (nginx.url, name.replace("\\", "/"), os.path.join(folder, *name.split("\\"))))
            start = time.monotonic()
            subprocess.run(["curl", "-s", "--fail", "--create-dirs", "--cacert", pki.ca, "-K", config],
                           check=True)
            curls.append(time.monotonic() - start)
            check_copies(folder, names, sizes, "curl")
            shutil.rmtree(folder)

        unchanged = run_pass(args, nginx.url + "unchanged/", present)[0]
        changed = run_pass(args, nginx.url + "changed/", present)[0]

        if args.pause:
            for ms in PAUSES_MS:
                folder = os.path.join(work, "paused%d" % ms)
                paused[ms] = run_pass(args, nginx.url + "paused/", folder, ms)
                check_copies(folder, paused_names, [SMALL_SIZE] * PAUSED, "the paused pass")
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(work, ignore_errors=True)

    mib = total / (1024 * 1024)
    first, floor, curl = (statistics.median(times) for times in (firsts, floors, curls))
    # The engine waits 100 ms before it creates each folder: the five data folders and update.
    pauses = 0.1 * (len({n.split("\\")[0] for n in names}) + 1)
    print("medians of %d rounds (fastest-slowest):" % args.rounds)
    print("first pass, %d files, %.0f MiB:        %7.2f s  (%.1f MiB/s; %s)"
          % (len(names), mib, first, mib / first, spread(firsts)))
    print("  of which pauses before new folders:     %7.2f s" % pauses)
    print("floor, bare URLDownloadToFileW loop:      %7.2f s  (%.1f MiB/s; %s)"
          % (floor, mib / floor, spread(floors)))
    print("curl, the same files one after another:  %7.2f s  (%.1f MiB/s; %s)"
          % (curl, mib / curl, spread(curls)))
    print("ratio pass / floor:                       %7.2f  (goal at most %.1f: %s)"
          % (first / floor, FLOOR_GOAL, "met" if first / floor <= FLOOR_GOAL else "not met"))
    print("ratio pass less folder pauses / floor:    %7.2f" % ((first - pauses) / floor))
    print("ratio pass / curl:                        %7.2f" % (first / curl))
    print("ratio floor / curl:                       %7.2f" % (floor / curl))
    print("unchanged Version, list of %d lines:  %7.2f s" % (MANY, unchanged))
    print("changed Version, %d files present:    %7.2f s  (%.2f ms a line)" % (MANY, changed, 1000 * changed / MANY))
    print("ratio changed / unchanged:                %7.2f" % (changed / unchanged))
    if args.pause:
        for ms in PAUSES_MS:
            seconds, reports, _ = paused[ms]
            # The Version line's file is one more download.
            print("%d files of 64 KiB, pause %3d ms:        %7.2f s  (%d reports, %.1f a download)"
                  % (PAUSED, ms, seconds, reports, reports / (PAUSED + 1)))
        slow, fast = paused[PAUSES_MS[0]][0], paused[PAUSES_MS[1]][0]
        print("ratio pause %d / pause %d:                %7.1f" % (PAUSES_MS[0], PAUSES_MS[1], slow / fast))
        print("cost of the pause:                        %7.2f s  (%.2f s a download)"
              % (slow - fast, (slow - fast) / (PAUSED + 1)))


if __name__ == "__main__":
    main()

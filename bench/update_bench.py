#!/usr/bin/env python3
"""Times the update engine against one local nginx, and curl beside it.

  1. a first pass over 500 files of 64 KiB and 4 files of 16 MiB in 5 folders (no progress
     callback), and the same 504 files fetched one after another by a single curl;
  2. a pass whose Version line is unchanged, over a list of 10,000 lines;
  3. a pass whose Version line changed, over 10,000 files that are all present already.

Needs a release build with its tests (for trust_ca.exe): cmake --preset release && cmake
--build --preset release. Run: bench/update_bench.py [--build build/release]
Pass times are measured inside the Windows program, so Wine's start-up is not in them.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tools"))
import test_servers as ts  # noqa: E402

SMALL, SMALL_SIZE, SMALL_FOLDERS = 500, 64 * 1024, 4
LARGE, LARGE_SIZE = 4, 16 * 1024 * 1024
MANY, MANY_FOLDERS = 10_000, 10


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def serve(docroot, site, relative, data):
    write(os.path.join(docroot, site, "AppGameUpload", *relative.split("\\")), data)


def run_pass(args, server_url, folder):
    os.makedirs(folder, exist_ok=True)
    errors = os.path.join(os.path.dirname(args.runner), "errors.err")
    if os.path.exists(errors):
        os.remove(errors)
    command = [os.path.join(root, "tools", "wine-run"), args.prefix, args.runner, server_url,
               ts.windows_path(folder) + "\\"]
    result = subprocess.run(command, capture_output=True, text=True)
    found = re.search(r"pass_ms=([\d.]+)", result.stderr)
    if result.returncode != 0 or not found:
        sys.exit("the pass did not run:\n" + result.stderr[-2000:])
    if os.path.exists(errors):
        with open(errors) as f:
            sys.exit("the pass logged errors:\n" + f.read()[-2000:])
    return float(found.group(1)) / 1000


def count_files(folder):
    return sum(len(files) for _, _, files in os.walk(folder))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(root, "build", "release"))
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    args.prefix = os.path.join(build, "wineprefix")
    args.runner = os.path.join(build, "bench", "update_pass_runner.exe")
    pki = ts.TestPki(os.path.join(build, "test-pki"))
    subprocess.run([os.path.join(root, "tools", "wine-run"), args.prefix,
                    os.path.join(build, "tests", "update", "trust_ca.exe"), ts.windows_path(pki.ca)],
                   check=True)

    work = tempfile.mkdtemp(prefix="tolvane-bench-")
    docroot = os.path.join(work, "docroot")
    nginx = None
    try:
        # The data sets.
        names = ["data%d\\file%03d.bin" % (i % SMALL_FOLDERS, i) for i in range(SMALL)]
        names += ["big\\large%d.bin" % i for i in range(LARGE)]
        for i, name in enumerate(names):
            size = SMALL_SIZE if i < SMALL else LARGE_SIZE
            serve(docroot, "files", name, os.urandom(size))
        serve(docroot, "files", "Version = 1", b"1")
        serve(docroot, "files", "uploadfile.uda",
              ("Version = 1;\r\n" + "".join(n + ";\r\n" for n in names)).encode())
        many = ["set%d\\entry%05d.dat" % (i % MANY_FOLDERS, i) for i in range(MANY - 1)]
        for version, site in (("2", "unchanged"), ("3", "changed")):
            serve(docroot, site, "uploadfile.uda",
                  ("Version = %s;\r\n" % version + "".join(n + ";\r\n" for n in many)).encode())
        serve(docroot, "changed", "Version = 3", b"3")
        present = os.path.join(work, "present")
        for name in many:
            write(os.path.join(present, *name.split("\\")), b"already here")
        write(os.path.join(present, "update", "update.info"), b"Version = 2;")
        total = SMALL * SMALL_SIZE + LARGE * LARGE_SIZE

        nginx = ts.Nginx(docroot, pki).start()
        first = run_pass(args, nginx.url + "files/", os.path.join(work, "first"))
        # The names, Version = 1 and update.info.
        assert count_files(os.path.join(work, "first")) == len(names) + 2, "files missing"

        config = os.path.join(work, "curl.config")
        fetched = os.path.join(work, "curl")
        with open(config, "w") as f:
            for name in names:
                f.write('url = "%sfiles/AppGameUpload/%s"\noutput = "%s"\n'
                        % (nginx.url, name.replace("\\", "/"), os.path.join(fetched, name.replace("\\", "/"))))
        start = time.monotonic()
        subprocess.run(["curl", "-s", "--fail", "--create-dirs", "--cacert", pki.ca, "-K", config],
                       check=True)
        curl = time.monotonic() - start

        unchanged = run_pass(args, nginx.url + "unchanged/", present)
        changed = run_pass(args, nginx.url + "changed/", present)
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(work, ignore_errors=True)

    mib = total / (1024 * 1024)
    print("first pass, %d files, %.0f MiB:        %7.2f s  (%.1f MiB/s)" % (len(names), mib, first, mib / first))
    print("curl, the same files one after another:  %7.2f s  (%.1f MiB/s)" % (curl, mib / curl))
    print("ratio pass / curl:                        %7.2f" % (first / curl))
    print("unchanged Version, list of %d lines:  %7.2f s" % (MANY, unchanged))
    print("changed Version, %d files present:    %7.2f s  (%.2f ms a line)" % (MANY, changed, 1000 * changed / MANY))
    print("ratio changed / unchanged:                %7.2f" % (changed / unchanged))


if __name__ == "__main__":
    main()

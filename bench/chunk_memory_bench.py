#!/usr/bin/env python3
"""The update pass's memory while it installs a 4.5 GiB pack, against the same program idle.

The release: one pack of 4.5 GiB (pseudo-random bytes) and two small files, published with
tolvane-publish --key, served by one local nginx over HTTPS. In one run, with the pass runner
(the launcher's pass code, bench/pass_runner.cpp):

  1. the runner idle (--idle: started, no pass), and a pass over a release of two small files;
  2. a first install: no previous copy, so the pack is fetched whole;
  3. a patch: 16 places of 64 KiB overwritten across the pack (the last ones past 4 GiB) and
     4 KiB inserted past 4 GiB, so the new file is built from the old copy's chunks and the
     few fetched ones.

For each: the peak working set the runner reads from GetProcessMemoryInfo at its end, and, as a
cross-check, the largest VmHWM of its Wine process, polled from /proc while it runs; then the
peak less the idle figure (goal: at most 64 MiB), the bytes nginx served against the pack's
size, and whether the installed pack's SHA-256 is the release's (sizes and offsets past 4 GiB,
end to end). It needs about 25 GiB free under --work (default: the system's temporary folder)
and removes what it wrote.

Needs a release build: cmake --preset release && cmake --build --preset release.
Run: bench/chunk_memory_bench.py [--build build/release] [--work DIR]
"""
import argparse
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pin_bench  # noqa: E402
import update_bench as ub  # noqa: E402
from update_bench import ts  # noqa: E402

sys.path.insert(0, os.path.join(ub.root, "tools", "testing"))
from release_folder import publish  # noqa: E402

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes  # noqa: E402

MiB = 1 << 20
PACK, PACK_MIB = "big/world.pak", 4608
SMALL = {"TolvaneGame.exe": b"MZ stand-in game", "data/readme.txt": b"a small file\n"}
BLOCK = 64 * MiB
# The insertion lies 1/18 of the pack before its end: past 4 GiB in a pack of 4.5 GiB.
OVERWRITES, OVERWRITE_SIZE, INSERTION_SIZE = 16, 64 << 10, 4 << 10
GOAL_MIB = 64


def write_pack(path, size):
    """size pseudo-random bytes (AES-CTR of zeros: fast, and no block repeats) into path."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    stream = Cipher(algorithms.AES(b"tolvane memory b"), modes.CTR(bytes(16))).encryptor()
    zeros = bytes(BLOCK)
    with open(path, "wb") as pack:
        for at in range(0, size, BLOCK):
            pack.write(stream.update(zeros[:min(BLOCK, size - at)]))


def patch_pack(path, size, rng):
    """Overwrites OVERWRITES places spread over the pack and inserts INSERTION_SIZE bytes near
    its end."""
    with open(path, "r+b") as pack:
        for place in range(OVERWRITES):
            pack.seek(place * (size // OVERWRITES) + rng.randrange(size // OVERWRITES - OVERWRITE_SIZE))
            pack.write(rng.randbytes(OVERWRITE_SIZE))
        pack.seek(size // 18 * 17)
        tail = pack.read()
        pack.seek(size // 18 * 17)
        pack.write(rng.randbytes(INSERTION_SIZE) + tail)


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        while block := f.read(BLOCK):
            digest.update(block)
    return digest.hexdigest()


def write_small(folder):
    for name, data in SMALL.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def published(key, release, version, site, *options):
    result = publish("--key", key, *options, release, version, site)
    if result.returncode != 0:
        sys.exit("tolvane-publish failed:\n" + result.stderr[-2000:])


class HighWater(threading.Thread):
    """The largest VmHWM (bytes) of the Linux processes whose command line holds token (the
    Windows program under Wine), polled until stop is set."""

    def __init__(self, token):
        super().__init__(daemon=True)
        self.token, self.most, self.stop = token.encode(), 0, threading.Event()

    def run(self):
        while not self.stop.is_set():
            for pid in filter(str.isdigit, os.listdir("/proc")):
                try:
                    # Also the shell and xvfb-run around it, which hold far less.
                    with open("/proc/%s/cmdline" % pid, "rb") as f:
                        if self.token not in f.read():
                            continue
                    with open("/proc/%s/status" % pid) as f:
                        found = re.search(r"VmHWM:\s+(\d+) kB", f.read())
                    if found:
                        self.most = max(self.most, int(found.group(1)) * 1024)
                except OSError:
                    continue
            time.sleep(0.05)


def measured(args, site, folder, options=()):
    """(peak working set, VmHWM, bytes nginx served, pass output) of one run of the runner into
    folder; exits when it fails or logs an error."""
    os.makedirs(folder, exist_ok=True)
    errors = os.path.join(os.path.dirname(args.programs["runner"]), "errors.err")
    if os.path.exists(errors):
        os.remove(errors)
    args.fetched.since_last()
    target = ts.windows_path(folder) + "\\"
    watch = HighWater(target)
    watch.start()
    result = subprocess.run([ub.WINE_RUN, args.prefix, args.programs["runner"], "--pause", "0",
                             "--list-key", args.key_hex, *options, args.url + site + "/", target],
                            capture_output=True, text=True, errors="replace")
    watch.stop.set()
    watch.join()
    got = args.fetched.since_last()
    output = result.stderr + result.stdout
    found = re.search(r"peak_working_set=(\d+)", result.stderr)
    if result.returncode != 0 or not found or os.path.exists(errors):
        logged = open(errors, errors="replace").read() if os.path.exists(errors) else ""
        sys.exit("the runner failed:\n%s%s" % (logged[-2000:], result.stderr[-2000:]))
    if got["other"]:
        sys.exit("nginx answered with other than 200:\n" + "\n".join(got["other"][:5]))
    return int(found.group(1)), watch.most, got["bytes"] + got["list"], output


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ub.root, "build", "release"))
    parser.add_argument("--work", default=tempfile.gettempdir(), help="where the release, site and player go")
    parser.add_argument("--pack-mib", type=int, default=PACK_MIB,
                        help="the pack's size in MiB (default %d; a small one tries the bench out)" % PACK_MIB)
    args = parser.parse_args()
    if args.pack_mib < 16:
        parser.error("--pack-mib must be at least 16")
    size = args.pack_mib * MiB
    pki = ub.prepare(args, "chunk_memory_bench")
    work = tempfile.mkdtemp(prefix="tolvane-memory-bench-", dir=args.work)
    nginx, rows = None, {}
    try:
        key, docroot = ub.signing_key(args, work, publish), os.path.join(work, "docroot")
        small, release = os.path.join(work, "small"), os.path.join(work, "release")
        write_small(small)
        write_small(release)
        write_pack(os.path.join(release, PACK), size)
        published(key, small, "1", os.path.join(docroot, "small"), "--new-site")
        published(key, release, "1", os.path.join(docroot, "pack"), "--new-site")
        wanted = {"1": sha256_of(os.path.join(release, PACK))}
        nginx = ts.Nginx(docroot, pki).start()
        args.url, args.fetched = nginx.url, pin_bench.Fetched(nginx)

        rows["idle"] = measured(args, "small", os.path.join(work, "idle"), ["--idle"])
        rows["small"] = measured(args, "small", os.path.join(work, "player-small"))
        player = os.path.join(work, "player")
        rows["whole"] = measured(args, "pack", player)
        installed = {"1": sha256_of(os.path.join(player, PACK))}

        patch_pack(os.path.join(release, PACK), size, random.Random(29))
        wanted["2"] = sha256_of(os.path.join(release, PACK))
        published(key, release, "2", os.path.join(docroot, "pack"))
        rows["patch"] = measured(args, "pack", player)
        installed["2"] = sha256_of(os.path.join(player, PACK))
        if "built from chunks" not in rows["patch"][3]:
            sys.exit("the patch was not built from chunks:\n" + rows["patch"][3][-2000:])
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(work, ignore_errors=True)

    idle_ws, idle_hwm = rows["idle"][:2]
    print("pack: %d bytes (%.2f GiB); working sets in MiB, peak less the idle runner's in brackets"
          % (size, size / (1 << 30)))
    labels = {"idle": "runner idle, no pass", "small": "pass, two small files",
              "whole": "first install, pack fetched whole", "patch": "patch built from chunks"}
    for way, (ws, hwm, served, _) in rows.items():
        print("%-34s peak working set %7.1f (%+6.1f)  VmHWM %7.1f (%+6.1f)  served %d bytes"
              % (labels[way], ws / MiB, (ws - idle_ws) / MiB, hwm / MiB, (hwm - idle_hwm) / MiB, served))
    for way in ("whole", "patch"):
        over = (rows[way][0] - idle_ws) / MiB
        print("%s: peak over idle %.1f MiB (goal at most %d: %s)"
              % (way, over, GOAL_MIB, "met" if over <= GOAL_MIB else "not met"))
    print("patch: served / pack size %.4f (%d of %d bytes)"
          % (rows["patch"][2] / (size + INSERTION_SIZE), rows["patch"][2], size + INSERTION_SIZE))
    for version in ("1", "2"):
        print("installed pack of version %s: SHA-256 %s" % (
            version, "the release's" if installed[version] == wanted[version] else "DIFFERS from the release's"))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Chunk sizes and the publisher's chunking speed, on a random pack and a patched copy of it
(scattered 1 MiB overwrites and 4 KiB insertions, as a game patch changes a pack).

For each candidate (min, average, max): the bytes a launcher holding the old pack fetches for
the new one (the new pack's chunks that the old one lacks), against the bytes the patch changed,
the chunk count, and the speed of the native helper (chunking and SHA-256 in one pass) in MB of
input per CPU second, as a ratio to sha256sum over the same bytes in the same run.

usage: chunk_bench.py [--mib N] [--overwrites N] [--insertions N] [--folder DIR]"""
import argparse
import os
import pathlib
import random
import resource
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tools" / "publish"))
import native_chunker  # noqa: E402

CANDIDATES = [(64 << 10, 256 << 10, 1 << 20), (256 << 10, 1 << 20, 4 << 20), (1 << 20, 4 << 20, 16 << 20)]


def cpu_of(command):
    """(CPU seconds of the child, wall seconds, its stdout)."""
    before, start = resource.getrusage(resource.RUSAGE_CHILDREN), time.perf_counter()
    result = subprocess.run(command, capture_output=True, check=True)
    wall, after = time.perf_counter() - start, resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime), wall, result.stdout


def patched(data, overwrites, insertions, seed=7):
    """The pack with 1 MiB regions overwritten and 4 KiB blocks inserted at random places, and the
    bytes changed (overwritten plus inserted)."""
    chooser = random.Random(seed)
    out = bytearray(data)
    for _ in range(overwrites):
        at = chooser.randrange(0, len(out) - (1 << 20))
        out[at:at + (1 << 20)] = chooser.randbytes(1 << 20)
    for _ in range(insertions):
        at = chooser.randrange(0, len(out))
        out[at:at] = chooser.randbytes(4096)
    return bytes(out), overwrites * (1 << 20) + insertions * 4096


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mib", type=int, default=256, help="size of the pack in MiB (default 256)")
    parser.add_argument("--overwrites", type=int, default=8, help="1 MiB overwrites (default 8)")
    parser.add_argument("--insertions", type=int, default=16, help="4 KiB insertions (default 16)")
    parser.add_argument("--folder", type=pathlib.Path, help="where the packs are written (default a temporary)")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(dir=args.folder) as temp:
        old_path, new_path = pathlib.Path(temp) / "old.pak", pathlib.Path(temp) / "new.pak"
        old = os.urandom(args.mib << 20)  # random: no chunk repeats, as in a compressed pack
        new, changed = patched(old, args.overwrites, args.insertions)
        old_path.write_bytes(old)
        new_path.write_bytes(new)
        del old, new
        tool = str(native_chunker.tool())
        cpu_of(["cat", str(new_path)])  # both packs in the page cache before anything is timed
        cpu_of(["cat", str(old_path)])
        mb = new_path.stat().st_size / 1e6
        base_cpu, base_wall, _ = cpu_of(["sha256sum", str(new_path)])
        print(f"pack {args.mib} MiB, patch: {args.overwrites} x 1 MiB overwritten, {args.insertions} x 4 KiB "
              f"inserted = {changed} bytes changed")
        print(f"baseline sha256sum: {mb / base_cpu:.0f} MB/s per CPU second ({mb / base_wall:.0f} MB/s wall)")
        print(f"{'min/average/max KiB':>22} {'fetch/changed':>13} {'chunks':>7} {'MB/s/CPU':>9} {'vs sha256sum':>12}")
        for sizes in CANDIDATES:
            held = {sha for _, _, sha in native_chunker.scan(old_path, sizes).chunks}
            cpu, wall, out = cpu_of([tool, "scan", *map(str, sizes), str(new_path)])
            chunks = [line.split(" ") for line in out.decode().splitlines()[1:]]
            fetch = sum(int(length) for _, length, sha in chunks if sha not in held)
            label = "/".join(str(size >> 10) for size in sizes)
            mark = " (chosen)" if sizes == native_chunker.sizes() else ""
            print(f"{label:>22} {fetch / changed:>13.2f} {len(chunks):>7} {mb / cpu:>9.0f} "
                  f"{base_cpu / cpu:>11.2f}x{mark}")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""What big files built from chunks cost and spare, against one local nginx over HTTPS.

The release: 2 packs of 48 MiB and 20 files of 64 KiB, published with tolvane-publish --key.
Figures, each a ratio against a baseline of the same run:

The publisher cuts the packs (over its threshold) and lays out their chunks under TolvaneChunks/.

  1. the first install from the chunked site against the same site without TolvaneChunks/;
     with no previous copy the launcher asks for no index and fetches each pack whole, so the
     two should match; goal at most 1.10;
  2. a scattered patch (16 places of 64 KiB changed in each pack): the bytes fetched against
     the bytes of the chunks that changed, and its time against the same patch from the site
     without TolvaneChunks/ (each pack fetched whole);
  3. a retry after a cut: the patch served with one changed chunk missing (the pass holds the
     release back), then whole: the bytes the retry fetched against the chunks still missing.

Needs a release build: cmake --preset release && cmake --build --preset release.
Run: bench/chunk_pass_bench.py [--build build/release] [--rounds N]
Pass times are measured inside the Windows program, so Wine's start-up is not in them.
"""
import argparse
import hashlib
import os
import random
import shutil
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pin_bench  # noqa: E402
import update_bench as ub  # noqa: E402
from update_bench import ts  # noqa: E402

sys.path.insert(0, os.path.join(ub.root, "tools", "testing"))
sys.path.insert(0, os.path.join(ub.root, "tools", "publish"))
from release_folder import publish, write_release  # noqa: E402

MiB = 1 << 20
PACKS = ["big/pack%d.bin" % i for i in range(2)]
SMALL = ["data/file%02d.bin" % i for i in range(20)]


def chunks_of(site, files):
    """{sha256: length} of every chunk that the indexes the publisher wrote give the packs."""
    laid = {}
    for name in PACKS:
        whole = hashlib.sha256(files[name]).hexdigest()
        with open(os.path.join(site, "TolvaneChunks", "index", whole)) as index:
            for line in index.read().splitlines()[1:]:
                _, length, sha = line.split(" ")
                laid[sha] = int(length)
    return laid


def without_chunks(site, copy):
    """A copy of the site as a launcher without chunks sees it: no TolvaneChunks/."""
    shutil.copytree(site, copy)
    shutil.rmtree(os.path.join(copy, "TolvaneChunks"))


def publish_site(key, release_folder, files, version, site, first):
    write_release(release_folder, files)
    result = publish("--key", key, *(["--new-site"] if first else []), release_folder, version, site)
    if result.returncode != 0:
        sys.exit("tolvane-publish failed:\n" + result.stderr[-2000:])


def fetched(args):
    """Body bytes nginx served since the last call, the list's included; 404s (an index the
    whole-file site lacks, a chunk cut away) count nothing."""
    got = args.fetched.since_last()
    other = [line for line in got["other"] if '" 404 ' not in line]
    if other:
        sys.exit("nginx answered with other than 200 or 404:\n" + "\n".join(other[:5]))
    return got["bytes"] + got["list"]


def run(args, site, folder, logged=None):
    fetched(args)
    seconds, _, output = ub.run_pass(args, args.url + site + "/", folder,
                                     options=["--list-key", args.key_hex], logged=logged)
    if logged is None and "release installed" not in output:
        sys.exit("the pass did not install the release from %s:\n%s" % (site, output[-2000:]))
    return seconds, fetched(args)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ub.root, "build", "release"))
    parser.add_argument("--rounds", type=int, default=3, help="rounds of the first install (default 3)")
    args = parser.parse_args()
    if args.rounds < 1:
        parser.error("--rounds must be at least 1")
    pki = ub.prepare(args, "chunk_pass_bench")
    work = tempfile.mkdtemp(prefix="tolvane-chunk-bench-")
    nginx = None
    try:
        key, docroot = ub.signing_key(args, work, publish), os.path.join(work, "docroot")
        rng = random.Random(28)
        v1 = {name: rng.randbytes(48 * MiB) for name in PACKS}
        v1.update({name: rng.randbytes(64 << 10) for name in SMALL})
        v2 = dict(v1)
        for name in PACKS:
            data = bytearray(v1[name])
            for place in range(16):
                at = place * 3 * MiB + rng.randrange(MiB)
                data[at:at + (64 << 10)] = rng.randbytes(64 << 10)
            v2[name] = bytes(data)
        sites = {name: os.path.join(docroot, name) for name in ("v1", "v1-whole", "v2", "v2-whole", "v2-cut")}
        publish_site(key, os.path.join(work, "release1"), v1, "1", sites["v1"], True)
        without_chunks(sites["v1"], sites["v1-whole"])
        laid1 = chunks_of(sites["v1"], v1)
        shutil.copytree(sites["v1"], sites["v2"])
        publish_site(key, os.path.join(work, "release2"), v2, "2", sites["v2"], False)
        without_chunks(sites["v2"], sites["v2-whole"])
        laid2 = chunks_of(sites["v2"], v2)
        changed = {sha: length for sha, length in laid2.items() if sha not in laid1}
        shutil.copytree(sites["v2"], sites["v2-cut"])
        cut = list(changed)[-1]  # the last changed chunk of the last pack: nothing after it is missing
        os.remove(os.path.join(sites["v2-cut"], "TolvaneChunks", cut[:2], cut))
        nginx = ts.Nginx(docroot, pki).start()
        args.url, args.fetched = nginx.url, pin_bench.Fetched(nginx)
        first = {"chunked": [], "whole": []}
        for turn in range(args.rounds):
            for way, site in (("chunked", "v1"), ("whole", "v1-whole")):
                folder = os.path.join(work, "player-%s-%d" % (way, turn))
                first[way].append(run(args, site, folder)[0])
                shutil.rmtree(folder)
        folder = os.path.join(work, "player-patch")
        run(args, "v1", folder)
        patch_seconds, patch_bytes = run(args, "v2", folder)
        folder = os.path.join(work, "player-patch-whole")
        run(args, "v1-whole", folder)
        patch_whole_seconds, patch_whole_bytes = run(args, "v2-whole", folder)
        folder = os.path.join(work, "player-retry")
        run(args, "v1", folder)
        logged = []
        run(args, "v2-cut", folder, logged)
        if len(logged) != 1:
            sys.exit("the cut pass did not log one line:\n" + "\n".join(logged))
        _, retry_bytes = run(args, "v2", folder)
    finally:
        if nginx:
            nginx.stop()
        shutil.rmtree(work, ignore_errors=True)
    chunked, whole = statistics.median(first["chunked"]), statistics.median(first["whole"])
    print("first install, median of %d: chunked %.2f s, whole %.2f s; ratio %.2f (goal at most 1.10)"
          % (args.rounds, chunked, whole, chunked / whole))
    changed_bytes = sum(changed.values())
    print("scattered patch: %d bytes fetched for %d changed chunks of %d bytes; ratio %.3f (%.1f s)"
          % (patch_bytes, len(changed), changed_bytes, patch_bytes / changed_bytes, patch_seconds))
    print("the same patch fetched whole: %d bytes (%.1f s); chunked / whole: bytes %.3f, time %.2f"
          % (patch_whole_bytes, patch_whole_seconds, patch_bytes / patch_whole_bytes,
             patch_seconds / patch_whole_seconds))
    print("retry after a cut: %d bytes fetched, %d missing; ratio %.3f"
          % (retry_bytes, changed[cut], retry_bytes / changed[cut]))


if __name__ == "__main__":
    main()

"""The data of pin_bench.py: a release of 10,000 files and its later versions, the sites that
serve each version with its list written without and with content fields, and player folders.

Versions share their unchanged files through hard links, and each site reaches its version's
files through symbolic links, so five versions cost little more disk than one.
"""
import filecmp
import hashlib
import math
import os
import random
import shutil

FILES, BIG_FILES = 10_000, 50
CHANGED = 100  # files changed by each bump
VERSIONS = 5
FORMS = ("plain", "pinned")  # lists without fields, and with size and sha256 on every line
BUMPS = ((1, 2), (4, 5))  # the timed passes: from one version to another
SMALL_RANGE = (4 * 1024, 64 * 1024)
BIG_RANGE = (256 * 1024, 1024 * 1024)
FOLDERS = ["bin", "data\\audio\\music", "data\\audio\\voice", "data\\audio\\effects", "data\\fonts",
           "data\\maps", "data\\models\\props", "data\\models\\characters", "data\\models\\vehicles",
           "data\\scripts", "data\\shaders", "data\\textures\\ui", "data\\textures\\terrain",
           "data\\textures\\characters", "data\\textures\\props", "data\\video", "locale\\en",
           "locale\\de", "locale\\fr", "plugins"]
TOP_LEVELS = sorted({folder.split("\\")[0] for folder in FOLDERS})


def local(root, relative):
    return os.path.join(root, *relative.split("\\"))


def log_uniform(rng, low, high):
    return int(math.exp(rng.uniform(math.log(low), math.log(high))))


class Release:
    """Version 1 and the bumps after it: each bump changes CHANGED files not changed before,
    half of them keeping their size. Made under store/v1 .. store/vN."""

    def __init__(self, store, files=FILES, seed=1):
        rng = random.Random(seed)
        self.store = store
        self.names = ["%s\\file%05d.%s" % (FOLDERS[i % len(FOLDERS)], i, ("bin", "dat", "pak")[i % 3])
                      for i in range(files)]
        big = set(rng.sample(range(files), BIG_FILES * files // FILES))
        sizes = {name: log_uniform(rng, *(BIG_RANGE if i in big else SMALL_RANGE))
                 for i, name in enumerate(self.names)}
        self.files = [dict(sizes)]  # per version: name -> size
        self.hashes = [{}]
        self.changed = [set()]  # per version: names changed by the bump to it
        for name in self.names:
            self.hashes[0][name] = self._write(1, name, sizes[name])
        untouched = list(self.names)
        for version in range(2, VERSIONS + 1):
            bump = set(rng.sample(untouched, CHANGED))
            untouched = [name for name in untouched if name not in bump]
            self._link_tree(version)
            sizes, hashes = dict(self.files[-1]), dict(self.hashes[-1])
            for i, name in enumerate(sorted(bump)):
                if i % 2:
                    sizes[name] = log_uniform(rng, *SMALL_RANGE)
                os.remove(local(self.folder(version), name))
                hashes[name] = self._write(version, name, sizes[name])
            self.files.append(sizes)
            self.hashes.append(hashes)
            self.changed.append(bump)

    def folder(self, version):
        return os.path.join(self.store, "v%d" % version)

    def _write(self, version, name, size):
        path = local(self.folder(version), name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        data = os.urandom(size)
        with open(path, "wb") as f:
            f.write(data)
        return hashlib.sha256(data).hexdigest()

    def _link_tree(self, version):
        for name in self.names:
            target = local(self.folder(version), name)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            os.link(local(self.folder(version - 1), name), target)

    def size(self, version, name):
        return self.files[version - 1][name]

    def total(self, version):
        return sum(self.files[version - 1].values())

    def changed_bytes(self, version):
        return sum(self.size(version, name) for name in self.changed[version - 1])

    def ever_changed(self, version):
        """The files today's publisher marks "{rw}" in this version."""
        return set().union(*self.changed[:version])

    def list_text(self, version, pinned, rewrite=True, version_text=None):
        """The list of a version: without fields, the changed files marked "{rw}" (rewrite),
        as today's publisher writes it; pinned, with size and sha256 on every file line."""
        marked = self.ever_changed(version) if rewrite else set()
        lines = ["Version = %s;{d}" % (version_text or version)]
        for name in self.names:
            line = name + (";{rw}" if name in marked else "")
            if pinned:
                line += ";size=%d;sha256=%s" % (self.size(version, name), self.hashes[version - 1][name])
            lines.append(line)
        return "".join(line + "\r\n" for line in lines).encode()

    def site(self, docroot, site, version, list_bytes):
        """docroot/site/AppGameUpload serving the version's files and the list."""
        upload = os.path.join(docroot, site, "AppGameUpload")
        os.makedirs(upload)
        for top in TOP_LEVELS:
            os.symlink(os.path.join(self.folder(version), top), os.path.join(upload, top))
        with open(os.path.join(upload, "uploadfile.uda"), "wb") as f:
            f.write(list_bytes)
        return os.path.join(upload, "uploadfile.uda")

    def differences(self, player, version):
        """The listed files of player that are missing or differ from the version's."""
        return [name for name in self.names
                if not os.path.isfile(local(player, name))
                or not filecmp.cmp(local(player, name), local(self.folder(version), name), shallow=False)]


def copy_player(source, target):
    """A copy of a player folder whose files are hard links: the engine replaces a file by
    renaming a new one over it, which leaves the source alone. update\\ is copied for real,
    as the engine rewrites update.info in place."""
    shutil.copytree(source, target, copy_function=os.link, ignore=shutil.ignore_patterns("update"))
    if os.path.isdir(os.path.join(source, "update")):
        shutil.copytree(os.path.join(source, "update"), os.path.join(target, "update"))


def set_record(player, first_line):
    """Makes the player's recorded version first_line (so a pass reads every line again)."""
    os.makedirs(os.path.join(player, "update"), exist_ok=True)
    with open(os.path.join(player, "update", "update.info"), "wb") as f:
        f.write(first_line.encode())

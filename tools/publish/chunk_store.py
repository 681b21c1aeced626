"""The site's chunk store, TolvaneChunks/ beside AppGameUpload/: each chunk of a big release file
once, at <first 2 hex>/<its SHA-256>, and each big file's chunk index at index/<the file's
SHA-256>. A chunk's name is its content, so its URL's bytes never change and a CDN may cache it
for ever.

The host may have planted anything here, so nothing is taken on its name: a chunk or index a
publication uses is reused only when it is a real file (no link, through real folders) whose
bytes are hashed again and match (a chunk) or equal what this publication writes (an index);
anything else is written anew. New files go to a stage folder first and are moved in before the
list; what no kept release (release_history.py) names goes only once the new list is in place, so
that the last few releases can still be served."""
import os
import pathlib
import stat

import durable_file
from name_rules import TEMPORARY_ENDING
from publication import Refused
from upload_folder import is_real, make_way, remove

FOLDER = "TolvaneChunks"
INDEX_FOLDER = "index"
SHA256 = frozenset("0123456789abcdef")


def chunk_name(sha256):
    """A chunk's path in the store, as parts: <first 2 hex>/<sha256>."""
    return (sha256[:2], sha256)


def index_name(file_sha256):
    return (INDEX_FOLDER, file_sha256)


def is_hash(text):
    return isinstance(text, str) and len(text) == 64 and set(text) <= SHA256


def real_file(store, parts):
    """The file at parts under the store when it and every folder above it are real, else None."""
    folders = [store.joinpath(*parts[:end]) for end in range(len(parts))]
    target = store.joinpath(*parts)
    return target if all(is_real(f, stat.S_ISDIR) for f in folders) and is_real(target, stat.S_ISREG) else None


def holds_chunk(store, sha256, length):
    found = real_file(store, chunk_name(sha256))
    return bool(found) and found.stat().st_size == length and durable_file.hash_of(found) == sha256


def holds_index(store, file_sha256, data):
    found = real_file(store, index_name(file_sha256))
    return bool(found) and found.stat().st_size == len(data) and found.read_bytes() == data


def stage_folder(site, folder=FOLDER):
    return site / (folder + TEMPORARY_ENDING)


def stage_pieces(site, pieces, sources, folder=FOLDER, what="the chunk store"):
    """Stages each piece [(list path, offset, length, sha256)] of the release's files that the
    store folder lacks, copied from its file and hashed again on the way. Returns the staged
    [(parts, staged file)] for move_in() and the hashes staged; on a failure the stage goes."""
    store, staging = site / folder, stage_folder(site, folder)
    remove(staging)  # left by a publication that was stopped
    staging.mkdir(parents=True)
    staged, seen = [], set()
    try:
        for path, offset, length, sha256 in pieces:
            if sha256 in seen or holds_chunk(store, sha256, length):
                continue
            seen.add(sha256)
            target = staging / str(len(staged))
            if durable_file.copy_synced(sources[path], target, offset, length) != sha256:
                raise Refused(f"{sources[path]}: changed while it was published; the site is as it was")
            staged.append((chunk_name(sha256), target))
    except OSError as error:
        remove(staging)
        raise Refused(f"{error.filename}: cannot be copied into {what} ({error.strerror}); the site "
                      "is as it was") from None
    except Refused:
        remove(staging)
        raise
    return staged, seen


def stage(site, scans, sources):
    """Stages every chunk and index of the big files ({list path: native_chunker.Scan}) that the
    store lacks. Returns the staged [(parts, staged file)], chunks before indexes, for move_in();
    on a failure the stage goes and the site is as it was."""
    pieces = [(path, *chunk) for path, scan in sorted(scans.items()) for chunk in scan.chunks]
    staged, seen = stage_pieces(site, pieces, sources)
    store, staging = site / FOLDER, stage_folder(site)
    try:
        for path, scan in sorted(scans.items()):
            if scan.sha256 not in seen and not holds_index(store, scan.sha256, scan.index):
                seen.add(scan.sha256)
                target = staging / str(len(staged))
                durable_file.write_synced(target, scan.index)
                staged.append((index_name(scan.sha256), target))
    except OSError as error:
        remove(staging)
        raise Refused(f"{error.filename}: cannot be copied into the chunk store ({error.strerror}); the site "
                      "is as it was") from None
    if not staged:
        staging.rmdir()
    return staged


def move_in(site, staged, folder=FOLDER):
    """Moves the staged pieces, then the indexes that name them, into the store folder."""
    if not staged:
        return
    store = site / folder
    if not is_real(store, stat.S_ISDIR):
        remove(store)
        store.mkdir()
    for parts, staged_file in staged:
        durable_file.replace_durably(staged_file, make_way(store, parts))
    stage_folder(site, folder).rmdir()


def prune(site, kept, folder=FOLDER):
    """Keeps the store folder to the pieces of kept ({parts: size}), removing anything else (links
    never followed) and any kept file whose size is not the recorded one."""
    store = site / folder
    if not is_real(store, stat.S_ISDIR):
        remove(store)  # a link or file the host put there
        return
    for root, folders, names in os.walk(store, topdown=False):
        for name in names + folders:
            path = pathlib.Path(root) / name
            parts = path.relative_to(store).parts
            if is_real(path, stat.S_ISDIR):
                if not any(path.iterdir()):
                    path.rmdir()
            elif not (is_real(path, stat.S_ISREG) and kept.get(parts) == path.stat().st_size):
                path.unlink()

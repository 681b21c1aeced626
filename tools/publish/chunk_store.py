"""The site's chunk store, TolvaneChunks/ beside AppGameUpload/: each chunk of a big release file
once, at <first 2 hex>/<its SHA-256>, and each big file's chunk index at index/<the file's
SHA-256>. A chunk's name is its content, so its URL's bytes never change and a CDN may cache it
for ever.

The host may have planted anything here, so nothing is taken on its name: a chunk or index a
publication uses is reused only when it is a real file (no link, through real folders) whose
bytes are hashed again and match (a chunk) or equal what this publication writes (an index);
anything else is written anew. New files go to a stage folder first and are moved in before the
list; what no publication of the record (releases.json) names goes only once the new list is in
place, so that the last few releases can still be served."""
import json
import os
import pathlib
import stat

import durable_file
from name_rules import TEMPORARY_ENDING
from publication import Refused
from upload_folder import is_real, make_way, remove

FOLDER = "TolvaneChunks"
INDEX_FOLDER = "index"
HISTORY_NAME = "releases.json"
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


def stage_folder(site):
    return site / (FOLDER + TEMPORARY_ENDING)


def stage(site, scans, sources):
    """Stages every chunk and index of the big files ({list path: native_chunker.Scan}) that the
    store lacks, each chunk copied from its file and hashed again on the way. Returns the staged
    [(parts, staged file)], chunks before indexes, for move_in(); on a failure the stage goes and
    the site is as it was."""
    store, staging = site / FOLDER, stage_folder(site)
    remove(staging)  # left by a publication that was stopped
    staging.mkdir(parents=True)
    staged, seen = [], set()
    try:
        for path, scan in sorted(scans.items()):
            for offset, length, sha256 in scan.chunks:
                if sha256 in seen or holds_chunk(store, sha256, length):
                    continue
                seen.add(sha256)
                target = staging / str(len(staged))
                if durable_file.copy_synced(sources[path], target, offset, length) != sha256:
                    raise Refused(f"{sources[path]}: changed while it was published; the site is as it was")
                staged.append((chunk_name(sha256), target))
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
    except Refused:
        remove(staging)
        raise
    if not staged:
        staging.rmdir()
    return staged


def move_in(site, staged):
    """Moves the staged chunks, then the indexes that name them, into the store."""
    if not staged:
        return
    store = site / FOLDER
    if not is_real(store, stat.S_ISDIR):
        remove(store)
        store.mkdir()
    for parts, staged_file in staged:
        durable_file.replace_durably(staged_file, make_way(store, parts))
    stage_folder(site).rmdir()


def release_entry(version, scans):
    """What one publication takes from the store: {"version", "indexes": {file sha256: index
    size}, "chunks": {sha256: length}}."""
    return {"version": version, "indexes": {s.sha256: len(s.index) for s in scans.values()},
            "chunks": {sha256: length for s in scans.values() for _, length, sha256 in s.chunks}}


def read_history(site):
    """The publications the store serves, oldest first ([] without a record). A record that is not
    this tool's is refused: pruning by it could take an earlier release's chunks away."""
    path = site / HISTORY_NAME
    if not os.path.lexists(path):
        return []
    try:
        if not is_real(path, stat.S_ISREG):
            raise ValueError("not a file")
        read = json.loads(path.read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        raise Refused(f"{path}: not a readable record of the chunk store ({error}); remove it, and the chunks "
                      "of earlier releases go at the next publication")
    sized = lambda table: isinstance(table, dict) and all(  # noqa: E731
        is_hash(k) and type(v) is int and v >= 0 for k, v in table.items())
    if not (isinstance(read, list) and all(
            isinstance(e, dict) and isinstance(e.get("version"), str) and sized(e.get("indexes"))
            and sized(e.get("chunks")) for e in read)):
        raise Refused(f"{path}: not a record of the chunk store (its fields are not this tool's); remove it, and "
                      "the chunks of earlier releases go at the next publication")
    return read


def write_history(site, history):
    durable_file.write_atomically(site / HISTORY_NAME, json.dumps(history, indent=0, sort_keys=True).encode())


def prune(site, history, keep):
    """Keeps the store to what the last `keep` publications name, removing anything else (links
    never followed) and any kept file whose size is not the recorded one, then the record to them."""
    history = history[-keep:]
    kept = {}
    for entry in history:
        kept.update({chunk_name(sha): size for sha, size in entry["chunks"].items()})
        kept.update({index_name(sha): size for sha, size in entry["indexes"].items()})
    store = site / FOLDER
    if not is_real(store, stat.S_ISDIR):
        remove(store)  # a link or file the host put there
    else:
        for root, folders, names in os.walk(store, topdown=False):
            for name in names + folders:
                path = pathlib.Path(root) / name
                parts = path.relative_to(store).parts
                if is_real(path, stat.S_ISDIR):
                    if not any(path.iterdir()):
                        path.rmdir()
                elif not (is_real(path, stat.S_ISREG) and kept.get(parts) == path.stat().st_size):
                    path.unlink()
    write_history(site, history)
    return history

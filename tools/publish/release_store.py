"""The site's file store, TolvaneStore/<first 2 hex>/<sha256>: each release file below the chunk
threshold once, named by its content, so that the files of earlier releases are still on the
site when a channel serves one again (big files are kept as chunks, chunk_store.py). And the
filling of a channel's folder from the site's own copies (promote, rollback), every byte checked
against the SHA-256 of a verified list: the host may have changed or planted any of them."""
import hashlib
import stat

import chunk_store
import upload_folder
from chunk_store import chunk_name, index_name, real_file

FOLDER = "TolvaneStore"
# No index a launcher takes is this long: one for a 4 TiB file is smaller.
INDEX_LIMIT = 64 << 20


def stage(site, contents, sources, scans):
    """Stages the release's files below the threshold (those not in scans) that the store lacks.
    Returns the staged pieces, for chunk_store.move_in(site, staged, FOLDER), and {sha256: size}
    of every file the store serves for the release."""
    small = {path: c for path, c in contents.items() if path not in scans}
    pieces = [(path, 0, c["size"], c["sha256"]) for path, c in sorted(small.items())]
    staged, _ = chunk_store.stage_pieces(site, pieces, sources, FOLDER, "the file store")
    if not staged:
        chunk_store.stage_folder(site, FOLDER).rmdir()
    return staged, {c["sha256"]: c["size"] for c in small.values()}


def chunk_list(index, size):
    """[(length, sha256)] of an index that describes a file of size bytes whole, else None."""
    try:
        lines = index.decode("ascii").split("\n")
    except UnicodeDecodeError:
        return None
    chunks, at = [], 0
    for text in lines[1:]:
        fields = text.split(" ")
        if text == "":
            continue
        if len(fields) != 3 or fields[0] != str(at) or not fields[1].isdigit() or not chunk_store.is_hash(fields[2]):
            return None
        chunks.append((int(fields[1]), fields[2]))
        at += int(fields[1])
    return chunks if at == size else None


def from_chunks(site, sha256, size):
    """A source for upload_folder.stage_changes that builds a big file from the site's chunks:
    the SHA-256 of what it wrote, or "" when the index or a chunk is not what it must be."""
    def build(target):
        store = site / chunk_store.FOLDER
        index = real_file(store, index_name(sha256))
        if index is None or index.stat().st_size > INDEX_LIMIT:
            return ""
        chunks = chunk_list(index.read_bytes(), size)
        whole = hashlib.sha256()
        with open(target, "wb") as writer:
            for length, chunk in chunks or []:
                found = real_file(store, chunk_name(chunk))
                data = found.read_bytes() if found and found.stat().st_size == length else b""
                if hashlib.sha256(data).hexdigest() != chunk:
                    return ""
                whole.update(data)
                writer.write(data)
        return whole.hexdigest() if chunks is not None else ""
    return build


def copies(site, files, folders):
    """{list path: [sources to try]} for a release's files ({path: {"sha256", "size"}}): the file
    store's copy, the file built from chunks, and the file at its path in each of the site's
    folders given (the channels' folders), each only when it is a real file through real folders."""
    sources = {}
    for path, content in files.items():
        found = [real_file(site / FOLDER, chunk_name(content["sha256"]))]
        found += [real_file(site.joinpath(*folder.split("/")), tuple(path.split("\\"))) for folder in folders]
        sources[path] = [f for f in found if f is not None] + [from_chunks(site, content["sha256"], content["size"])]
    return sources


def bytes_under(folder):
    """The bytes of the real files below a folder (links not followed): what it costs the host."""
    if not upload_folder.is_real(folder, stat.S_ISDIR):
        return 0
    return sum(p.lstat().st_size for p in folder.rglob("*") if upload_folder.is_real(p, stat.S_ISREG))

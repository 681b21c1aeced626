"""The record of the site's publications, releases.json (the studio's; never served): for each,
oldest first, its channel, kind (publish, promote, rollback, widen, halt, resign), version and
serial, and the pieces of the site it needs: chunks and indexes (TolvaneChunks/), files of the
file store (TolvaneStore/). Each signed list is also kept as it was signed, in
TolvaneLists/<channel>/<serial>.uda, so that a rollback takes its lines from a list that
verifies with the key, never from this record, which lies on the host. What none of the last
--keep releases of any channel needs goes once the new list is in place."""
import json
import os
import stat

import channels
import chunk_store
import durable_file
import release_store
from publication import Refused
from upload_folder import is_real, real_folder, remove

NAME = "releases.json"
LISTS_FOLDER = "TolvaneLists"
KINDS = ("publish", "promote", "rollback", "widen", "halt", "resign")


def entry(channel, kind, version, serial, pieces):
    """One publication's entry; pieces: {"indexes", "chunks", "files"}, each {sha256: size}."""
    return {"channel": channel, "kind": kind, "version": version, "serial": serial, **pieces}


def pieces_for(history, channel, version):
    """{"indexes", "chunks", "files"} of every publication of that version to that channel: what
    serving it again needs."""
    pieces = {name: {} for name in ("indexes", "chunks", "files")}
    for e in history:
        if (e["channel"], e["version"]) == (channel, version):
            for name, table in pieces.items():
                table.update(e.get(name, {}))
    return pieces


def read(site):
    """The publications, oldest first ([] without a record); an entry from before channels is a
    publication to stable. A record that is not this tool's is refused: pruning by it could take
    an earlier release's pieces away."""
    path = site / NAME
    if not os.path.lexists(path):
        return []
    try:
        if not is_real(path, stat.S_ISREG):
            raise ValueError("not a file")
        entries = json.loads(path.read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        raise Refused(f"{path}: not a readable record of the chunk store ({error}); remove it, and the chunks "
                      "of earlier releases go at the next publication")
    sized = lambda table: isinstance(table, dict) and all(  # noqa: E731
        chunk_store.is_hash(k) and type(v) is int and v >= 0 for k, v in table.items())
    if not (isinstance(entries, list) and all(
            isinstance(e, dict) and isinstance(e.get("version"), str) and sized(e.get("indexes"))
            and sized(e.get("chunks")) and sized(e.get("files", {})) and e.get("kind", "publish") in KINDS
            and channels.canonical(e.get("channel", channels.STABLE)) == e.get("channel", channels.STABLE)
            and (e.get("serial") is None or type(e.get("serial")) is int) for e in entries)):
        raise Refused(f"{path}: not a record of the chunk store (its fields are not this tool's); remove it, and "
                      "the chunks of earlier releases go at the next publication")
    return [dict(e, channel=e.get("channel", channels.STABLE), kind=e.get("kind", "publish")) for e in entries]


def write(site, history):
    durable_file.write_atomically(site / NAME, json.dumps(history, indent=0, sort_keys=True).encode())


def kept_list_path(site, channel, serial):
    return site / LISTS_FOLDER / channel / f"{serial}.uda"


def keep_list(site, channel, serial, data):
    """Keeps a signed list as it was signed (through real folders: the host may plant links)."""
    durable_file.write_atomically(real_folder(site, [LISTS_FOLDER, channel]) / f"{serial}.uda", data)


def kept(history, keep):
    """The entries of the last `keep` versions of each channel, in the record's order."""
    versions = {}
    for e in reversed(history):
        found = versions.setdefault(e["channel"], [])
        if e["version"] not in found and len(found) < keep:
            found.append(e["version"])
    return [e for e in history if e["version"] in versions[e["channel"]]]


def versions_kept(history, channel, keep):
    """The versions of the channel that a rollback can serve again, newest first."""
    found = []
    for e in reversed(kept(history, keep)):
        if e["channel"] == channel and e.get("serial") and e["version"] not in found:
            found.append(e["version"])
    return found


def prune(site, history, keep):
    """Keeps the record, the chunk store, the file store and the kept lists to the last `keep`
    releases of each channel, removing anything else there (links never followed)."""
    history = kept(history, keep)
    chunks, files, lists = {}, {}, set()
    for e in history:
        chunks.update({chunk_store.chunk_name(sha): size for sha, size in e["chunks"].items()})
        chunks.update({chunk_store.index_name(sha): size for sha, size in e["indexes"].items()})
        files.update({chunk_store.chunk_name(sha): size for sha, size in e.get("files", {}).items()})
        lists.add((e["channel"], f"{e['serial']}.uda"))
    chunk_store.prune(site, chunks)
    chunk_store.prune(site, files, release_store.FOLDER)
    folder = site / LISTS_FOLDER
    if os.path.lexists(folder) and not is_real(folder, stat.S_ISDIR):
        remove(folder)
    for channel_folder in (folder.iterdir() if is_real(folder, stat.S_ISDIR) else []):
        for path in (channel_folder.iterdir() if is_real(channel_folder, stat.S_ISDIR) else [channel_folder]):
            if (channel_folder.name, path.name) not in lists or not is_real(path, stat.S_ISREG):
                remove(path)
        if is_real(channel_folder, stat.S_ISDIR) and not any(channel_folder.iterdir()):
            channel_folder.rmdir()
    write(site, history)
    return history

"""A release brought into one channel's folder of the site: everything staged first (chunks,
the file store, the channel's files), so that a failure leaves the site as it was; then moved
in, the record of publications written, the signed list kept, and the channel's list written
last, so that a server read meanwhile never lists a file it lacks; what no kept release needs
goes only after that."""
import channels
import chunk_store
import durable_file
import release_history
import release_store
import upload_folder
from typing import NamedTuple


class Staged(NamedTuple):
    chunks: list  # for chunk_store.move_in
    files: list  # for chunk_store.move_in into the file store
    changed: list  # for upload_folder.move_in
    contents: dict  # {list path: {"sha256", "size"}} of the release


def stage(site, channel, contents, sources, scans=None, store=False):
    """Stages the release ({list path: content}, {list path: source or [sources]}): its big files'
    chunks (scans: {path: native_chunker.Scan}), with store its other files into the file store,
    and what the channel's folder lacks. Returns (Staged, {sha256: size} of the stored files)."""
    scans = scans or {}
    chunks = chunk_store.stage(site, scans, sources)
    staged_files, stored = [], {}
    try:
        if store:
            staged_files, stored = release_store.stage(site, contents, sources, scans)
        changed = upload_folder.stage(site, contents, sources, channels.folder_name(channel))
    except BaseException:
        discard(site, channel, upload=False)
        raise
    return Staged(chunks, staged_files, changed, contents), stored


def discard(site, channel, upload=True):
    """Removes what stage() staged: the site is then as it was."""
    upload_folder.remove(chunk_store.stage_folder(site))
    upload_folder.remove(chunk_store.stage_folder(site, release_store.FOLDER))
    if upload:
        upload_folder.remove(upload_folder.stage_folder(site, channels.folder_name(channel)))


def land(site, channel, staged, data, history, entry, keep):
    """Moves the staged release in (None: the list changes alone) and writes the channel's list
    (data); entry, when given, is recorded first (and the signed list kept beside it), then the
    stores pruned to the last keep releases of each channel. Returns the history as kept."""
    if staged is not None:
        chunk_store.move_in(site, staged.chunks)
        chunk_store.move_in(site, staged.files, release_store.FOLDER)
        upload_folder.move_in(site, staged.contents, staged.changed, channels.folder_name(channel))
    if entry is not None:
        # Recorded before the list, so that a stop after it never loses the pieces the list needs.
        history = history + [entry]
        release_history.write(site, history)
        if entry["serial"] is not None:
            release_history.keep_list(site, channel, entry["serial"], data)
    durable_file.write_atomically(channels.list_path(site, channel), data)
    return history if entry is None else release_history.prune(site, history, keep)

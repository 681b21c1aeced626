"""Whole-file writes that a crash or power loss cannot leave half done: the bytes go to a
temporary beside the file, reach the disk, and are renamed over it; the rename then reaches the
disk too. A temporary ends like the launcher's downloads (.tolvane-part), a name no release may
hold, so it never meets a file of the site."""
import hashlib
import os

from name_rules import TEMPORARY_ENDING


def temporary_of(path):
    return path.with_name(path.name + TEMPORARY_ENDING)


def write_synced(path, data, mode=0o666):
    """Writes a new file (one there before is removed first, so the mode holds) and flushes it
    to disk; mode is further narrowed by the umask."""
    path.unlink(missing_ok=True)
    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)
    with os.fdopen(descriptor, "wb") as file:
        file.write(data)
        file.flush()
        os.fsync(file.fileno())


BLOCK = 1 << 20


def copy_synced(source, path, offset=0, length=None):
    """Writes the source file's bytes [offset, offset + length) (to its end without a length) to a
    new file at path, a block at a time, and flushes it to disk. Returns the SHA-256 (hex) of the
    bytes written, for the caller to judge: the source may have changed since it was read."""
    digest = hashlib.sha256()
    path.unlink(missing_ok=True)
    with open(source, "rb") as reader, open(path, "xb") as writer:
        reader.seek(offset)
        left = length
        while left is None or left > 0:
            block = reader.read(BLOCK if left is None else min(BLOCK, left))
            if not block:
                break
            digest.update(block)
            writer.write(block)
            left = None if left is None else left - len(block)
        writer.flush()
        os.fsync(writer.fileno())
    return digest.hexdigest()


def hash_of(path):
    """The SHA-256 (hex) of a file, read a block at a time."""
    with open(path, "rb") as file:
        return hashlib.file_digest(file, "sha256").hexdigest()


def sync_folder(folder):
    descriptor = os.open(folder, os.O_RDONLY)
    try:
        os.fsync(descriptor)
    finally:
        os.close(descriptor)


def replace_durably(temporary, path):
    """Renames a complete file over path, once its bytes are on disk, and flushes the folder."""
    with open(temporary, "rb") as file:
        os.fsync(file.fileno())
    os.replace(temporary, path)
    sync_folder(path.parent)


def write_atomically(path, data, mode=0o666):
    """Replaces path with data: a reader, or a crash at any moment, sees the old file or the new."""
    temporary = temporary_of(path)
    try:
        write_synced(temporary, data, mode)
        replace_durably(temporary, path)
    finally:
        temporary.unlink(missing_ok=True)

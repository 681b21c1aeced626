"""The site folder's files: a release copied into AppGameUpload/, its big files' chunks into
TolvaneChunks/ (chunk_store.py), the list written last, and publication.json, the record that
the next unsigned publication compares with (a signed one compares with the site's verified list
instead, see site_trust.py)."""
import json
import os
import pathlib

import channels
import chunk_store
import durable_file
import list_signing
import native_chunker
import publication
import release_history
import rollout
import serial_record
import site_landing
import site_trust
from publication import Refused

RECORD_NAME = "publication.json"
DEFAULT_CHUNK_THRESHOLD = 8 << 20
DEFAULT_KEEP = 5


def read_release(folder, threshold=DEFAULT_CHUNK_THRESHOLD):
    """{backslash path: {"sha256", "size"}}, {backslash path: file} of every file below the
    folder, and {backslash path: native_chunker.Scan} of those of at least threshold bytes, each
    read once, a block at a time. A folder that cannot be read, a link to a folder (which would
    be passed over) and anything that is neither a file nor a folder are refused."""
    contents, sources, scans = {}, {}, {}

    def refuse(error):
        raise Refused(f"{error.filename}: the release folder cannot be read ({error.strerror})")

    for root, dirs, names in os.walk(folder, onerror=refuse):
        dirs.sort()
        for name in sorted(dirs + names):
            source = pathlib.Path(root) / name
            if source.is_symlink() and source.is_dir():
                raise Refused(f"{source}: a link to a folder; put the folder itself into the release")
            if name in dirs:
                continue
            if not source.is_file():
                raise Refused(f"{source}: neither a file nor a folder")
            path = publication.relative_name(source.relative_to(folder).parts)
            try:
                if source.stat().st_size >= threshold:
                    scans[path] = native_chunker.scan(source)
                    contents[path] = {"sha256": scans[path].sha256, "size": scans[path].size}
                else:
                    contents[path] = {"sha256": durable_file.hash_of(source), "size": source.stat().st_size}
            except OSError as error:
                raise Refused(f"{source}: cannot be read ({error.strerror})")
            sources[path] = source
    return contents, sources, scans


def holds_big_file(folder, threshold):
    """True when a file below the folder (links not followed) has at least threshold bytes."""
    def size(path):
        try:
            return path.stat().st_size
        except OSError:
            return 0  # read_release says why
    return any(size(pathlib.Path(root) / name) >= threshold for root, _, names in os.walk(folder) for name in names)


def check_threshold(threshold):
    """Refuses a threshold at or below the largest chunk: a launcher asks for an index only for a
    file larger than that."""
    largest = native_chunker.sizes()[2]
    if threshold <= largest:
        raise Refused(f"--chunk-threshold {threshold}: files are chunked only above the largest chunk, "
                      f"{largest} bytes; give more")


def read_baseline(site):
    """The record of the last publication, for unsigned (development) publications only: the
    site lives on the host, so a signed publication never takes names or hashes from it."""
    record = site / RECORD_NAME
    if not record.exists():
        return None
    try:
        read = json.loads(record.read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        raise Refused(f"{record}: not a readable earlier publication ({error})")
    entry = {"sha256": str, "size": int}
    valid = (isinstance(read, dict) and isinstance(read.get("version"), str)
             and isinstance(read.get("version_line", ""), str) and isinstance(read.get("removed"), list)
             and all(isinstance(path, str) for path in read["removed"]) and isinstance(read.get("files"), dict)
             and all(isinstance(e, dict) and all(type(e.get(k)) is v for k, v in entry.items())
                     for e in read["files"].values()))
    if not valid:
        raise Refused(f"{record}: not an earlier publication's record (its fields are not this tool's)")
    return read


def read_list(site, channel=channels.STABLE):
    """The bytes and lines of the channel's list in the site; b"" and [] without one."""
    path = channels.list_path(site, channel)
    if not path.exists():
        return b"", []
    data = path.read_bytes()
    try:
        lines = data.decode("ascii").split("\r\n")
    except UnicodeDecodeError:
        raise Refused(f"{path}: not a list this tool wrote (it holds bytes outside ASCII)")
    return data, lines[:-1] if lines[-1] == "" else lines


def write_record(site, record):
    durable_file.write_atomically(site / RECORD_NAME,
                                  json.dumps(record, indent=1, sort_keys=True).encode("utf-8"))


def sign(lines, signer, site_serial, release=None):
    """The signed list file for the signer's channel, with the release line of (percentage,
    salt) when given, under the next serial, which is recorded beside the key before anything in
    the site changes (a failed write afterwards costs a serial, never reuses one)."""
    serial = serial_record.next_serial(signer.key_path, signer.product, site_serial)
    data = list_signing.signed_list(lines, signer.key, serial, signer.expires, signer.product,
                                    channels.binding(signer.channel), release)
    serial_record.write(signer.key_path, signer.product, serial, signer.channel)
    return data, serial


def publish(release, version, site, signer=None, threshold=DEFAULT_CHUNK_THRESHOLD, keep=DEFAULT_KEEP,
            percent=None):
    """Publishes the release into the site, to the signer's channel, the list signed when a
    site_trust.Signer is given, to percent of the players (a new salt) when given and below 100,
    files of at least threshold bytes also as chunks and, signed, the others into the file store,
    which stay for the last keep releases of each channel. Returns the new record, the list's
    lines (less the serial, release and signature lines), the serial (None unsigned), the
    baseline's names left out because launchers refuse them, and the count of files chunked."""
    contents, sources, scans = read_release(release, threshold)
    history = release_history.read(site)
    channel = signer.channel if signer else channels.STABLE
    if signer is None:
        record, lines, dropped = publication.plan(contents, version, read_baseline(site))
        data, serial = publication.list_bytes(lines), None
    else:
        baseline, site_serial = site_trust.baseline(site, *read_list(site, channel), signer)
        record, lines, dropped = publication.plan(contents, version, baseline)
        data, serial = sign(lines, signer, site_serial,
                            (percent, rollout.new_salt()) if percent is not None and percent < 100 else None)
    staged, stored = site_landing.stage(site, channel, contents, sources, scans, store=signer is not None)
    pieces = {"indexes": {s.sha256: len(s.index) for s in scans.values()},
              "chunks": {sha256: length for s in scans.values() for _, length, sha256 in s.chunks}, "files": stored}
    # An unsigned site keeps a record only for its chunks, as before the file store.
    recorded = signer is not None or scans or history or os.path.lexists(site / chunk_store.FOLDER)
    site_landing.land(site, channel, staged, data, history,
                      release_history.entry(channel, "publish", version, serial, pieces) if recorded else None, keep)
    if channel == channels.STABLE:
        write_record(site, record)
    return record, lines, serial, dropped, len(scans)


def resign(site, signer, keep=DEFAULT_KEEP):
    """Signs the channel's list again with the same lines, release line and product, the next
    serial and a new expiry. Only a list that verifies under the key and is not older than the
    last serial it signed is renewed: signing whatever the web root holds would vouch for a list
    that someone changed or put back there. Returns the new serial and the list's product."""
    data, lines = read_list(site, signer.channel)
    if not data:
        raise Refused(f"{channels.list_path(site, signer.channel)} does not exist; publish a release first")
    fields = site_trust.verified(site, data, lines, signer, "Publish the release again with --key.")
    signer = signer._replace(product=fields["product"])
    site_trust.bound(site, fields, signer, "Publish the release again with --key.")
    own = list_signing.without_signing(lines)
    data, serial = sign(own, signer, fields["serial"], rollout.read(lines))
    history = release_history.read(site)
    version = publication.version_of(own)
    entry = release_history.entry(signer.channel, "resign", version, serial,
                                  release_history.pieces_for(history, signer.channel, version))
    site_landing.land(site, signer.channel, None, data, history, entry, keep)
    return serial, fields["product"]

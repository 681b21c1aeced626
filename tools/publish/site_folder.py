"""The site folder's files: a release copied into AppGameUpload/, the list written last, and
publication.json, the record that the next unsigned publication compares with (a signed one
compares with the site's verified list instead, see site_trust.py)."""
import json
import os
import pathlib

import list_signing
import publication
import serial_record
import site_trust
from publication import Refused

RECORD_NAME = "publication.json"


def read_release(folder):
    """{backslash path: {"sha256", "size"}} and {backslash path: file} of every file below the
    folder."""
    contents, sources = {}, {}
    for root, dirs, names in os.walk(folder):
        dirs.sort()
        for name in sorted(names):
            source = pathlib.Path(root) / name
            path = publication.relative_name(source.relative_to(folder).parts)
            data = source.read_bytes()
            contents[path] = {"sha256": publication.content_hash(data), "size": len(data)}
            sources[path] = source
    return contents, sources


def read_baseline(site):
    """The record of the last publication, for unsigned (development) publications only: the
    site lives on the host, so a signed publication never takes names or hashes from it."""
    record = site / RECORD_NAME
    if not record.exists():
        return None
    try:
        return json.loads(record.read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        raise Refused(f"{record}: not a readable earlier publication ({error})")


def list_path(site):
    return publication.list_path(site)


def read_list(site):
    """The bytes and lines of the list in the site; b"" and [] without one."""
    path = list_path(site)
    if not path.exists():
        return b"", []
    data = path.read_bytes()
    try:
        lines = data.decode("ascii").split("\r\n")
    except UnicodeDecodeError:
        raise Refused(f"{path}: not a list this tool wrote (it holds bytes outside ASCII)")
    return data, lines[:-1] if lines[-1] == "" else lines


def write_atomically(path, data):
    temporary = path.with_name(path.name + ".part")
    temporary.write_bytes(data)
    os.replace(temporary, path)


def write_record(site, record):
    write_atomically(site / RECORD_NAME, json.dumps(record, indent=1, sort_keys=True).encode("utf-8"))


def sign(lines, signer, site_serial):
    """The signed list file, under the next serial, which is recorded beside the key before
    anything in the site changes (a failed write afterwards costs a serial, never reuses one)."""
    serial = serial_record.next_serial(signer.key_path, signer.product, site_serial)
    data = list_signing.signed_list(lines, signer.key, serial, signer.expires, signer.product)
    serial_record.write(signer.key_path, signer.product, serial)
    return data, serial


def publish(release, version, site, signer=None):
    """Publishes the release into the site, the list signed when a site_trust.Signer is given.
    Returns the new record, the list's lines (less the serial and signature lines) and the
    serial (None unsigned)."""
    contents, sources = read_release(release)
    if signer is None:
        record, lines = publication.plan(contents, version, read_baseline(site))
        data, serial = publication.list_bytes(lines), None
    else:
        baseline, site_serial = site_trust.baseline(site, *read_list(site), signer)
        record, lines = publication.plan(contents, version, baseline)
        data, serial = sign(lines, signer, site_serial)

    upload = site / publication.UPLOAD_FOLDER
    upload.mkdir(parents=True, exist_ok=True)
    for path, source in sources.items():
        target = upload.joinpath(*path.split("\\"))
        target.parent.mkdir(parents=True, exist_ok=True)
        write_atomically(target, source.read_bytes())
    # Files no longer in the release leave the upload folder; their "{d}" lines stay listed.
    for stale in sorted(upload.rglob("*"), reverse=True):
        relative = publication.relative_name(stale.relative_to(upload).parts)
        if stale.is_file() and relative not in contents and relative != publication.LIST_NAME:
            stale.unlink()
        elif stale.is_dir() and not any(stale.iterdir()):
            stale.rmdir()
    # The list goes last: a server that is read meanwhile never lists a file it lacks.
    write_atomically(list_path(site), data)
    write_record(site, record)
    return record, lines, serial


def resign(site, signer):
    """Signs the site's list again with the same lines and product, the next serial and a new
    expiry. Only a list that verifies under the key and is not older than the last serial it
    signed is renewed: signing whatever the web root holds would vouch for a list that someone
    changed or put back there. Returns the new serial and the list's product."""
    data, lines = read_list(site)
    if not data:
        raise Refused(f"{list_path(site)} does not exist; publish a release first")
    fields = site_trust.verified(site, data, lines, signer, "Publish the release again with --key.")
    data, serial = sign(list_signing.without_signing(lines), signer._replace(product=fields["product"]),
                        fields["serial"])
    write_atomically(list_path(site), data)
    return serial, fields["product"]

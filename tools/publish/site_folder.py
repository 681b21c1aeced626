"""The site folder's files: a release copied into AppGameUpload/, the list written last, and
publication.json, the record that the next publication compares with and counts serials from."""
import json
import os
import pathlib

import list_signing
import publication
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
    record = site / RECORD_NAME
    if not record.exists():
        return None
    try:
        return json.loads(record.read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        raise Refused(f"{record}: not a readable earlier publication ({error})")


def list_path(site):
    return site / publication.UPLOAD_FOLDER / publication.LIST_NAME


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


def last_serial(record, lines):
    """The highest serial the site has used: its list's, or its record's (which also carries it
    across unsigned publications)."""
    return max(record.get("serial", 0) if record else 0, list_signing.serial_of(lines))


def write_atomically(path, data):
    temporary = path.with_name(path.name + ".part")
    temporary.write_bytes(data)
    os.replace(temporary, path)


def write_record(site, record):
    write_atomically(site / RECORD_NAME, json.dumps(record, indent=1, sort_keys=True).encode("utf-8"))


def publish(release, version, site, key=None, expires=None):
    """Publishes the release into the site, the list signed with the key when one is given.
    Returns the new record and the list's lines (less the serial and signature lines)."""
    contents, sources = read_release(release)
    record, lines = publication.plan(contents, version, read_baseline(site))
    serial = last_serial(record, read_list(site)[1])
    if key is None:
        data = publication.list_bytes(lines)
    else:
        serial += 1
        data = list_signing.signed_list(lines, key, serial, expires)
    record["serial"] = serial

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
    return record, lines


def resign(site, key, expires=None):
    """Signs the site's list again with the same lines, the next serial and a new expiry.
    Only a list that verifies under the key is renewed: signing whatever the web root holds
    would vouch for a list that someone changed there. Returns the new serial."""
    data, lines = read_list(site)
    if not data:
        raise Refused(f"{list_path(site)} does not exist; publish a release first")
    if not list_signing.verifies(data, key.public_key()):
        raise Refused(f"{list_path(site)} is not signed with this key, or changed since it was signed; "
                      "publish the release again with --key")
    record = read_baseline(site)
    serial = last_serial(record, lines) + 1
    write_atomically(list_path(site), list_signing.signed_list(
        list_signing.without_signing(lines), key, serial, expires))
    if record is not None:
        record["serial"] = serial
        write_record(site, record)
    return serial

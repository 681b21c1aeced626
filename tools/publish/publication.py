"""What a publication of an update set is: which names the launcher can carry, how a release
differs from the previous publication, and the list file that tells the launcher about it.

Pure functions only; site_folder.py does the file work."""
import hashlib
import re

LIST_NAME = "uploadfile.uda"
UPLOAD_FOLDER = "AppGameUpload"
MARKERS = ("{d}", "{rw}", "Version")
# The launcher's own file, which a release may carry but never delete.
LAUNCHER = "tolvanelauncher.exe"
# Names Windows reserves for devices, with or without an extension.
DEVICES = {"CON", "PRN", "AUX", "NUL"} | {f"COM{i}" for i in range(1, 10)} | {f"LPT{i}" for i in range(1, 10)}
FORBIDDEN_CHARACTERS = set('<>:"/|?*')


class Refused(Exception):
    """A release or version the launcher would refuse or mishandle."""


def version_value(line):
    """The launcher's comparison value of a Version line: everything after the first "=",
    without any ";" or blank."""
    _, equals, rest = line.partition("=")
    return rest.replace(";", "").replace(" ", "") if equals else ""


def version_line(version):
    # "{d}" makes the launcher handle the line, which it also reads as a file entry, as the
    # deletion of a file that is not there: otherwise it would ask the server for a file named
    # "Version = X" and log the failure on every version change.
    return f"Version = {version};{{d}}"


def first_line_of(record):
    """The first list line of a publication record; publications from before the "{d}" form
    wrote "Version = X;" and did not record it."""
    return record.get("version_line", f"Version = {record['version']};")


def check_version(version):
    """Refuses a version text that would break the list's first line or compare as empty."""
    if ";" in version or "\r" in version or "\n" in version:
        raise Refused(f"version {version!r}: a version may not hold ';' or a line end")
    if any(not (0x20 <= ord(c) <= 0x7E) for c in version):
        raise Refused(f"version {version!r}: only printable ASCII characters are allowed")
    if set(version) & set(":\\/"):
        # The launcher reads the version line as a path too, and refuses one with a drive, a
        # ".." level or a device name, with an error-log line on every version change.
        raise Refused(f"version {version!r}: a version may not hold ':', '/' or '\\'")
    if version.strip(" ") == "":
        # The launcher drops blanks from the value: one made of them says nothing.
        raise Refused("the version text is empty")


def check_name(path):
    """Refuses a relative path (backslash separated) that the launcher would refuse or
    mishandle. Returns the path unchanged when it is fine."""
    def refuse(why):
        raise Refused(f"file {path!r}: {why}")

    if any(not (0x20 <= ord(c) <= 0x7E) for c in path):
        refuse("names must be printable ASCII (the launcher carries bytes, not an encoding)")
    if ";" in path:
        refuse("';' ends the path part of a list line")
    if "'" in path:
        refuse("an apostrophe stops the launcher from creating the file's folders")
    if "#" in path or "%" in path:
        refuse("'#' and '%' cannot travel unchanged in a URL (the server would be asked for another name)")
    for marker in MARKERS:
        if marker in path:
            refuse(f"'{marker}' is a marker of the list format")
    if path.lower() == LIST_NAME:
        refuse("this name is the list file's own")
    for part in path.split("\\"):
        if part in ("", ".", ".."):
            refuse("empty, '.' and '..' folder levels are not allowed")
        if FORBIDDEN_CHARACTERS & set(part):
            refuse("Windows does not allow any of <>:\"/|?* in a name")
        if part[-1] in " .":
            refuse("Windows drops a trailing blank or full stop from a name")
        if part.split(".")[0].upper() in DEVICES:
            refuse("Windows reserves this name for a device")
    return path


def check_names(paths):
    """Checks every name, and that no two differ only in letter case (Windows would store
    them as one file)."""
    seen = {}
    for path in paths:
        check_name(path)
        other = seen.setdefault(path.lower(), path)
        if other != path:
            raise Refused(f"files {other!r} and {path!r} differ only in letter case")


def content_hash(data):
    return hashlib.sha256(data).hexdigest()


def file_line(path, entry):
    """A file's list line: the path, "{rw}" when marked, then its size and hash, which a
    launcher that does not know them ignores."""
    mark = ";{rw}" if entry["rewrite"] else ""
    return f"{path}{mark};size={entry['size']};sha256={entry['sha256']}"


def plan(release, version, baseline):
    """The next publication.

    release: {relative path: {"sha256": str, "size": int}} of the release folder.
    baseline: the previous publication's record, or None:
        {"version": str, "version_line": str,
         "files": {path: {"sha256": str, "size": int, "rewrite": bool}}, "removed": [paths]}
    Returns (record, list lines). A file that changed
    since the baseline is marked "{rw}", and stays marked in later publications, so that a
    player who skips a version still gets it again. A file that disappeared is marked "{d}",
    and stays so until it comes back; the launcher is never marked so."""
    check_version(version)
    check_names(release)
    old_files = baseline["files"] if baseline else {}
    files = {}
    for path, content in release.items():
        before = old_files.get(path)
        changed = before is not None and before["sha256"] != content["sha256"]
        rewrite = changed or bool(before and before["rewrite"])
        files[path] = {"sha256": content["sha256"], "size": content["size"], "rewrite": rewrite}
    removed = (set(baseline["removed"]) if baseline else set()) | (set(old_files) - set(release))
    removed -= set(release)
    # Launchers refuse a list that deletes the launcher: one left out of a release is kept.
    removed = {p for p in removed if p.replace("\\", "/").lower() != LAUNCHER}

    # What players hold is the value of the first line they fetched last.
    first = version_line(version)
    if baseline and version_value(first) == version_value(first_line_of(baseline)):
        differs = set(old_files) != set(release) or any(
            old_files[p]["sha256"] != release[p]["sha256"] for p in release)
        if differs:
            raise Refused(
                f"version {version!r} is unchanged but the content changed: players who have it would "
                "stop at the version line and never see the change; publish with a new version")

    lines = [first]
    lines += [f"{p};{{d}}" for p in sorted(removed)]
    lines += [file_line(p, files[p]) for p in sorted(files)]
    record = {"version": version, "version_line": first, "files": files, "removed": sorted(removed)}
    return record, lines


VERSION_LINE = re.compile(r"Version = ([^;]*);(?:\{d\})?")
FILE_FIELDS = re.compile(r"(;\{rw\})?;size=(0|[1-9][0-9]{0,15});sha256=([0-9a-f]{64})")


def read_line(line):
    """A list line as this tool writes it, read back: ("removed", path) or ("file", path, entry)
    with entry {"sha256", "size", "rewrite"}. Any other line, or a name check_name refuses,
    raises Refused: a line end, ";" or control byte in a name never reads as a line of its own."""
    path, semicolon, rest = line.partition(";")
    if not semicolon or any(not (0x20 <= ord(c) <= 0x7E) for c in line):
        raise Refused(f"line {line[:80]!r} is not a list line this tool writes")
    check_name(path)
    if rest == "{d}":
        return "removed", path
    fields = FILE_FIELDS.fullmatch(semicolon + rest)
    if not fields:
        raise Refused(f"line {line[:80]!r} is not a list line this tool writes")
    return "file", path, {"sha256": fields[3], "size": int(fields[2]), "rewrite": bool(fields[1])}


def read_lines(lines):
    """A list's lines (less its serial and signature lines) read back as the record plan()
    takes for a baseline; raises Refused on any line this tool would not write."""
    first = VERSION_LINE.fullmatch(lines[0]) if lines else None
    if not first:
        raise Refused(f"the list's first line {lines[:1]!r} is not a version line this tool writes")
    check_version(first[1])
    files, removed = {}, []
    for line in lines[1:]:
        kind, path, *entry = read_line(line)
        removed += [path] if kind == "removed" else []
        files.update({path: entry[0]} if entry else {})
    check_names(list(files) + removed)
    return {"version": version_value(lines[0]), "version_line": lines[0], "files": files, "removed": removed}


def list_bytes(lines):
    """The list file as the launcher reads it: ASCII, CR LF after every line, no BOM. Every line
    is read back first, so a name from a baseline that a check would refuse never gets out."""
    read_lines(lines)
    return "".join(line + "\r\n" for line in lines).encode("ascii")


def list_path(site):
    return site / UPLOAD_FOLDER / LIST_NAME


def relative_name(parts):
    """A release file's path in the list's form: folder levels joined by backslashes."""
    return "\\".join(parts)


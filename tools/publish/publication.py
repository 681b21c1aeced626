"""What a publication of an update set is: which names the launcher can carry, how a release
differs from the previous publication, and the list file that tells the launcher about it.

Pure functions only; site_folder.py does the file work."""
import hashlib
import re

import name_rules
from name_rules import LAUNCHER, LIST_NAME, WHY, resolved

UPLOAD_FOLDER = "AppGameUpload"


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
    """Refuses a version text whose line a launcher would refuse or read otherwise (it reads the
    version line as a path too), and one of blanks alone, which says nothing."""
    if version.strip(" ") == "":
        raise Refused("the version text is empty")
    why = name_rules.verdict(version, version=True)
    if why != "taken":
        raise Refused(f"version {version!r}: the launcher reads the version line as a path too: {WHY[why]}")


def check_names(paths):
    """Refuses a name whose list line a launcher would refuse or read otherwise, and two names
    that Windows takes for one file, or for a file and a folder of another."""
    seen = {}
    for path in paths:
        why = name_rules.verdict(path)
        if why != "taken":
            raise Refused(f"file {path!r}: {WHY[why]}")
        other = seen.setdefault(resolved(path), path)
        if other != path:
            raise Refused(f"files {other!r} and {path!r} are one file for Windows (letter case, separators, "
                          "trailing dots and blanks do not count)")
    for key, path in seen.items():
        parts = key.split("\\")
        for folder in ("\\".join(parts[:end]) for end in range(1, len(parts))):
            if folder in seen:
                raise Refused(f"file {seen[folder]!r} is a folder of {path!r} for Windows")


def without_refused(baseline):
    """The baseline less every name a launcher would refuse (an earlier tool published some), and
    those names: they are never listed again, not even as "{d}" lines."""
    if baseline is None:
        return None, []
    dropped = sorted({path for path in [*baseline["files"], *baseline["removed"]]
                      if name_rules.verdict(path) != "taken"})
    return dict(baseline, files={p: e for p, e in baseline["files"].items() if p not in dropped},
                removed=[p for p in baseline["removed"] if p not in dropped]), dropped


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
    Returns (record, list lines, names of the baseline left out). A file that changed since the
    baseline is marked "{rw}", and stays marked in later publications, so that a player who skips
    a version still gets it again. A file that disappeared is marked "{d}", and stays so until it
    comes back; the launcher is never marked so. Names compare as Windows resolves them, so a
    file whose name changed only in letter case is no removal."""
    check_version(version)
    check_names(release)
    baseline, dropped = without_refused(baseline)
    old_files = {resolved(p): entry for p, entry in (baseline["files"] if baseline else {}).items()}
    files = {}
    for path, content in release.items():
        before = old_files.get(resolved(path))
        changed = before is not None and before["sha256"] != content["sha256"]
        rewrite = changed or bool(before and before.get("rewrite"))
        files[path] = {"sha256": content["sha256"], "size": content["size"], "rewrite": rewrite}
    # Launchers refuse a list that deletes the launcher: one left out of a release is kept.
    kept = {resolved(p) for p in release} | {resolved(LAUNCHER)}
    earlier, removed = set(baseline["removed"]) | set(baseline["files"]) if baseline else set(), {}
    for path in sorted(earlier):
        if resolved(path) not in kept:
            removed.setdefault(resolved(path), path)
    removed = sorted(removed.values())

    # What players hold is the value of the first line they fetched last.
    first = version_line(version)
    if baseline and version_value(first) == version_value(first_line_of(baseline)):
        now = {resolved(path): content["sha256"] for path, content in release.items()}
        if {key: entry["sha256"] for key, entry in old_files.items()} != now:
            raise Refused(
                f"version {version!r} is unchanged but the content changed: players who have it would "
                "stop at the version line and never see the change; publish with a new version")

    lines = [first]
    lines += [f"{p};{{d}}" for p in removed]
    lines += [file_line(p, files[p]) for p in sorted(files)]
    record = {"version": version, "version_line": first, "files": files, "removed": removed}
    return record, lines, dropped


VERSION_LINE = re.compile(r"Version = ([^;]*);(?:\{d\})?")
FILE_FIELDS = re.compile(r"(;\{rw\})?;size=(0|[1-9][0-9]{0,15});sha256=([0-9a-f]{64})")


def read_line(line):
    """A list line as this tool writes it, read back: ("removed", path) or ("file", path, entry)
    with entry {"sha256", "size", "rewrite"}. Any other line raises Refused: a line end, ";" or
    control byte in a name never reads as a line of its own."""
    path, semicolon, rest = line.partition(";")
    if not semicolon or any(not (0x20 <= ord(c) <= 0x7E) for c in line):
        raise Refused(f"line {line[:80]!r} is not a list line this tool writes")
    if rest == "{d}":
        return "removed", path
    fields = FILE_FIELDS.fullmatch(semicolon + rest)
    if not fields:
        raise Refused(f"line {line[:80]!r} is not a list line this tool writes")
    return "file", path, {"sha256": fields[3], "size": int(fields[2]), "rewrite": bool(fields[1])}


def version_of(lines):
    """The version text of a list's lines (less its signing lines), as it was published."""
    first = VERSION_LINE.fullmatch(lines[0]) if lines else None
    if not first:
        raise Refused(f"the list's first line {lines[:1]!r} is not a version line this tool writes")
    return first[1]


def read_lines(lines):
    """A list's lines (less its serial and signature lines) read back as the record plan()
    takes for a baseline; raises Refused on any line this tool would not write. Its names are
    not judged here: plan() leaves out those a launcher would refuse."""
    first = VERSION_LINE.fullmatch(lines[0]) if lines else None
    if not first:
        raise Refused(f"the list's first line {lines[:1]!r} is not a version line this tool writes")
    files, removed = {}, []
    for line in lines[1:]:
        kind, path, *entry = read_line(line)
        removed += [path] if kind == "removed" else []
        files.update({path: entry[0]} if entry else {})
    return {"version": version_value(lines[0]), "version_line": lines[0], "files": files, "removed": removed}


def list_bytes(lines):
    """The list file as the launcher reads it: ASCII, CR LF after every line, no BOM. Every line
    is read back first and judged as a launcher would judge it, so that nothing gets out that a
    launcher would refuse or read otherwise."""
    record = read_lines(lines)
    for line in lines:
        why = name_rules.line_refusal(line)
        if why:
            raise Refused(f"line {line[:80]!r}: {WHY[why]}")
    for path in [*record["files"], *record["removed"]]:
        if name_rules.verdict(path) != "taken":
            raise Refused(f"line of {path[:80]!r}: {WHY[name_rules.verdict(path)]}")
    return "".join(line + "\r\n" for line in lines).encode("ascii")


def list_path(site):
    return site / UPLOAD_FOLDER / LIST_NAME


def relative_name(parts):
    """A release file's path in the list's form: folder levels joined by backslashes."""
    return "\\".join(parts)


"""The table of names and version texts that the launcher's test and the publisher's tests judge
alike (tests/update/name_table.txt), read for the Python side."""
import pathlib
import re

TABLE = pathlib.Path(__file__).resolve().parents[2] / "tests" / "update" / "name_table.txt"


def name_table():
    """(what, verdict, text) of each row: "name" or "version", "taken" or why not, and the text."""
    rows = []
    for line in TABLE.read_text(encoding="ascii").split("\n"):
        if line and not line.startswith("#"):
            what, verdict, text = line.split("\t", 2)
            rows.append((what, verdict, re.sub(r"\{x([0-9A-F]{2})\}", lambda m: chr(int(m[1], 16)), text)))
    return rows


def as_release_file(name):
    """The file (levels joined by "/") that a release folder holds for a list name, or None when
    no folder can hold one."""
    parts = re.split(r"[\\/]", name)
    fits = not name.startswith(("\\", "/")) and all(p not in ("", ".", "..") and "\0" not in p for p in parts)
    return "/".join(parts) if fits else None

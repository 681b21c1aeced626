"""The tables that the launcher's tests and the publisher's judge alike (tests/update/): names
and version texts, channel names, rollout shares; read for the Python side."""
import pathlib
import re

TABLES = pathlib.Path(__file__).resolve().parents[2] / "tests" / "update"
TABLE = TABLES / "name_table.txt"


def rows(path, columns):
    """The rows of a table: tab-split columns, {xNN} standing for the byte NN."""
    found = []
    for line in path.read_text(encoding="ascii").split("\n"):
        if line and not line.startswith("#"):
            found.append(tuple(re.sub(r"\{x([0-9A-F]{2})\}", lambda m: chr(int(m[1], 16)), text)
                               for text in line.split("\t", columns - 1)))
    return found


def name_table():
    """(what, verdict, text) of each row: "name" or "version", "taken" or why not, and the text."""
    return [(what, verdict, text) for what, verdict, text in rows(TABLE, 3)]


def channel_table():
    """(name given, channel or "refused", site folder or "") of each row."""
    return rows(TABLES / "channel_table.txt", 3)


def rollout_table():
    """(install id, salt, percentage, True for in) of each row."""
    return [(i, salt, int(p), verdict == "in") for i, salt, p, verdict in rows(TABLES / "rollout_table.txt", 4)]


def as_release_file(name):
    """The file (levels joined by "/") that a release folder holds for a list name, or None when
    no folder can hold one."""
    parts = re.split(r"[\\/]", name)
    fits = not name.startswith(("\\", "/")) and all(p not in ("", ".", "..") and "\0" not in p for p in parts)
    return "/".join(parts) if fits else None

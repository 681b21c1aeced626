"""What a launcher built with a key makes of a list line, as tolvane-publish judges the lines it
writes: the launcher's own rules, with the reserved names read from the table its build compiles
in (src/update/base/reserved_names.inc). tests/update/name_table.txt holds the launcher and this
module to the same verdicts.

Pure functions only."""
import ast
import pathlib
import re

TABLE = pathlib.Path(__file__).resolve().parents[2] / "src" / "update" / "base" / "reserved_names.inc"
# The running launcher's file name, as a release carries it.
LAUNCHER = "TolvaneLauncher.exe"


def read_table(path=TABLE):
    """{kind: [texts]} of the table's NAME(kind, "text") lines."""
    entries = {}
    for kind, text in re.findall(r'^NAME\((\w+), (".*")\)$', path.read_text(encoding="ascii"), re.M):
        entries.setdefault(kind, []).append(ast.literal_eval(text))
    return entries


RESERVED = read_table()
LIST_NAME = RESERVED["list_file"][0]
TEMPORARY_ENDING = RESERVED["part_ending"][0]

# Why the launcher refuses a line, by the verdicts of the shared table.
WHY = {
    "outside": "the launcher refuses a path that could leave its folder (absolute, a drive or ':', a '..' "
               "level, a device name such as CON, CONOUT$ or 'CON .txt', a control byte)",
    "ascii": "names must be printable ASCII (the list carries bytes, not an encoding)",
    "url": "'%', '#' and '?' cannot travel unchanged in a URL (the server would be asked for another name)",
    "own": "the launcher keeps this name for its own files (anything under update\\, errors.err or update.info "
           "at the top, *.tolvane-part, *.tolvane-stage, *.tolvane-old, or an 8.3 short name such as SAVE~1.DAT)",
    "list": "this name is the list file's own",
    "apostrophe": "an apostrophe stops the launcher from creating the file's folders",
    "windows": "Windows does not allow any of <>\"|* in a name",
    "level": "Windows drops a trailing blank or full stop from a name, and an empty or '.' level names no file",
    "field": "';' or a line end would end the path part of the list line",
    "marker": "the list line would read as another kind of line: '{d}', '{rw}' and 'Version' are markers "
              "anywhere in a line, and a leading apostrophe makes a comment",
}


def folded(text):
    """The one case rule: ASCII letters lowercased, nothing else."""
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)


def levels(path):
    """The levels of a path as written, split at either separator, empty ones kept."""
    return re.split(r"[\\/]", path)


def resolved(path):
    """The file a path names as Windows resolves it: trailing dots and blanks dropped, empty and
    '.' levels dropped, case folded; two spellings of one file resolve alike."""
    return "\\".join(folded(level.rstrip(". ")) for level in levels(path) if level.rstrip(". "))


def is_device(level):
    return folded(level.split(".")[0].rstrip(" ")) in {folded(name) for name in RESERVED["device"]}


def stays_inside(path):
    if path.startswith(("\\", "/")) or ":" in path or any(ord(c) < 0x20 or ord(c) == 0x7F for c in path):
        return False
    return not any((set(level) <= {".", " "} and level.count(".") >= 2) or is_device(level)
                   for level in levels(path))


def short_name_alias(level):
    """"NAME~X.EXT" with at most 8 characters before the dot and 3 after."""
    dot = level.find(".")
    return "~" in level and (dot if dot >= 0 else len(level)) <= 8 and (dot < 0 or len(level) - dot - 1 <= 3)


def names_launcher_state(path):
    found = resolved(path).split("\\") if resolved(path) else []
    endings = [folded(RESERVED[kind][0]) for kind in ("part_ending", "stage_ending", "aside_ending")]
    return bool(found) and (
        found[0] in map(folded, RESERVED["state_folder"])
        or (len(found) == 1 and found[0] in map(folded, RESERVED["state_file"]))
        or any(level.endswith(tuple(endings)) or short_name_alias(level) for level in found))


def path_refusal(path):
    """The verdict refusing a line's path in any list, or None."""
    if not stays_inside(path):
        return "outside"
    if any(ord(c) > 0x7F for c in path):
        return "ascii"
    if set(path) & set(RESERVED["url_characters"][0]):
        return "url"
    if names_launcher_state(path):
        return "own"
    if resolved(path) == folded(LIST_NAME):
        return "list"
    return None


def file_refusal(path):
    """The verdict refusing a path as the name of a file the launcher makes, or None."""
    if len(levels(path)) > 1 and "'" in path:
        return "apostrophe"
    if set(path) & set(RESERVED["forbidden_characters"][0]):
        return "windows"
    if any(level == "" or level[-1] in ". " for level in levels(path)):
        return "level"
    return None


def fields_of(line):
    """(error, unknown item, has size, sha256) of the items after the line's first ';'."""
    error = unknown = size = sha256 = None
    for item in line.split(";")[1:]:
        name, equals, value = item.partition("=")
        if not equals or name not in ("size", "sha256"):
            unknown = unknown if unknown is not None or item in ("", "{d}", "{rw}") else item
        elif name == "size":
            good = value.isascii() and value.isdigit() and len(value) <= 20 and int(value) < 2**64
            error = "twice" if size is not None else None if good else "size"
            size = value
        else:
            error = "twice" if sha256 is not None else None if re.fullmatch("[0-9a-f]{64}", value) else "sha256"
            sha256 = value
        if error:
            break
    return error, unknown, size is not None, sha256


def line_refusal(line, launcher=LAUNCHER):
    """The verdict of a launcher built with a key, refusing the list line, or None when it takes
    it (whatever it then reads the line as)."""
    if line.startswith("'"):
        return None
    path, deletion = line.split(";")[0], "{d}" in line
    error, unknown, has_size, sha256 = fields_of(line)
    refusal = path_refusal(path)
    if refusal is None and deletion and resolved(path) == resolved(launcher):
        refusal = "own"  # the launcher is replaced by a release, never deleted
    if refusal is None and error:
        refusal = "field"
    if refusal is None and not deletion:
        refusal = file_refusal(path)
    if refusal is None and (unknown is not None or (not deletion and not (has_size and sha256))):
        refusal = "field"
    return refusal


def lines_of(text):
    """The lines of a list's text as the launcher splits them: at LF or CR LF, up to a byte 0x1A."""
    text, lines, start = text.split("\x1a")[0], [], 0
    while start < len(text):
        end = text.find("\n", start)
        end = len(text) if end < 0 else end
        line = text[start:end]
        lines.append(line[:-1] if line.endswith("\r") and end < len(text) else line)
        start = end + 1
    return lines


def verdict(text, version=False):
    """What a launcher built with a key makes of the line this tool writes for a release file of
    that name, or for that version text: "taken" when it takes the line and reads it as written,
    otherwise why not (a key of WHY)."""
    path = f"Version = {text}" if version else text
    written = lines_of(path + (";{d}" if version else ";size=1;sha256=" + "0" * 64) + "\r\n")
    for line in written:
        if line_refusal(line):
            return line_refusal(line)
    first = written[0]
    as_written = (len(written) == 1 and not first.startswith("'") and first.split(";")[0] == path
                  and ("Version" in first) == version and ("{d}" in first) == version
                  and (version or "{rw}" not in first))
    return "taken" if as_written else "marker"

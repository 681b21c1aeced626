"""Staged rollouts: the signed release line that gives a release to part of the players, and the
rule by which a launcher knows whether it is one of them. tests/update/rollout_table.txt holds
the launcher and this module to the same verdicts.

Pure functions, but for the salt drawn for each release."""
import hashlib
import re
import secrets

from publication import Refused

PREFIX = "'tolvane-release "
PERCENT = re.compile(r"0|[1-9][0-9]?|100")
SALT = re.compile(r"[0-9a-f]{32}")


def percentage(text, lowest=1):
    """The whole percentage from lowest to 100 that the text gives, or Refused: a launcher reads
    no fraction, sign, unit or leading zero, so none is rounded or guessed here."""
    if not (isinstance(text, str) and PERCENT.fullmatch(text)) or int(text) < lowest:
        raise Refused(f"--rollout {text!r}: a rollout is a whole percentage from {lowest} to 100, "
                      "written without a sign, a '%' or a leading zero")
    return int(text)


def new_salt():
    """A salt of its own for each release, so that other players go first each time."""
    return secrets.token_hex(16)


def line(percent, salt):
    return f"{PREFIX}rollout={percent} salt={salt}"


def read(lines):
    """(percentage, salt) of the list's release line, None without one; a release line that a
    launcher would refuse raises Refused."""
    found = [text for text in lines if text.startswith(PREFIX)]
    if not found:
        return None
    fields = dict(field.partition("=")[::2] for field in found[0][len(PREFIX):].split(" "))
    valid = (len(found) == 1 and len(found[0][len(PREFIX):].split(" ")) == 2 and set(fields) == {"rollout", "salt"}
             and PERCENT.fullmatch(fields["rollout"]) and SALT.fullmatch(fields["salt"]))
    if not valid:
        raise Refused(f"release line {found[0][:80]!r}: not one this tool writes")
    return int(fields["rollout"]), fields["salt"]


def takes(install_id, salt, percent):
    """True when the launcher with that install id takes a release of that salt at that
    rollout: the first 4 bytes of SHA-256 of "SALT:ID", big-endian, times 100, below P * 2^32."""
    drawn = int.from_bytes(hashlib.sha256(f"{salt}:{install_id}".encode("ascii")).digest()[:4], "big")
    return drawn * 100 < percent * 2**32


def text(release):
    """How a status line shows the rollout of (percentage, salt) or None."""
    if release is None or release[0] == 100:
        return "whole"
    return "halted" if release[0] == 0 else f"{release[0]} %"

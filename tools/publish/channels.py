"""Release channels: which names a studio may give one, the one spelling lists and folders use,
and where each channel's list and files live in the site folder. tests/update/channel_table.txt
holds the launcher and this module to the same answers.

Pure functions only."""
import pathlib
import re

from publication import UPLOAD_FOLDER, Refused
from name_rules import LIST_NAME, folded

STABLE = "stable"
# Every channel but stable lives in a folder of its own here; stable stays where launchers
# built before channels look for it.
CHANNELS_FOLDER = "TolvaneChannels"
NAME = re.compile(r"[A-Za-z0-9_-]{1,32}")


def canonical(name):
    """The channel a name given by a person stands for (lower case), or None when no launcher
    takes that name."""
    return folded(name) if isinstance(name, str) and NAME.fullmatch(name) else None


def checked(name, option="--channel"):
    """canonical(name), or Refused with the rule."""
    channel = canonical(name)
    if channel is None:
        raise Refused(f"{option} {name!r}: a channel name is 1 to 32 ASCII letters, digits, '-' and '_'")
    return channel


def folder_name(channel):
    """The channel's folder under the site, with "/" between levels."""
    return UPLOAD_FOLDER if channel == STABLE else f"{CHANNELS_FOLDER}/{channel}"


def folder(site, channel):
    return pathlib.Path(site).joinpath(*folder_name(channel).split("/"))


def list_path(site, channel):
    return folder(site, channel) / LIST_NAME


def binding(channel):
    """The channel field of the serial line: None for stable, which lists carry as no field."""
    return None if channel == STABLE else channel


def present(site):
    """The channels that the site holds a folder for: stable first, then the others by name."""
    others = pathlib.Path(site) / CHANNELS_FOLDER
    found = sorted(p.name for p in others.iterdir() if canonical(p.name) == p.name) if others.is_dir() else []
    return [STABLE] * folder(site, STABLE).is_dir() + [c for c in found if c != STABLE]

"""What a signed publication takes from the site folder, which lives on the host: only the site's
list, and only when it verifies with the studio's key, names the product being published and is
not older than the last serial the key signed, for the channel being published.
publication.json is never read for it."""
from typing import NamedTuple

import channels
import list_signing
import publication
import serial_record
from publication import Refused


class Signer(NamedTuple):
    key: object  # the private key
    key_path: object  # its file; serials.json lies beside it
    expires: object  # datetime, or None for a list that never expires
    product: object  # str, or None
    new_site: bool = False  # start the channel over: its list is no baseline
    channel: str = channels.STABLE  # the canonical name


def verified(site, data, lines, signer, what):
    """The serial fields of the site's list, which must verify with the signer's key and be no
    older than the record of signed serials; raises Refused otherwise."""
    path = channels.list_path(site, signer.channel)
    if not list_signing.verifies(data, signer.key.public_key()):
        raise Refused(f"{path} does not verify with the public key of {signer.key_path}: it was changed on "
                      f"the host, signed with another key, or never signed. {what}")
    fields = list_signing.serial_fields(lines)
    if fields is None:
        raise Refused(f"{path} is signed but has no serial line, so no tool of this project wrote it. {what}")
    highest = serial_record.channel_highest(signer.key_path, fields["product"], signer.channel)
    if fields["serial"] < highest:
        raise Refused(f"{path} has serial {fields['serial']}, but this key has signed serial {highest} for "
                      f"{serial_record.product_text(fields['product'])}: the site holds an older list (put back "
                      f"on the host, or a copy of another site). {what}")
    return fields


def bound(site, fields, signer, what):
    """Refuses a verified list of another product or channel than the signer's: a list is never
    taken from one binding into another but through the list it came from (promote)."""
    path = channels.list_path(site, signer.channel)
    if fields["product"] != signer.product:
        raise Refused(f"{path} is for {serial_record.product_text(fields['product'])}, "
                      f"not {serial_record.product_text(signer.product)}. {what}")
    if fields["channel"] != channels.binding(signer.channel):
        raise Refused(f"{path} is for channel {fields['channel'] or channels.STABLE}, not {signer.channel}. {what}")


def baseline(site, data, lines, signer):
    """(record for publication.plan, serial) of the site's list, (None, 0) for a new site."""
    if signer.new_site:
        return None, 0
    what = ("Nothing is taken from the site: check it, then publish with --new-site to start it over "
            "(the list then holds this release's files alone, with no \"{d}\" line for older ones).")
    if not data:
        folder = channels.folder(site, signer.channel)
        if folder.is_dir() and any(folder.iterdir()):
            raise Refused(f"{folder} holds files but no list {channels.list_path(site, signer.channel)}. {what}")
        return None, 0
    fields = verified(site, data, lines, signer, what)
    bound(site, fields, signer, what)
    return publication.read_lines(list_signing.without_signing(lines)), fields["serial"]

"""The highest serial signed for each product, kept beside the private key (serials.json), on
the studio's side: the site folder lives on the host, and a serial taken from there could be
planted, or be an older list put back. Serials are one sequence per product across channels;
the last serial signed for each channel is kept too (as "PRODUCT channel=NAME", a name no
product has), so that an older list of that channel put back is still found out."""
import contextlib
import json

import durable_file
import list_signing
from publication import Refused

RECORD_NAME = "serials.json"


def record_path(key_path):
    return key_path.parent / RECORD_NAME


def read(key_path):
    """{product ("" for none): highest serial signed}; {} before the first signature. A record
    that cannot be read is refused, never taken as empty: that would let old serials be signed
    again."""
    path = record_path(key_path)
    try:
        record = json.loads(path.read_text(encoding="utf-8"))
    except FileNotFoundError:
        return {}
    except (OSError, ValueError) as error:
        raise Refused(f"{path}: the record of signed serials cannot be read ({error}); restore it from "
                      "the key's backup, or write the highest serial signed for each product into it")
    valid = isinstance(record, dict) and all(
        isinstance(product, str) and type(serial) is int and 0 <= serial <= list_signing.MAX_SERIAL
        for product, serial in record.items())
    if not valid:
        raise Refused(f"{path}: the record of signed serials is damaged (it must map each product to a "
                      "whole number from 0 to 2^53)")
    return record


def next_serial(key_path, product, site_serial):
    """The serial to sign next for the product: one above both the record and the site's
    verified list (which counts when the record is lost, never lowers it)."""
    highest = max(read(key_path).get(product or "", 0), site_serial)
    if highest >= list_signing.MAX_SERIAL:
        raise Refused(f"serial {highest} is the last one (2^53): no higher serial can be signed for "
                      f"{product_text(product)}; build launchers with a new key or product")
    return highest + 1


def channel_key(product, channel):
    return f"{product or ''} channel={channel}"


def channel_highest(key_path, product, channel):
    """The last serial signed for the product on the channel; a record from before channels knew
    stable alone."""
    record = read(key_path)
    return record.get(channel_key(product, channel), record.get(product or "", 0) if channel == "stable" else 0)


def product_text(product):
    return f"product {product!r}" if product else "lists without a product"


def write(key_path, product, serial, channel="stable"):
    """Records the serial as the product's highest and the channel's last, so that a crash leaves
    the old record or the new one (durable_file.write_atomically)."""
    path = record_path(key_path)
    record = read(key_path)
    record.setdefault(channel_key(product, "stable"), record.get(product or "", 0))
    record[product or ""] = max(serial, record.get(product or "", 0))
    record[channel_key(product, channel)] = max(serial, record.get(channel_key(product, channel), 0))
    durable_file.write_atomically(path, json.dumps(record, indent=1, sort_keys=True).encode("utf-8"), 0o600)


def carried_over(old_folder):
    """The record beside an old key, for a new key that must go on above its serials: a
    launcher refuses a serial below the highest it accepted, whatever key signed it. Refused
    when that key signed nothing, so a mistyped folder is not taken for a fresh start."""
    record = read(old_folder / "private.pem")
    if not record:
        raise Refused(f"{record_path(old_folder / 'private.pem')} records no serial; --serials-from "
                      "names the key folder whose serials the new key goes on from")
    return record


@contextlib.contextmanager
def raised_to(key_path, old_folder):
    """Within it, the key's record is raised to the old key's record (when old_folder is given);
    a publication refused there puts the record back as it was, so a refused run writes nothing."""
    if not old_folder:
        yield
        return
    carried, path = carried_over(old_folder), record_path(key_path)
    before = path.read_bytes() if path.exists() else None
    for product, serial in sorted(carried.items()):
        if " " not in product:  # a channel's last list is the old key's, on sites started over
            write(key_path, product, serial)
    try:
        yield
    except BaseException:
        if before is None:
            path.unlink()
        else:
            durable_file.write_atomically(path, before, 0o600)
        raise

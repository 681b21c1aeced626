"""Signed lists: the serial line and the signature line that close a list which a launcher built
with the studio's public key checks before it acts on any line.

The signature line is "'signature ecdsa-p256-sha256 " + base64 of the 64-byte r||s ECDSA P-256
signature over SHA-256 of every byte before it. Right above it, in the signed part, stands the
one serial line "'tolvane-list serial=N", optionally with " expires=YYYY-MM-DDTHH:MM:SSZ",
" product=NAME" and, for a channel other than stable, " channel=NAME" (a launcher reads the
fields in any order); above it may stand a release line (rollout.py). All are comment lines, so
a launcher built without a key reads the list as before."""
import base64
import datetime
import re

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature, encode_dss_signature

import channels
import publication
import rollout

SERIAL_PREFIX = "'tolvane-list serial="
SIGNATURE_PREFIX = "'signature ecdsa-p256-sha256 "
ALGORITHM = ec.ECDSA(hashes.SHA256())
# The highest serial ever signed: a double holds every whole number up to it, so no reader of
# the list can round or wrap it.
MAX_SERIAL = 2**53
PRODUCT = re.compile(r"[A-Za-z0-9._-]+")
EXPIRES_FORMAT = "%Y-%m-%dT%H:%M:%SZ"


def expiry(days, now):
    """The expiry `days` days after now (an aware UTC datetime), to the second; None for None."""
    if days is None:
        return None
    return (now + datetime.timedelta(days=days)).replace(microsecond=0)


def serial_line(serial, expires=None, product=None, channel=None):
    line = f"{SERIAL_PREFIX}{serial}" + (f" expires={expires:{EXPIRES_FORMAT}}" if expires else "")
    return line + (f" product={product}" if product else "") + (f" channel={channel}" if channel else "")


def serial_fields(lines):
    """{"serial": int, "expires": str or None, "product": str or None, "channel": str or None (for
    stable)} of the list's one serial line; None without one. A serial line this tool could not
    have written raises Refused."""
    found = [line for line in lines if line.startswith(SERIAL_PREFIX)]
    if not found:
        return None
    if len(found) > 1:
        raise publication.Refused("the list holds more than one serial line")
    digits, *rest = found[0][len(SERIAL_PREFIX):].split(" ")
    fields = {"expires": None, "product": None, "channel": None}
    for field in rest:
        name, _, value = field.partition("=")
        if name not in fields or fields[name] is not None or not value:
            raise publication.Refused(f"unknown or repeated field {field[:40]!r} in the serial line")
        fields[name] = value
    if not (digits.isascii() and digits.isdigit()) or int(digits) > MAX_SERIAL:
        raise publication.Refused(f"serial {digits[:30]!r} is not a whole number from 0 to 2^53")
    if fields["product"] is not None and not PRODUCT.fullmatch(fields["product"]):
        raise publication.Refused(f"product {fields['product']!r} holds other than letters, digits, '-', '.', '_'")
    channel = fields["channel"]
    if channel is not None and (channel == channels.STABLE or channels.canonical(channel) != channel):
        raise publication.Refused(f"channel {channel[:40]!r} in the serial line: not the one spelling of a channel "
                                  "other than stable")
    return dict(fields, serial=int(digits))


def without_signing(lines):
    """The list's lines less its serial, release and signature lines: its release's own lines."""
    return [line for line in lines if not line.startswith((SERIAL_PREFIX, rollout.PREFIX, SIGNATURE_PREFIX))]


def signature_line(body, key):
    r, s = decode_dss_signature(key.sign(body, ALGORITHM))
    raw = r.to_bytes(32, "big") + s.to_bytes(32, "big")
    return SIGNATURE_PREFIX + base64.b64encode(raw).decode("ascii")


def signed_list(lines, key, serial, expires, product=None, channel=None, release=None):
    """The list file: the lines, the release line of (percentage, salt) when given, the serial
    line and the signature line, CR LF after each."""
    if not 0 < serial <= MAX_SERIAL:
        raise ValueError(f"serial {serial} is outside 1 to 2^53")
    tail = ([rollout.line(*release)] if release else []) + [serial_line(serial, expires, product, channel)]
    body = publication.list_bytes(lines) + "".join(line + "\r\n" for line in tail).encode("ascii")
    return body + (signature_line(body, key) + "\r\n").encode("ascii")


def verifies(data, public_key):
    """True when the list file ends in a signature line that public_key vouches for."""
    end = len(data) - 2 if data.endswith(b"\r\n") else len(data)
    cut = data.rfind(b"\r\n", 0, end)
    start = cut + 2 if cut >= 0 else 0
    line = data[start:end].decode("ascii", "replace")
    if not line.startswith(SIGNATURE_PREFIX):
        return False
    try:
        raw = base64.b64decode(line[len(SIGNATURE_PREFIX):], validate=True)
        if len(raw) != 64:
            return False
        signature = encode_dss_signature(int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big"))
        public_key.verify(signature, data[:start], ALGORITHM)
        return True
    except (ValueError, InvalidSignature):
        return False

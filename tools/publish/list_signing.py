"""Signed lists: the serial line and the signature line that close a list which a launcher built
with the studio's public key checks before it acts on any line.

The signature line is "'signature ecdsa-p256-sha256 " + base64 of the 64-byte r||s ECDSA P-256
signature over SHA-256 of every byte before it. Right above it, in the signed part, stands the
one serial line "'tolvane-list serial=N", optionally with " expires=YYYY-MM-DDTHH:MM:SSZ".
Both are comment lines, so a launcher built without a key reads the list as before."""
import base64
import datetime

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature, encode_dss_signature

SERIAL_PREFIX = "'tolvane-list serial="
SIGNATURE_PREFIX = "'signature ecdsa-p256-sha256 "
ALGORITHM = ec.ECDSA(hashes.SHA256())


def expiry(days, now):
    """The expiry `days` days after now (an aware UTC datetime), to the second; None for None."""
    if days is None:
        return None
    return (now + datetime.timedelta(days=days)).replace(microsecond=0)


def serial_line(serial, expires=None):
    line = f"{SERIAL_PREFIX}{serial}"
    return f"{line} expires={expires:%Y-%m-%dT%H:%M:%SZ}" if expires else line


def serial_of(lines):
    """The serial that a list's serial line states; 0 without one."""
    for line in lines:
        if line.startswith(SERIAL_PREFIX):
            digits = line[len(SERIAL_PREFIX):].split(" ")[0]
            if digits.isascii() and digits.isdigit():
                return int(digits)
    return 0


def without_signing(lines):
    """The list's lines less its serial and signature lines: what a renewed signature covers."""
    return [line for line in lines if not line.startswith((SERIAL_PREFIX, SIGNATURE_PREFIX))]


def signature_line(body, key):
    r, s = decode_dss_signature(key.sign(body, ALGORITHM))
    raw = r.to_bytes(32, "big") + s.to_bytes(32, "big")
    return SIGNATURE_PREFIX + base64.b64encode(raw).decode("ascii")


def signed_list(lines, key, serial, expires):
    """The list file: the lines, the serial line and the signature line, CR LF after each."""
    body = "".join(line + "\r\n" for line in lines + [serial_line(serial, expires)]).encode("ascii")
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

#!/usr/bin/env python3
"""Reads the studio's list-signing public key for the build.

usage: list_key.py PEM_FILE

Prints the key's X then Y (32 bytes each) as 128 lowercase hex digits. The file must hold one
ECDSA P-256 public key as `openssl ec -pubout` writes it: a PEM "PUBLIC KEY" block around a
SubjectPublicKeyInfo with an uncompressed point. Anything else exits 1 with one line on stderr
that names the file and what is wrong with it.
"""
import base64
import binascii
import re
import sys

# SubjectPublicKeyInfo: SEQUENCE { SEQUENCE { id-ecPublicKey, prime256v1 },
# BIT STRING { 0 unused bits, 0x04 (uncompressed), X, Y } }; only X and Y vary.
P256_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d03010703420004")
COMPRESSED_PREFIX = bytes.fromhex("3039301306072a8648ce3d020106082a8648ce3d030107032200")
EC_PUBLIC_KEY = bytes.fromhex("06072a8648ce3d0201")
P256_CURVE = bytes.fromhex("06082a8648ce3d030107")
RSA_ENCRYPTION = bytes.fromhex("06092a864886f70d010101")

# The curve y^2 = x^3 - 3x + b over the prime p.
P = 2**256 - 2**224 + 2**192 + 2**96 - 1
B = 0x5AC635D8AA3A93E7B3EBBD55769886BC651D06B0CC53B0F63BCE3C3E27D2604B

BLOCK = re.compile(r"-----BEGIN ([A-Z0-9 ]+)-----\s*\n(.*?)\n-----END \1-----", re.S)


def read_key(text):
    """X||Y of the one P-256 public key in PEM text; raises ValueError with the reason."""
    blocks = BLOCK.findall(text)
    kinds = [kind for kind, _ in blocks]
    if any("PRIVATE" in kind for kind in kinds):
        raise ValueError("holds a private key; give only the public key (openssl ec -pubout)")
    if kinds != ["PUBLIC KEY"]:
        found = ", ".join(kinds) or "none"
        raise ValueError(f"needs exactly one PEM block PUBLIC KEY (found: {found})")
    try:
        der = base64.b64decode("".join(blocks[0][1].split()), validate=True)
    except binascii.Error:
        raise ValueError("its PUBLIC KEY block is not valid base64") from None
    if RSA_ENCRYPTION in der[:20]:
        raise ValueError("is an RSA key, not an ECDSA P-256 key")
    if EC_PUBLIC_KEY in der[:20] and P256_CURVE not in der[:30]:
        raise ValueError("is an EC key on another curve, not P-256")
    if der.startswith(COMPRESSED_PREFIX):
        raise ValueError("holds a compressed point; write the key with openssl ec -pubout")
    if not der.startswith(P256_PREFIX) or len(der) != len(P256_PREFIX) + 64:
        raise ValueError("is not a P-256 public key as openssl ec -pubout writes it")
    point = der[len(P256_PREFIX):]
    x, y = int.from_bytes(point[:32], "big"), int.from_bytes(point[32:], "big")
    if x >= P or y >= P or (y * y - (x * x * x - 3 * x + B)) % P != 0:
        raise ValueError("its point is not on the P-256 curve")
    return point


def main(argv):
    if len(argv) != 2:
        print("usage: list_key.py PEM_FILE", file=sys.stderr)
        return 2
    path = argv[1]
    try:
        with open(path, "rb") as file:
            text = file.read().decode("ascii")
        print(read_key(text).hex())
        return 0
    except OSError as error:
        reason = f"cannot be read ({error.strerror})"
    except UnicodeDecodeError:
        reason = "is not PEM text (it holds bytes outside ASCII)"
    except ValueError as error:
        reason = str(error)
    print(f"{path}: {reason}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))

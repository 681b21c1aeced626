"""The studio's list-signing key pair: made once by `tolvane-publish keygen`, the private half
kept offline, the public half given to the launcher's build (TOLVANE_UPDATE_KEY)."""
import os

from cryptography.exceptions import UnsupportedAlgorithm
from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import ec

from publication import Refused

PRIVATE_NAME = "private.pem"
PUBLIC_NAME = "public.pem"


def write_new(path, data, mode):
    # O_EXCL: an existing key is never overwritten, even by a keygen running at the same time.
    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)
    with os.fdopen(descriptor, "wb") as file:
        os.fchmod(file.fileno(), mode)  # the umask must not loosen nor tighten it
        file.write(data)


def keygen(folder):
    """Writes a new ECDSA P-256 key pair into the folder: private.pem (PKCS#8, mode 0600) and
    public.pem (SubjectPublicKeyInfo, as `openssl ec -pubout` writes it). Refuses when either
    file exists. Returns both paths."""
    private_path, public_path = folder / PRIVATE_NAME, folder / PUBLIC_NAME
    for path in (private_path, public_path):
        if path.exists():
            raise Refused(f"{path} exists; a key is never overwritten (lists it signed would no longer verify)")
    folder.mkdir(mode=0o700, parents=True, exist_ok=True)
    key = ec.generate_private_key(ec.SECP256R1())
    write_new(private_path, key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                              serialization.NoEncryption()), 0o600)
    write_new(public_path, key.public_key().public_bytes(
        serialization.Encoding.PEM, serialization.PublicFormat.SubjectPublicKeyInfo), 0o644)
    return private_path, public_path


def load_private_key(path):
    """The P-256 private key in a PEM file (PKCS#8 or SEC1, without a passphrase)."""
    try:
        data = path.read_bytes()
    except OSError as error:
        raise Refused(f"key {path}: cannot be read ({error.strerror})")
    try:
        key = serialization.load_pem_private_key(data, password=None)
    except TypeError:
        raise Refused(f"key {path}: it is protected by a passphrase, which tolvane-publish does not take")
    except (ValueError, UnsupportedAlgorithm):
        raise Refused(f"key {path}: not a PEM private key")
    if not isinstance(key, ec.EllipticCurvePrivateKey) or key.curve.name != "secp256r1":
        raise Refused(f"key {path}: not an ECDSA P-256 key (make one with tolvane-publish keygen)")
    return key

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


def keygen(folder, passphrase=None):
    """Writes a new ECDSA P-256 key pair into the folder: private.pem (PKCS#8, mode 0600,
    encrypted with the passphrase when one is given) and public.pem (SubjectPublicKeyInfo, as
    `openssl ec -pubout` writes it). Refuses when either file exists. Returns both paths."""
    private_path, public_path = folder / PRIVATE_NAME, folder / PUBLIC_NAME
    for path in (private_path, public_path):
        if path.exists():
            raise Refused(f"{path} exists; a key is never overwritten (lists it signed would no longer verify)")
    folder.mkdir(mode=0o700, parents=True, exist_ok=True)
    key = ec.generate_private_key(ec.SECP256R1())
    encryption = (serialization.BestAvailableEncryption(passphrase.encode("utf-8")) if passphrase
                  else serialization.NoEncryption())
    write_new(private_path, key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                              encryption), 0o600)
    write_new(public_path, key.public_key().public_bytes(
        serialization.Encoding.PEM, serialization.PublicFormat.SubjectPublicKeyInfo), 0o644)
    return private_path, public_path


def passphrase_from(variable):
    """The passphrase in the environment variable (None for no variable): never an argument,
    which any user of the machine could read in the process list."""
    if variable is None:
        return None
    if not os.environ.get(variable):
        raise Refused(f"the environment variable {variable} (--key-passphrase-env) is not set or empty")
    return os.environ[variable]


def load_private_key(path, passphrase=None):
    """The P-256 private key in a PEM file (PKCS#8 or SEC1), decrypted with the passphrase when
    it is protected by one."""
    try:
        data = path.read_bytes()
    except OSError as error:
        raise Refused(f"key {path}: cannot be read ({error.strerror})")
    try:
        key = serialization.load_pem_private_key(data, password=passphrase and passphrase.encode("utf-8"))
    except TypeError:
        if passphrase is None:
            raise Refused(f"key {path}: it is protected by a passphrase; name the environment variable that "
                          "holds it with --key-passphrase-env VAR")
        raise Refused(f"key {path}: it is not protected by a passphrase; leave out --key-passphrase-env")
    except (ValueError, UnsupportedAlgorithm):
        if passphrase is not None and b"ENCRYPTED" in data:
            raise Refused(f"key {path}: the passphrase does not open it")
        raise Refused(f"key {path}: not a PEM private key")
    if not isinstance(key, ec.EllipticCurvePrivateKey) or key.curve.name != "secp256r1":
        raise Refused(f"key {path}: not an ECDSA P-256 key (make one with tolvane-publish keygen)")
    return key

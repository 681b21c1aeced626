"""Release folders for tolvane-publish, as the tests, the benchmarks and the demo write them, and
lists signed without the tool."""
import base64
import os
import pathlib
import shutil
import subprocess
import sys

PUBLISH = pathlib.Path(__file__).resolve().parents[1] / "tolvane-publish"


def write_release(folder, files):
    """Makes folder hold exactly files ({"dir/name": bytes}), whatever it held before."""
    folder = pathlib.Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    for name, data in files.items():
        (folder / name).parent.mkdir(parents=True, exist_ok=True)
        (folder / name).write_bytes(data)
    return folder


def publish(*args, env=None, **options):
    """Runs tolvane-publish with these arguments (options go to subprocess.run); its output is kept
    as text."""
    return subprocess.run([sys.executable, str(PUBLISH), *map(str, args)], capture_output=True,
                          text=True, env=dict(os.environ, **(env or {})), **options)


def signed_by_hand(lines, private):
    """A list as a studio's key signs it, made without the tool (any lines, as an earlier tool may
    have written them): what a host cannot forge. private: the PEM file of the key."""
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature

    key = serialization.load_pem_private_key(pathlib.Path(private).read_bytes(), None)
    body = "".join(line + "\r\n" for line in lines).encode("latin-1")
    r, s = decode_dss_signature(key.sign(body, ec.ECDSA(hashes.SHA256())))
    raw = r.to_bytes(32, "big") + s.to_bytes(32, "big")
    return body + b"'signature ecdsa-p256-sha256 " + base64.b64encode(raw) + b"\r\n"

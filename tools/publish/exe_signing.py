"""Authenticode signatures on the launcher and the game, made by osslsigncode: antivirus programs
and SmartScreen treat an unsigned updater as suspect, and a signature names the studio and
shows any change made to the file after signing."""
import shutil
import subprocess

import durable_file
from publication import Refused


def sign_exe(path, cert, key, timestamp=None, passphrase=None):
    """Signs the executable in place (SHA-256, with an RFC 3161 timestamp from the URL when one
    is given). The signed copy is made beside it and replaces it only when osslsigncode
    succeeded, so a failure leaves the file as it was. An existing signature is replaced."""
    tool = shutil.which("osslsigncode")
    if tool is None:
        raise Refused("osslsigncode is not installed (Debian package osslsigncode; ./tolvane deps installs it)")
    for what, file in (("file", path), ("certificate", cert), ("key", key)):
        if not file.is_file():
            raise Refused(f"{what} {file} does not exist")
    signed = durable_file.temporary_of(path)
    command = [tool, "sign", "-certs", str(cert), "-key", str(key), "-h", "sha256"]
    command += ["-ts", timestamp] if timestamp else []
    # The passphrase goes through a pipe: an argument would show in every process listing.
    command += ["-readpass", "-"] if passphrase is not None else []
    try:
        run = subprocess.run(command + ["-in", str(path), "-out", str(signed)], capture_output=True,
                             text=True, input=passphrase)
        if run.returncode != 0 or not signed.is_file():
            message = (run.stderr.strip() or run.stdout.strip()).splitlines()[-3:]
            raise Refused(f"osslsigncode could not sign {path}: " + " / ".join(message))
        shutil.copymode(path, signed)
        durable_file.replace_durably(signed, path)
    finally:
        signed.unlink(missing_ok=True)

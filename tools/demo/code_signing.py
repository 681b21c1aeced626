"""A code-signing certificate of a demo CA, made with openssl: what the demo (and the tests) sign
executables with, where a studio would use the certificate it bought. Nothing trusts the CA."""
import subprocess


def make(folder, publisher, passphrase=None):
    """Writes ca.pem, cert.pem and key.pem (RSA 2048, encrypted with the passphrase when one is
    given) into the folder, unless cert.pem is there already. Returns the three paths."""
    ca, cert, key = folder / "ca.pem", folder / "cert.pem", folder / "key.pem"
    if cert.exists():
        return ca, cert, key
    folder.mkdir(parents=True, exist_ok=True)

    def openssl(*args, **kwargs):
        subprocess.run(["openssl", *map(str, args)], check=True, capture_output=True, **kwargs)

    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", folder / "ca-key.pem", "-out", ca,
            "-days", "3650", "-subj", f"/CN={publisher} Demo CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    protect = ["-aes256", "-pass", "stdin"] if passphrase else []
    openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", *protect, "-out", key,
            input=(passphrase or "").encode())
    (folder / "cert.ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                     "extendedKeyUsage=codeSigning\n")
    opened = ["-passin", "stdin"] if passphrase else []
    openssl("req", "-new", "-key", key, *opened, "-subj", f"/CN={publisher}/O={publisher}",
            "-out", folder / "cert.csr", input=(passphrase or "").encode())
    openssl("x509", "-req", "-in", folder / "cert.csr", "-CA", ca, "-CAkey", folder / "ca-key.pem",
            "-CAcreateserial", "-days", "3650", "-extfile", folder / "cert.ext", "-out", cert)
    return ca, cert, key


def verify(path, ca):
    """(whether osslsigncode verifies the file's Authenticode signature against the CA, the
    signer's subject or None)."""
    run = subprocess.run(["osslsigncode", "verify", "-in", str(path), "-CAfile", str(ca)],
                         capture_output=True, text=True)
    subjects = [line.split(":", 1)[1].strip() for line in run.stdout.splitlines()
                if line.strip().startswith("Subject:")]
    ok = run.returncode == 0 and "Signature verification: ok" in run.stdout
    return ok, subjects[0] if subjects else None

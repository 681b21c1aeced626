#!/usr/bin/env python3
# Tests of tolvane-publish on real folders; signatures are checked with the cryptography
# library directly, as the launcher checks them: over every byte before the signature line.
import base64
import datetime
import hashlib
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import encode_dss_signature

ROOT = pathlib.Path(__file__).resolve().parents[2]
PUBLISH = ROOT / "tools" / "tolvane-publish"
sys.path.insert(0, str(ROOT / "cmake"))
import list_key  # noqa: E402  (the build's reading of the public key)

SIGNATURE = b"'signature ecdsa-p256-sha256 "


def run(*args):
    return subprocess.run([sys.executable, PUBLISH, *map(str, args)], capture_output=True, text=True)


def file_line(path, data, mark=""):
    return f"{path}{mark};size={len(data)};sha256={hashlib.sha256(data).hexdigest()}"


def verifies(data, public_key):
    """Whether the list's last line signs every byte before it, checked here independently."""
    body, _, line = data[:-2].rpartition(b"\r\n")
    body += b"\r\n"
    if not (data.endswith(b"\r\n") and line.startswith(SIGNATURE)):
        return False
    try:
        raw = base64.b64decode(line[len(SIGNATURE):], validate=True)
        signature = encode_dss_signature(int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big"))
        public_key.verify(signature, body, ec.ECDSA(hashes.SHA256()))
        return len(raw) == 64
    except (ValueError, InvalidSignature):
        return False


class Publish(unittest.TestCase):
    def setUp(self):
        temp = tempfile.TemporaryDirectory()
        self.addCleanup(temp.cleanup)
        self.dir = pathlib.Path(temp.name)
        self.release, self.site = self.dir / "release", self.dir / "site"
        self.list = self.site / "AppGameUpload" / "uploadfile.uda"

    def publish(self, version, files, *options):
        # Publishes a release folder that holds exactly these files ({"dir/name": bytes}).
        shutil.rmtree(self.release, ignore_errors=True)
        for name, data in files.items():
            (self.release / name).parent.mkdir(parents=True, exist_ok=True)
            (self.release / name).write_bytes(data)
        return run(*options, self.release, version, self.site)

    def site_files(self):
        return {p.relative_to(self.site).as_posix(): p.read_bytes() for p in self.site.rglob("*") if p.is_file()}

    def keygen(self, name="keys"):
        result = run("keygen", self.dir / name)
        self.assertEqual(result.returncode, 0, result.stderr)
        return self.dir / name / "private.pem", self.dir / name / "public.pem"

    def test_each_list_marks_changes_against_the_previous_publication(self):
        v1 = {"same.txt": b"same", "changes.dll": b"v1", "old/gone.pak": b"x", "data/deep/b.png": b"b"}
        v2 = {"same.txt": b"same", "changes.dll": b"v2", "new/n.txt": b"new", "data/deep/b.png": b"b"}
        marked = [("old/gone.pak", "{d}"), ("changes.dll", "{rw}"), ("data/deep/b.png", ""),
                  ("new/n.txt", ""), ("same.txt", "")]
        for version, files, lines in [
                ("1", v1, [("changes.dll", ""), ("data/deep/b.png", ""), ("old/gone.pak", ""), ("same.txt", "")]),
                ("2", v2, marked),
                ("3", v2, marked)]:  # marks stay for players who skip a version
            result = self.publish(version, files)
            self.assertEqual(result.returncode, 0, result.stderr)
            # The list is ASCII with CR LF after every line and no byte-order mark; the version
            # line is a deletion, so that a launcher asks the server for no file of its name;
            # every file line pins its size and hash.
            expected = {"AppGameUpload/" + name: data for name, data in files.items()}
            listing = [f"Version = {version};{{d}}"] + [
                f"{name};{{d}}".replace("/", "\\") if mark == "{d}" else
                file_line(name.replace("/", "\\"), files[name], mark and ";" + mark) for name, mark in lines]
            expected["AppGameUpload/uploadfile.uda"] = "".join(f"{line}\r\n" for line in listing).encode()
            site = self.site_files()
            del site["publication.json"]
            self.assertEqual(site, expected)
        self.assertFalse((self.site / "AppGameUpload" / "old").exists(), "emptied folders go")

    def test_refusals_write_nothing(self):
        private, public = self.keygen()
        p384, locked = self.dir / "p384.pem", self.dir / "locked.pem"
        p384.write_bytes(ec.generate_private_key(ec.SECP384R1()).private_bytes(
            serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8, serialization.NoEncryption()))
        locked.write_bytes(serialization.load_pem_private_key(private.read_bytes(), None).private_bytes(
            serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
            serialization.BestAvailableEncryption(b"secret")))
        cases = [({name: b"x"}, "2", (), fragment) for name, fragment in {
            "a;b.txt": "';'", "it's.txt": "apostrophe", "x{d}.pak": "{d}", "y{rw}": "{rw}",
            "docs/Version.txt": "Version", "caf\u00e9.txt": "ASCII", "uploadfile.uda": "list file",
            "con.txt": "device", "trail./x": "trailing", "a#b.txt": "'#'", "100%.txt": "'%'"}.items()]
        # The launcher reads the version line as a path too: no drive, no ".." level.
        cases += [({"a.txt": b"a"}, version, (), fragment) for version, fragment in [
            ("1;2", "';'"), ("1\n2", "line end"), ("  ", "empty"), ("1:2", "':'"), ("1\\..\\..\\x", "':'")]]
        cases += [({"Data/a.txt": b"1", "data/A.txt": b"2"}, "2", (), "letter case"),
                  # Blanks do not count in the launcher's comparison: this version is unchanged.
                  ({"a.txt": b"changed"}, "1.0beta", (), "unchanged")]
        cases += [({"a.txt": b"a"}, "2", ("--key", key), fragment) for key, fragment in [
            (self.dir / "none.pem", "cannot be read"), (public, "not a PEM private key"),
            (p384, "P-256"), (locked, "passphrase")]]
        cases += [({"a.txt": b"a"}, "2", ("--key", private, "--expires-days", "0"), "1 or more"),
                  # Renewing signs only a list that this key signed: here an unsigned one.
                  (None, None, ("--resign", self.site, "--key", private), "not signed with this key")]
        for files, version, options, fragment in cases:
            with self.subTest(files=files, version=version, options=options):
                shutil.rmtree(self.site, ignore_errors=True)
                self.assertEqual(self.publish("1.0 beta", {"a.txt": b"a"}).returncode, 0)
                before = self.site_files()
                result = self.publish(version, files, *options) if files else run(*options)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertRegex(result.stderr, "refused.*" + fragment.replace("{", r"\{"))
                self.assertEqual(self.site_files(), before)

    def test_keygen_writes_a_pair_once(self):
        private, public = self.keygen()
        self.assertEqual((private.stat().st_mode & 0o777, public.stat().st_mode & 0o777), (0o600, 0o644))
        key = serialization.load_pem_private_key(private.read_bytes(), None)
        # The public half is what the launcher's build reads, and belongs to the private half.
        numbers = key.public_key().public_numbers()
        self.assertEqual(list_key.read_key(public.read_text()),
                         numbers.x.to_bytes(32, "big") + numbers.y.to_bytes(32, "big"))
        for existing in (private, public):
            with self.subTest(existing=existing.name):
                other = self.dir / existing.name.replace(".pem", "")
                other.mkdir()
                (other / existing.name).write_bytes(b"kept")
                result = run("keygen", other)
                self.assertEqual(result.returncode, 1)
                self.assertIn("never overwritten", result.stderr)
                self.assertEqual([p.read_bytes() for p in other.iterdir()], [b"kept"])

    def test_signed_lists_count_serials_and_verify_over_the_bytes_before_the_signature(self):
        private, public = self.keygen()
        public_key = serialization.load_pem_public_key(public.read_bytes())
        v1, v2 = {"a.txt": b"one"}, {"a.txt": b"two", "b.bin": b"\0" * 5}
        key = ("--key", private)
        resign = ("--resign", self.site) + key
        # (files and version to publish, or None for a renewal; options; serial, or None for an
        # unsigned list; expiry days)
        steps = [(v1, "1", (), None, None),  # signed after an unsigned one
                 (v2, "2", key, 1, None),
                 (v2, "3", key + ("--expires-days", "30"), 2, 30),
                 (None, None, resign, 3, None),
                 (None, None, resign + ("--expires-days", "1"), 4, 1),
                 (v1, "4", (), None, None),  # the record carries the serial on
                 (v1, "5", key, 5, None)]
        for files, version, options, serial, days in steps:
            with self.subTest(version=version, options=options):
                before = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
                result = self.publish(version, files, *options) if files else run(*options)
                after = datetime.datetime.now(datetime.timezone.utc)
                self.assertEqual(result.returncode, 0, result.stderr)
                data = self.list.read_bytes()
                written = data.decode("ascii").split("\r\n")
                self.assertEqual(written.pop(), "")
                if serial is None:
                    self.assertFalse(any(line.startswith("'") for line in written), written)
                    self.assertFalse(verifies(data, public_key))
                    continue
                if files:
                    lines = written[:-2]
                    self.assertEqual(lines[0], f"Version = {version};{{d}}")
                # Renewing keeps every line; the serial line stands right above the signature.
                self.assertEqual(written[:-2], lines)
                serial_line, _, expires = written[-2].partition(" expires=")
                self.assertEqual(serial_line, f"'tolvane-list serial={serial}")
                self.assertEqual(expires == "", days is None, expires)
                if days:
                    expiry = datetime.datetime.strptime(expires, "%Y-%m-%dT%H:%M:%SZ").replace(
                        tzinfo=datetime.timezone.utc) - datetime.timedelta(days=days)
                    self.assertTrue(before <= expiry <= after, expires)
                self.assertTrue(verifies(data, public_key))
                for at in (0, len(data) // 2, len(data) - len(written[-1]) - 3, len(data) - 30):
                    flipped = bytearray(data)
                    flipped[at] ^= 1
                    self.assertFalse(verifies(bytes(flipped), public_key), at)
        # A list changed after signing is not renewed: the signature would vouch for the change.
        self.list.write_bytes(self.list.read_bytes().replace(b"Version = 5", b"Version = 6"))
        before = self.site_files()
        result = run(*resign)
        self.assertEqual(result.returncode, 1)
        self.assertIn("changed since it was signed", result.stderr)
        self.assertEqual(self.site_files(), before)


if __name__ == "__main__":
    unittest.main()

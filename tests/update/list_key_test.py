#!/usr/bin/env python3
# The build's reading of the list-signing key (cmake/list_key.cmake and list_key.py), on keys
# that openssl makes for each run: a good P-256 public key gives its X||Y, anything else stops
# the configure step with a message naming the file and what is wrong.
# usage: list_key_test.py CMAKE
import base64
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest

CMAKE = sys.argv.pop(1) if len(sys.argv) > 1 else "cmake"
KEY_MODULE = pathlib.Path(__file__).resolve().parents[2] / "cmake" / "list_key.cmake"


def openssl(*args, data=None):
    return subprocess.run(["openssl", *args], input=data, capture_output=True, check=True).stdout


def pem(kind, der):
    # openssl refuses to write a key it finds broken, so these are written here.
    text = base64.b64encode(der).decode()
    lines = [text[i:i + 64] for i in range(0, len(text), 64)]
    return "\n".join([f"-----BEGIN {kind}-----", *lines, f"-----END {kind}-----", ""]).encode()


class ListKey(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        cls.dir = pathlib.Path(cls.temp.name)
        # A project without languages that only reads the key, as the engine's build does.
        (cls.dir / "CMakeLists.txt").write_text(
            "cmake_minimum_required(VERSION 3.24)\nproject(key NONE)\n"
            f'include("{KEY_MODULE}")\ntolvane_list_key("${{KEY}}" key)\n'
            'message(STATUS "key=${key}")\n')
        p256 = openssl("ecparam", "-name", "prime256v1", "-genkey", "-noout")
        cls.public = openssl("ec", "-pubout", data=p256)
        # X||Y as openssl prints it: "pub:" then 04, X, Y in hex pairs.
        text = openssl("ec", "-pubin", "-noout", "-text", data=cls.public).decode()
        point = re.search(r"pub:\s*((?:[0-9a-f]{2}:?\s*)+)", text).group(1)
        cls.xy = re.sub(r"[^0-9a-f]", "", point)[2:]
        der = bytearray(openssl("ec", "-pubin", "-outform", "DER", data=cls.public))
        der[-1] ^= 1  # Y changed: no longer on the curve
        rsa = openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024")
        p384 = openssl("ecparam", "-name", "secp384r1", "-genkey", "-noout")
        cls.keys = {
            "good.pem": cls.public,
            "crlf.pem": cls.public.replace(b"\n", b"\r\n"),
            "rsa.pem": openssl("pkey", "-pubout", data=rsa),
            "p384.pem": openssl("ec", "-pubout", data=p384),
            "private.pem": p256,
            "private_pkcs8.pem": openssl("pkey", data=p256),
            "compressed.pem": openssl("ec", "-pubout", "-conv_form", "compressed", data=p256),
            "off_curve.pem": pem("PUBLIC KEY", bytes(der)),
            "two.pem": cls.public + cls.public,
            "garbage.pem": b"not a key\n",
            "binary.pem": bytes(range(256)),
            "bad_base64.pem": cls.public.replace(b"MFkw", b"MF*w"),
        }
        for name, data in cls.keys.items():
            (cls.dir / name).write_bytes(data)

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def configure(self, name):
        build = self.dir / ("build-" + name)
        return subprocess.run([CMAKE, "-S", self.dir, "-B", build, f"-DKEY={self.dir / name}"],
                              capture_output=True, text=True)

    def test_a_p256_public_key_gives_its_point(self):
        for name in ["good.pem", "crlf.pem"]:
            with self.subTest(name):
                result = self.configure(name)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn(f"key={self.xy}\n", result.stdout)
                self.assertEqual(len(self.xy), 128)

    def test_anything_else_stops_the_configure_step_with_the_reason(self):
        for name, reason in {
                "rsa.pem": "is an RSA key, not an ECDSA P-256 key",
                "p384.pem": "is an EC key on another curve, not P-256",
                "private.pem": "holds a private key",
                "private_pkcs8.pem": "holds a private key",
                "compressed.pem": "holds a compressed point",
                "off_curve.pem": "its point is not on the P-256 curve",
                "two.pem": "needs exactly one PEM block PUBLIC KEY",
                "garbage.pem": "needs exactly one PEM block PUBLIC KEY (found: none)",
                "binary.pem": "is not PEM text",
                "bad_base64.pem": "its PUBLIC KEY block is not valid base64",
                "missing.pem": "cannot be read"}.items():
            with self.subTest(name):
                result = self.configure(name)
                self.assertNotEqual(result.returncode, 0)
                message = " ".join(result.stderr.split())  # CMake wraps long messages
                self.assertIn("list-signing key", message)
                self.assertIn(f"{self.dir / name}: {reason}", message)


if __name__ == "__main__":
    unittest.main()

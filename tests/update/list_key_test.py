#!/usr/bin/env python3
# The build's reading of the list-signing key (cmake/list_key.cmake and list_key.py), on keys
# that openssl makes for each run: a good P-256 public key gives its X||Y, anything else stops
# the configure step with a message naming the file and what is wrong. And the whole project's
# configure step with and without its update server and key (cmake/required_settings.cmake).
# usage: list_key_test.py CMAKE [WORK_FOLDER]
import base64
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest

CMAKE = sys.argv.pop(1) if len(sys.argv) > 1 else "cmake"
WORK = sys.argv.pop(1) if len(sys.argv) > 1 else None
TOP = pathlib.Path(__file__).resolve().parents[2]


def openssl(*args, data=None):
    return subprocess.run(["openssl", *args], input=data, capture_output=True, check=True).stdout


def p256():
    return openssl("ecparam", "-name", "prime256v1", "-genkey", "-noout")


def point(public):
    """X||Y of a PEM public key as openssl prints it: "pub:" then 04, X, Y in hex pairs."""
    text = openssl("ec", "-pubin", "-noout", "-text", data=public).decode()
    return re.sub(r"[^0-9a-f]", "", re.search(r"pub:\s*((?:[0-9a-f]{2}:?\s*)+)", text).group(1))[2:]


class ListKey(unittest.TestCase):
    def setUp(self):
        temp = tempfile.TemporaryDirectory(dir=WORK)
        self.addCleanup(temp.cleanup)
        self.folder = pathlib.Path(temp.name)

    def configure(self, source, name, arguments, refusal):
        """Configures source into build-NAME: refused with refusal in the message, or, when that
        is None, accepted, giving its output."""
        result = subprocess.run([CMAKE, "-S", source, "-B", self.folder / ("build-" + name), *arguments],
                                capture_output=True, text=True, cwd=TOP)
        self.assertEqual(result.returncode != 0, bool(refusal), result.stderr)
        if refusal:
            self.assertIn(refusal, " ".join(result.stderr.split()))  # CMake wraps long messages
        return result.stdout

    def test_a_p256_public_key_gives_its_point_and_anything_else_stops_with_the_reason(self):
        # A project without languages that only reads the key, as the engine's build does.
        (self.folder / "CMakeLists.txt").write_text(
            "cmake_minimum_required(VERSION 3.24)\nproject(key NONE)\n"
            f'include("{TOP / "cmake" / "list_key.cmake"}")\ntolvane_list_key("${{KEY}}" key)\n'
            'message(STATUS "key=${key}")\n')
        private = p256()
        public = openssl("ec", "-pubout", data=private)
        # Y changed: no longer on the curve. openssl refuses to write such a key, so it is
        # written here.
        der = bytearray(openssl("ec", "-pubin", "-outform", "DER", data=public))
        der[-1] ^= 1
        off_curve = b"-----BEGIN PUBLIC KEY-----\n%s-----END PUBLIC KEY-----\n" % base64.encodebytes(der)
        rsa = openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:1024")
        p384 = openssl("ecparam", "-name", "secp384r1", "-genkey", "-noout")
        # The key file, and the key it gives or why it stops the configure step.
        for name, data, outcome in [
                ("good.pem", public, [f"key={point(public)}\n"]),
                ("crlf.pem", public.replace(b"\n", b"\r\n"), [f"key={point(public)}\n"]),
                ("rsa.pem", openssl("pkey", "-pubout", data=rsa), "is an RSA key, not an ECDSA P-256 key"),
                ("p384.pem", openssl("ec", "-pubout", data=p384), "is an EC key on another curve, not P-256"),
                ("private.pem", private, "holds a private key"),
                ("private_pkcs8.pem", openssl("pkey", data=private), "holds a private key"),
                ("compressed.pem", openssl("ec", "-pubout", "-conv_form", "compressed", data=private),
                 "holds a compressed point"),
                ("off_curve.pem", off_curve, "its point is not on the P-256 curve"),
                ("two.pem", public + public, "needs exactly one PEM block PUBLIC KEY"),
                ("garbage.pem", b"not a key\n", "needs exactly one PEM block PUBLIC KEY (found: none)"),
                ("binary.pem", bytes(range(256)), "is not PEM text"),
                ("bad_base64.pem", public.replace(b"MFkw", b"MF*w"), "its PUBLIC KEY block is not valid base64"),
                ("missing.pem", None, "cannot be read")]:
            with self.subTest(name):
                if data is not None:
                    (self.folder / name).write_bytes(data)
                refusal = isinstance(outcome, str) and f"{self.folder / name}: {outcome}"
                output = self.configure(self.folder, name, [f"-DKEY={self.folder / name}"], refusal)
                self.assertTrue(refusal or outcome[0] in output, output)

    def test_the_project_configures_only_with_a_server_and_key_or_the_explicit_opt_out(self):
        keys = {}
        for name in ("old", "new"):
            (self.folder / name).mkdir()
            (self.folder / name / "public.pem").write_bytes(openssl("ec", "-pubout", data=p256()))
            keys[name] = point((self.folder / name / "public.pem").read_bytes())
        # Relative to the top of the source tree, as the README writes them.
        old, new = (os.path.relpath(self.folder / name / "public.pem", TOP) for name in ("old", "new"))
        url = "-DTOLVANE_UPDATE_URL=https://updates.example.com/launcher/"
        plain = [f"-DCMAKE_TOOLCHAIN_FILE={TOP / 'cmake' / 'toolchain-mingw64.cmake'}",
                 "-DTOLVANE_BUILD_TESTS=OFF"]
        # The configure arguments, and what stops it or the engine's definitions it leads to.
        for name, arguments, outcome in [
                ("ship-no-key", ["--preset", "ship", url], "not set: TOLVANE_UPDATE_KEY."),
                ("ship-no-url", ["--preset", "ship", f"-DTOLVANE_UPDATE_KEY={old}"],
                 "not set: TOLVANE_UPDATE_URL."),
                ("ship-two-keys", ["--preset", "ship", url, f"-DTOLVANE_UPDATE_KEY={old};{new}"],
                 [f'TOLVANE_LIST_KEY=\\"{keys["old"]}{keys["new"]}\\"']),
                # Mirrors: base URLs separated by ";", each checked.
                ("ship-mirrors", ["--preset", "ship", f"-DTOLVANE_UPDATE_KEY={old}",
                                  "-DTOLVANE_UPDATE_URL=https://a.example/l/;https://b.example:8443/"],
                 ["https://a.example/l/ https://b.example:8443/"]),
                ("ship-mirror-http", ["--preset", "ship", f"-DTOLVANE_UPDATE_KEY={old}",
                                      "-DTOLVANE_UPDATE_URL=https://a.example/;http://b.example/"],
                 "'http://b.example/' is not"),
                ("ship-mirror-blank", ["--preset", "ship", f"-DTOLVANE_UPDATE_KEY={old}",
                                       "-DTOLVANE_UPDATE_URL=https://a.example/;https://b c/"],
                 "'https://b c/' is not"),
                ("keyless", plain, "give TOLVANE_UPDATE_KEY"),
                ("keyless-allowed", plain + ["-DTOLVANE_ALLOW_UNSIGNED_LISTS=ON"],
                 ['TOLVANE_LIST_KEY=\\"\\"', "TOLVANE_UNSIGNED_LISTS_ALLOWED=1"])]:
            with self.subTest(name):
                self.configure(TOP, name, arguments, isinstance(outcome, str) and outcome)
                if isinstance(outcome, list):
                    build = self.folder / ("build-" + name)
                    flags = (build / "src/update/CMakeFiles/tolvane_update.dir/flags.make").read_text()
                    self.assertTrue(all(definition in flags for definition in outcome), flags)
                    self.assertEqual("TOLVANE_UNSIGNED_LISTS_ALLOWED" in flags, name == "keyless-allowed")
                    self.assertFalse((build / "tests").exists(), "the tests are configured")


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
# Tests of tolvane-publish on real folders; signatures are checked with the cryptography
# library directly, as the launcher checks them: over every byte before the signature line.
#   publish_test.py [EXE]   EXE: a Windows executable for sign-exe to sign (a copy of it)
import base64
import datetime
import hashlib
import json
import pathlib
import os
import re
import resource
import shutil
import signal
import sys
import tempfile
import unittest

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import encode_dss_signature

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT / "cmake"), str(ROOT / "tools" / "demo"), str(ROOT / "tools" / "testing"),
                str(ROOT / "tools" / "publish")]
import code_signing  # noqa: E402  (the demo's code-signing certificate, made with openssl)
import list_key  # noqa: E402  (the build's reading of the public key)
import name_rules  # noqa: E402  (the publisher's reading of the launcher's rules)
import channels  # noqa: E402
import native_chunker  # noqa: E402  (the launcher's chunker and index reader, built natively)
import publication  # noqa: E402
import rollout  # noqa: E402
from name_table import as_release_file, channel_table, name_table, rollout_table  # noqa: E402
from release_folder import publish, signed_by_hand as signed, write_release  # noqa: E402

SIGNATURE = b"'signature ecdsa-p256-sha256 "
LIST = "AppGameUpload/uploadfile.uda"
EXE = sys.argv[1] if len(sys.argv) > 1 else None
PASSPHRASE = {"TEST_PASSPHRASE": "correct horse", "WRONG_PASSPHRASE": "secret"}
# Chunked from just above the largest chunk, so that files of a few MiB are big here.
CHUNKED = ("--chunk-threshold", native_chunker.sizes()[2] + 1)
BIG = 5 << 20


def run(*args, **options):
    return publish(*args, env=PASSPHRASE, **options)


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
        self.site, self.list = self.dir / "site", self.dir / "site" / LIST

    def publish(self, version, files, *options):
        return run(*options, write_release(self.dir / "release", files), version, self.site)

    def files(self, folder=None):
        """The files under folder, by default all but the release's: the site, keys, serial records."""
        folder = folder or self.dir
        return {p.relative_to(folder).as_posix(): p.read_bytes() for p in folder.rglob("*")
                if p.is_file() and not p.is_relative_to(self.dir / "release")}

    def assertRefused(self, act, fragment, code=1):
        """act() ends with code and a message matching fragment, and writes nothing."""
        before = self.files()
        result = act()
        self.assertEqual(result.returncode, code, result.stdout)
        self.assertRegex(result.stderr, fragment)
        self.assertEqual(self.files(), before)

    def snapshot(self):  # the site as published, for each row to start from
        return shutil.copytree(self.site, self.dir / "published", symlinks=True)

    def restore(self, published):
        shutil.rmtree(self.site), shutil.copytree(published, self.site, symlinks=True)

    def outside(self):  # a folder of the studio's that links planted on the host point to
        (self.dir / "outside").mkdir(), (self.dir / "outside" / "keep.txt").write_bytes(b"keep")
        return self.dir / "outside"

    def assertOutsideKept(self, outside):
        self.assertEqual({p.name: p.read_bytes() for p in outside.iterdir()}, {"keep.txt": b"keep"})

    def assertStoreServes(self, releases):
        """TolvaneChunks/ holds exactly the chunks and indexes of the big files of these releases
        ({path: bytes} each), every chunk's bytes hashing to its name and every index taken by
        the launcher's reader for its file; nothing in it is a link."""
        store, expected = self.site / "TolvaneChunks", set()
        for files in releases:
            for data in (d for d in files.values() if len(d) > CHUNKED[1] - 1):
                sha = hashlib.sha256(data).hexdigest()
                expected.add(f"index/{sha}")
                index = store / "index" / sha
                self.assertIsNone(native_chunker.index_refusal(len(data), sha, index))
                for line in index.read_text().splitlines()[1:]:
                    offset, length, chunk = line.split(" ")
                    expected.add(f"{chunk[:2]}/{chunk}")
                    stored = (store / chunk[:2] / chunk).read_bytes()
                    self.assertEqual(data[int(offset):int(offset) + int(length)], stored)
        self.assertFalse([p for p in store.rglob("*") if p.is_symlink()])
        self.assertEqual({p.relative_to(store).as_posix() for p in store.rglob("*") if p.is_file()}, expected)

    def test_big_files_are_chunked_once_and_pruned_after_the_last_kept_publication(self):
        big = os.urandom(BIG)
        # Each a megabyte overwritten and 4 KiB inserted: most chunks stay, and are not rewritten.
        patched = [big[:n << 20] + os.urandom(4096) + big[(n << 20) + 4096:] for n in range(1, 4)]
        releases = [{"big.pak": big, "copy.pak": big, "small.txt": b"s", "edge.bin": b"e" * (CHUNKED[1] - 1)}] + [
            {"big.pak": data, "small.txt": b"s"} for data in patched]
        for number, files in enumerate(releases):
            with self.subTest(version=number):
                before = {p: p.stat().st_mtime_ns for p in (self.site / "TolvaneChunks").rglob("*") if p.is_file()}
                result = self.publish(str(number), files, *CHUNKED, "--keep", "2")
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn(f"{sum(len(d) >= CHUNKED[1] for d in files.values())} chunked", result.stdout)
                self.assertStoreServes(releases[max(0, number - 1):number + 1])
                history = json.loads((self.site / "releases.json").read_text())
                self.assertEqual([entry["version"] for entry in history], [str(n) for n in range(number + 1)][-2:])
                kept = {p: t for p, t in before.items() if p.exists()}
                self.assertEqual({p: p.stat().st_mtime_ns for p in kept}, kept, "a chunk is never rewritten")
                self.assertTrue(number == 0 or len(kept) > len(before) / 3, "an edit moves few cuts")
        # The list is what it would be without chunks: no field a launcher would not know.
        self.assertEqual(self.list.read_bytes().decode().split("\r\n")[3:5],
                         [file_line("big.pak", patched[-1], ";{rw}"), file_line("small.txt", b"s")])

    def test_a_breached_chunk_store_is_written_anew(self):
        outside = self.outside()
        files = {"big.pak": os.urandom(BIG), "a.txt": b"a"}
        self.assertEqual(self.publish("1", files, *CHUNKED).returncode, 0)
        published = self.snapshot()
        store = self.site / "TolvaneChunks"
        sha = hashlib.sha256(files["big.pak"]).hexdigest()
        first = (store / "index" / sha).read_text().splitlines()[1].split(" ")[2]

        def swap_for_link(path, target=outside):
            shutil.rmtree(path) if path.is_dir() and not path.is_symlink() else path.unlink()
            os.symlink(target, path)

        def put(path, data):
            return lambda: (path.parent.mkdir(parents=True, exist_ok=True), path.write_bytes(data))

        # (what the host plants, and the pattern of the refusal, or None where the store is made
        # to serve the release again, links removed and never followed)
        rows = [(put(store / first[:2] / first, b"planted"), None),  # a chunk's bytes not its name's
                (put(store / first[:2] / first, b"x" * (store / first[:2] / first).stat().st_size), None),
                (put(store / "index" / sha, (store / "index" / sha).read_bytes().replace(b" ", b"  ", 1)), None),
                (lambda: swap_for_link(store / first[:2]), None),
                (lambda: swap_for_link(store / first[:2] / first, outside / "keep.txt"), None),
                (lambda: swap_for_link(store), None),
                (lambda: swap_for_link(store / "index"), None),
                (put(store / "ab" / ("ab" + "0" * 62), b"a planted chunk no list names"), None),
                (put(store / "index" / ("0" * 64), b"tolvane-chunk-index 1 size=1 sha256=0 chunks=1\n"), None),
                (lambda: (shutil.rmtree(store / "index"), (store / "index").write_bytes(b"a file")), None),
                (put(self.site / "releases.json", b"[{"), "not a readable record of the chunk store"),
                (put(self.site / "releases.json", b'[{"version": "1", "chunks": {"x": 1}, "indexes": {}}]'),
                 "not a record of the chunk store"),
                (lambda: swap_for_link(self.site / "releases.json", outside / "keep.txt"),
                 "not a readable record")]
        for number, (plant, pattern) in enumerate(rows):
            with self.subTest(number=number):
                self.restore(published)
                plant()
                act = lambda: self.publish("2", files, *CHUNKED)  # noqa: E731
                if pattern:
                    self.assertRefused(act, f"^tolvane-publish: refused: .*{pattern}.*\n$")
                    continue
                result = act()
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertStoreServes([files])
                self.assertOutsideKept(outside)

    def keygen(self, name="keys", *options):
        result = run("keygen", self.dir / name, *options)
        self.assertEqual(result.returncode, 0, result.stderr)
        return self.dir / name / "private.pem", self.dir / name / "public.pem"

    def test_each_list_marks_changes_against_the_previous_publication(self):
        # A release may carry the launcher; one that leaves it out keeps it (no "{d}" line).
        v1 = {"same.txt": b"same", "changes.dll": b"v1", "old/gone.pak": b"x", "data/deep/b.png": b"b",
              "TolvaneLauncher.exe": b"L"}
        v2 = {"same.txt": b"same", "changes.dll": b"v2", "new/n.txt": b"new", "data/deep/b.png": b"b"}
        v4 = {"same.txt": b"same", "changes.dll/inner/x.bin": b"deep", "data/deep": b"a file", "new/n.txt": b"new"}
        marked = [("old/gone.pak", "{d}"), ("changes.dll", "{rw}"), ("data/deep/b.png", ""),
                  ("new/n.txt", ""), ("same.txt", "")]
        for version, files, lines in [
                ("1", v1, [("TolvaneLauncher.exe", ""), ("changes.dll", ""), ("data/deep/b.png", ""),
                           ("old/gone.pak", ""), ("same.txt", "")]),
                ("2", v2, marked),
                ("3", v2, marked),  # marks stay for players who skip a version
                # A file becomes a folder, two levels deep, and a folder a file: the upload folder
                # takes the new shape, and the old names are "{d}" lines.
                ("4", v4, [("changes.dll", "{d}"), ("data/deep/b.png", "{d}"), ("old/gone.pak", "{d}"),
                           ("changes.dll/inner/x.bin", ""), ("data/deep", ""), ("new/n.txt", ""), ("same.txt", "")]),
                ("5", v2, [("changes.dll/inner/x.bin", "{d}"), ("data/deep", "{d}"), ("old/gone.pak", "{d}"),
                           ("changes.dll", ""), ("data/deep/b.png", ""), ("new/n.txt", ""), ("same.txt", "")])]:
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
            site = self.files(self.site)
            del site["publication.json"]
            self.assertEqual(site, expected)
        self.assertFalse((self.site / "AppGameUpload" / "old").exists(), "emptied folders go")

    def test_refusals_write_nothing(self):
        private, public = self.keygen()
        locked, _ = self.keygen("locked", "--key-passphrase-env", "TEST_PASSPHRASE")
        p384 = self.dir / "p384.pem"
        p384.write_bytes(ec.generate_private_key(ec.SECP384R1()).private_bytes(
            serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8, serialization.NoEncryption()))
        # Every name and version text of the shared table that the launcher refuses, or would read
        # as another line, that a release folder can hold; each case a pattern of the message.
        rows = [(what, text, re.escape(name_rules.WHY[verdict])) for what, verdict, text in name_table()
                if verdict != "taken"]
        cases = [({as_release_file(text): b"x"}, "2", (), "file .*" + why) for what, text, why in rows
                 if what == "name" and as_release_file(text)]
        cases += [({"a.txt": b"a"}, text, (), "version .*" + why) for what, text, why in rows
                  if what == "version" and "\0" not in text]  # no argument holds a NUL
        cases += [({"a.txt": b"a"}, "  ", (), "empty"),
                  # Two names of one file for Windows, or of a file and a folder.
                  ({"Data/a.txt": b"1", "data/A.txt": b"2"}, "2", (), "letter case"),
                  ({"Data": b"1", "data/A.txt": b"2"}, "2", (), re.escape("'Data' is a folder of 'data\\\\A.txt'")),
                  # Blanks do not count in the launcher's comparison: this version is unchanged.
                  ({"a.txt": b"changed"}, "1.0beta", (), "unchanged")]
        cases += [({"a.txt": b"a"}, "2", ("--key",) + options, re.escape(fragment)) for options, fragment in [
            ((self.dir / "none.pem",), "cannot be read"), ((public,), "not a PEM private key"),
            ((p384,), "P-256"), ((locked,), "protected by a passphrase"),
            ((locked, "--key-passphrase-env", "UNSET_VARIABLE"), "not set"),
            ((locked, "--key-passphrase-env", "WRONG_PASSPHRASE"), "does not open"),
            ((private, "--key-passphrase-env", "TEST_PASSPHRASE"), "not protected"),
            ((private, "--expires-days", "-1"), "whole number"), ((private, "--product", "a b"), "product name"),
            ((private, "--chunk-threshold", CHUNKED[1] - 1), "above the largest chunk"),
            ((private, "--chunk-threshold", "8M"), "whole number"), ((private, "--keep", "0"), "at least")]
            + [((private, "--rollout", text), "whole percentage") for text in ("0.1", "0", "101", "50%", "050", "")]
            + [((private, "--channel", name), "a channel name is") for name, channel, _ in channel_table()
               if channel == "refused"]]
        # A channel and a rollout are bound by the signature alone.
        cases += [({"a.txt": b"a"}, "2", options, "need --key") for options in (("--channel", "beta"),
                                                                                ("--rollout", "50"))]
        # Renewing signs only a list that this key signed: here an unsigned one.
        cases += [(None, None, ("--resign", self.site, "--key", private), "does not verify")]
        self.assertEqual(self.publish("1.0 beta", {"a.txt": b"a"}).returncode, 0)
        published = self.snapshot()
        for files, version, options, pattern in cases:
            with self.subTest(files=files, version=version, options=options):
                self.restore(published)
                self.assertRefused(lambda: self.publish(version, files, *options) if files else run(*options),
                                   "^tolvane-publish: refused: .*" + pattern + ".*\n$")

    def test_the_shared_tables_are_judged_as_the_launcher_judges_them(self):
        for name, channel, folder in channel_table():
            with self.subTest(channel=name):
                self.assertEqual(channels.canonical(name), None if channel == "refused" else channel)
                self.assertEqual(channel == "refused" or channels.folder_name(channel), folder or True)
        for install_id, salt, percent, taken in rollout_table():
            with self.subTest(install_id=install_id, salt=salt, percent=percent):
                self.assertEqual(rollout.takes(install_id, salt, percent), taken)
        taken = {"name": [], "version": []}
        for what, verdict, text in name_table():
            with self.subTest(what=what, text=text):
                self.assertEqual(name_rules.verdict(text, what == "version"), verdict)
                check = publication.check_version if what == "version" else lambda name: publication.check_names([name])
                if verdict != "taken":
                    self.assertRaisesRegex(publication.Refused, re.escape(name_rules.WHY[verdict]), check, text)
                    continue
                check(text)
                taken[what].append(text)
        # What it takes, it publishes: every taken name (in releases where no two are one file
        # for Windows) and every taken version text.
        releases = []
        for name in taken["name"]:
            fits = [r for r in releases if not name_rules.resolved(name) in {name_rules.resolved(n) for n in r}]
            (fits[0] if fits else releases.append([]) or releases[-1]).append(name)
        versions = iter(taken["version"] + [f"extra {n}" for n in range(len(releases))])
        for files in [{as_release_file(n): n.encode() for n in r} for r in releases] + [{"a.txt": b"a"}] * 9:
            version = next(versions, None)
            if version is None:
                break
            result = self.publish(version, files)
            with self.subTest(version=version, files=sorted(files)):
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                written = self.list.read_bytes().decode("ascii").split("\r\n")
                self.assertEqual(written[0], f"Version = {version};{{d}}")
                for name, data in files.items():  # "{rw}": another spelling of a file before
                    self.assertTrue({file_line(name.replace("/", "\\"), data, mark) for mark in ("", ";{rw}")}
                                    & set(written), name)

    def test_a_failure_is_one_line_and_leaves_the_site_as_it_was(self):
        outside = self.outside()
        self.assertEqual(self.publish("1", {"a.txt": b"a", "data/b.txt": b"b"}).returncode, 0)
        published = self.snapshot()
        upload = self.site / "AppGameUpload"

        def plant_links():  # what a host may plant: links in the site, to the studio's files
            shutil.rmtree(upload / "data")
            (upload / "a.txt").unlink()
            for link, target in (("data", outside), ("a.txt", outside / "keep.txt"), ("evil", outside)):
                os.symlink(target, upload / link)

        # (what differs in the release folder or the site, a limit of the bytes a file may take,
        # and the pattern of the one line of a refusal, or None where the site gets the release)
        rows = [(lambda: os.symlink(outside, self.dir / "release" / "linked"), None, "a link to a folder"),
                (lambda: os.mkfifo(self.dir / "release" / "pipe"), None, "pipe: neither a file nor a folder"),
                (lambda: os.symlink("/proc/self/mem", self.dir / "release" / "mem.bin"), None,
                 "mem.bin: cannot be read"),
                (lambda: (self.dir / "release" / "big.bin").write_bytes(b"x" * 300000), 200000,
                 "big.bin: cannot be copied into the site .*the site is as it was"),
                (lambda: (self.dir / "release" / "big.bin").write_bytes(os.urandom(BIG)), 200000,
                 "cannot be copied into the chunk store .*the site is as it was"),
                (plant_links, None, None)]
        for prepare, limit, pattern in rows:
            with self.subTest(pattern=pattern):
                self.restore(published)
                release = write_release(self.dir / "release", {"a.txt": b"a2", "data/b.txt": b"b"})
                prepare()

                def limited():
                    resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
                    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past it fails instead

                act = lambda: run(*CHUNKED, release, "2", self.site, preexec_fn=limited if limit else None)  # noqa: E731
                if pattern:
                    self.assertRefused(act, f"^tolvane-publish: refused: .*{pattern}.*\\n$")
                    continue
                self.assertEqual(act().returncode, 0)
                self.assertEqual({p.relative_to(upload).as_posix() for p in upload.rglob("*") if p.is_file()},
                                 {"a.txt", "data/b.txt", "uploadfile.uda"})
                self.assertFalse(any(p.is_symlink() for p in upload.rglob("*")))
                self.assertOutsideKept(outside)

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
                self.assertRefused(lambda: run("keygen", other), "never overwritten")
        # With a passphrase, the private key is written encrypted and signs once opened with it.
        locked, _ = self.keygen("locked", "--key-passphrase-env", "TEST_PASSPHRASE")
        opened = serialization.load_pem_private_key(locked.read_bytes(), PASSPHRASE["TEST_PASSPHRASE"].encode())
        result = self.publish("1", {"a.txt": b"a"}, "--key", locked, "--key-passphrase-env", "TEST_PASSPHRASE")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(verifies(self.list.read_bytes(), opened.public_key()))
        # A new key's first list goes on from the serials of the key it follows, never from none.
        for version, options in (("2", ("--new-site",)), ("2.1", ())):  # serials 1 and 2
            self.assertEqual(self.publish(version, {"a.txt": version.encode()}, "--key", private,
                                          *options).returncode, 0)
        for source, name, fragment in ((self.dir / "empty", "a.txt", "records no serial"),
                                       (private.parent, "a;b.txt", "';'")):  # refused, record kept
            self.assertRefused(lambda: self.publish("3", {name: b"c"}, "--key", locked, "--new-site",
                                                    "--key-passphrase-env", "TEST_PASSPHRASE",
                                                    "--serials-from", source), fragment)
        result = self.publish("3", {"a.txt": b"c"}, "--key", locked, "--new-site", "--key-passphrase-env",
                              "TEST_PASSPHRASE", "--serials-from", private.parent)
        self.assertIn("serial 3", result.stdout, result.stderr)  # not 2, after the locked key's 1

    def test_signed_lists_count_serials_and_verify_over_the_bytes_before_the_signature(self):
        private, public = self.keygen()
        public_key = serialization.load_pem_public_key(public.read_bytes())
        v1, v2 = {"a.txt": b"one"}, {"a.txt": b"two", "b.bin": b"\0" * 5}
        key = ("--key", private)
        resign = ("--resign", self.site) + key
        beta = "Tolvane-Game_2.x"
        # (files and version to publish, or None for a renewal; options; serial, or None for an
        # unsigned list; expiry days, None for none; product)
        steps = [(v1, "1", (), None, None, None),
                 (v2, "2", key + ("--new-site",), 1, 90, None),  # an unsigned site is started over
                 (v2, "3", key + ("--expires-days", "30"), 2, 30, None),
                 (None, None, resign + ("--expires-days", "0"), 3, None, None),
                 (None, None, resign, 4, 90, None),
                 (v1, "4", (), None, None, None),
                 (v1, "5", key + ("--new-site",), 5, 90, None),  # the record beside the key counts on
                 (v1, "6", key + ("--new-site", "--product", beta), 1, 90, beta),  # per product
                 (None, None, resign, 2, 90, beta)]  # a renewal keeps the product
        signed_lists = {}
        for files, version, options, serial, days, product in steps:
            with self.subTest(version=version, options=options):
                before = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
                result = self.publish(version, files, *options) if files else run(*options)
                after = datetime.datetime.now(datetime.timezone.utc)
                self.assertEqual(result.returncode, 0, result.stderr)
                data = self.list.read_bytes()
                written = data.decode("ascii").split("\r\n")[:-1]
                self.assertEqual(verifies(data, public_key), serial is not None)
                if serial is None:
                    self.assertFalse(any(line.startswith("'") for line in written), written)
                    continue
                signed_lists[product, serial] = data
                if files:
                    lines = written[:-2]
                    self.assertEqual(lines[0], f"Version = {version};{{d}}")
                # Renewing keeps every line; the serial line stands right above the signature.
                self.assertEqual(written[:-2], lines)
                head, *fields = written[-2].split(" ")
                fields = dict(field.split("=", 1) for field in fields)
                self.assertEqual((head, fields.get("product"), fields["serial"]),
                                 ("'tolvane-list", product, str(serial)))
                self.assertEqual(("expires" in fields, "never expires" in result.stderr), (bool(days), not days),
                                 (fields, result.stderr))
                if days:
                    expiry = datetime.datetime.strptime(fields["expires"] + "+0000", "%Y-%m-%dT%H:%M:%SZ%z")
                    self.assertTrue(before <= expiry - datetime.timedelta(days=days) <= after, fields)
                self.assertEqual(json.loads((private.parent / "serials.json").read_text())[product or ""], serial)
        # Not renewed: an older genuine list put back on the host (its serial is below the
        # record's), and a list changed after signing (the signature would vouch for the change).
        changed = self.list.read_bytes().replace(b"Version = 6", b"Version = 7")
        for data, fragment in [(signed_lists[beta, 1], "older list"), (changed, "does not verify")]:
            with self.subTest(fragment):
                self.list.write_bytes(data)
                self.assertRefused(lambda: run(*resign), fragment)

    def test_channels_promote_roll_back_widen_and_halt_releases(self):
        private, public = self.keygen()
        public_key = serialization.load_pem_public_key(public.read_bytes())
        big = os.urandom(BIG)
        v1 = {"a.txt": b"a1", "same.txt": b"s", "big.pak": big}
        v2 = {"a.txt": b"a2", "same.txt": b"s", "new/n.txt": b"n",
              "big.pak": big[:1 << 20] + os.urandom(9) + big[2 << 20:]}
        key, salts, stable = ("--key", private), [], {}
        a1 = self.site / "TolvaneStore" / hashlib.sha256(b"a1").hexdigest()[:2] / hashlib.sha256(b"a1").hexdigest()
        kept1, saved = self.site / "TolvaneLists" / "stable" / "1.uda", {}

        def published(version, files, *options):
            return lambda: self.publish(version, files, *CHUNKED, *key, *options)

        def command(name, *args):
            return lambda: run(name, self.site, *args, *key)

        def serves(channel, version, files, percent=None, removed=(), salt=None):
            """The channel's verified list pins these files (and removes those), bound to the
            channel, at that rollout (salt: "same" as the last, or "new"); its folder holds them."""
            data = channels.list_path(self.site, channel).read_bytes()
            self.assertTrue(verifies(data, public_key))
            lines = data.decode().split("\r\n")[:-1]
            fields = dict(field.split("=") for field in lines[-2].split(" ")[1:])
            record, release = publication.read_lines(lines[:-3 if percent is not None else -2]), rollout.read(lines)
            self.assertEqual((publication.version_of(lines), sorted(record["removed"]), fields.get("channel")),
                             (version, list(removed), None if channel == "stable" else channel))
            self.assertEqual({p: (e["sha256"], e["size"]) for p, e in record["files"].items()},
                             {n.replace("/", "\\"): (hashlib.sha256(d).hexdigest(), len(d)) for n, d in files.items()})
            self.assertEqual(self.files(channels.folder(self.site, channel)), dict(files, **{"uploadfile.uda": data}))
            self.assertEqual(release and release[0], percent)
            if salt:
                self.assertEqual(release[1] == salts[-1], salt == "same")
            salts.append(release and release[1])

        def kinds(channel):
            return [e.get("kind") for e in json.loads((self.site / "releases.json").read_text())
                    if e.get("channel") == channel]

        # (what is done, and what it gives: a check of the result, the pattern of a refusal (which
        # leaves the site and the key's record as they were), (exit code, pattern), or None)
        rows = [(published("1", v1),
                 lambda r: (serves("stable", "1", v1), stable.update(self.files(self.site / "AppGameUpload")))),
                (published("2", v2, "--channel", "Beta"),
                 lambda r: (serves("beta", "2", v2), self.assertEqual(self.files(self.site / "AppGameUpload"), stable))),
                (lambda: shutil.rmtree(self.dir / "release"), None),  # nothing below is read from it
                (command("promote", "--from", "qa", "--to", "stable"), "channel qa has no list"),
                (command("promote", "--from", "beta", "--to", "be ta"), "a channel name is"),
                (command("widen", "--channel", "beta", "--rollout", "50"), "no rollout to widen"),
                (command("halt", "--channel", "nightly"), "channel nightly has no list"),
                (command("rollback", "--channel", "nightly", "--to", "1"), "channel nightly has no list"),
                (command("widen", "--channel", "beta"), (2, "(?s)^usage: tolvane-publish widen .*required: --rollout")),
                (command("promote", "--from", "beta", "--to", "stable", "--rollout", "50"),
                 lambda r: (serves("stable", "2", v2, 50), self.assertIn("serial 3", r.stdout))),
                (command("widen", "--channel", "stable", "--rollout", "50"), "to 50 % already"),
                (command("widen", "--channel", "stable", "--rollout", "0.1"), "whole percentage"),
                (command("widen", "--channel", "stable", "--rollout", "100"),
                 lambda r: serves("stable", "2", v2, 100, salt="same")),
                (command("halt", "--channel", "stable"), lambda r: serves("stable", "2", v2, 0, salt="same")),
                (command("rollback", "--channel", "stable", "--to", "9"), "not kept .*kept: '2', '1'$"),
                # A kept list changed on the host: never served again.
                (lambda: saved.update(kept=kept1.read_bytes()) or kept1.write_bytes(
                    saved["kept"].replace(b"a.txt", b"b.txt")), None),
                (command("rollback", "--channel", "stable", "--to", "1"), "kept list of version '1', does not verify"),
                (lambda: kept1.write_bytes(saved["kept"]), None),
                (lambda: a1.write_bytes(b"planted"), None),  # the store's only copy of v1's a.txt
                (command("rollback", "--channel", "stable", "--to", "1"), "no copy of 'a.txt'"),
                (lambda: a1.write_bytes(b"a1"), None),
                (command("rollback", "--channel", "stable", "--to", "1"),
                 lambda r: (serves("stable", "1", v1, removed=["new\\n.txt"]),
                            self.assertEqual(kinds("stable"), ["publish", "promote", "widen", "halt", "rollback"]))),
                (command("rollback", "--channel", "stable", "--to", "2", "--keep", "1"), "kept: '1'$"),
                (published("3", v1, "--channel", "beta", "--rollout", "10"), lambda r: serves(
                    "beta", "3", v1, 10, removed=["new\\n.txt"], salt="new")),
                (lambda: run("status", self.site), lambda r: self.assertRegex(
                    r.stdout, "^stable: version '1', serial 6, rollout whole, expires .*, 2 releases kept \\('1', '2'\\)"
                    ".* bytes on the host \\(unverified.*\nbeta: version '3', serial 7, rollout 10 %.*\nshared: "))]
        for number, (act, expected) in enumerate(rows):
            with self.subTest(number=number):
                if isinstance(expected, (str, tuple)):
                    refused = (1, "^tolvane-publish: refused: .*" + str(expected))
                    code, pattern = expected if isinstance(expected, tuple) else refused
                    self.assertRefused(act, pattern, code)
                    continue
                result = act()
                if expected:
                    self.assertEqual(result.returncode, 0, result.stderr)
                    expected(result)

    def test_a_signed_publication_takes_only_the_verified_list_from_the_site(self):
        private, _ = self.keygen()
        other, _ = self.keygen("other")
        record = private.parent / "serials.json"
        v2 = {"a.txt": b"two", "new.dll": b"n"}
        self.assertEqual(self.publish("1", {"a.txt": b"one", "gone.pak": b"g"}, "--key", private).returncode, 0)
        published, serials = self.snapshot(), record.read_bytes()
        v1_lines = self.list.read_bytes().decode().split("\r\n")[:-3]
        # What a host can plant: names with line ends and "..", hashes that hide a change, and
        # a serial of 2^64-1 (which made the old tool sign 2^64, unreadable by every launcher).
        planted = {"version": "2", "version_line": "Version = 2;{d}\r\nevil.exe;", "serial": 2**64 - 1,
                   "files": {"evil\r\nevil.exe;size=1;sha256=" + "0" * 64: {"sha256": "0" * 64, "size": 1},
                             "a.txt": {"sha256": hashlib.sha256(b"two").hexdigest(), "size": 3, "rewrite": False}},
                   "removed": ["..\\..\\boot.ini", "x\r\nevil.dll;{rw}"]}
        after_v1 = ["Version = 2;{d}", "gone.pak;{d}", file_line("a.txt", b"two", ";{rw}"), file_line("new.dll", b"n")]
        new_site = [after_v1[0]] + [file_line(name, data) for name, data in v2.items()]
        # Names that an earlier tool published and every launcher refused, in its signed list:
        # the next list goes on without them, with a warning for each, not even as "{d}" lines.
        earlier = ["update\\x.bin", "errors.err", "update.info", "saves\\Save~1.dat", "CONOUT$", "CON .txt",
                   "data\\x.tolvane-part", "a.tolvane-stage", "..\\x.dll", "a/../../x.dll"]

        def put(name, data):
            return lambda: (self.site / name).write_bytes(data)

        # (what the host or the studio's side holds, options, and the pattern of the refusal, or
        # the lines and serial of the list written (None unsigned) and the names left out)
        rows = [
            (put("publication.json", json.dumps(planted).encode()), (), (after_v1, 2, [])),
            (put("publication.json", json.dumps(planted).encode()), "unsigned",
             (new_site, None, sorted({*planted["files"], *planted["removed"]} - {"a.txt"}))),
            (put("publication.json", b'{"version": "1", "files": {"a": 1}, "removed": []}'), "unsigned",
             "not an earlier publication"),
            (put(LIST, self.list.read_bytes().replace(b"Version = 1", b"Version = 7")), (), "does not verify"),
            (put(LIST, self.list.read_bytes().replace(b"Version = 1", b"Version = 7")), ("--new-site",),
             (new_site, 2, [])),
            (put(LIST, "".join(line + "\r\n" for line in v1_lines).encode()), (), "does not verify"),
            (put(LIST, signed(v1_lines + ["'tolvane-list serial=9"], other)), (), "does not verify"),
            (lambda: self.list.unlink(), (), "holds files but no list"),
            (put(LIST, signed(v1_lines + ["'tolvane-list serial=1 product=Beta"], private)), (), "for product 'Beta'"),
            (put(LIST, signed(v1_lines[:1] + [f"{name};{{d}}" for name in earlier] + [file_line("update.info", b"u")]
                              + v1_lines[1:] + ["'tolvane-list serial=1"], private)), (),
             (after_v1, 2, sorted(earlier))),
            (put(LIST, signed(["Version = 1;{d}", "x.dll;size=1", "'tolvane-list serial=1"], private)), (),
             "not a list line this tool writes"),
            (put(LIST, signed(v1_lines + [f"'tolvane-list serial={2**64 - 1}"], private)), (), "2^53"),
            (lambda: record.write_text(json.dumps({"": 2**53})), ("--new-site",), "the last one"),
            (lambda: record.write_text(json.dumps({"": 2**64 - 1})), (), "damaged"),
            (lambda: record.write_text("{"), (), "cannot be read"),
            # The site's list is genuine but older than the key's last signature: put back.
            (lambda: record.write_text(json.dumps({"": 5})), (), "older list")]
        for number, (plant, options, expected) in enumerate(rows):
            with self.subTest(number=number, options=options):
                self.restore(published)
                record.write_bytes(serials)
                plant()
                act = lambda: self.publish("2", v2, *(() if options == "unsigned" else ("--key", private) + options))
                if isinstance(expected, str):
                    self.assertRefused(act, "refused.*" + re.escape(expected))
                    continue
                result = act()
                lines, serial, left_out = expected
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stderr.splitlines(), [
                    f"tolvane-publish: warning: {name!r}, listed before, is listed no more: "
                    + name_rules.WHY[name_rules.verdict(name)] for name in left_out])
                written = self.list.read_bytes().decode("ascii").split("\r\n")[:-1]
                self.assertEqual(written[:len(lines)], lines)
                self.assertEqual(written[len(lines):len(lines) + 1] if serial else written[len(lines):],
                                 [f"'tolvane-list serial={serial} expires={written[-2].split('expires=')[-1]}"]
                                 if serial else [])

    @unittest.skipUnless(EXE and shutil.which("osslsigncode"), "needs an executable to sign and osslsigncode")
    def test_sign_exe_signs_in_place_or_leaves_the_file_as_it_was(self):
        ca, cert, key = code_signing.make(self.dir / "studio", "Test Studio")
        other_ca, other_cert, locked = code_signing.make(self.dir / "other", "Other Studio", "correct horse")
        exe = self.dir / "TolvaneLauncher.exe"
        exe.write_bytes(pathlib.Path(EXE).read_bytes())
        self.assertEqual(code_signing.verify(exe, ca), (False, None))
        sign = ("sign-exe", exe, "--cert", cert, "--key", key)
        with_passphrase = ("--key-passphrase-env", "TEST_PASSPHRASE")
        studio, other = (ca, "/CN=Test Studio/O=Test Studio"), (other_ca, "/CN=Other Studio/O=Other Studio")
        # (arguments, and the (CA, signer) that verifies afterwards or the exit code and fragment of
        # stderr of a refusal, which leaves the file as it was)
        cases = [(sign, studio),
                 (("sign-exe", exe, "--cert", other_cert, "--key", locked) + with_passphrase, other),
                 (sign, studio),  # signing again replaces the signature
                 (("sign-exe", exe, "--cert", cert, "--key", locked) + with_passphrase, (1, "could not sign")),
                 (sign + ("--timestamp", "http://127.0.0.1:9/"), (1, "could not sign")),  # no server
                 (("sign-exe", self.dir / "none.exe", "--cert", cert, "--key", key), (1, "does not exist")),
                 (("sign-exe", exe, "--key", key), (2, "usage"))]
        for args, outcome in cases:
            with self.subTest(args=args[2:]):
                if isinstance(outcome[0], int):
                    self.assertRefused(lambda: run(*args), outcome[1], outcome[0])
                    continue
                result = run(*args)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(sorted(p.name for p in self.dir.glob("*.exe*")), ["TolvaneLauncher.exe"])
                self.assertEqual(code_signing.verify(exe, outcome[0]), (True, outcome[1]))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

#!/usr/bin/env python3
"""Tests of tolvane-publish on real folders."""
import json
import pathlib
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
PUBLISH = ROOT / "tools" / "tolvane-publish"
sys.path.insert(0, str(ROOT / "tools" / "publish"))
import publication  # noqa: E402


class Folders(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.release = pathlib.Path(self.temp.name) / "release"
        self.output = pathlib.Path(self.temp.name) / "site"
        self.release.mkdir()

    def tearDown(self):
        self.temp.cleanup()

    def put(self, relative, content):
        path = self.release / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content)

    def publish(self, version):
        return subprocess.run([sys.executable, str(PUBLISH), str(self.release), version, str(self.output)],
                              capture_output=True, text=True)

    def list_lines(self):
        data = (self.output / "AppGameUpload" / "uploadfile.uda").read_bytes()
        self.assertFalse(data.startswith(b"\xef\xbb\xbf"))
        self.assertTrue(data.endswith(b"\r\n"))
        self.assertNotIn(b"\n", data.replace(b"\r\n", b""))
        return data.decode("ascii").split("\r\n")[:-1]

    def uploaded(self):
        upload = self.output / "AppGameUpload"
        return {publication.relative_name(p.relative_to(upload).parts): p.read_bytes()
                for p in upload.rglob("*") if p.is_file() and p.name != "uploadfile.uda"}


class BaselineDiff(Folders):
    def test_first_publication_lists_every_file_in_stable_order(self):
        self.put("game.dll", b"g")
        self.put("data/textures/b.png", b"b")
        self.put("data/a.pak", b"a")
        result = self.publish("1")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.list_lines(),
                         ["Version = 1;", "data\\a.pak;", "data\\textures\\b.png;", "game.dll;"])
        self.assertEqual(self.uploaded(), {"data\\a.pak": b"a", "data\\textures\\b.png": b"b", "game.dll": b"g"})

    def test_added_changed_removed_and_unchanged_files(self):
        self.put("same.txt", b"same")
        self.put("changes.dll", b"v1")
        self.put("old/gone.pak", b"x")
        self.assertEqual(self.publish("1").returncode, 0)
        self.put("changes.dll", b"v2")
        self.put("new.txt", b"new")
        (self.release / "old" / "gone.pak").unlink()
        (self.release / "old").rmdir()
        result = self.publish("2")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.list_lines(),
                         ["Version = 2;", "old\\gone.pak;{d}", "changes.dll;{rw}", "new.txt;", "same.txt;"])
        self.assertNotIn("old\\gone.pak", self.uploaded())
        self.assertFalse((self.output / "AppGameUpload" / "old").exists())
        self.assertEqual(self.uploaded()["changes.dll"], b"v2")

    def test_marks_stay_for_players_who_skip_a_version(self):
        self.put("a.dll", b"1")
        self.put("b.pak", b"b")
        self.publish("1")
        self.put("a.dll", b"2")
        (self.release / "b.pak").unlink()
        self.publish("2")
        self.put("c.txt", b"c")
        self.assertEqual(self.publish("3").returncode, 0)
        self.assertEqual(self.list_lines(), ["Version = 3;", "b.pak;{d}", "a.dll;{rw}", "c.txt;"])
        # A removed file that comes back is a plain entry again.
        self.put("b.pak", b"b2")
        self.publish("4")
        self.assertEqual(self.list_lines(), ["Version = 4;", "a.dll;{rw}", "b.pak;", "c.txt;"])

    def test_same_version_and_content_republishes_unchanged(self):
        self.put("a.txt", b"a")
        self.publish("1")
        before = self.list_lines()
        self.assertEqual(self.publish("1").returncode, 0)
        self.assertEqual(self.list_lines(), before)


class Refusals(Folders):
    def assertRefused(self, version, fragment):
        before = sorted(p.relative_to(self.output) for p in self.output.rglob("*")) if self.output.exists() else []
        result = self.publish(version)
        self.assertEqual(result.returncode, 1, result.stdout)
        self.assertIn("refused", result.stderr)
        self.assertIn(fragment, result.stderr)
        after = sorted(p.relative_to(self.output) for p in self.output.rglob("*")) if self.output.exists() else []
        self.assertEqual(before, after, "a refusal writes nothing")

    def test_names_the_launcher_cannot_carry(self):
        cases = {"a;b.txt": "';'", "it's.txt": "apostrophe", "x{d}.pak": "{d}", "y{rw}": "{rw}",
                 "docs/Version.txt": "Version", "caf\u00e9.txt": "ASCII", "uploadfile.uda": "list file",
                 "con.txt": "device", "trail./x": "trailing"}
        for name, fragment in cases.items():
            with self.subTest(name=name):
                self.tearDown()
                self.setUp()
                self.put(name, b"x")
                self.assertRefused("1", fragment)

    def test_dotdot_and_case_collisions(self):
        with self.assertRaisesRegex(publication.Refused, r"'\.\.'"):
            publication.check_name("data\\..\\x")
        with self.assertRaisesRegex(publication.Refused, "letter case"):
            publication.check_names(["Data\\a.txt", "data\\A.txt"])

    def test_version_texts(self):
        self.put("a.txt", b"a")
        self.assertRefused("1;2", "';'")
        self.assertRefused("1\n2", "line end")
        self.assertRefused("  ", "empty")

    def test_unchanged_version_over_changed_content(self):
        self.put("a.txt", b"a")
        self.publish("1.0 beta")
        self.put("a.txt", b"changed")
        # Blanks do not count in the launcher's comparison, so this is the same version.
        self.assertRefused("1.0beta", "unchanged")
        self.assertEqual(self.uploaded()["a.txt"], b"a")


class VersionValue(unittest.TestCase):
    def test_matches_the_launchers_comparison(self):
        self.assertEqual(publication.version_value("Version = 3;"), "3")
        self.assertEqual(publication.version_value("Version=3"), "3")
        self.assertEqual(publication.version_value("Version = 1.2; beta"), "1.2beta")
        self.assertEqual(publication.version_value("Version"), "")
        self.assertEqual(publication.version_value("Version ="), "")


if __name__ == "__main__":
    unittest.main()

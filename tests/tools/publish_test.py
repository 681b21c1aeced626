#!/usr/bin/env python3
# Tests of tolvane-publish on real folders.
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

PUBLISH = pathlib.Path(__file__).resolve().parents[2] / "tools" / "tolvane-publish"


class Publish(unittest.TestCase):
    def setUp(self):
        temp = tempfile.TemporaryDirectory()
        self.addCleanup(temp.cleanup)
        self.release, self.site = pathlib.Path(temp.name, "release"), pathlib.Path(temp.name, "site")

    def publish(self, version, files):
        # Publishes a release folder that holds exactly these files ({"dir/name": bytes}).
        shutil.rmtree(self.release, ignore_errors=True)
        for name, data in files.items():
            (self.release / name).parent.mkdir(parents=True, exist_ok=True)
            (self.release / name).write_bytes(data)
        return subprocess.run([sys.executable, PUBLISH, self.release, version, self.site], capture_output=True,
                              text=True)

    def site_files(self):
        return {p.relative_to(self.site).as_posix(): p.read_bytes() for p in self.site.rglob("*") if p.is_file()}

    def test_each_list_marks_changes_against_the_previous_publication(self):
        v1 = {"same.txt": b"same", "changes.dll": b"v1", "old/gone.pak": b"x", "data/deep/b.png": b"b"}
        v2 = {"same.txt": b"same", "changes.dll": b"v2", "new/n.txt": b"new", "data/deep/b.png": b"b"}
        marked = ["old\\gone.pak;{d}", "changes.dll;{rw}", "data\\deep\\b.png;", "new\\n.txt;", "same.txt;"]
        for version, files, lines in [
                ("1", v1, ["changes.dll;", "data\\deep\\b.png;", "old\\gone.pak;", "same.txt;"]),
                ("2", v2, marked),
                ("3", v2, marked)]:  # marks stay for players who skip a version
            result = self.publish(version, files)
            self.assertEqual(result.returncode, 0, result.stderr)
            # The list is ASCII with CR LF after every line and no byte-order mark.
            expected = {"AppGameUpload/" + name: data for name, data in files.items()}
            listing = "".join(f"{line}\r\n" for line in [f"Version = {version};"] + lines)
            expected["AppGameUpload/uploadfile.uda"] = listing.encode()
            site = self.site_files()
            del site["publication.json"]
            self.assertEqual(site, expected)
        self.assertFalse((self.site / "AppGameUpload" / "old").exists(), "emptied folders go")

    def test_refusals_write_nothing(self):
        cases = [({name: b"x"}, "2", fragment) for name, fragment in {
            "a;b.txt": "';'", "it's.txt": "apostrophe", "x{d}.pak": "{d}", "y{rw}": "{rw}",
            "docs/Version.txt": "Version", "caf\u00e9.txt": "ASCII", "uploadfile.uda": "list file",
            "con.txt": "device", "trail./x": "trailing"}.items()]
        cases += [({"a.txt": b"a"}, version, fragment)
                  for version, fragment in [("1;2", "';'"), ("1\n2", "line end"), ("  ", "empty")]]
        cases += [({"Data/a.txt": b"1", "data/A.txt": b"2"}, "2", "letter case"),
                  # Blanks do not count in the launcher's comparison: this version is unchanged.
                  ({"a.txt": b"changed"}, "1.0beta", "unchanged")]
        for files, version, fragment in cases:
            with self.subTest(files=files, version=version):
                shutil.rmtree(self.site, ignore_errors=True)
                self.assertEqual(self.publish("1.0 beta", {"a.txt": b"a"}).returncode, 0)
                before = self.site_files()
                result = self.publish(version, files)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertRegex(result.stderr, "refused.*" + fragment.replace("{", r"\{"))
                self.assertEqual(self.site_files(), before)


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""A published update set read back through the launcher's line parsing, and fetched by real
passes against nginx: the player's folder ends up equal to the release, version after version.

usage: publish_round_trip.py WINE_RUN PREFIX TRUST_CA PKI_FOLDER LIST_ROUND_TRIP_EXE"""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
import test_servers  # noqa: E402

WINE_RUN, PREFIX, TRUST_CA, PKI, PROGRAM = sys.argv[1:6]


class RoundTrip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="tolvane-round-trip-"))
        pki = test_servers.TestPki(PKI)
        subprocess.run([WINE_RUN, PREFIX, TRUST_CA, test_servers.windows_path(pki.ca)], check=True)
        cls.nginx = test_servers.Nginx(str(cls.work / "site"), pki).start()

    @classmethod
    def tearDownClass(cls):
        cls.nginx.stop()
        shutil.rmtree(cls.work)

    def release(self, files):
        folder = self.work / "release"
        shutil.rmtree(folder, ignore_errors=True)
        for name, data in files.items():
            (folder / name).parent.mkdir(parents=True, exist_ok=True)
            (folder / name).write_bytes(data)
        return folder

    def publish_and_pass(self, files, version):
        folder = self.release(files)
        published = subprocess.run([sys.executable, str(ROOT / "tools" / "tolvane-publish"), str(folder),
                                    version, str(self.work / "site")], capture_output=True, text=True)
        self.assertEqual(published.returncode, 0, published.stderr)
        list_file = self.work / "site" / "AppGameUpload" / "uploadfile.uda"
        player = self.work / "player"
        player.mkdir(exist_ok=True)
        run = subprocess.run([WINE_RUN, PREFIX, PROGRAM, test_servers.windows_path(list_file), self.nginx.url,
                              test_servers.windows_path(player) + "\\"], capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        parsed = [line.split(" ", 2)[1:] for line in run.stdout.splitlines() if line.startswith("parsed ")]
        in_player = {p.relative_to(player).as_posix(): p.read_bytes() for p in player.rglob("*")
                     if p.is_file() and p.relative_to(player).parts[0] != "update"}
        return parsed, in_player

    def test_passes_bring_the_player_folder_to_each_release(self):
        v1 = {"TolvaneGame.exe": b"MZ game", "data/textures/stone wall.tex": b"s" * 70000,
              "data/old.pak": b"old", "config/settings.ini": b"quality = high\r\n"}
        parsed, player = self.publish_and_pass(v1, "1.0")
        self.assertEqual(player, v1)
        # The version line parses as one, every file line as a plain entry inside the folder
        # whose path is the file's, with backslashes.
        self.assertEqual(parsed[0], ["01001", "Version = 1.0"])
        files = sorted(name.replace("/", "\\") for name in v1)
        self.assertEqual(parsed[1:], [["00001", name] for name in files])

        v2 = dict(v1, **{"config/settings.ini": b"quality = low\r\n", "bin/new.dll": b"new"})
        del v2["data/old.pak"]
        parsed, player = self.publish_and_pass(v2, "1.1")
        self.assertEqual(player, v2)
        self.assertIn(["00101", "data\\old.pak"], parsed)
        self.assertIn(["00011", "config\\settings.ini"], parsed)

        # The same version again: the pass stops at the version line and changes nothing.
        (self.work / "player" / "bin" / "new.dll").write_bytes(b"edited by the player")
        parsed, player = self.publish_and_pass(v2, "1.1")
        self.assertEqual(player["bin/new.dll"], b"edited by the player")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

#!/usr/bin/env python3
"""A published update set read back through the launcher's line parsing, and fetched by real
passes against nginx: the player's folder ends up equal to the release, version after version,
with no request and no error-log line beyond what the release needs. Signed publications pass
the launcher's own acceptance (CNG verify, serial, expiry); altered and replayed lists do not.

The launchers in players' hands (old_launcher.py builds them into OLD_FOLDER/<commit>) install
chunked sites (those from before chunks by whole files), rollouts at once, promoted and
rolled-back releases, and refuse a beta list.

usage: publish_round_trip.py WINE_RUN PREFIX TRUST_CA PKI_FOLDER LIST_ROUND_TRIP_EXE OLD_FOLDER"""
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT / "tools" / "testing"), str(ROOT / "cmake"), str(ROOT / "tools" / "publish")]
import list_key  # noqa: E402
import native_chunker  # noqa: E402
import old_launcher  # noqa: E402
import name_rules  # noqa: E402
import test_servers  # noqa: E402
from name_table import as_release_file, name_table  # noqa: E402
from release_folder import publish, signed_by_hand, write_release  # noqa: E402

WINE_RUN, PREFIX, TRUST_CA, PKI, PROGRAM, OLD_FOLDER = sys.argv[1:7]
LIST = "AppGameUpload/uploadfile.uda"


def wanted(files):
    return {"AppGameUpload/" + name for name in files}


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

    def publish(self, files, version, *options):
        self.run_tool(*options, write_release(self.work / "release", files), version, self.work / "site")

    def run_tool(self, *args):
        published = publish(*args)
        self.assertEqual(published.returncode, 0, published.stderr)

    def run_pass(self, player, key="", program=PROGRAM):
        """One pass into the player folder, by a launcher with the key (hex) or without one:
        (parsed lines, the player's files, error-log lines, paths requested)."""
        player = self.work / player
        player.mkdir(exist_ok=True)
        errors_file = pathlib.Path(program).parent / "errors.err"
        errors_file.unlink(missing_ok=True)
        logged = len(self.nginx.requests())
        list_file = test_servers.windows_path(self.work / "site" / LIST)
        run = subprocess.run([WINE_RUN, PREFIX, program, list_file, self.nginx.url,
                              test_servers.windows_path(player) + "\\"] + ([key] if key else []),
                             capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        parsed = [line.split(" ", 4)[1:] for line in run.stdout.splitlines() if line.startswith("parsed ")]
        in_player = {p.relative_to(player).as_posix(): p.read_bytes() for p in player.rglob("*")
                     if p.is_file() and p.relative_to(player).parts[0] != "update"}
        errors = errors_file.read_text().splitlines() if errors_file.exists() else []
        requested = {urllib.parse.unquote(line.split(" ")[1]).lstrip("/")
                     for line in self.nginx.requests()[logged:]}
        return parsed, in_player, errors, requested

    def test_a_keyed_launcher_installs_every_name_the_publisher_takes(self):
        # One file of each name the shared table says a launcher takes, but for a second
        # spelling of one file.
        files, seen = {}, set()
        for what, verdict, text in name_table():
            if what == "name" and verdict == "taken" and name_rules.resolved(text) not in seen:
                seen.add(name_rules.resolved(text))
                files[as_release_file(text)] = text.encode()
        keys = self.work / "name-keys"
        self.run_tool("keygen", keys)
        self.addCleanup(shutil.rmtree, self.work / "site")  # the next test starts a site of its own
        self.publish(files, "names", "--key", keys / "private.pem", "--new-site")
        key_hex = list_key.read_key((keys / "public.pem").read_text()).hex()
        _, player, errors, requested = self.run_pass("names", key_hex)
        self.assertEqual((player, errors), (files, []))
        self.assertEqual(requested, {LIST} | wanted(files))

    def test_passes_bring_the_player_folder_to_each_release(self):
        v1 = {"TolvaneGame.exe": b"MZ game", "data/textures/stone wall.tex": b"s" * 70000,
              "data/old.pak": b"old", "config/settings.ini": b"quality = high\r\n"}
        self.publish(v1, "1.0")
        parsed, player, errors, requested = self.run_pass("player")
        self.assertEqual((player, errors, requested), (v1, [], {LIST} | wanted(v1)))
        # The version line parses as the deletion of a file that is not there, so it costs no
        # request; every file line as a plain entry inside the folder, pinned to its content.
        self.assertEqual(parsed[0], ["01101", "-", "-", "Version = 1.0"])
        self.assertEqual(parsed[1:], [["00001", str(len(v1[name])), hashlib.sha256(v1[name]).hexdigest(),
                                       name.replace("/", "\\")] for name in sorted(v1)])

        v2 = dict(v1, **{"config/settings.ini": b"quality = low\r\n", "bin/new.dll": b"new"})
        del v2["data/old.pak"]
        # A file the player damaged differs from its pin, and comes back though it is not "{rw}".
        (self.work / "player" / "TolvaneGame.exe").write_bytes(b"damaged")
        self.publish(v2, "1.1")
        parsed, player, errors, requested = self.run_pass("player")
        self.assertEqual((player, errors), (v2, []))
        self.assertEqual(requested, {LIST} | wanted(["config/settings.ini", "bin/new.dll", "TolvaneGame.exe"]))
        self.assertIn(["00101", "-", "-", "data\\old.pak"], [p[:4] for p in parsed])
        self.assertIn(["00011", "15"], [p[:2] for p in parsed if p[3] == "config\\settings.ini"])

        # The same version again: the pass stops at the version line and changes nothing.
        (self.work / "player" / "bin" / "new.dll").write_bytes(b"edited by the player")
        self.publish(v2, "1.1")
        parsed, player, errors, requested = self.run_pass("player")
        self.assertEqual((player["bin/new.dll"], errors, requested), (b"edited by the player", [], {LIST}))

    def test_signed_publications_pass_the_launchers_acceptance(self):
        keys = self.work / "keys"
        self.run_tool("keygen", keys)
        key_hex = list_key.read_key((keys / "public.pem").read_text()).hex()
        sign = ("--key", keys / "private.pem")
        v1 = {"TolvaneGame.exe": b"MZ one", "data/a.pak": b"a" * 5000}
        v2 = {"TolvaneGame.exe": b"MZ two", "data/b.pak": b"b"}
        site_list = self.work / "site" / LIST

        self.publish(v1, "1", *sign, "--new-site")  # the site holds the unsigned test's lists
        for player, key in [("signed", key_hex), ("keyless", "")]:  # comment lines to a keyless one
            self.assertEqual(self.run_pass(player, key)[1:3], (v1, []))
        self.publish(v2, "2", *sign)
        listed_v2 = site_list.read_bytes()
        self.assertEqual(self.run_pass("signed", key_hex)[1:3], (v2, []))
        # A renewal: serial 3, the same lines, nothing to fetch.
        self.run_tool("--resign", self.work / "site", *sign, "--expires-days", "1")
        renewed = site_list.read_bytes()
        self.assertEqual(self.run_pass("signed", key_hex)[1:], (v2, [], {LIST}))
        self.assertEqual((self.work / "signed" / "update" / "list.serial").read_text(), "3")

        altered = renewed.replace(b"Version = 2", b"Version = 9")
        for name, data, refusal in [
                ("a byte changed after signing", altered, "is not signed by the studio"),
                ("the list before the renewal", listed_v2, "is older than the one installed")]:
            with self.subTest(name):
                site_list.write_bytes(data)
                _, player, errors, requested = self.run_pass("signed", key_hex)
                self.assertEqual((player, requested), (v2, {LIST}))
                self.assertEqual(errors, ["error : The update list " + refusal])

        # A list that an earlier tool signed, naming a file the launcher keeps for itself, is
        # refused whole; the next publication goes on without that name, and the player with it.
        list_v2_lines = listed_v2.decode("ascii").split("\r\n")[:-3]
        earlier = [list_v2_lines[0], "update\\x.bin;size=1;sha256=" + "0" * 64] + list_v2_lines[1:]
        site_list.write_bytes(signed_by_hand(earlier + ["'tolvane-list serial=4"], keys / "private.pem"))
        _, player, errors, requested = self.run_pass("signed", key_hex)
        self.assertEqual((player, requested), (v2, {LIST}))
        self.assertEqual(errors, ["error : List line refused, it names the launcher's own files: update\\x.bin"])
        v3 = dict(v2, **{"data/c.pak": b"c"})
        self.publish(v3, "3", *sign)
        self.assertEqual(self.run_pass("signed", key_hex)[1:3], (v3, []))
        self.assertNotIn(b"update\\x.bin", site_list.read_bytes())

    def test_a_launcher_from_before_chunks_installs_chunked_sites_by_whole_files(self):
        # That launcher refuses a signed line with a field it does not know: chunk data lives
        # under TolvaneChunks/ alone, where it never looks.
        for commit in old_launcher.COMMITS:
            with self.subTest(launcher=commit):
                self.install_chunked_sites(old_launcher.build(pathlib.Path(OLD_FOLDER) / commit, commit), commit)

    def install_chunked_sites(self, program, commit):
        # Each launcher gets a site, a key and a player of its own (a player folder's serial
        # record outlives the folder).
        for left in ("old-keys", "site"):
            shutil.rmtree(self.work / left, ignore_errors=True)
        keys = self.work / "old-keys"
        self.run_tool("keygen", keys)
        key_hex = list_key.read_key((keys / "public.pem").read_text()).hex()
        self.addCleanup(shutil.rmtree, self.work / "site", True)
        big = os.urandom(9 << 20)
        v1 = {"TolvaneGame.exe": b"MZ one", "data/big.pak": big, "it's.txt": b"a name it takes",
              "data/mid.pak": os.urandom(5 << 20)}
        patched = big[:3 << 20] + os.urandom(1 << 20) + big[4 << 20:] + b"tail"
        v2 = dict(v1, **{"data/big.pak": patched, "data/new big.pak": os.urandom(6 << 20)})
        del v2["data/mid.pak"]
        site, sign = self.work / "site", ("--key", keys / "private.pem")
        v3 = dict(v2, **{"data/rolled.txt": b"r"})
        v4 = dict(v3, **{"TolvaneGame.exe": b"MZ four"})
        # (release, version or None for a command on the site, options: the default threshold, then one that
        # chunks the 5 and 6 MiB files; a rollout, which that launcher reads as a comment and takes at once; a
        # beta list, which it refuses whole for its channel field when a host serves it as stable's; beta's
        # release promoted to stable, and stable rolled back)
        for files, version, options in [(v1, "1", ("--new-site",)), (v2, "2", ("--chunk-threshold", 5 << 20)),
                                        (v3, "3", ("--rollout", "50")), (v4, "4", ("--channel", "beta")),
                                        (v4, None, ("promote", site, "--from", "beta", "--to", "stable")),
                                        (v3, None, ("rollback", site, "--channel", "stable", "--to", "3"))]:
            with self.subTest(version=version, options=options):
                if version:
                    self.publish(files, version, *sign, *options)
                else:
                    self.run_tool(*options, *sign)
                if version in ("1", "2"):
                    self.judge_indexes(files, options)
                if version == "4":  # beta
                    stable = (site / LIST).read_bytes()
                    (site / LIST).write_bytes((site / "TolvaneChannels" / "beta" / "uploadfile.uda").read_bytes())
                    _, player, errors, requested = self.run_pass("old-" + commit, key_hex, program)
                    (site / LIST).write_bytes(stable)
                    self.assertEqual((player, requested), (v3, {LIST}))
                    self.assertRegex("\n".join(errors), "^error : The update list [^\n]*$")
                    continue
                _, player, errors, requested = self.run_pass("old-" + commit, key_hex, program)
                self.assertEqual((player, errors), (files, []))
                if commit in old_launcher.BEFORE_CHUNKS:
                    self.assertFalse([path for path in requested if path.startswith("TolvaneChunks")])

    def judge_indexes(self, files, options):
        """Today's launcher takes every index the publisher wrote, for the file it pins."""
        judged = subprocess.run([WINE_RUN, PREFIX, PROGRAM, "--indexes",
                                 test_servers.windows_path(self.work / "site" / LIST),
                                 test_servers.windows_path(self.work / "site" / "TolvaneChunks" / "index")],
                                capture_output=True, text=True)
        # A file above the largest chunk but below the threshold has none: fetched whole.
        threshold = options[1] if len(options) > 1 else 8 << 20
        listed = {name.replace("/", "\\"): len(data) for name, data in files.items()}
        self.assertEqual(judged.stdout.splitlines(), [
            f"index {'taken' if size >= threshold else 'none'} {name}"
            for name, size in sorted(listed.items()) if size > native_chunker.sizes()[2]])

if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

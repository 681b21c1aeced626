#!/usr/bin/env python3
"""The launcher at work against a local update server.

First run: draws the pictures, makes a demo release, publishes version 1.0 and then 1.1 (a
changed settings file, a removed pak), and sets up a player folder that still has parts of
1.0. Later runs reuse that state: the launcher stops early at the unchanged version. With
--bump, a new version with a changed and a removed file is published first. With --tamper, a
sequence of changes on the server and in the player folder shows what the launcher refuses
and what it repairs (see tamper.py). With --self-update, a release that carries a new launcher
replaces the player's (see self_update.py). With --mirrors, a launcher built for two update
servers meets the first going down in the middle of its pass (see mirrors.py). With --pack, a
256 MiB pack is installed, then patched by fetching only the chunks that changed (see pack.py).

Every list is signed with the demo's key (--key), which the demo's launcher is built with, and
the launcher itself with the demo's code-signing certificate (Authenticode). The
update set is served by nginx at https://localhost:8443/ with a certificate of a demo CA that
only the demo's Wine prefix trusts. Without a display, the demo runs on its own Xvfb, clicks
the game tile itself and saves screenshots; with one, you click.
"""
import argparse
import json
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import textwrap

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import mirrors  # noqa: E402
import pack  # noqa: E402
import self_update  # noqa: E402
import tamper  # noqa: E402
from pass_report import AccessLog, PassReport  # noqa: E402
from player import ROOT, Player, test_servers  # noqa: E402
from studio import Studio, digest  # noqa: E402

PORT = 8443
# Signed lists; a demo folder of another format, or of another key, starts over.
STATE_FORMAT = 2


class Demo:
    def __init__(self, build, key):
        self.folder = ROOT / "build" / "demo"
        self.state_file = self.folder / "state.json"
        self.studio = Studio(build, self.folder, key)
        self.player = Player(build, self.folder)
        self.key_id = digest(key.with_name("public.pem").read_bytes())
        self.headless = not os.environ.get("DISPLAY")
        self.nginx = None
        self.access = None
        self.signature = None  # (verified, signer) of the launcher that the player runs

    def reset(self):
        for name in ("player", "release", "site", "state.json"):
            path = self.folder / name
            shutil.rmtree(path, ignore_errors=True) if path.is_dir() else path.unlink(missing_ok=True)

    def state(self):
        """The version last published, or None when the demo starts over."""
        if not self.state_file.exists():
            return None
        state = json.loads(self.state_file.read_text())
        if state.get("format") != STATE_FORMAT or state.get("key") != self.key_id:
            print("== the demo folder is from an unsigned demo or another key: starting over")
            self.reset()
            return None
        return state["minor"]

    def save_state(self, minor):
        self.state_file.write_text(json.dumps({"format": STATE_FORMAT, "key": self.key_id, "minor": minor}))

    def first_run(self):
        print("== first run: pictures, demo release 1.0 and 1.1, a player folder with parts of 1.0")
        self.player.set_up()
        self.studio.publish(0)
        # What a player of 1.0 still has: the old settings, the pak that 1.1 drops, the records.
        old = self.studio.release_files(0)
        for relative in ("config/settings.ini", "data/intro_old.pak"):
            self.player.write(relative, old[relative])
        self.player.write("update/update.info", b"Version = 1.0;")
        self.player.write("update/list.serial", b"1")
        self.studio.publish(1)
        return 1

    def run_pass(self, shots, damaged=()):
        """One launcher pass, told as a PassReport."""
        before, everything = self.player.snapshot(), self.player.snapshot(everything=True)
        listed = self.studio.listed_files()
        run = self.player.run_launcher(self.headless, shots)
        return PassReport(run, self.access.new_requests(), listed, before, self.player.snapshot(), damaged,
                          untouched=self.player.snapshot(everything=True) == everything)


def row(label, text):
    print(textwrap.fill(text, 110, initial_indent=f"{label:14}", subsequent_indent=" " * 14,
                        break_on_hyphens=False))


def summary(demo, report, record_before, serial_before):
    studio, player, run = demo.studio, demo.player, report.run
    lines = studio.list_lines()
    after = player.snapshot()
    in_step = after == studio.release_hashes()
    print("\n== What happened")
    verified, signer = demo.signature
    row("executable", f"TolvaneLauncher.exe signed with Authenticode by {signer} (the demo's code-signing "
                      "certificate, build/demo/code-signing/); osslsigncode verify against the demo CA: "
                      + ("ok" if verified else "FAILED"))
    serial = studio.serial()
    row("server", f"{demo.nginx.url}  ({lines[0]}, {len(studio.listed_files())} files listed, "
                  + (f"signed, serial {serial})" if serial else "unsigned)"))
    row("list", report.refusal or f"accepted: signed with the demo's key, serial {serial}; "
                                  f"the player had {serial_before or 'none'}, so it is not older")
    row("launcher", report.launcher_text())
    row("nginx", report.nginx_text())
    if report.went_on:
        for label, text in report.file_lines():
            row(label, text)
    row("files", f"{'in step' if in_step else 'NOT in step'} with the release ({len(after)} files)")
    if record_before == lines[0]:
        row("", "the recorded version equals the server's: the pass stopped at the version line")
    row("version", f"update\\update.info holds {player.read('update/update.info').decode('latin-1')!r}, "
                   f"update\\list.serial {player.read('update/list.serial').decode('latin-1')!r}")
    row("game", "started" if run.started else "NOT started")
    row("exit code", str(run.code))
    row("errors.err", f"{len(run.errors)} new line(s)")
    for line in run.errors:
        row("", line)
    if run.shots:
        row("screenshots", ", ".join(str(p.relative_to(ROOT)) for p in run.shots))
    return in_step and run.started and run.code == 0 and verified


def port_in_use(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=pathlib.Path, required=True, help="build tree of the keyed launcher")
    parser.add_argument("--key", type=pathlib.Path, required=True, help="the demo's private list key")
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--bump", action="store_true", help="publish a new version first")
    mode.add_argument("--tamper", action="store_true", help="show what the launcher refuses and repairs")
    mode.add_argument("--self-update", action="store_true",
                      help="publish a release that carries a new launcher, in a folder of its own")
    mode.add_argument("--mirrors", action="store_true",
                      help="two update servers; the first goes down in the middle of the pass")
    mode.add_argument("--pack", action="store_true",
                      help="a big pack installed, then patched by fetching only the chunks that changed")
    parser.add_argument("--reset", action="store_true", help="start over with a fresh demo folder")
    args = parser.parse_args()
    if port_in_use(PORT):
        raise SystemExit(f"port {PORT} is taken; the demo's update server needs it")
    demo = Demo(args.build.resolve(), args.key.resolve())
    if args.reset:
        demo.reset()
    demo.folder.mkdir(parents=True, exist_ok=True)

    session = ROOT / "tools" / "testing" / "wine-session"
    subprocess.run([str(session), "start", str(demo.player.prefix)], check=True)
    try:
        if demo.headless:
            os.environ["DISPLAY"] = pathlib.Path(str(demo.player.prefix) + ".display").read_text().strip()
        pki = test_servers.TestPki(str(demo.folder / "pki"))
        trusted = demo.player.wine(args.build / "tools" / "testing" / "trust_ca.exe", test_servers.windows_path(pki.ca))
        if trusted.returncode != 0:
            raise SystemExit("could not make the demo's Wine prefix trust the demo CA: " + trusted.stderr)
        demo.signature = demo.studio.sign_launcher()
        demo.player.launcher = demo.studio.signed_launcher
        print(f"== signed the launcher with the demo's code-signing certificate: {demo.signature[1]}")
        if args.self_update:
            return 0 if self_update.run(demo, pki, PORT) else 1
        if args.mirrors:
            if port_in_use(mirrors.SECOND_PORT):
                raise SystemExit(f"port {mirrors.SECOND_PORT} is taken; the demo's second update server needs it")
            return 0 if mirrors.run(demo, pki, PORT) else 1
        if args.pack:
            return 0 if pack.run(demo, pki, PORT) else 1
        minor = demo.state()
        if minor is None:
            minor = demo.first_run()
        elif args.bump:
            minor += 1
            print(f"== publishing version 1.{minor}: the map changes, the wind sound comes or goes")
            demo.studio.publish(minor)
        elif not args.tamper:
            print(f"== version 1.{minor} again: the launcher should stop at the unchanged version line")
        demo.save_state(minor)

        demo.nginx = test_servers.Nginx(str(demo.studio.site), pki, PORT).start()
        demo.access = AccessLog(demo.nginx.access_log)
        print(f"== serving {demo.studio.site.relative_to(ROOT)} at {demo.nginx.url}")
        if args.tamper:
            return 0 if tamper.run(demo, minor) else 1
        record_before = demo.player.read("update/update.info").decode("latin-1")
        serial_before = demo.player.read("update/list.serial").decode("latin-1")
        report = demo.run_pass({"before": "1-before-click", "during": "2-during-pass", "game": "3-game"})
        return 0 if summary(demo, report, record_before, serial_before) else 1
    finally:
        if demo.nginx:
            demo.nginx.stop()
        subprocess.run([str(session), "stop", str(demo.player.prefix)])


if __name__ == "__main__":
    sys.exit(main())

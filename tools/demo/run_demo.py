#!/usr/bin/env python3
"""The launcher at work against a local update server.

First run: draws the pictures, makes a demo release, publishes version 1.0 and then 1.1 (a
changed settings file, a removed pak), and sets up a player folder that still has parts of
1.0. Later runs reuse that state: the launcher stops early at the unchanged version. With
--bump, a new version with a changed and a removed file is published first.

The update set is served by nginx at https://localhost:8443/ with a certificate of a demo CA
that only the demo's Wine prefix trusts. Without a display, the demo runs on its own Xvfb,
clicks the game tile itself and saves screenshots; with one, you click.
"""
import argparse
import hashlib
import json
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
import test_servers  # noqa: E402

PORT = 8443
MATCH = "\\player\\TolvaneLauncher.exe"
IGNORED = {"TolvaneLauncher.exe", "errors.err", "TolvaneGame.started"}


class Demo:
    def __init__(self, build, folder):
        self.build = build
        self.folder = folder
        self.prefix = folder / "wineprefix"
        self.player = folder / "player"
        self.release = folder / "release"
        self.site = folder / "site"
        self.state_file = folder / "state.json"
        self.wine_run = ROOT / "tools" / "wine-run"

    # --- Windows programs -------------------------------------------------------------

    def wine(self, program, *args, **kwargs):
        return subprocess.run([str(self.wine_run), str(self.prefix), str(program), *map(str, args)],
                              capture_output=True, text=True, **kwargs)

    def probe(self, command, *args):
        return self.wine(self.build / "tools" / "launcher_probe.exe", command, MATCH, *args)

    # --- the update set ---------------------------------------------------------------

    def release_files(self, minor):
        """The game folder of version 1.<minor> as {relative path: bytes}."""
        def blob(name, size):
            seed = hashlib.sha256(name.encode()).digest()
            return (seed * (size // len(seed) + 1))[:size]

        files = {
            "TolvaneGame.exe": (self.build / "tools" / "TolvaneGame.exe").read_bytes(),
            "bin/engine.dll": blob("engine", 96 * 1024),
            "data/textures/stone.tex": blob("stone", 64 * 1024),
            "data/textures/grass.tex": blob("grass", 64 * 1024),
            "data/maps/harbour.map": blob(f"harbour {max(minor, 1)}", 48 * 1024),
            "config/settings.ini": f"[game]\nversion = 1.{minor}\nquality = high\n".encode(),
            "readme.txt": b"TolvaneGame demo data.\n",
        }
        if minor == 0:
            files["data/intro_old.pak"] = blob("intro", 32 * 1024)
        # Every bump changes the map; every other one drops the wind sound, the next brings it back.
        if minor < 2 or minor % 2 == 1:
            files["data/sounds/wind.snd"] = blob("wind", 40 * 1024)
        return files

    def publish(self, minor):
        shutil.rmtree(self.release, ignore_errors=True)
        for relative, data in self.release_files(minor).items():
            path = self.release / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        result = subprocess.run([sys.executable, str(ROOT / "tools" / "tolvane-publish"), str(self.release),
                                 f"1.{minor}", str(self.site)], capture_output=True, text=True)
        if result.returncode != 0:
            raise SystemExit(result.stderr)
        print("   " + result.stdout.strip())

    # --- set-up ------------------------------------------------------------------------

    def first_run(self):
        print("== first run: pictures, demo release 1.0 and 1.1, a player folder with parts of 1.0")
        self.player.mkdir(parents=True)
        shutil.copy(self.build / "bin" / "TolvaneLauncher.exe", self.player)
        images = self.player / "Images"
        images.mkdir()
        drawn = self.wine(self.build / "tools" / "draw_pictures.exe", test_servers.windows_path(images))
        if drawn.returncode != 0:
            raise SystemExit("could not draw the pictures: " + drawn.stderr)
        self.publish(0)
        # What a player of 1.0 still has: the old settings, the pak that 1.1 drops, the record.
        old = self.release_files(0)
        for relative in ("config/settings.ini", "data/intro_old.pak"):
            path = self.player / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(old[relative])
        (self.player / "update").mkdir()
        (self.player / "update" / "update.info").write_bytes(b"Version = 1.0;")
        self.publish(1)
        return 1

    def snapshot(self):
        return {p.relative_to(self.player).as_posix(): hashlib.sha256(p.read_bytes()).hexdigest()
                for p in self.player.rglob("*")
                if p.is_file() and p.name not in IGNORED and not p.relative_to(self.player).parts[0] in ("Images", "update")}

    # --- the run -----------------------------------------------------------------------

    def run_launcher(self, headless):
        shots = []
        log = self.player / "errors.err"
        log_before = log.read_bytes() if log.exists() else b""
        (self.player / "TolvaneGame.started").unlink(missing_ok=True)
        launcher = subprocess.Popen([str(self.wine_run), str(self.prefix), "TolvaneLauncher.exe"],
                                    cwd=self.player, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            if self.probe("window", 30000).returncode != 0:
                raise SystemExit("the launcher window did not appear")
            if headless:
                time.sleep(1)
                shots.append(self.screenshot("1-before-click"))
                print("== clicking the game tile")
                self.probe("post", "click-game")
                time.sleep(1.2)
                shots.append(self.screenshot("2-during-pass"))
            else:
                print("== the launcher is on your display: click the game tile (right)")
            code = launcher.wait(timeout=180 if headless else 3600)
            started = self.wait_for(self.player / "TolvaneGame.started", 20)
            if headless and started:
                time.sleep(2)
                shots.append(self.screenshot("3-game"))
        finally:
            if launcher.poll() is None:
                launcher.kill()
        new_log = (log.read_bytes() if log.exists() else b"")[len(log_before):]
        return code, started, shots, new_log.decode("latin-1").splitlines()

    def screenshot(self, name):
        path = self.folder / f"{name}.png"
        subprocess.run(["import", "-window", "root", str(path)], check=True)
        return path

    @staticmethod
    def wait_for(path, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if path.exists():
                return True
            time.sleep(0.2)
        return False


def port_in_use(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def summary(demo, record_before, before, after, code, started, shots, new_errors):
    release = {p.relative_to(demo.release).as_posix(): hashlib.sha256(p.read_bytes()).hexdigest()
               for p in demo.release.rglob("*") if p.is_file()}
    fetched = sorted(p for p in after if p not in before)
    rewritten = sorted(p for p in after if p in before and before[p] != after[p])
    deleted = sorted(p for p in before if p not in after)
    list_lines = (demo.site / "AppGameUpload" / "uploadfile.uda").read_text("ascii").splitlines()
    record = demo.player / "update" / "update.info"
    print("\n== What happened")
    print(f"server        https://localhost:{PORT}/  ({list_lines[0]}, {len(list_lines) - 1} file lines)")
    in_step = after == release
    print(f"files         {'in step with the release' if in_step else 'NOT in step with the release'}"
          f" ({len(after)} files): {len(fetched)} fetched, {len(rewritten)} fetched again, {len(deleted)} deleted")
    for label, paths in (("  fetched", fetched), ("  again", rewritten), ("  deleted", deleted)):
        if paths:
            print(f"{label:13} " + ", ".join(paths))
    if record_before == list_lines[0]:
        print("              the recorded version equals the server's: the pass stopped at the version line")
    print(f"version       update\\update.info holds {record.read_bytes().decode('latin-1')!r}")
    print(f"game          {'started' if started else 'NOT started'}")
    print(f"exit code     {code}")
    print(f"errors.err    {len(new_errors)} new line(s)")
    for line in new_errors:
        print(f"              {line}")
    if shots:
        print("screenshots   " + ", ".join(str(p.relative_to(ROOT)) for p in shots))
    return in_step and started and code == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=pathlib.Path, default=ROOT / "build" / "release")
    parser.add_argument("--bump", action="store_true", help="publish a new version first")
    parser.add_argument("--reset", action="store_true", help="start over with a fresh demo folder")
    args = parser.parse_args()
    demo = Demo(args.build.resolve(), ROOT / "build" / "demo")
    if port_in_use(PORT):
        raise SystemExit(f"port {PORT} is taken; the demo's update server needs it")
    if args.reset:
        for name in ("player", "release", "site", "state.json"):
            path = demo.folder / name
            shutil.rmtree(path, ignore_errors=True) if path.is_dir() else path.unlink(missing_ok=True)
    demo.folder.mkdir(parents=True, exist_ok=True)

    headless = not os.environ.get("DISPLAY")
    session = ROOT / "tools" / "wine-session"
    subprocess.run([str(session), "start", str(demo.prefix)], check=True)
    nginx = None
    try:
        if headless:
            os.environ["DISPLAY"] = (pathlib.Path(str(demo.prefix) + ".display")).read_text().strip()
        pki = test_servers.TestPki(str(demo.folder / "pki"))
        trusted = demo.wine(args.build / "tools" / "trust_ca.exe", test_servers.windows_path(pki.ca))
        if trusted.returncode != 0:
            raise SystemExit("could not make the demo's Wine prefix trust the demo CA: " + trusted.stderr)
        state = json.loads(demo.state_file.read_text()) if demo.state_file.exists() else None
        if state is None:
            minor = demo.first_run()
        else:
            minor = state["minor"]
            if args.bump:
                minor += 1
                print(f"== publishing version 1.{minor}: the map changes, the wind sound comes or goes")
                demo.publish(minor)
            else:
                print(f"== version 1.{minor} again: the launcher should stop at the unchanged version line")
        demo.state_file.write_text(json.dumps({"minor": minor}))

        nginx = test_servers.Nginx(str(demo.site), pki, PORT).start()
        print(f"== serving {demo.site.relative_to(ROOT)} at {nginx.url}")
        before = demo.snapshot()
        record_before = (demo.player / "update" / "update.info").read_text("latin-1")
        code, started, shots, new_errors = demo.run_launcher(headless)
        ok = summary(demo, record_before, before, demo.snapshot(), code, started, shots, new_errors)
    finally:
        if nginx:
            nginx.stop()
        subprocess.run([str(session), "stop", str(demo.prefix)])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

"""The player's side of the demo: a folder with the launcher and its pictures, the launcher run
under Wine as a player runs it (a click on the game tile), and what the folder holds."""
import hashlib
import pathlib
import shutil
import subprocess
import sys
import time
from typing import NamedTuple

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools" / "testing"))
import test_servers  # noqa: E402

MATCH = "\\player\\TolvaneLauncher.exe"
MARKER = "TolvaneGame.started"
# The player folder's own files, which no list names.
OWN = {"TolvaneLauncher.exe", "errors.err", MARKER}


class LauncherRun(NamedTuple):
    code: int
    started: bool
    shots: list
    errors: list  # the error-log lines this run added
    trace: list  # the launcher's standard output, backslashes turned into slashes


class Player:
    def __init__(self, build, folder):
        self.build = build
        self.demo_folder = folder
        self.folder = folder / "player"
        self.prefix = folder / "wineprefix"
        self.launcher = build / "bin" / "TolvaneLauncher.exe"  # the demo puts its signed copy here
        self.wine_run = ROOT / "tools" / "testing" / "wine-run"

    def wine(self, program, *args, **kwargs):
        return subprocess.run([str(self.wine_run), str(self.prefix), str(program), *map(str, args)],
                              capture_output=True, text=True, **kwargs)

    def probe(self, command, *args):
        return self.wine(self.build / "tools" / "testing" / "launcher_probe.exe", command, MATCH, *args)

    def set_up(self):
        """A player folder with the pictures that the launcher shows."""
        images = self.folder / "Images"
        images.mkdir(parents=True)
        drawn = self.wine(self.build / "tools" / "draw_pictures.exe", test_servers.windows_path(images))
        if drawn.returncode != 0:
            raise SystemExit("could not draw the pictures: " + drawn.stderr)

    def write(self, relative, data):
        path = self.folder / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)

    def read(self, relative, default=b""):
        path = self.folder / relative
        return path.read_bytes() if path.exists() else default

    def snapshot(self, everything=False):
        """{relative path: SHA-256} of the game files; with everything, of the launcher's
        pictures and records too (all but the error log and the game's marker)."""
        def wanted(path):
            parts = path.relative_to(self.folder).parts
            return path.is_file() and path.name not in OWN and (everything or parts[0] not in ("Images", "update"))
        return {p.relative_to(self.folder).as_posix(): hashlib.sha256(p.read_bytes()).hexdigest()
                for p in self.folder.rglob("*") if wanted(p)}

    def run_launcher(self, headless, shots):
        """Runs the launcher and has the game tile clicked. shots maps the moments "before",
        "during" and "game" to screenshot names (headless only)."""
        taken = []
        log_before = self.read("errors.err")
        (self.folder / MARKER).unlink(missing_ok=True)
        # The studio's launcher, also into a folder that an older demo made.
        shutil.copy(self.launcher, self.folder)
        trace_path = self.demo_folder / "launcher-output.txt"
        with open(trace_path, "wb") as trace_file:
            launcher = subprocess.Popen([str(self.wine_run), str(self.prefix), "TolvaneLauncher.exe"],
                                        cwd=self.folder, stdout=trace_file, stderr=subprocess.DEVNULL)
            try:
                if self.probe("window", 30000).returncode != 0:
                    raise SystemExit("the launcher window did not appear")
                if headless:
                    time.sleep(1)
                    taken += self.screenshot(shots, "before")
                    self.probe("post", "click-game")
                    time.sleep(1.2)
                    taken += self.screenshot(shots, "during")
                else:
                    print("   the launcher is on your display: click the game tile (right)")
                code = launcher.wait(timeout=180 if headless else 3600)
                started = self.wait_for(self.folder / MARKER, 20)
                if headless and started and "game" in shots:
                    time.sleep(2)
                    taken += self.screenshot(shots, "game")
            finally:
                if launcher.poll() is None:
                    launcher.kill()
        new_log = self.read("errors.err")[len(log_before):].decode("latin-1").splitlines()
        trace = trace_path.read_bytes().decode("latin-1").replace("\\", "/").splitlines()
        return LauncherRun(code, started, taken, new_log, trace)

    def close_game(self):
        self.wine("taskkill", "/f", "/im", "TolvaneGame.exe")

    def screenshot(self, shots, moment):
        if moment not in shots:
            return []
        path = self.demo_folder / f"{shots[moment]}.png"
        subprocess.run(["import", "-window", "root", str(path)], check=True)
        return [path]

    @staticmethod
    def wait_for(path, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if path.exists():
                return True
            time.sleep(0.2)
        return False

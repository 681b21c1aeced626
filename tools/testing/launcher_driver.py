"""The real launcher under Wine, as a person meets it: a copy in a fresh folder with generated
pictures, on a display of its own, looked at and acted on through launcher_probe.exe."""
import copy
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from test_servers import windows_path

BACKGROUND, CAD, GAME = (30, 60, 90), (220, 120, 0), (0, 160, 60)


def check(condition, message):
    if not condition:
        sys.exit("FAILED: " + message)  # the clean-up in main still runs


def wait_until(condition, seconds):
    deadline = time.time() + seconds
    while not condition() and time.time() < deadline:
        time.sleep(0.2)
    return condition()


def deepen(top, units):
    """A folder in top whose Windows path (Z:\\...\\) is units long, or longer when top's is
    already near that. Its last level starts with top's name, by which the probe tells it."""
    folder, missing = top, units - len("Z:%s\\" % top)
    if missing <= 0:
        return top
    while missing > 101 + len(top.name):
        folder, missing = folder / ("d" * 99), missing - 100
    folder /= top.name + "d" * max(0, missing - 1 - len(top.name))
    folder.mkdir(parents=True)
    return folder


class Launcher:
    """A copy of the launcher with its pictures in a fresh folder, on a display of its own; with
    units, in a folder whose path is that long."""

    def __init__(self, args, units=0):
        self.args, self.process, self.exe = args, None, "TolvaneLauncher.exe"
        self.top = pathlib.Path(tempfile.mkdtemp(prefix=args.case + "-", dir=args.work))
        self.folder = deepen(self.top, units)
        shutil.copy(args.launcher, self.folder / "TolvaneLauncher.exe")
        (self.folder / "Images").mkdir()
        for name, size, rgb in (("back_1366x854", "1366x854", BACKGROUND),
                                ("TolvaneCAD_455", "455x256", CAD),
                                ("TolvaneGame_455", "455x256", GAME)):
            subprocess.run(["convert", "-size", size, "xc:rgb(%d,%d,%d)" % rgb, "-type",
                            "TrueColor", f"BMP3:{self.folder}/Images/{name}.bmp"], check=True)
        # Last, so that nothing above can fail and leave it running: a private Xvfb, for
        # screenshots of this case's windows only. It reports the display it picked; it keeps
        # none of our output handles, which CTest awaits.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                      "1920x1080x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as reported:
            self.display = ":" + reported.readline().strip()
        self.env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=args.prefix)

    def wine(self, *command, wait=True):
        run = subprocess.run if wait else subprocess.Popen
        return run([self.args.wine_run, self.args.prefix, *command], env=self.env, text=True,
                   stdout=subprocess.PIPE if wait else subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)

    def probe(self, command, *rest):
        """Runs launcher_probe on this launcher; returns its answer as {key: [values]}."""
        match = "\\" + self.folder.name + "\\" + self.exe
        result = self.wine(self.args.probe, command, match, *rest)
        values = {"exit": [result.returncode]}
        for key, _, value in (line.partition("=") for line in result.stdout.splitlines()):
            values.setdefault(key, []).append(value)
        return values

    def start(self, window=True, arguments=()):
        """Starts the launcher with arguments on its command line; waits for its window and
        returns its client area x, y, w, h."""
        self.process = self.wine(self.folder / self.exe, *arguments, wait=False)
        if window:
            values = self.probe("window", "20000")
            check(values["exit"] == [0], f"no launcher window: {values}")
            self.client = [int(n) for key in ("client_origin", "client_size")
                           for n in values[key][0].split(",")]
            return self.client

    def prefix_path(self):
        return pathlib.Path(self.args.prefix)

    def second(self):
        """Another launcher in the same folder and on the same display: a copy of this one."""
        other = copy.copy(self)
        other.exe, other.process = "SecondLauncher.exe", None
        shutil.copy(self.folder / self.exe, self.folder / other.exe)
        return other

    def shows_status(self, text):
        """True when the screen shows text as the status line, pixel for pixel as the probe
        draws it over the background's colour. The window must be on top."""
        reference = self.top / "status.bmp"
        values = self.probe("render", text, "%02X%02X%02X" % BACKGROUND, windows_path(reference))
        left, top, width, height = (int(n) for n in values["area"][0].split(","))
        crop = f"{width}x{height}+{self.client[0] + left}+{self.client[1] + top}"
        screen = subprocess.run(["import", "-display", self.display, "-window", "root", "-crop",
                                 crop, "-depth", "8", "rgb:-"], capture_output=True).stdout
        drawn = subprocess.run(["convert", reference, "-depth", "8", "rgb:-"],
                               capture_output=True).stdout
        return screen == drawn

    def linux_processes(self):
        """The Linux processes that run the launcher's executable, as /proc folders."""
        found = []
        for folder in pathlib.Path("/proc").glob("[0-9]*"):
            try:
                if (folder / "cmdline").read_bytes().split(b"\0")[0] == bytes(self.folder / self.exe):
                    found.append(folder)
            except OSError:  # a process that ended meanwhile
                pass
        return found

    def cpu_seconds(self):
        """The processor time the launcher's process has used so far, as Linux counts it: Wine
        does not give another process's times."""
        ticks = 0
        for folder in self.linux_processes():
            try:
                stat = (folder / "stat").read_text()
                ticks += sum(int(n) for n in stat.rsplit(")", 1)[1].split()[11:13])
            except OSError:
                pass
        return ticks / os.sysconf("SC_CLK_TCK")

    def kill(self):
        """Kills the launcher's process as kill -9 does, and waits until it has gone."""
        for folder in self.linux_processes():
            try:
                os.kill(int(folder.name), signal.SIGKILL)
            except OSError:
                pass
        check(wait_until(lambda: not self.linux_processes(), 30), "the launcher was not killed")
        self.process.wait(30)

    def exits_with(self, code, seconds=30):
        try:
            check(self.process.wait(timeout=seconds) == code, f"the exit code is not {code}")
        except subprocess.TimeoutExpired:
            check(False, f"the launcher did not end within {seconds} s")

    def cad_notice(self, answer):
        """Clicks the CAD tile and checks its box; answer "1" presses OK, "0" leaves it open."""
        self.probe("post", "click-cad")
        box = self.probe("dialog", answer, "20000")
        check(box.get("text") == ["CAD programm work demo..."], f"CAD tile box {box}")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
        subprocess.run(["wineserver", "-k"], env=self.env)
        self.xvfb.terminate()


def run_one_case(args, case, units=0):
    """Runs case(launcher) on a launcher of args (args.work, args.case) in a fresh folder, with
    units as in Launcher, and clears it all away however the case ends."""
    args.work = pathlib.Path(args.work)
    (args.work / "artifacts").mkdir(parents=True, exist_ok=True)
    # A stop from outside (CTest's time-out) still runs the clean-up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    launcher = Launcher(args, units)
    try:
        case(launcher)
    finally:
        launcher.stop()
    shutil.rmtree(launcher.top)
    print("passed", args.case)

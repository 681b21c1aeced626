#!/usr/bin/env python3
"""Runs the real TolvaneLauncher.exe under Wine on a display of its own and checks what a
person at the screen would see and get: the window and its pictures, the message boxes, the
answers to Escape and to close requests, and the exit codes.

Each case copies the launcher into a fresh folder with generated pictures, starts it with
tools/wine-run in a prefix of its own, and looks at it through launcher_probe.exe (a Windows
program in the same prefix) and through screenshots of the display."""
import argparse
import os
import pathlib
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

TOOLS = pathlib.Path(__file__).resolve().parent.parent.parent / "tools"

BACKGROUND = (30, 60, 90)
CAD_TILE = (220, 120, 0)
GAME_TILE = (0, 160, 60)
PICTURES = {
    "back_1366x854.bmp": (1366, 854, BACKGROUND),
    "TolvaneCAD_455.bmp": (455, 256, CAD_TILE),
    "TolvaneGame_455.bmp": (455, 256, GAME_TILE),
}


class CaseFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CaseFailed(message)


def write_bmp(path, width, height, rgb):
    """A bottom-up 24-bit bitmap of one colour."""
    row = bytes((rgb[2], rgb[1], rgb[0])) * width
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    path.write_bytes(header + info + pixels)


class Display:
    """A private Xvfb, so that screenshots show only this case's windows."""

    def __init__(self):
        # Xvfb picks a free display number itself and reports it once it accepts clients, so
        # that runs in parallel never meet on one display.
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as reported:
            number = reported.readline().strip()
        if not number:
            self.stop()
            raise CaseFailed("Xvfb did not start")
        self.name = ":" + number

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", str(path)], check=True)

    def pixels(self):
        """The whole screen as (width, height, rgb bytes)."""
        ppm = subprocess.run(["import", "-display", self.name, "-window", "root", "-depth", "8", "ppm:-"],
                             check=True, capture_output=True).stdout
        fields = []
        position = 0
        while len(fields) < 4:
            while ppm[position:position + 1].isspace():
                position += 1
            end = position
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[position:end])
            position = end
        check(fields[0] == b"P6" and fields[3] == b"255", "unexpected screenshot format")
        return int(fields[1]), int(fields[2]), ppm[position + 1:]

    def stop(self):
        self.process.terminate()
        self.process.wait()


class Wine:
    def __init__(self, wine_run, prefix, display):
        self.wine_run = wine_run
        self.prefix = prefix
        self.env = dict(os.environ, DISPLAY=display.name)

    def start(self, program):
        return subprocess.Popen([self.wine_run, self.prefix, str(program)], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def run(self, program, *args, timeout=60):
        return subprocess.run([self.wine_run, self.prefix, str(program), *args], env=self.env,
                              capture_output=True, text=True, timeout=timeout)

    def stop_server(self):
        subprocess.run(["wineserver", "-k"], env=dict(self.env, WINEPREFIX=self.prefix),
                       capture_output=True)


class Launcher:
    """One copy of the launcher in a fresh folder, and the probe that looks at it."""

    def __init__(self, args, wine, folder, pictures=PICTURES):
        self.wine = wine
        self.probe_exe = args.probe
        self.folder = folder
        shutil.copy(args.launcher, folder / "TolvaneLauncher.exe")
        (folder / "Images").mkdir()
        for name in pictures:
            width, height, rgb = PICTURES[name]
            write_bmp(folder / "Images" / name, width, height, rgb)
        self.match = "\\" + folder.name + "\\TolvaneLauncher.exe"
        self.process = None

    def start(self):
        self.process = self.wine.start(self.folder / "TolvaneLauncher.exe")

    def probe(self, *args, timeout=60):
        """Runs the probe; returns (exit code, {key: [values]})."""
        result = self.wine.run(self.probe_exe, args[0], self.match, *args[1:], timeout=timeout)
        values = {}
        for line in result.stdout.splitlines():
            key, _, value = line.partition("=")
            values.setdefault(key, []).append(value)
        return result.returncode, values

    def window(self, ms=20000):
        code, values = self.probe("window", str(ms))
        check(code == 0, f"the launcher window did not show: {values}")
        return values

    def wait_exit(self, timeout=30):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise CaseFailed("the launcher did not end")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def numbers(value):
    return [int(v) for v in value.split(",")]


def tiles(values):
    """The button children as (left, top, right, bottom), left to right."""
    found = []
    for child in values.get("child", []):
        cls, *rect = child.split(",")
        if cls.lower() == "button":
            found.append(tuple(int(v) for v in rect))
    return sorted(found)


def windows_path(path):
    """The path as a Windows program under Wine sees it (Wine maps / to drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read_bmp(path):
    """A 24-bit bottom-up bitmap as (width, height, pixel(x, y) -> (r, g, b))."""
    data = pathlib.Path(path).read_bytes()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    check(bits == 24 and height > 0, f"{path}: not a bottom-up 24-bit bitmap")
    stride = (width * 3 + 3) & ~3

    def pixel(x, y):
        i = offset + (height - 1 - y) * stride + x * 3
        return data[i + 2], data[i + 1], data[i]

    return width, height, pixel


def status_line_shows(launcher, display, origin, text):
    """True when the screen shows text as the launcher's status line (white with its shadow,
    over the background picture), compared pixel by pixel with the probe's own drawing."""
    reference = launcher.folder / "status-line.bmp"
    colour = "%02X%02X%02X" % BACKGROUND
    code, values = launcher.probe("render", text, colour, windows_path(reference))
    check(code == 0, "the probe could not draw the status line")
    left, top, width, height = numbers(values["area"][0])
    _, _, expected = read_bmp(reference)
    shot = display.pixels()
    return all(screen_pixel(shot, origin[0] + left + x, origin[1] + top + y) == expected(x, y)
               for y in range(height) for x in range(width))


def screen_pixel(shot, x, y):
    width, _, data = shot
    i = (y * width + x) * 3
    return tuple(data[i:i + 3])


# --- the cases --------------------------------------------------------------------------


def case_escape(args, wine, display, folder):
    """The window with its pictures and bar on screen (a screenshot is kept); Escape released
    ends the launcher with exit code 0."""
    launcher = Launcher(args, wine, folder)
    launcher.start()
    try:
        values = launcher.window()
        check(values["title"] == ["TolvaneSoft Window Launcher"], f"title {values['title']}")
        ox, oy = numbers(values["client_origin"][0])
        w, h = numbers(values["client_size"][0])
        check(len(tiles(values)) == 2, f"tiles {values.get('child')}")
        row = h // 3

        # Wait until the window has painted itself, then keep what it looks like.
        deadline = time.time() + 15
        while True:
            shot = display.pixels()
            if screen_pixel(shot, ox + 5, oy + 5) == BACKGROUND or time.time() > deadline:
                break
            time.sleep(0.3)
        args.artifacts.mkdir(parents=True, exist_ok=True)
        display.screenshot(args.artifacts / "launcher-window.png")
        check(screen_pixel(shot, ox + 5, oy + 5) == BACKGROUND, "no background picture")
        check(screen_pixel(shot, ox + 50 + 227, oy + row + 128) == CAD_TILE, "no CAD picture")
        check(screen_pixel(shot, ox + w - 505 + 227, oy + row + 128) == GAME_TILE, "no game picture")
        check(screen_pixel(shot, ox + w // 4, oy + h - 80) == (0, 0, 0), "no bar frame")
        check(screen_pixel(shot, ox + w // 4 + 5, oy + h - 75) == (255, 255, 255), "bar not empty")

        check(status_line_shows(launcher, display, (ox, oy), ""), "the status line is not empty")
        code, _ = launcher.probe("post", "escape")
        check(code == 0, "could not send Escape")
        exit_code = launcher.wait_exit()
        check(exit_code == 0, f"exit code {exit_code} after Escape")
    finally:
        launcher.stop()


def case_close_twice(args, wine, display, folder):
    """The first close request leaves the window on screen; the second ends with exit code 1."""
    launcher = Launcher(args, wine, folder)
    launcher.start()
    try:
        launcher.window()
        code, _ = launcher.probe("post", "sysclose")
        check(code == 0, "could not send the first close request")
        time.sleep(2)
        check(launcher.process.poll() is None, "the launcher ended at the first close request")
        launcher.window(ms=1000)
        code, _ = launcher.probe("post", "close")
        check(code == 0, "could not send the second close request")
        exit_code = launcher.wait_exit()
        check(exit_code == 1, f"exit code {exit_code} after the second close request")
    finally:
        launcher.stop()


def case_missing_background(args, wine, display, folder):
    """Without the background picture: one message box naming its full path, no window, exit
    code 0. The tile pictures are missing too and are never looked for (no further box)."""
    launcher = Launcher(args, wine, folder, pictures=[])
    launcher.start()
    try:
        code, box = launcher.probe("dialog", "1", "20000")
        check(code == 0, "no message box")
        check(box["caption"] == ["Message"], f"caption {box['caption']}")
        text = box["text"][0].replace("\\u005C", "\\")
        prefix = "Error load no find file: "
        check(text.startswith(prefix), f"text {text!r}")
        check(text.endswith("\\" + folder.name + "\\Images\\back_1366x854.bmp"), f"path in {text!r}")
        check(box.get("button") == ["1"], f"buttons {box.get('button')}")
        check(box["window_visible"] == ["0"], "the window was shown")
        exit_code = launcher.wait_exit()
        check(exit_code == 0, f"exit code {exit_code} after the missing picture")
    finally:
        launcher.stop()
    # Boxes for the tile pictures would have held the launcher open; it ended after one.


def case_cad_tile(args, wine, display, folder):
    """A click on the CAD tile shows the demo notice; the launcher carries on."""
    launcher = Launcher(args, wine, folder)
    launcher.start()
    try:
        launcher.window()
        check(launcher.probe("post", "click-cad")[0] == 0, "could not click the CAD tile")
        code, box = launcher.probe("dialog", "1", "20000")
        check(code == 0, "no message box after the CAD tile click")
        check(box["caption"] == ["Message"], f"caption {box['caption']}")
        check(box["text"] == ["CAD programm work demo..."], f"text {box['text']}")
        check(box.get("button") == ["1"], f"buttons {box.get('button')}")
        time.sleep(1)
        check(launcher.process.poll() is None, "the launcher ended after the notice")
        launcher.probe("post", "escape")
        exit_code = launcher.wait_exit()
        check(exit_code == 0, f"exit code {exit_code} after Escape")
    finally:
        launcher.stop()


def port_free(port):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def wait_until(condition, seconds):
    deadline = time.time() + seconds
    while not condition():
        if time.time() > deadline:
            return False
        time.sleep(0.2)
    return True


def case_update(args, wine, display, folder):
    """A click on the game tile runs a whole update pass: with the server down the status line
    shows "Start" and the error log says so; with the server up a second click brings the
    folder in step, records the version, starts the game and ends the launcher with code 0."""
    sys.path.insert(0, str(TOOLS))
    import test_servers

    check(port_free(args.port), f"port {args.port} is taken; set TOLVANE_TEST_UPDATE_PORT")
    pki = test_servers.TestPki(args.pki)
    trust = wine.run(args.trust_ca, test_servers.windows_path(pki.ca))
    check(trust.returncode == 0, "could not make the prefix trust the test CA")

    # The update set: the game (a program that records that it ran) and one data file.
    served = pathlib.Path(tempfile.mkdtemp(prefix="update-set-", dir=args.work))
    release = served / "release"
    (release / "data").mkdir(parents=True)
    game = pathlib.Path(args.game).read_bytes()
    level = bytes(range(256)) * 200
    (release / "TolvaneGame.exe").write_bytes(game)
    (release / "data" / "level.pak").write_bytes(level)
    webroot = served / "webroot"
    subprocess.run([sys.executable, str(TOOLS / "tolvane-publish"), str(release), "1", str(webroot)],
                   check=True, capture_output=True)

    launcher = Launcher(args, wine, folder)
    error_log = folder / "errors.err"
    nginx = None
    launcher.start()
    try:
        values = launcher.window()
        origin = numbers(values["client_origin"][0])

        check(launcher.probe("post", "click-game")[0] == 0, "could not click the game tile")
        check(wait_until(lambda: error_log.exists() and error_log.read_bytes(), 30),
              "no error log line for the unreachable server")
        check(error_log.read_bytes() == b"Not Connection server... \r\n",
              f"error log {error_log.read_bytes()!r}")
        check(status_line_shows(launcher, display, origin, "Start"), "the status line is not Start")

        nginx = test_servers.Nginx(str(webroot), pki, port=args.port).start()
        # A click while the first pass is still winding up is refused; then click once more.
        for _ in range(2):
            check(launcher.probe("post", "click-game")[0] == 0, "could not click the game tile")
            if wait_until(lambda: nginx.requests(), 10):
                break
        exit_code = launcher.wait_exit(timeout=120)
        check(exit_code == 0, f"exit code {exit_code} after the update pass")

        check((folder / "TolvaneGame.exe").read_bytes() == game, "the game was not fetched")
        check((folder / "data" / "level.pak").read_bytes() == level, "the data file was not fetched")
        check((folder / "update" / "update.info").read_bytes() == b"Version = 1;",
              "the version was not recorded")
        check(not (folder / "update" / "cash-of-programm.tmp").exists(), "the list copy was left")
        check(wait_until((folder / "TolvaneGame.exe.ran").exists, 30), "the game was not started")
        # The Version line is also asked for as a file, which the server does not have.
        log = error_log.read_bytes().split(b"\r\n")
        check(all(b"TolvaneGame" not in line and b"level.pak" not in line for line in log),
              f"the pass logged failures: {log!r}")
        requests = nginx.requests()
        for path in ("AppGameUpload/uploadfile.uda", "AppGameUpload/TolvaneGame.exe"):
            check(any(path in request for request in requests), f"{path} not requested: {requests}")
    finally:
        launcher.stop()
        if nginx:
            nginx.stop()
        shutil.rmtree(served, ignore_errors=True)


CASES = {
    "escape": case_escape,
    "close-twice": case_close_twice,
    "missing-background": case_missing_background,
    "cad-tile": case_cad_tile,
    "update": case_update,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--launcher", required=True, type=pathlib.Path)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--work", required=True, type=pathlib.Path)
    parser.add_argument("--port", type=int, help="the test launcher's update server port")
    parser.add_argument("--trust-ca", help="trust_ca.exe, which makes the prefix trust a CA")
    parser.add_argument("--pki", help="folder of the test CA and certificates")
    parser.add_argument("--game", help="the program served as TolvaneGame.exe")
    args = parser.parse_args()
    # A stop from outside (CTest's time-out) still runs the clean-up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    args.artifacts = args.work / "artifacts"
    args.work.mkdir(parents=True, exist_ok=True)

    display = Display()
    wine = Wine(args.wine_run, args.prefix, display)
    folder = pathlib.Path(tempfile.mkdtemp(prefix=args.case + "-", dir=args.work))
    try:
        CASES[args.case](args, wine, display, folder)
    except CaseFailed as failure:
        print(f"FAILED {args.case}: {failure}")
        return 1
    finally:
        wine.stop_server()
        display.stop()
    shutil.rmtree(folder, ignore_errors=True)
    print(f"passed {args.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Runs the real launcher under Wine, in a fresh folder with generated pictures, and checks it
as a person would: through launcher_probe.exe and screenshots. One case (--case) per run."""
import argparse
import pathlib
import shutil
import subprocess
import sys
import time

TOOLS = pathlib.Path(__file__).resolve().parents[2] / "tools"
sys.path.insert(0, str(TOOLS / "testing"))

import test_servers  # noqa: E402
from launcher_driver import BACKGROUND, CAD, GAME, check, run_one_case, wait_until  # noqa: E402
from launcher_replacement import case_update_self  # noqa: E402
from release_channels import case_release_channels  # noqa: E402
from served_release import ServedRelease, click_game  # noqa: E402


def case_window(launcher):
    """The window as a person sees it (a screenshot is kept), the CAD tile's notice, and two
    close requests: the first leaves the window, the second ends the launcher with exit code 1."""
    x, y, w, h = launcher.start()
    expected = {(5, 5): BACKGROUND, (277, h // 3 + 128): CAD, (w - 278, h // 3 + 128): GAME,
                (w // 4, h - 80): (0, 0, 0), (w // 4 + 5, h - 75): (255, 255, 255)}

    def wrong():
        shot = subprocess.run(["import", "-display", launcher.display, "-window", "root",
                               "-depth", "8", "rgb:-"], capture_output=True).stdout
        return [(a, b) for (a, b), rgb in expected.items()
                if tuple(memoryview(shot)[3 * ((y + b) * 1920 + x + a):][:3]) != rgb]
    wait_until(lambda: not wrong(), 15)  # the tiles may paint after the background
    subprocess.run(["import", "-display", launcher.display, "-window", "root",
                    launcher.args.work / "artifacts" / "launcher-window.png"], check=True)
    check(not wrong(), f"unexpected colours at {wrong()}")

    launcher.cad_notice("1")
    launcher.probe("post", "end-message")  # only a worker's own hand-over ends the launcher
    launcher.probe("post", "sysclose")
    time.sleep(2)
    check(launcher.probe("window", "1000")["exit"] == [0],
          "no window after the first close request")
    launcher.probe("post", "close")
    launcher.exits_with(1)


def case_escape(launcher):
    """Escape released ends the launcher with exit code 0."""
    launcher.start()
    launcher.probe("post", "escape")
    launcher.exits_with(0)


def case_missing_background(launcher):
    """Without its pictures: one box naming the background's full path, then exit code 0 (a box
    for a tile picture would hold the launcher open)."""
    shutil.rmtree(launcher.folder / "Images")
    launcher.start(window=False)
    box = launcher.probe("dialog", "1", "20000")
    text = box.get("text", [""])[0].replace("\\u005C", "\\")
    check(text.startswith("Error load no find file: ") and
          text.endswith(f"\\{launcher.folder.name}\\Images\\back_1366x854.bmp"), f"box {box}")
    launcher.exits_with(0)


NOT_WRITABLE = ("The launcher must be installed in a folder the player can write, such as under "
                "%LOCALAPPDATA%; it cannot write in its update folder")


def check_no_pass(launcher, log, box):
    """A folder where nothing can be made in update\\ (a file of that name): the launcher says
    so once, in the error log or, when that cannot be written either, in a box; then a click on
    the game tile starts the installed game without a pass (whose server is not there)."""
    folder = launcher.folder
    (folder / "update").write_text("not a folder")
    shutil.copy(launcher.args.game, folder / "TolvaneGame.exe")
    launcher.start(window=False)
    if box:
        answer = launcher.probe("dialog", "1", "20000")
        check(answer.get("text") == [NOT_WRITABLE], f"box {answer}")
    check(launcher.probe("window", "20000")["exit"] == [0], "no launcher window")
    check(launcher.probe("nodialog", "1000")["exit"] == [0], "a second box")
    launcher.probe("post", "click-game")
    launcher.exits_with(0)
    check(wait_until((folder / "TolvaneGame.exe.ran").exists, 30), "the game was not started")
    check(log() == (b"" if box else b"error : " + NOT_WRITABLE.encode() + b"\r\n"),
          f"error log {log()!r}")
    check((folder / "update").read_text() == "not a folder", "update was replaced")


def case_not_writable(launcher):
    check_no_pass(launcher, lambda: (launcher.folder / "errors.err").read_bytes(), box=False)


def case_not_writable_box(launcher):
    """The same with errors.err a folder, so that no line can be written."""
    (launcher.folder / "errors.err").mkdir()
    check_no_pass(launcher, lambda: b"".join(
        p.read_bytes() for p in (launcher.folder / "errors.err").iterdir()), box=True)


def run_update(launcher, drive, interrupted=None):
    """Serves a signed update set, lets drive lead the running launcher into a pass, and checks
    the folder, the version and serial records, that the game ran and that the exit code is 0.
    With interrupted, a pass against the fault server is first ended by it mid-download."""
    site = ServedRelease(launcher)
    # The fault server sends a file slowly when a level of its path is "slow", announcing the
    # length listed here: 64 KiB.
    level = "slow/level.pak" if interrupted else "data/level.pak"
    files = {"TolvaneGame.exe": pathlib.Path(launcher.args.game).read_bytes(),
             level: bytes(range(256)) * 256}
    try:
        site.publish(files)
        if interrupted:
            interrupted_pass(launcher, site.webroot, site.pki, launcher.folder / level, interrupted)
        site.run_pass(drive)
    finally:
        site.close()
    site.check_installed(files)
    left = [str(p) for p in launcher.top.rglob("*.tolvane-part")]
    check(not left, f"unfinished downloads left: {left}")


PREVIOUS = b"the player's previous level\r\n" * 100


def interrupted_pass(launcher, webroot, pki, target, end):
    """A pass against the fault server, which sends target slowly: once that download runs, end
    stops the launcher. The previous copy stays byte for byte and no version is recorded."""
    target.parent.mkdir()
    target.write_bytes(PREVIOUS)
    # The installed game: a release is staged whole before it is moved in, so a pass cut short
    # leaves this one to start.
    shutil.copy(launcher.args.game, launcher.folder / "TolvaneGame.exe")
    server = test_servers.FaultServer(int(launcher.args.port), str(webroot), pki.cert, pki.key)
    server.start()
    try:
        launcher.start()
        launcher.probe("post", "click-game")
        check(wait_until(lambda: any("slow" in p for p in server.requests), 60),
              f"the slow download did not start: {server.requests}")
        time.sleep(2)  # let some of its body arrive
        end(launcher)
    finally:
        server.stop()
    check(target.read_bytes() == PREVIOUS, "the previous copy of the file being downloaded is lost")
    check(not (launcher.folder / "update" / "update.info").exists(),
          "an ended pass recorded the version")
    # The body goes straight to a temporary beside its target, which an ended launcher leaves
    # with what had arrived (here made sure of), for the next pass to remove.
    target.with_name(target.name + ".tolvane-part").write_bytes(PREVIOUS[:100])


def case_update(launcher):
    """A click on the game tile: the whole update as above."""
    run_update(launcher, click_game)


def case_update_behind_box(launcher):
    """The CAD tile's notice is open while the whole pass runs and ends: the game starts and
    the launcher ends all the same, the box never answered."""
    def drive(launcher):
        launcher.cad_notice("0")
        launcher.probe("post", "click-game")  # reaches the tile through the box's loop
    run_update(launcher, drive)


def escape_mid_download(launcher):
    launcher.probe("post", "escape")
    launcher.exits_with(0)


def close_twice(launcher):
    launcher.probe("post", "sysclose")
    time.sleep(2)
    check(launcher.process.poll() is None and launcher.probe("window", "1000")["exit"] == [0],
          "the first close request during a pass ended the launcher")
    launcher.probe("post", "close")
    launcher.exits_with(1)


def end_session(launcher):
    """The player logs off: Wine's end of the session asks every window, then ends them."""
    launcher.wine("wineboot", "--end-session")
    launcher.exits_with(0)


def cache_files(launcher):
    """Every file in the internet cache of the launcher's Wine prefix, by path."""
    return {p for p in launcher.prefix_path().glob(CACHE + "/**/*") if p.is_file()}


CACHE = "drive_c/users/*/AppData/Local/Microsoft/Windows/INetCache"


def case_update_after_kill(launcher):
    """The launcher killed (kill -9) while a file downloads: no byte of the body stays in the
    internet cache, and the next start and pass bring the folder in step. What an earlier
    launcher, which had the platform write bodies to the cache, left there when killed goes with
    that pass: a file named after the download that holds the start of the launcher's copy.
    Another program's file, named alike but holding other bytes, stays."""
    level = bytes(range(256)) * 256  # as run_update publishes it
    folders = list(launcher.prefix_path().glob(CACHE))
    check(len(folders) == 1, f"no internet cache in the prefix: {folders}")
    planted = folders[0] / "Content.IE5" / "TOLVTEST"
    planted.mkdir(parents=True, exist_ok=True)
    (planted / "level[5]").write_bytes(level[:5000])
    (planted / "level[6]").write_bytes(b"another program's" * 300)
    before = cache_files(launcher)
    try:
        def kill(launcher):
            launcher.kill()
            left = cache_files(launcher) - before
            check(not left, f"the killed download left copies in the cache: {left}")
        run_update(launcher, click_game, interrupted=kill)
        check(cache_files(launcher) == before - {planted / "level[5]"},
              f"the cache after the next pass: {cache_files(launcher) ^ before}")
    finally:
        shutil.rmtree(planted)


def case_update_after_escape(launcher):
    """Escape while a file downloads ends the launcher at once (exit code 0) and the next pass
    brings the folder in step, leaving no unfinished download behind."""
    run_update(launcher, click_game, interrupted=escape_mid_download)


def case_update_after_close(launcher):
    """The same with close requests: the first keeps the window, the second ends it (1)."""
    run_update(launcher, click_game, interrupted=close_twice)


def case_update_after_session_end(launcher):
    """The same when the session ends: the launcher ends with exit code 0."""
    run_update(launcher, click_game, interrupted=end_session)


WAITING = "Another launcher is updating this folder; waiting"


def second_launchers_wait(first):
    """While first's pass runs, a second launcher in its folder says that it waits and uses
    next to no processor time (a polling loop takes about half a processor); close requests end
    it as usual. A third one waits likewise until first ends, then starts the game and ends."""
    for closed in (True, False):
        second = first.second()
        second.start()
        second.probe("post", "click-game")
        check(wait_until(lambda: second.shows_status(WAITING), 20), "no waiting status line")
        if closed:
            used = second.cpu_seconds()
            time.sleep(4)
            used = second.cpu_seconds() - used
            print(f"processor time while waiting 4 s: {used:.2f} s")
            check(used < 1, f"waiting used {used:.2f} s of processor time in 4 s")
            close_twice(second)
    escape_mid_download(first)
    second.exits_with(0)
    ran = first.folder / "TolvaneGame.exe.ran"
    check(wait_until(ran.exists, 30), "the waiting launcher did not start the game")
    ran.unlink()  # for the whole pass's own check


def case_update_after_wait(launcher):
    """Second launchers wait for a pass as above; the next pass brings the folder in step."""
    run_update(launcher, click_game, interrupted=second_launchers_wait)


# Each case, and the length of the path of the folder it runs in (0: any): the launcher starts,
# paints, updates and replaces itself from folders longer than MAX_PATH.
CASES = {"window": (case_window, 300), "escape": (case_escape, 0),
         "missing-background": (case_missing_background, 300), "update": (case_update, 300),
         "update-behind-box": (case_update_behind_box, 0),
         "update-after-escape": (case_update_after_escape, 0),
         "update-after-close": (case_update_after_close, 0),
         "update-after-session-end": (case_update_after_session_end, 0),
         "update-after-kill": (case_update_after_kill, 0),
         "update-after-wait": (case_update_after_wait, 300),
         "update-self": (case_update_self, 300), "release-channels": (case_release_channels, 0),
         "not-writable": (case_not_writable, 300), "not-writable-box": (case_not_writable_box, 0)}


def main():
    parser = argparse.ArgumentParser()
    for name in ("case", "wine-run", "prefix", "launcher", "probe", "work"):
        parser.add_argument("--" + name, required=True)
    # The update cases'
    for name in ("port", "trust-ca", "pki", "game", "list-key", "next-launcher"):
        parser.add_argument("--" + name)
    args = parser.parse_args()
    case, units = CASES[args.case]
    run_one_case(args, case, units)

if __name__ == "__main__":
    main()

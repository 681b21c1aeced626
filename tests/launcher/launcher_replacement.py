"""A release that carries the next launcher, run through the real window: the running launcher
is replaced only by a program that proves itself a launcher for the studio's lists, and the
launcher's name holds a launcher at every moment of the replacement."""
import pathlib
import threading

from launcher_driver import check, wait_until
from served_release import ServedRelease, click_game

NAME, JOURNAL = "TolvaneLauncher.exe", "update/release.journal"


class NameWatch:
    """Looks at the launcher's name every few milliseconds until stopped, and counts the looks
    that found no file there."""

    def __init__(self, path):
        self.path, self.looks, self.missing = path, 0, 0
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def run(self):
        while not self.done.wait(0.005):
            self.looks += 1
            self.missing += not self.path.is_file()

    def stop(self):
        self.done.set()
        self.thread.join()


def case_update_self(launcher):
    """A release carries another launcher build (both test keys), which answers its self-check.
    The running image cannot be replaced, so the running launcher hands the replacement to the
    staged one and ends; that one takes the name in one rename once the first has ended, writes
    the version record and clears the stage and aside areas. (What is refused at the check, and
    a kill at each moment of the commit, the pass tables show.)"""
    args, folder = launcher.args, launcher.folder
    old = (folder / NAME).read_bytes()
    files = {"TolvaneGame.exe": pathlib.Path(args.game).read_bytes(),
             "data/level.pak": bytes(range(256)) * 256,
             NAME: pathlib.Path(args.next_launcher).read_bytes()}
    check(files[NAME] != old, "the next launcher has the same bytes")
    site = ServedRelease(launcher)
    watch = NameWatch(folder / NAME)
    try:
        site.publish(files)
        site.run_pass(click_game)
        check(wait_until(lambda: not (folder / JOURNAL).exists(), 60),
              "the staged launcher did not finish the update")
    finally:
        watch.stop()
        site.close()
    check(watch.looks > 100 and watch.missing == 0,
          f"{NAME} was missing at {watch.missing} of {watch.looks} looks")
    site.check_installed(files)
    left = [p for area in ("update/stage", "update/aside") for p in (folder / area).rglob("*")
            if p.is_file()]
    check(not left, f"left after the update: {left}")

    launcher.start()  # the new launcher
    launcher.probe("post", "escape")
    launcher.exits_with(0)

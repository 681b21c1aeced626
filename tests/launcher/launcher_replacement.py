"""A release that carries the next launcher, run through the real window: the running launcher
is replaced only by a program that proves itself a launcher for the studio's lists."""
import pathlib

from launcher_driver import check
from served_release import ServedRelease, click_game

ASIDE, LEFTOVERS = "TolvaneLauncher.exe.tolvane-old", "update/leftovers"


def case_update_self(launcher):
    """A release carries another launcher build (both test keys), which answers its self-check
    and replaces the running launcher: the old image, still running, is renamed aside and named
    in update\\leftovers. Started again, the new launcher deletes that leftover. (What is refused
    at the check, the pass tables show.)"""
    args, folder = launcher.args, launcher.folder
    old = (folder / "TolvaneLauncher.exe").read_bytes()
    files = {"TolvaneGame.exe": pathlib.Path(args.game).read_bytes(),
             "data/level.pak": bytes(range(256)) * 256,
             "TolvaneLauncher.exe": pathlib.Path(args.next_launcher).read_bytes()}
    check(files["TolvaneLauncher.exe"] != old, "the next launcher has the same bytes")
    site = ServedRelease(launcher)
    try:
        site.publish(files)
        site.run_pass(click_game)
    finally:
        site.close()
    site.check_installed(files)
    check((folder / ASIDE).exists() and (folder / ASIDE).read_bytes() == old,
          "the running launcher's image was not kept aside")
    check((folder / LEFTOVERS).read_bytes().split() == [b"TolvaneLauncher.exe"],
          f"{LEFTOVERS} holds {(folder / LEFTOVERS).read_bytes()!r}")

    launcher.start()  # the new launcher, which clears up before its window shows
    check(not (folder / ASIDE).exists(), "the old launcher's image is left")
    check(not (folder / LEFTOVERS).exists(), f"{LEFTOVERS} is left")
    launcher.probe("post", "escape")
    launcher.exits_with(0)

"""A release that carries the next launcher, run through the real window: the running launcher
is replaced only by a program that proves itself a launcher for the studio's lists."""
import pathlib
import shutil

from launcher_driver import check
from served_release import ServedRelease, click_game, game_ran

ASIDE, LEFTOVERS = "TolvaneLauncher.exe.tolvane-old", "update/leftovers"


def case_update_self(launcher):
    """First the release offers the game stub as TolvaneLauncher.exe: it gives no answer to the
    self-check, so the release is held back, the folder's launcher keeps its bytes and the
    installed game starts. The next release offers another launcher build (both test keys), which
    answers, and replaces the running launcher: the old image, still running, is renamed aside
    and named in update\\leftovers. Started again, the new launcher deletes that leftover."""
    args, folder = launcher.args, launcher.folder
    game, old = pathlib.Path(args.game).read_bytes(), (folder / "TolvaneLauncher.exe").read_bytes()
    shutil.copy(args.game, folder / "TolvaneGame.exe")  # installed before
    files = {"TolvaneGame.exe": game, "data/level.pak": bytes(range(256)) * 256}
    site = ServedRelease(launcher)
    try:
        site.publish(dict(files, **{"TolvaneLauncher.exe": game}))
        site.run_pass(click_game)
        errors = (folder / "errors.err").read_bytes()
        check(b"error : The new launcher failed its check: it gave no answer\r\n" in errors,
              f"error log {errors!r}")
        check((folder / "TolvaneLauncher.exe.tolvane-stage.ran").exists(),
              "the offered program was not run for its check")
        check((folder / "TolvaneLauncher.exe").read_bytes() == old, "the launcher was replaced")
        check(not (folder / "data" / "level.pak").exists() and
              not (folder / "update" / "update.info").exists(), "the release was installed")
        check(game_ran(launcher), "the installed game was not started")

        files["TolvaneLauncher.exe"] = pathlib.Path(args.next_launcher).read_bytes()
        check(files["TolvaneLauncher.exe"] != old, "the next launcher has the same bytes")
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

"""A studio runs its releases, and players meet them through the real window: a beta release
that a beta player takes, promoted to stable as a rollout to half the players, widened to all,
then rolled back. Which players a rollout takes is planted through their install ids."""
import hashlib
import itertools
import pathlib
import shutil
import sys

import release_folder
import test_servers
from launcher_driver import Launcher, check, wait_until
from served_release import ServedRelease, click_game, game_ran

sys.path.insert(0, str(release_folder.PUBLISH.parent / "publish"))
import rollout  # noqa: E402

LIST = "AppGameUpload/uploadfile.uda"


class Studio:
    """One site, one key, and the tolvane-publish commands a studio gives."""

    def __init__(self, site):
        self.site = site

    def run(self, *args):
        done = release_folder.publish(*args)
        check(done.returncode == 0, f"tolvane-publish {' '.join(map(str, args))}: {done.stderr}")

    def publish(self, files, version, *options):
        release = release_folder.write_release(self.site.folder / "release", files)
        self.run("--key", self.site.key, *options, release, version, self.site.webroot)

    def command(self, name, *options):
        self.run(name, self.site.webroot, "--key", self.site.key, *options)

    def install_id(self, inside):
        """An install id that the stable list's rollout takes in, or leaves out."""
        percent, salt = rollout.read((self.site.webroot / LIST).read_bytes().decode("ascii").split("\r\n"))
        for n in itertools.count():
            candidate = hashlib.sha256(b"install %d" % n).hexdigest()[:32]
            if rollout.takes(candidate, salt, percent) == inside:
                return candidate


def player_pass(site, launcher, files, version, arguments=(), install_id=None, status=None):
    """Plants install_id, runs one pass through the game tile (the status line at start showing
    status, when given), and checks that the folder then holds files at version and that the
    game ran."""
    if install_id:
        (launcher.folder / "update" / "install.id").write_text(install_id)
    nginx = test_servers.Nginx(str(site.webroot), site.pki, port=int(launcher.args.port)).start()
    try:
        launcher.start(arguments=arguments)
        check(status is None or wait_until(lambda: launcher.shows_status(status), 20),
              f"the status line at start is not {status!r}")
        click_game(launcher)
        launcher.exits_with(0, seconds=120)
    finally:
        nginx.stop()
    folder = launcher.folder
    for path, content in dict(files, **{"update/update.info": b"Version = %s;{d}" % version.encode()}).items():
        check((folder / path).is_file() and (folder / path).read_bytes() == content,
              f"{path} is not as version {version} has it")
    check(game_ran(launcher), "the game was not started")


def case_release_channels(launcher):
    game = pathlib.Path(launcher.args.game).read_bytes()
    first = {"TolvaneGame.exe": game, "data/level.pak": b"level one\r\n" * 500,
             "data/old.txt": b"only in the first release"}
    second = {"TolvaneGame.exe": game, "data/level.pak": b"level two\r\n" * 700,
              "data/new.txt": b"only in the second release"}
    site = ServedRelease(launcher)
    studio = Studio(site)
    other = None
    try:
        studio.publish(first, "1.0")
        player_pass(site, launcher, first, "1.0")

        # A beta player takes the beta release; its status line says where it is.
        studio.publish(second, "1.1", "--channel", "beta")
        player_pass(site, launcher, second, "1.1", arguments=("/channel=beta",), status="Channel: beta")
        check((launcher.folder / "update" / "channel").read_text().strip() == "beta",
              "the channel was not kept")
        # Back on stable: the older serial of stable's list is no rollback.
        player_pass(site, launcher, first, "1.0", arguments=("/channel=stable",))

        # Promoted to half of stable: a player outside keeps 1.0 and plays, one inside takes 1.1.
        studio.command("promote", "--from", "beta", "--to", "stable", "--rollout", "50")
        outside = studio.install_id(inside=False)
        other = Launcher(launcher.args)
        shutil.copytree(launcher.folder, other.folder, dirs_exist_ok=True)
        player_pass(site, other, second, "1.1", install_id=studio.install_id(inside=True))
        player_pass(site, launcher, first, "1.0", install_id=outside)

        # Widened to all: the same player is in now.
        studio.command("widen", "--channel", "stable", "--rollout", "100")
        player_pass(site, launcher, second, "1.1")
        check((launcher.folder / "update" / "install.id").read_text().strip() == outside,
              "the install id changed")

        # Rolled back: every player goes back to 1.0 whole, the second release's own file gone.
        studio.command("rollback", "--channel", "stable", "--to", "1.0")
        for player in (launcher, other):
            player_pass(site, player, first, "1.0")
            check(not (player.folder / "data" / "new.txt").exists(), "the rollback kept a file of 1.1")
    finally:
        if other:
            other.stop()
            shutil.rmtree(other.top, ignore_errors=True)
        site.close()

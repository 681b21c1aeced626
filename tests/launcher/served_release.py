"""Signed releases for the launcher's update cases: tolvane-publish makes each one with the tests'
list key, nginx serves it with the test CA on the launcher's test port, and a pass through the
game tile is led by the case."""
import pathlib
import shutil
import tempfile

import release_folder
import test_servers
from launcher_driver import check, wait_until


class ServedRelease:
    """A site of one's own in the case's work folder; each publish() is the next release, whose
    version is its serial (the first is 1). The Wine prefix is made to trust the test CA."""

    def __init__(self, launcher):
        args = launcher.args
        self.launcher, self.version = launcher, 0
        self.pki = test_servers.TestPki(args.pki)
        trust = launcher.wine(args.trust_ca, test_servers.windows_path(self.pki.ca))
        check(trust.returncode == 0, "could not make the prefix trust the test CA")
        self.folder = pathlib.Path(tempfile.mkdtemp(prefix="served-", dir=args.work))
        self.webroot = self.folder / "webroot"
        # A copy of the key, so that the serial record beside it starts afresh.
        self.key = self.folder / "key" / "list.pem"
        self.key.parent.mkdir()
        shutil.copy(args.list_key, self.key)

    def publish(self, files):
        """Publishes files ({"dir/name": bytes}) as the site's next release."""
        self.version += 1
        published = release_folder.publish(
            "--key", self.key, release_folder.write_release(self.folder / "release", files),
            self.version, self.webroot)
        check(published.returncode == 0, published.stderr)

    def run_pass(self, drive):
        """Serves the site while the launcher starts and drive leads it into a pass, which
        must end the launcher with exit code 0."""
        nginx = test_servers.Nginx(str(self.webroot), self.pki,
                                   port=int(self.launcher.args.port)).start()
        try:
            self.launcher.start()
            drive(self.launcher)
            self.launcher.exits_with(0, seconds=120)
        finally:
            nginx.stop()

    def check_installed(self, files):
        """The folder holds files as published, the version and serial records are the last
        release's, and the game ran."""
        folder = self.launcher.folder
        files = dict(files, **{"update/update.info": b"Version = %d;{d}" % self.version,
                               "update/list.serial": b"%d" % self.version})
        for path, content in files.items():
            check((folder / path).exists() and (folder / path).read_bytes() == content,
                  f"{path} is not as served")
        check(game_ran(self.launcher), "the game was not started")

    def close(self):
        shutil.rmtree(self.folder)


def click_game(launcher):
    launcher.probe("post", "click-game")


def game_ran(launcher):
    """True once the game (the record_run stub) has left its mark; the mark is taken away."""
    ran = launcher.folder / "TolvaneGame.exe.ran"
    if not wait_until(ran.exists, 30):
        return False
    ran.unlink()
    return True

"""The demo with two update servers (--mirrors): a launcher built with two base URLs, two nginx
on loopback serving the same site, and the first one stopped in the middle of the pass. The
launcher moves to the second for the file the first no longer serves and for the rest, and the
release is installed whole. In a folder of its own (build/demo/mirrors/), so the main demo's
player folder and versions stay as they were."""
import shutil
import subprocess
import threading
import time

from pass_report import LIST_NAME, AccessLog
from player import ROOT, Player, test_servers
from studio import digest
from release_folder import publish, write_release

SECOND_PORT = 8444
# Files the first server serves before the demo stops it.
SERVED_BEFORE_STOP = 3
NOTES = ("Trying update server ", "Retrying ")


def build_launcher(demo_folder, key, urls):
    """The demo's launcher built for both servers, in a build tree of its own (build-mirrors/; the
    first build takes a while)."""
    tree = demo_folder / "build-mirrors"
    print(f"== building the launcher for two update servers in {tree.relative_to(ROOT)}: {' and '.join(urls)}")
    subprocess.run(["cmake", "--preset", "release", "-B", str(tree), "-DTOLVANE_BUILD_TESTS=OFF",
                    f"-DTOLVANE_UPDATE_KEY={key.with_name('public.pem')}",
                    f"-DTOLVANE_UPDATE_URL={';'.join(urls)}"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(tree), "-j", "2", "--target", "TolvaneLauncher"],
                   check=True, stdout=subprocess.DEVNULL)
    return tree / "bin" / "TolvaneLauncher.exe"


class StopAfter(threading.Thread):
    """Stops nginx once it has served `files` files other than the list, as a server that goes
    down in the middle of a pass; keeps the requests it had answered."""

    def __init__(self, nginx, files):
        super().__init__(daemon=True)
        self.nginx, self.files, self.log = nginx, files, AccessLog(nginx.access_log)
        self.requests, self.stopped, self.done = [], False, threading.Event()

    def run(self):
        while not self.done.is_set():
            self.requests += self.log.new_requests()
            if sum(s == "200" and not p.endswith(LIST_NAME) for _, p, s in self.requests) >= self.files:
                self.nginx.stop()
                self.stopped = True
                return
            time.sleep(0.02)


def run(demo, pki, port):
    folder = demo.folder / "mirrors"
    shutil.rmtree(folder, ignore_errors=True)
    urls = [f"https://localhost:{p}/" for p in (port, SECOND_PORT)]
    launcher = build_launcher(demo.folder, demo.studio.key, urls)
    key = folder / "key" / "private.pem"
    key.parent.mkdir(parents=True)
    shutil.copy(demo.studio.key, key)  # its serial record starts afresh beside the copy
    release = write_release(folder / "release", demo.studio.release_files(1))
    published = publish("--key", key, release, "1.1", folder / "site")
    if published.returncode != 0:
        raise SystemExit(published.stderr)
    print("   " + published.stdout.strip())

    player = Player(demo.player.build, folder)
    player.prefix, player.launcher = demo.player.prefix, launcher
    player.set_up()
    first = test_servers.Nginx(str(folder / "site"), pki, port).start()
    second = test_servers.Nginx(str(folder / "site"), pki, SECOND_PORT).start()
    watch = StopAfter(first, SERVED_BEFORE_STOP)
    try:
        print(f"== serving {(folder / 'site').relative_to(ROOT)} at {urls[0]} and {urls[1]}; the first "
              f"goes down once it has served {SERVED_BEFORE_STOP} files")
        watch.start()
        run = player.run_launcher(demo.headless, {"game": "mirrors-game"})
        player.close_game()
        watch.done.set()
        watch.join()
        from_second = AccessLog(second.access_log).new_requests()
    finally:
        watch.done.set()
        first.stop()
        second.stop()
    wanted = {p.relative_to(release).as_posix(): digest(p.read_bytes()) for p in release.rglob("*") if p.is_file()}
    return summary(run, urls, watch, from_second, player.snapshot() == wanted, player)


def summary(run, urls, watch, from_second, in_step, player):
    """Prints what happened; True when the first server went down in the pass, the second served
    the rest, the release is in the folder, nothing was logged and the game started."""
    def files(requests):
        return [p.split("/AppGameUpload/")[-1] for _, p, s in requests if s == "200" and not p.endswith(LIST_NAME)]
    notes = list(dict.fromkeys(line for line in run.trace if line.startswith(NOTES)))
    first, second = files(watch.requests), files(from_second)
    rows = [("servers", f"{urls[0]} then {urls[1]} (the launcher is built with both)"),
            ("first", f"served the list and {len(first)} files ({', '.join(first)}), then went down"
             if watch.stopped else "was NOT stopped in the pass (it served everything)"),
            ("second", f"served {len(second)} files: {', '.join(second) or 'none'}"),
            ("status line", "; ".join(notes) or "no note"),
            ("files", f"{'in step' if in_step else 'NOT in step'} with the release"),
            ("version", f"update\\update.info holds {player.read('update/update.info').decode('latin-1')!r}"),
            ("game", "started" if run.started else "NOT started"),
            ("exit code", str(run.code)),
            ("errors.err", f"{len(run.errors)} new line(s)")]
    print("\n== What happened")
    for label, text in rows + [("", line) for line in run.errors]:
        print(f"{label:14}{text}")
    return watch.stopped and bool(second) and in_step and not run.errors and run.started and run.code == 0

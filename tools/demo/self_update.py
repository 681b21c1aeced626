"""The demo's self-update: a release that carries a new launcher, built with the demo's key and
an extra one (as while a studio changes its key). The running launcher has it prove itself with
/selfcheck, moves its own image aside and starts the game; started again, the new launcher
deletes the old image. It runs in build/demo/self-update/, started over each time, with a
copy of the demo's key there, so that the main demo's site and serials stay as they were."""
import os
import pathlib
import shutil
import subprocess
import time

from player import ROOT, Player, test_servers
from release_folder import publish, write_release  # noqa: E402 (player puts tools/testing on the path)
from studio import digest

ASIDE, LEFTOVERS = "TolvaneLauncher.exe.tolvane-old", "update/leftovers"
ANSWERED = "the new launcher answered for serial "


def build_next_launcher(demo_folder, key):
    """The launcher with the demo's public key and an extra one (made once in key-next/), in a
    build tree of its own (build-next/; the first build takes a while)."""
    extra = demo_folder / "key-next"
    if not (extra / "private.pem").exists() and publish("keygen", extra).returncode != 0:
        raise SystemExit(f"could not make the extra key in {extra}")
    tree = demo_folder / "build-next"
    keys = f"{key.with_name('public.pem')};{extra / 'public.pem'}"
    print(f"== building the next launcher in {tree.relative_to(ROOT)} (keys: the demo's and key-next's)")
    subprocess.run(["cmake", "--preset", "release", "-B", str(tree), "-DTOLVANE_BUILD_TESTS=OFF",
                    f"-DTOLVANE_UPDATE_KEY={keys}"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(tree), "-j", str(os.cpu_count() or 1),
                    "--target", "TolvaneLauncher"], check=True, stdout=subprocess.DEVNULL)
    return (tree / "bin" / "TolvaneLauncher.exe").read_bytes()


def start_again(player):
    """Starts the player's (new) launcher, waits for its window and ends it with Escape; True
    when the old image and its record were gone by then."""
    launcher = subprocess.Popen([str(player.wine_run), str(player.prefix), "TolvaneLauncher.exe"],
                                cwd=player.folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        shown = player.probe("window", 30000).returncode == 0
        cleared = shown and not any((player.folder / name).exists() for name in (ASIDE, LEFTOVERS))
        player.probe("post", "escape")
        launcher.wait(timeout=30)
        return cleared
    finally:
        if launcher.poll() is None:
            launcher.kill()


def run(demo, pki, port):
    folder = demo.folder / "self-update"
    shutil.rmtree(folder, ignore_errors=True)
    new = build_next_launcher(demo.folder, demo.studio.key)
    key = folder / "key" / "private.pem"
    key.parent.mkdir(parents=True)
    shutil.copy(demo.studio.key, key)  # its serial record starts afresh beside the copy
    files = dict(demo.studio.release_files(1), **{"TolvaneLauncher.exe": new})
    published = publish("--key", key, write_release(folder / "release", files), "1.1", folder / "site")
    if published.returncode != 0:
        raise SystemExit(published.stderr)
    print("   " + published.stdout.strip())

    player = Player(demo.player.build, folder)
    player.prefix, player.launcher = demo.player.prefix, demo.player.launcher
    player.set_up()
    old = player.launcher.read_bytes()
    nginx = test_servers.Nginx(str(folder / "site"), pki, port).start()
    try:
        print(f"== serving {(folder / 'site').relative_to(ROOT)} at {nginx.url}: "
              "the release carries a new launcher")
        run = player.run_launcher(demo.headless, {"game": "self-update-game"})
        player.close_game()
        time.sleep(1)
        after = {name: player.read(name) for name in ("TolvaneLauncher.exe", ASIDE, LEFTOVERS)}
        cleared = start_again(player)
    finally:
        nginx.stop()
    return summary(run, old, new, after, cleared)


def summary(run, old, new, after, cleared):
    """Prints what happened; True when the new launcher answered, took the old one's name and
    cleared its image away at the next start, and the game started."""
    answers = [line.split(ANSWERED)[1] for line in run.trace if ANSWERED in line]
    now, aside = after["TolvaneLauncher.exe"], after[ASIDE]
    leftovers = after[LEFTOVERS].decode("latin-1").strip()
    held = "new launcher" if now == new else "OLD launcher" if now == old else "UNKNOWN bytes"
    rows = [("old launcher", f"SHA-256 {digest(old)} (the one the player ran)"),
            ("new launcher", f"SHA-256 {digest(new)} (served; the demo's key and key-next's)"),
            ("self-check", f"answered for serial {answers[0]}" if answers else "NO answer in the trace"),
            ("folder", f"TolvaneLauncher.exe now holds the {held}"),
            ("old image", f"renamed to {ASIDE}" if aside == old else f"NOT kept as {ASIDE}"),
            ("leftovers", f"update\\leftovers names {leftovers!r}" if leftovers else "NO update\\leftovers"),
            ("game", "started" if run.started else "NOT started"),
            ("exit code", str(run.code)),
            ("next start", "deleted the old image and update\\leftovers before its window showed"
             if cleared else "the old image or update\\leftovers is STILL there")]
    print("\n== What happened")
    for label, text in rows + [("errors.err", line) for line in run.errors]:
        print(f"{label:14}{text}")
    return bool(answers) and now == new and aside == old and run.started and run.code == 0 and cleared

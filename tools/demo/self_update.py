"""The demo's self-update: a release that carries a new launcher, built with the demo's key and
an extra one (as while a studio changes its key). The running launcher has it prove itself with
/selfcheck, starts the game, hands its own replacement to the staged launcher and ends; that one
takes the name in one rename once the old one has ended and finishes the update. It runs in build/demo/self-update/, started over each time, with a
copy of the demo's key there, so that the main demo's site and serials stay as they were."""
import os
import pathlib
import shutil
import subprocess
import time

from player import ROOT, Player, test_servers
from release_folder import publish, write_release  # noqa: E402 (player puts tools/testing on the path)
from studio import digest

JOURNAL, AREAS = "update/release.journal", ("update/stage", "update/aside")
ANSWERED = "the new launcher answered for serial "
HANDED = "the staged launcher finishes the update"


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
    when its window showed."""
    launcher = subprocess.Popen([str(player.wine_run), str(player.prefix), "TolvaneLauncher.exe"],
                                cwd=player.folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        shown = player.probe("window", 30000).returncode == 0
        player.probe("post", "escape")
        launcher.wait(timeout=30)
        return shown
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
        # The staged launcher finishes the update once the old one has ended.
        deadline = time.time() + 60
        while (player.folder / JOURNAL).exists() and time.time() < deadline:
            time.sleep(0.2)
        after = {"TolvaneLauncher.exe": player.read("TolvaneLauncher.exe"),
                 "unfinished": (player.folder / JOURNAL).exists(),
                 "left": [p.name for area in AREAS for p in (player.folder / area).rglob("*") if p.is_file()]}
        cleared = start_again(player)
    finally:
        nginx.stop()
    return summary(run, old, new, after, cleared)


def summary(run, old, new, after, cleared):
    """Prints what happened; True when the new launcher answered, took the handed-over
    replacement, left nothing behind, the game started and the new launcher starts."""
    answers = [line.split(ANSWERED)[1] for line in run.trace if ANSWERED in line]
    handed = any(HANDED in line for line in run.trace)
    now = after["TolvaneLauncher.exe"]
    held = "new launcher" if now == new else "OLD launcher" if now == old else "UNKNOWN bytes"
    rows = [("old launcher", f"SHA-256 {digest(old)} (the one the player ran)"),
            ("new launcher", f"SHA-256 {digest(new)} (served; the demo's key and key-next's)"),
            ("self-check", f"answered for serial {answers[0]}" if answers else "NO answer in the trace"),
            ("hand-over", "the running launcher handed its replacement to the staged one" if handed
             else "NOT handed over"),
            ("folder", f"TolvaneLauncher.exe now holds the {held}"),
            ("update", "finished: no journal, nothing left staged or aside" if not after["unfinished"]
             and not after["left"] else f"NOT finished: journal {after['unfinished']}, left {after['left']}"),
            ("game", "started" if run.started else "NOT started"),
            ("exit code", str(run.code)),
            ("next start", "the new launcher's window showed" if cleared else "NO window")]
    print("\n== What happened")
    for label, text in rows + [("errors.err", line) for line in run.errors]:
        print(f"{label:14}{text}")
    return (bool(answers) and handed and now == new and not after["unfinished"] and not after["left"]
            and run.started and run.code == 0 and cleared)

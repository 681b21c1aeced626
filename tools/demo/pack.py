"""The demo with a big pack (--pack): a release with a 256 MiB pack of random bytes is published
and installed through the launcher's window, then 1 MiB in the middle of the pack changes and a
few KiB are inserted before it, and the next version is published. The launcher builds the new
pack in its stage from the chunks of the copy it has and fetches only the chunks that changed;
the summary sets the bytes nginx served against the pack's size. In a folder of its own
(build/demo/pack/), so the main demo's player folder and versions stay as they were."""
import os
import shutil
from typing import NamedTuple

from pass_report import LIST_NAME, AccessLog
from player import ROOT, Player, test_servers
from release_folder import publish, write_release
from studio import digest

MiB = 1 << 20
PACK, PACK_SIZE = "data/world.pak", 256 * MiB
CHANGED, INSERTED = 1 * MiB, 3 * 1024
CHUNKS, INDEX = "/TolvaneChunks/", "/TolvaneChunks/index/"
BUILT = "built from chunks: "
VERSIONS = (("1.1", f"a release with a {PACK_SIZE // MiB} MiB pack ({PACK}); the player has none of it"),
            ("1.2", f"{CHANGED // MiB} MiB changed in the middle of the pack and {INSERTED // 1024} KiB "
                    "inserted at a quarter of it"))


class Step(NamedTuple):
    version: str
    run: object  # the player.LauncherRun
    served: dict  # what nginx answered, as served() counts it
    wanted: dict  # {relative path: SHA-256} of the release
    pack_size: int
    after: dict  # the player folder's game files, as Player.snapshot gives them
    left: list  # chunk work and temporaries left in the player folder
    record: str  # update\update.info after the pass


def releases(demo):
    """The two versions' game folders, one after the other: the main demo's 1.1 with the pack,
    then the pack with CHANGED bytes overwritten in its middle and INSERTED bytes put in at a
    quarter (one pack in memory at a time)."""
    files = dict(demo.studio.release_files(1), **{PACK: os.urandom(PACK_SIZE)})
    yield files
    pack = bytearray(files.pop(PACK))
    middle = PACK_SIZE // 2
    pack[middle:middle + CHANGED] = os.urandom(CHANGED)
    pack[PACK_SIZE // 4:PACK_SIZE // 4] = os.urandom(INSERTED)
    files[PACK] = bytes(pack)
    del pack
    files["config/settings.ini"] += b"pack = 2\n"
    yield files


def served(transfers):
    """{kind: [requests, bytes]} of what nginx answered with 200: the list, chunk indexes, chunks
    and whole files."""
    kinds = {"list": [0, 0], "index": [0, 0], "chunks": [0, 0], "whole files": [0, 0]}
    for _, path, status, size in transfers:
        if status != "200":
            continue
        kind = ("list" if path.endswith(LIST_NAME) else "index" if path.startswith(INDEX)
                else "chunks" if path.startswith(CHUNKS) else "whole files")
        kinds[kind][0] += 1
        kinds[kind][1] += size
    return kinds


def leftovers(folder):
    """Chunk work or temporaries left in the player folder after a pass."""
    return [p.relative_to(folder).as_posix() for p in folder.rglob("*")
            if p.is_file() and ("update/chunks/" in p.as_posix() or p.name.endswith(".tolvane-part"))]


def run(demo, pki, port):
    folder = demo.folder / "pack"
    shutil.rmtree(folder, ignore_errors=True)
    key = folder / "key" / "private.pem"
    key.parent.mkdir(parents=True)
    shutil.copy(demo.studio.key, key)  # its serial record starts afresh beside the copy
    player = Player(demo.player.build, folder)
    player.prefix, player.launcher = demo.player.prefix, demo.player.launcher
    player.set_up()
    nginx = test_servers.Nginx(str(folder / "site"), pki, port).start()
    access, steps = AccessLog(nginx.access_log), []
    try:
        for number, (files, (version, note)) in enumerate(zip(releases(demo), VERSIONS)):
            print(f"== publishing version {version}: {note}")
            release = write_release(folder / "release", files)
            published = publish("--key", key, *(["--new-site"] if number == 0 else []), release, version,
                                folder / "site")
            if published.returncode != 0:
                raise SystemExit(published.stderr)
            print("   " + published.stdout.strip())
            run = player.run_launcher(demo.headless, {"during": f"pack-{number + 1}-during"})
            player.close_game()
            steps.append(Step(version, run, served(access.new_transfers()),
                              {name: digest(data) for name, data in files.items()}, len(files[PACK]),
                              player.snapshot(), leftovers(player.folder),
                              player.read("update/update.info").decode("latin-1")))
    finally:
        nginx.stop()
    return summary(steps)


def mib(size):
    return f"{size / MiB:.1f} MiB"


def summary(steps):
    """Prints what each pass fetched against the pack's size; True when both installed their
    release whole, the patch fetched less than a tenth of the pack, nothing was left behind,
    nothing logged and the game started."""
    print("\n== What happened")
    ok = True
    for step in steps:
        run, in_step = step.run, step.after == step.wanted
        total = sum(size for _, size in step.served.values())
        built = next((line for line in run.trace if BUILT in line), None)
        rows = [("version", f"{step.version}: update\\update.info holds {step.record!r}"),
                ("nginx", "; ".join(f"{kind} {count} ({mib(size)})" for kind, (count, size) in step.served.items()
                                    if count) + f"; {mib(total)} in all"),
                ("pack", built.split(BUILT)[1].strip() if built else "fetched whole"),
                ("files", f"{'in step' if in_step else 'NOT in step'} with the release; the pack's SHA-256 "
                          + ("is the release's" if step.after.get(PACK) == step.wanted[PACK] else "DIFFERS"))]
        if step is not steps[0]:
            rows.insert(1, ("fetched", f"patched the {step.pack_size // MiB} MiB pack by fetching {mib(total)} "
                                       f"({100 * total / step.pack_size:.1f} %)"))
            ok = ok and built is not None and total < step.pack_size / 10
        rows += [("left behind", ", ".join(step.left) or "no chunk or part file"),
                 ("game", "started" if run.started else "NOT started"),
                 ("exit code", str(run.code)),
                 ("errors.err", f"{len(run.errors)} new line(s)")]
        for label, text in rows + [("", line) for line in run.errors] + [("screenshots", ", ".join(
                str(p.relative_to(ROOT)) for p in run.shots))] * bool(run.shots):
            print(f"{label:14}{text}")
        print()
        ok = ok and in_step and not step.left and not run.errors and run.started and run.code == 0
    return ok

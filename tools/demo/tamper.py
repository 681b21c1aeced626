"""--tamper: changes on the server and in the player folder, one step at a time, each followed
by one launcher pass, and a summary of what the launcher did at each step.

0. (Only when the player is behind the served version: an ordinary pass first.)
1. A new version is published with one served file wrong: the launcher refuses that download,
   whose content does not match the list, and holds the whole release back (1a); once the
   server serves the file as published, the next pass fetches only that file and installs the
   release from the copies the first pass staged (1b).
2. Player files are damaged, and a new version is published: the launcher fetches them again.
3. The served list is altered after signing: refused, the player folder untouched.
4. An older signed list is served after a newer one was installed: refused, untouched.
The site is put back as published after steps 3 and 4."""
import textwrap
from typing import NamedTuple

from studio import digest

MAP = "data/maps/harbour.map"
STAGE = ".tolvane-stage"
SETTINGS = "config/settings.ini"
DAMAGED = ("bin/engine.dll", "data/textures/grass.tex")
NOT_SIGNED = "error : The update list is not signed by the studio"
OLDER = "error : The update list is older than the one installed"


class Step(NamedTuple):
    number: str
    title: str
    did: str  # what the demo did before the pass
    report: object  # pass_report.PassReport
    expected: bool
    outcome: str


def catch_up(demo, shots):
    did = (f"nothing: the player has {demo.player.read('update/update.info').decode('latin-1')!r}, "
           f"the site serves {demo.studio.list_lines()[0]!r}")
    report = demo.run_pass(shots)
    in_step = demo.player.snapshot() == demo.studio.release_hashes()
    return (did, report, in_step,
            "the folder is in step with the release" if in_step else "the folder is NOT in step")


def game_files(player):
    """The player's game files, and its stage copies apart."""
    files = player.snapshot()
    return ({p: h for p, h in files.items() if not p.endswith(STAGE)},
            sorted(p[:-len(STAGE)] for p in files if p.endswith(STAGE)))


def release_held_back(demo, minor, shots):
    player = demo.player
    before, record = game_files(player)[0], player.read("update/update.info")
    demo.studio.publish(minor)
    served = demo.studio.served(MAP)
    demo.mended = served.read_bytes()
    served.write_bytes(b"changed on the server" + demo.mended[21:])
    report = demo.run_pass(shots)
    files, staged = game_files(player)
    reason = report.failed.get(MAP, "")
    same_record = player.read("update/update.info") == record
    expected = ("content does not match the list" in reason and report.held and files == before
                and same_record and staged == sorted(report.staged) and report.run.started)
    facts = [f"the download of {MAP} was refused ({reason or 'it was not'})",
             "the release was held back whole" if report.held else "the release was NOT held back",
             f"the game files are 1.{minor - 1}'s byte for byte" if files == before else "the game files CHANGED",
             f"update\\update.info {'still' if same_record else 'NO LONGER'} holds {record.decode('latin-1')!r}",
             f"{len(staged)} verified cop{'y waits' if len(staged) == 1 else 'ies wait'} as .tolvane-stage beside "
             f"{'its target' if len(staged) == 1 else 'their targets'}" + (f" ({', '.join(staged)})" if staged else "")]
    return (f"published 1.{minor}, then overwrote the served {MAP} with other bytes of the same size",
            report, expected, "; ".join(facts))


def release_finished(demo, minor, shots):
    demo.studio.served(MAP).write_bytes(demo.mended)
    report = demo.run_pass(shots)
    in_step = demo.player.snapshot() == demo.studio.release_hashes()
    record = demo.player.read("update/update.info").decode("latin-1")
    asked = [path for _, path, _ in report.requests if path != "uploadfile.uda"]
    expected = (in_step and asked == [MAP] and bool(report.installed) and report.installed.get("fetched") == 1
                and report.run.started)
    return (f"served {MAP} as published again", report, expected,
            f"only {', '.join(asked) or 'nothing'} was fetched, {len(report.reused)} "
            f"cop{'y' if len(report.reused) == 1 else 'ies'} staged before reused; the release was " + ("committed" if report.installed else "NOT committed")
            + f", the folder is {'in step' if in_step else 'NOT in step'} with 1.{minor} and "
            f"update\\update.info holds {record!r}")


def damaged_files_repaired(demo, minor, shots):
    player = demo.player
    engine = bytearray(player.read(DAMAGED[0]))
    engine[4096:4112] = b"damaged on disk!"
    player.write(DAMAGED[0], bytes(engine))
    (player.folder / DAMAGED[1]).unlink(missing_ok=True)
    demo.studio.publish(minor)
    report = demo.run_pass(shots, damaged=DAMAGED)
    in_step = player.snapshot() == demo.studio.release_hashes()
    expected = sorted(report.repaired) == sorted(DAMAGED) and in_step
    return (f"overwrote 16 bytes of {DAMAGED[0]} (same size), deleted {DAMAGED[1]}, published 1.{minor}",
            report, expected, f"repaired {', '.join(report.repaired) or 'nothing'}; the folder is "
            + ("in step with the release" if in_step else "NOT in step with the release"))


def refused_untouched(report, error):
    """Whether a pass refused its list with the error line, asked nginx for nothing but the list
    and left the player folder as it was; and those facts in words."""
    asked = [path for _, path, _ in report.requests]
    expected = (report.run.errors == [error] and asked == ["uploadfile.uda"] and report.untouched
                and report.run.started)
    return expected, ("only the list was requested" if asked == ["uploadfile.uda"] else "files were requested") + \
        "; the player folder " + ("is untouched, records included" if report.untouched else "CHANGED")


def list_altered(demo, minor, shots):
    studio = demo.studio
    saved = {path: path.read_bytes() for path in (studio.list_file, studio.served(SETTINGS))}
    hacked = f"[game]\nversion = 1.{minor}\nquality = high\ncheats = on\n".encode()
    studio.served(SETTINGS).write_bytes(hacked)
    pinned = f"config\\settings.ini;size={len(hacked)};sha256={digest(hacked)}"
    lines = [f"Version = 1.{minor}.1;{{d}}" if line.startswith("Version") else
             pinned if line.startswith("config\\settings.ini") else line for line in studio.list_lines()]
    studio.list_file.write_bytes("".join(line + "\r\n" for line in lines).encode("latin-1"))
    try:
        report = demo.run_pass(shots)
    finally:
        for path, data in saved.items():
            path.write_bytes(data)
    expected, facts = refused_untouched(report, NOT_SIGNED)
    return (f"served a cheat {SETTINGS}, and changed the list's version line to 1.{minor}.1 and its "
            f"{SETTINGS} line to the cheat's size and SHA-256, keeping the signature lines",
            report, expected, facts)


def older_list_replayed(demo, older, older_version, shots):
    studio = demo.studio
    current = studio.list_file.read_bytes()
    studio.list_file.write_bytes(older)
    try:
        report = demo.run_pass(shots)
    finally:
        studio.list_file.write_bytes(current)
    expected, facts = refused_untouched(report, OLDER)
    return (f"served the studio's own signed list of {older_version} again (step 1's), after the newer "
            "one was installed", report, expected, facts)


def run(demo, minor):
    """The steps, from version 1.<minor> on; True when every step went as expected."""
    steps = []

    def step(number, title, action, *args):
        print(f"== step {number}: {title}")
        shots = {"during": f"tamper-{number}"} if demo.headless else {}
        steps.append(Step(number, title, *action(*args, shots)))
        demo.player.close_game()

    if demo.player.read("update/update.info").decode("latin-1") != demo.studio.list_lines()[0]:
        step("0", "The player is behind the served version: an ordinary pass", catch_up, demo)
    step("1a", "A new version with one wrong file is held back whole", release_held_back, demo, minor + 1)
    step("1b", "The server mended: the next pass finishes the release", release_finished, demo, minor + 1)
    demo.save_state(minor + 1)
    older = demo.studio.list_file.read_bytes()
    step("2", "Damaged player files are repaired with the next version", damaged_files_repaired, demo, minor + 2)
    demo.save_state(minor + 2)
    step("3", "The served list altered after signing", list_altered, demo, minor + 2)
    step("4", "An older signed list served again", older_list_replayed, demo, older, f"1.{minor + 1}")
    print_steps(steps)
    return all(s.expected for s in steps)


def print_steps(steps):
    print("\n== What happened, step by step")
    for s in steps:
        print(f"{s.number}. {s.title}")
        errors = s.report.run.errors or ["nothing"]
        for label, text in [("the demo", s.did), ("launcher", s.report.launcher_text())] + \
                [("error log" if i == 0 else "", e) for i, e in enumerate(errors)] + \
                [("nginx", s.report.nginx_text()),
                 ("outcome", ("as expected: " if s.expected else "NOT as expected: ") + s.outcome)]:
            print(textwrap.fill(text, 110, initial_indent=f"   {label:11}", subsequent_indent=" " * 14,
                                break_on_hyphens=False))
        if s.report.run.shots:
            print(f"   {'screenshot':11}" + ", ".join(p.name for p in s.report.run.shots))
    reports = [s.report for s in steps]
    committed = [r.installed for r in reports if r.installed]
    print(f"\nSigned releases over the steps: {sum(len(r.staged) for r in reports)} files staged, "
          f"{sum(len(r.reused) for r in reports)} reused (staged by an earlier pass), "
          f"{sum(c.get('moved in', 0) for c in committed)} committed (moved in) and "
          f"{sum(c.get('removed', 0) for c in committed)} removed in {len(committed)} commits; "
          f"{sum(r.held for r in reports)} release held back")

"""The engine of a launcher already in players' hands: list_round_trip built from an earlier commit
of this repository, from its own sources (git archive) into a folder of the build tree, and
kept there, so that a later run takes the build it finds."""
import os
import pathlib
import shutil
import subprocess

ROOT = pathlib.Path(__file__).resolve().parents[2]
# Launchers in players' hands: the last main before launchers took chunks, and the main that
# landed last (the list to bring up to date as mains land). Every site the publisher writes must
# install with each; those from before chunks never ask for TolvaneChunks/.
COMMITS = ("72054f7", "f9b9343")
BEFORE_CHUNKS = ("72054f7",)


def build(folder, commit):
    """The path of list_round_trip.exe as commit builds it under folder; raises RuntimeError with
    the reason when the history or the build is not there."""
    folder = pathlib.Path(folder)
    program = folder / "src" / "build" / "release" / "tests" / "tools" / "list_round_trip.exe"
    done = folder / "built"
    if done.exists() and program.exists():
        return program
    found = subprocess.run(["git", "-C", ROOT, "rev-parse", "--verify", "--quiet", f"{commit}^{{commit}}"],
                           capture_output=True, text=True)
    if found.returncode != 0:
        raise RuntimeError(f"commit {commit} is not in {ROOT}'s git history: this test builds the launcher "
                           "players have from it; run it in a clone with the history")
    source = folder / "src"
    source.mkdir(parents=True, exist_ok=True)
    archive = subprocess.run(["git", "-C", ROOT, "archive", commit], capture_output=True, check=True).stdout
    subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
    env = dict(os.environ)
    if shutil.which("ccache"):
        env.update(CMAKE_CXX_COMPILER_LAUNCHER="ccache", CCACHE_BASEDIR=str(source))
    for step in (["cmake", "--preset", "release"],
                 ["cmake", "--build", "build/release", "--target", "list_round_trip", "-j2"]):
        result = subprocess.run(step, cwd=source, env=env, capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"{' '.join(step)} of {commit} failed: {result.stdout[-2000:]}{result.stderr[-2000:]}")
    done.write_text(commit + "\n")
    return program


if __name__ == "__main__":
    # The build runs this ahead of the tests (a first build takes minutes): old_launcher.py FOLDER,
    # which builds every commit into FOLDER/<commit>.
    import sys
    for each in COMMITS:
        try:
            build(pathlib.Path(sys.argv[1]) / each, each)
        except RuntimeError as error:
            sys.exit(f"old_launcher.py: {error}")

"""Release folders for tolvane-publish, as the tests, the benchmarks and the demo write them."""
import os
import pathlib
import shutil
import subprocess
import sys

PUBLISH = pathlib.Path(__file__).resolve().parents[1] / "tolvane-publish"


def write_release(folder, files):
    """Makes folder hold exactly files ({"dir/name": bytes}), whatever it held before."""
    folder = pathlib.Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    for name, data in files.items():
        (folder / name).parent.mkdir(parents=True, exist_ok=True)
        (folder / name).write_bytes(data)
    return folder


def publish(*args, env=None):
    """Runs tolvane-publish with these arguments; its output is kept as text."""
    return subprocess.run([sys.executable, str(PUBLISH), *map(str, args)], capture_output=True,
                          text=True, env=dict(os.environ, **(env or {})))

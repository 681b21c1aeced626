"""The chunk cuts of a release file, from the native helper (chunk_tool.cpp with the launcher's
own chunker and index reader, src/update/chunks, and src/update/base/field_text), which is
built with the host's g++ on first use into a cache folder: $TOLVANE_PUBLISH_CACHE, else $XDG_CACHE_HOME/tolvane-publish, else
~/.cache/tolvane-publish. A build is named after the hash of its sources, so a changed chunker
is built anew and never mixed with an older one. The chunks' SHA-256s come from hashlib."""
import hashlib
import mmap
import os
import pathlib
import shutil
import subprocess

from publication import Refused

ROOT = pathlib.Path(__file__).resolve().parents[2]
SOURCES = [ROOT / "tools" / "publish" / "chunk_tool.cpp", ROOT / "src" / "update" / "base" / "field_text.cpp",
           *sorted((ROOT / "src" / "update" / "chunks").glob("*.cpp"))]
HEADERS = [ROOT / "src" / "update" / "base" / "field_text.h", *sorted((ROOT / "src" / "update" / "chunks").glob("*.h"))]


def cache_folder():
    given = os.environ.get("TOLVANE_PUBLISH_CACHE")
    if given:
        return pathlib.Path(given)
    base = os.environ.get("XDG_CACHE_HOME") or pathlib.Path.home() / ".cache"
    return pathlib.Path(base) / "tolvane-publish"


def tool():
    """The helper's path, built first when no build of these sources is cached."""
    digest = hashlib.sha256(b"".join(p.read_bytes() for p in SOURCES + HEADERS)).hexdigest()[:16]
    built = cache_folder() / f"chunk_tool-{digest}"
    if built.exists():
        return built
    compiler = shutil.which(os.environ.get("CXX", "g++"))
    if compiler is None:
        raise Refused("chunking big files needs a C++ compiler (g++) to build its helper; install "
                      "g++, or publish whole files alone with --chunk-threshold 0")
    built.parent.mkdir(parents=True, exist_ok=True)
    temporary = built.with_name(built.name + f".{os.getpid()}.tmp")
    result = subprocess.run([compiler, "-std=c++17", "-O2", "-o", temporary, f"-I{ROOT / 'src'}",
                             *SOURCES], capture_output=True, text=True)
    if result.returncode != 0:
        temporary.unlink(missing_ok=True)
        raise Refused(f"the chunk helper did not build: {result.stderr.strip()[-300:]}")
    os.replace(temporary, built)  # another publisher may build it at the same time
    return built


def run(*args):
    return subprocess.run([str(tool()), *map(str, args)], capture_output=True, text=True)


def cuts(path, sizes=None):
    """[(offset, length)] of the file's chunks, in order; sizes (min, average, max) for a bench."""
    result = run("cut", *(sizes or ()), path)
    if result.returncode != 0:
        raise Refused(f"{path}: cannot be cut into chunks ({result.stderr.strip()})")
    return [tuple(map(int, line.split())) for line in result.stdout.splitlines()]


def chunks(path):
    """[(offset, length, sha256)] of the file's chunks, hashed from a mapping of the file (never
    read whole into memory)."""
    found = cuts(path)
    if not found:
        return []
    with open(path, "rb") as file, mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_READ) as mapped:
        view = memoryview(mapped)
        try:
            return [(offset, length, hashlib.sha256(view[offset:offset + length]).hexdigest())
                    for offset, length in found]
        finally:
            view.release()


def index_refusal(size, sha256, index_path):
    """None when the launcher's index reader takes the index for that file, else its reason."""
    result = run("check", size, sha256, index_path)
    return None if result.returncode == 0 else (result.stdout.strip() or result.stderr.strip())

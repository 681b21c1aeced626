"""The chunk cuts of a release file, from the native helper (chunk_tool.cpp with the launcher's
own chunker and index reader, src/update/chunks, and src/update/base/field_text), which is
built with the host's g++ on first use into a cache folder: $TOLVANE_PUBLISH_CACHE, else
$XDG_CACHE_HOME/tolvane-publish, else
~/.cache/tolvane-publish. A build is named after the hash of its sources, so a changed chunker
is built anew and never mixed with an older one. It links the host's libcrypto (OpenSSL) for
SHA-256, so that hashing runs at the processor's speed."""
import hashlib
import os
import pathlib
import shutil
import subprocess
from typing import NamedTuple

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
        raise Refused("chunking big files needs a C++ compiler (g++) and OpenSSL's headers (libssl-dev) "
                      "to build its helper")
    built.parent.mkdir(parents=True, exist_ok=True)
    temporary = built.with_name(built.name + f".{os.getpid()}.tmp")
    result = subprocess.run([compiler, "-std=c++17", "-O2", "-o", temporary, f"-I{ROOT / 'src'}",
                             *SOURCES, "-lcrypto"], capture_output=True, text=True)
    if result.returncode != 0:
        temporary.unlink(missing_ok=True)
        raise Refused(f"the chunk helper did not build: {result.stderr.strip()[-300:]}")
    os.replace(temporary, built)  # another publisher may build it at the same time
    return built


def run(*args):
    return subprocess.run([str(tool()), *map(str, args)], capture_output=True)


def sizes():
    """(min, average, max) of the chunker that every site and launcher use, from its own header."""
    result = run("sizes")
    if result.returncode != 0:
        raise Refused(f"the chunk helper gives no chunk sizes ({result.stderr.decode(errors='replace').strip()})")
    return tuple(map(int, result.stdout.split()))


class Scan(NamedTuple):
    index: bytes  # the chunk index file, as the launcher's reader took it
    size: int
    sha256: str
    chunks: list  # [(offset, length, sha256)] in file order


def scan(path, chunk_sizes=None):
    """The file's size, SHA-256 and chunks, read once by the helper (never into memory here);
    chunk_sizes (min, average, max) for a bench, else the launcher's."""
    result = run("scan", *(chunk_sizes or ()), path)
    if result.returncode != 0:
        raise Refused(f"{path}: cannot be cut into chunks ({result.stderr.decode(errors='replace').strip()})")
    header, *lines = result.stdout.decode("ascii").splitlines()
    fields = dict(field.split("=") for field in header.split(" ")[2:])
    chunks = [(int(offset), int(length), sha) for offset, length, sha in (line.split(" ") for line in lines)]
    return Scan(result.stdout, int(fields["size"]), fields["sha256"], chunks)


def index_refusal(size, sha256, index_path):
    """None when the launcher's index reader takes the index for that file, else its reason."""
    result = run("check", size, sha256, index_path)
    return None if result.returncode == 0 else (result.stdout or result.stderr).decode(errors="replace").strip()

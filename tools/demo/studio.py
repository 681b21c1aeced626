"""The studio's side of the demo: the demo release of each version, published with the demo's
key into the site folder that nginx serves, and what that site lists."""
import hashlib
import pathlib
import shutil
import sys

import code_signing

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "testing"))
from release_folder import publish, write_release  # noqa: E402


def blob(name, size):
    """size bytes that only the name decides."""
    seed = hashlib.sha256(name.encode()).digest()
    return (seed * (size // len(seed) + 1))[:size]


def digest(data):
    return hashlib.sha256(data).hexdigest()


def list_path_of(line):
    """The file a list line names, with slashes; None for the version line, comments and {d} lines."""
    if line.startswith("'") or "Version" in line or "{d}" in line or ";" not in line:
        return None
    return line.split(";")[0].replace("\\", "/")


class Studio:
    def __init__(self, build, folder, key):
        self.build = build
        self.key = key
        self.code_signing = folder / "code-signing"
        self.signed_launcher = folder / "signed" / "TolvaneLauncher.exe"
        self.release = folder / "release"
        self.site = folder / "site"
        self.upload = self.site / "AppGameUpload"
        self.list_file = self.upload / "uploadfile.uda"

    def release_files(self, minor):
        """The game folder of version 1.<minor> as {relative path: bytes}."""
        files = {
            "TolvaneGame.exe": (self.build / "tools" / "TolvaneGame.exe").read_bytes(),
            "bin/engine.dll": blob("engine", 96 * 1024),
            "data/textures/stone.tex": blob("stone", 64 * 1024),
            "data/textures/grass.tex": blob("grass", 64 * 1024),
            "data/maps/harbour.map": blob(f"harbour {max(minor, 1)}", 48 * 1024),
            "config/settings.ini": f"[game]\nversion = 1.{minor}\nquality = high\n".encode(),
            "readme.txt": b"TolvaneGame demo data.\n",
        }
        if minor == 0:
            files["data/intro_old.pak"] = blob("intro", 32 * 1024)
        # Every bump changes the map; every other one drops the wind sound, the next brings it back.
        if minor < 2 or minor % 2 == 1:
            files["data/sounds/wind.snd"] = blob("wind", 40 * 1024)
        return files

    def publish(self, minor):
        """Publishes version 1.<minor>, its list signed with the demo's key."""
        write_release(self.release, self.release_files(minor))
        result = publish("--key", self.key, self.release, f"1.{minor}", self.site)
        if result.returncode != 0:
            raise SystemExit(result.stderr)
        print("   " + result.stdout.strip())

    def sign_launcher(self):
        """Signs a copy of the build's launcher with the demo's code-signing certificate (made
        once, like the list key) as a studio signs what it ships; (signed, signer) as
        osslsigncode verifies it against the demo CA."""
        ca, cert, key = code_signing.make(self.code_signing, "TolvaneSoft Demo Studio")
        self.signed_launcher.parent.mkdir(exist_ok=True)
        shutil.copy(self.build / "bin" / "TolvaneLauncher.exe", self.signed_launcher)
        result = publish("sign-exe", self.signed_launcher, "--cert", cert, "--key", key)
        if result.returncode != 0:
            raise SystemExit(result.stderr)
        return code_signing.verify(self.signed_launcher, ca)

    def release_hashes(self):
        return {p.relative_to(self.release).as_posix(): digest(p.read_bytes())
                for p in self.release.rglob("*") if p.is_file()}

    def list_lines(self):
        return self.list_file.read_bytes().decode("latin-1").split("\r\n")[:-1]

    def serial(self):
        """The served list's serial (text); None for an unsigned list."""
        for line in self.list_lines():
            if line.startswith("'tolvane-list serial="):
                return line.split("=")[1].split(" ")[0]
        return None

    def listed_files(self):
        return [path for path in map(list_path_of, self.list_lines()) if path]

    def served(self, relative):
        return self.upload / relative

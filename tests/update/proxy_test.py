#!/usr/bin/env python3
"""The launcher behind the player's proxy: its Wine prefix's internet settings name a tinyproxy
on loopback, through which every download of a pass must tunnel (CONNECT) to nginx. One case
(--case) per run, each a row of CASES."""
import argparse
import pathlib
import shutil
import sys

TOOLS = pathlib.Path(__file__).resolve().parents[2] / "tools"
sys.path.insert(0, str(TOOLS / "testing"))

import test_servers  # noqa: E402
from launcher_driver import check, run_one_case  # noqa: E402
from proxy_server import SystemProxy, TinyProxy  # noqa: E402
from served_release import ServedRelease, game_ran  # noqa: E402

PROXY_PASSWORD = ("error :No possibility to download data -> Start progress download: download "
                  "error: the proxy asks for a user name and password (HTTP 407), which the "
                  "launcher cannot give")

# Each case: the proxy's user and password (None: it asks for none), whether the served release
# is installed through it, and the error log the pass leaves.
CASES = {
    "through-proxy": (None, True, b""),
    # The player's proxy wants a password: the pass ends at the list with one line, never
    # waiting for credentials or asking for them in a box, and the installed game starts.
    "proxy-password": (("player", "secret"), False, PROXY_PASSWORD.encode() + b"\r\n"),
}


def run_case(launcher, credentials, installs, error_log):
    port = int(launcher.args.port)
    folder = launcher.folder
    site = ServedRelease(launcher)
    files = {"TolvaneGame.exe": pathlib.Path(launcher.args.game).read_bytes(),
             "data/level.pak": bytes(range(256)) * 256}
    if not installs:  # the game a player has, which the launcher starts after the failed pass
        shutil.copy(launcher.args.game, folder / "TolvaneGame.exe")
    servers = []
    try:
        site.publish(files)
        servers.append(test_servers.Nginx(str(site.webroot), site.pki, port=port).start())
        servers.append(TinyProxy([port], *(credentials or ())).start())
        nginx, proxy = servers
        with SystemProxy(launcher.wine, proxy.address):
            launcher.start()
            launcher.probe("post", "click-game")
            # A box, the worker's or the platform's, would hold the pass and the launcher.
            box = launcher.probe("nodialog", "15000")
            check(box["exit"] == [0], f"a box came up during the pass: {box}")
            launcher.exits_with(0, seconds=120)
        tunnels, served = proxy.requests(), nginx.requests()
    finally:
        for server in reversed(servers):
            server.stop()
        site.close()
    print("proxy:", tunnels, "\nnginx:", served)
    # The connection check reaches the server itself; every download goes through the tunnel.
    check(tunnels and set(tunnels) == {f"CONNECT localhost:{port}"},
          f"the proxy did not tunnel the pass's requests: {tunnels}")
    log = folder / "errors.err"
    log = log.read_bytes() if log.exists() else b""
    check(log == error_log, f"error log {log!r}")
    if installs:
        asked = sorted(r.split()[1] for r in served)
        check(asked == sorted("/AppGameUpload/" + name for name in ["uploadfile.uda", *files]),
              f"nginx was not asked for the release once each: {served}")
        site.check_installed(files)
    else:
        check(not served, f"requests reached nginx past the proxy: {served}")
        check(game_ran(launcher), "the installed game was not started")
        check(not (folder / "update" / "update.info").exists(), "a version was recorded")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--case", required=True, choices=CASES)
    for name in ("wine-run", "prefix", "launcher", "probe", "work", "port", "trust-ca", "pki",
                 "game", "list-key"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    # The prefix's settings are put back by the case's own clean-up, also after a stop from outside.
    run_one_case(args, lambda launcher: run_case(launcher, *CASES[args.case]))

if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Runs a Windows test program against local HTTPS servers, and stops them afterwards.

Makes (once per build tree) a test CA with localhost certificates, makes the test's Wine
prefix trust that CA, starts nginx and two fault servers (one with a trusted certificate, one
with an untrusted one) on free loopback ports over one temporary document root, and runs the
program under tools/wine-run. The program learns the servers from its environment:

  TOLVANE_NGINX_URL, TOLVANE_FAULT_URL, TOLVANE_UNTRUSTED_URL   https://localhost:PORT/
  TOLVANE_DEAD_URL        a loopback port nobody listens on
  TOLVANE_DOCROOT         the document root, as a Windows path
  TOLVANE_NGINX_LOG       nginx's access log, as a Windows path
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import test_servers as ts  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--trust-ca", required=True, help="trust_ca.exe")
    parser.add_argument("--pki", required=True, help="folder for the test CA and certificates")
    parser.add_argument("program", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    args.prefix = os.path.abspath(args.prefix)
    # A stop from outside (CTest's time-out) still runs the finally block below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    pki = ts.TestPki(args.pki)
    trust = subprocess.run([args.wine_run, args.prefix, args.trust_ca, ts.windows_path(pki.ca)])
    if trust.returncode != 0:
        print("could not make the Wine prefix trust the test CA", file=sys.stderr)
        return 1

    docroot = tempfile.mkdtemp(prefix="tolvane-docroot-")
    servers = []
    try:
        nginx = ts.Nginx(docroot, pki).start()
        servers.append(nginx)
        fault = ts.start_fault_server(docroot, pki.cert, pki.key)
        servers.append(fault)
        untrusted = ts.start_fault_server(docroot, pki.untrusted_cert, pki.untrusted_key)
        servers.append(untrusted)
        env = dict(os.environ)
        env.update(
            TOLVANE_NGINX_URL=nginx.url,
            TOLVANE_FAULT_URL="https://localhost:%d/" % fault.server_address[1],
            TOLVANE_UNTRUSTED_URL="https://localhost:%d/" % untrusted.server_address[1],
            TOLVANE_DEAD_URL="https://localhost:%d/" % ts.free_port(),
            TOLVANE_DOCROOT=ts.windows_path(docroot),
            TOLVANE_NGINX_LOG=ts.windows_path(nginx.access_log),
        )
        return subprocess.run([args.wine_run, args.prefix] + args.program, env=env).returncode
    finally:
        for server in reversed(servers):
            server.stop()
        shutil.rmtree(docroot, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
# Usage: run_with_servers.py [--list-keys DIR] [--nginx-port N] WINE_RUN PREFIX TRUST_CA_EXE PKI_FOLDER
#                            PROGRAM [ARGS...]
#
# Makes the Wine prefix trust a test CA (made once in PKI_FOLDER), starts nginx and four fault
# servers (one with a trusted certificate, one with an untrusted one, one over plain HTTP that
# the others redirect to, and a trusted one on another port that the first redirects to, which
# writes to the same access log) on loopback over one temporary document root, runs the program under
# wine-run and stops the servers again, also when the program fails or CTest stops this script.
# The program finds the servers in TOLVANE_NGINX_URL, TOLVANE_FAULT_URL, TOLVANE_UNTRUSTED_URL
# (https://localhost:PORT/), TOLVANE_DEAD_URL (a port nobody listens on), their access logs in
# TOLVANE_NGINX_LOG and TOLVANE_FAULT_LOG, and the document root in TOLVANE_DOCROOT (Windows
# paths), and a volume of 200 MiB that a case may fill in TOLVANE_SMALL_VOLUME (empty where
# this user may not mount one). With --list-keys, the fault server signs the lists of "sign-N" sites with DIR/list.pem
# and DIR/other.pem (see fault_server.py). With --nginx-port, nginx listens on that port (the
# others on free ones).
import os
import shutil
import signal
import subprocess
import sys
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools", "testing"))
import test_servers as ts  # noqa: E402


def main(wine_run, prefix, trust_ca, pki, *program, list_keys=None, nginx_port=None):
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # runs the finally block below
    prefix, pki = os.path.abspath(prefix), ts.TestPki(pki)
    subprocess.run([wine_run, prefix, trust_ca, ts.windows_path(pki.ca)], check=True)
    docroot, servers, small = tempfile.mkdtemp(prefix="tolvane-docroot-"), [], ts.SmallVolume(200)
    try:
        fault_log = os.path.join(docroot, "fault-access.log")
        servers.append(ts.Nginx(docroot, pki, int(nginx_port) if nginx_port else None).start())
        servers.append(ts.start_fault_server(docroot))  # over plain HTTP
        servers.append(ts.start_fault_server(docroot, pki.cert, pki.key, servers[1].url, fault_log))
        servers.append(ts.start_fault_server(docroot, pki.cert, pki.key, servers[1].url, fault_log,
                                             list_keys, servers[2].url))
        servers.append(ts.start_fault_server(docroot, pki.untrusted_cert, pki.untrusted_key))
        env = dict(os.environ, TOLVANE_NGINX_URL=servers[0].url, TOLVANE_FAULT_URL=servers[3].url,
                   TOLVANE_UNTRUSTED_URL=servers[4].url,
                   TOLVANE_NGINX_LOG=ts.windows_path(servers[0].access_log),
                   TOLVANE_FAULT_LOG=ts.windows_path(fault_log),
                   TOLVANE_DOCROOT=ts.windows_path(docroot),
                   TOLVANE_SMALL_VOLUME=ts.windows_path(small.path) if small.path else "",
                   TOLVANE_DEAD_URL="https://localhost:%d/" % ts.free_port())
        if list_keys:  # X||Y of the other key, in hex, as the build reads a key
            env["TOLVANE_OTHER_LIST_KEY"] = subprocess.run(
                [sys.executable, os.path.join(ROOT, "cmake", "list_key.py"),
                 os.path.join(list_keys, "other.pub.pem")],
                check=True, capture_output=True, text=True).stdout.strip()
        return subprocess.run([wine_run, prefix, *program], env=env).returncode
    finally:
        for server in reversed(servers):
            server.stop()
        shutil.rmtree(docroot, ignore_errors=True)
        small.remove()


if __name__ == "__main__":
    args, options = sys.argv[1:], {}
    while args[:1] in (["--list-keys"], ["--nginx-port"]):
        options[args[0][2:].replace("-", "_")], args = args[1], args[2:]
    sys.exit(main(*args, **options))

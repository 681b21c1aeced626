"""Local HTTPS servers for the update engine's tests and benchmarks.

TestPki makes a test certificate authority and two localhost certificates with openssl: one
signed by the authority (trusted once the authority is added to a Wine prefix) and one
self-signed (never trusted). Nginx runs nginx on a loopback port from a configuration in a
folder of its own, as the calling user. Both servers bind 127.0.0.1 only.

Run alone, it serves a folder as the demo's update server (the build's default base URL is
https://localhost:8443/):
  tools/testing/test_servers.py --root DIR --pki build/release/test-pki \
      --prefix build/release/wineprefix --trust-ca build/release/tools/testing/trust_ca.exe
"""
import ctypes
import os
import pwd
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fault_server import FaultServer  # noqa: E402

CA_NAME = "Tolvane Test CA"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def windows_path(path):
    """The path as a Windows program under Wine sees it (Wine maps / to drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _die_with_parent():
    # Linux PR_SET_PDEATHSIG: the server goes when the process that started it goes, however.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)


def end_server(process):
    """Ends a server process that may have been started (None when not), kindly first."""
    if process and process.poll() is None:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class SmallVolume:
    """A volume of its own with little room (a tmpfs of size_mib MiB on a temporary folder), so
    that a case fills a real disk: writes past its room fail with ENOSPC, which Wine gives as
    ERROR_DISK_FULL. None in path where this user may not mount one (then the case says so)."""

    def __init__(self, size_mib):
        self.path = tempfile.mkdtemp(prefix="tolvane-small-")
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % size_mib, "tmpfs",
                                  self.path], capture_output=True).returncode == 0
        if not mounted:
            os.rmdir(self.path)
            self.path = None

    def remove(self):
        if self.path:
            subprocess.run(["umount", "-l", self.path], capture_output=True)
            os.rmdir(self.path)
            self.path = None


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


class TestPki:
    """A CA and localhost certificates, made once per folder and kept there."""

    def __init__(self, folder):
        self.folder = folder = os.path.abspath(folder)
        self.ca = os.path.join(folder, "ca.pem")
        self.cert = os.path.join(folder, "localhost.pem")
        self.key = os.path.join(folder, "localhost.key")
        self.untrusted_cert = os.path.join(folder, "untrusted.pem")
        self.untrusted_key = os.path.join(folder, "untrusted.key")
        os.makedirs(folder, exist_ok=True)
        lock = os.open(os.path.join(folder, ".lock"), os.O_CREAT | os.O_RDWR)
        try:
            import fcntl

            fcntl.flock(lock, fcntl.LOCK_EX)
            if not os.path.exists(self.untrusted_key):
                self._make()
        finally:
            os.close(lock)

    def _make(self):
        d = self.folder
        with open(os.path.join(d, "server.ext"), "w") as f:
            f.write(
                "basicConstraints=critical,CA:FALSE\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n"
                "subjectAltName=DNS:localhost\n"
            )
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key",
                 "-out", "ca.pem", "-days", "3650", "-subj", "/CN=" + CA_NAME,
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=d)
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "localhost.key",
                 "-out", "localhost.csr", "-subj", "/CN=localhost", cwd=d)
        _openssl("x509", "-req", "-in", "localhost.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                 "-CAcreateserial", "-out", "localhost.pem", "-days", "3650",
                 "-extfile", "server.ext", cwd=d)
        # Same name and uses, but signed by nobody the prefix trusts.
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "untrusted.key.tmp",
                 "-out", "untrusted.pem", "-days", "3650", "-subj", "/CN=localhost",
                 "-addext", "subjectAltName=DNS:localhost", cwd=d)
        os.replace(os.path.join(d, "untrusted.key.tmp"), self.untrusted_key)


class Nginx:
    """nginx serving one folder over HTTPS at https://localhost:PORT/."""

    def __init__(self, root, pki, port=None):
        self.root = os.path.abspath(root)
        self.prefix = tempfile.mkdtemp(prefix="tolvane-nginx-")
        self.port = port or free_port()
        self.url = "https://localhost:%d/" % self.port
        self.access_log = os.path.join(self.prefix, "access.log")
        user = pwd.getpwuid(os.geteuid()).pw_name
        temp = "\n".join(
            "    %s_temp_path %s;" % (name, os.path.join(self.prefix, name))
            for name in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi")
        )
        config = f"""
worker_processes 1;
{'user ' + user + ';' if os.geteuid() == 0 else ''}
pid {self.prefix}/nginx.pid;
error_log {self.prefix}/error.log warn;
events {{ worker_connections 256; }}
http {{
    access_log {self.access_log};
{temp}
    sendfile on;
    keepalive_requests 100000;
    server {{
        listen 127.0.0.1:{self.port} ssl;
        server_name localhost;
        ssl_certificate {pki.cert};
        ssl_certificate_key {pki.key};
        root {self.root};
    }}
}}
"""
        self.config = os.path.join(self.prefix, "nginx.conf")
        with open(self.config, "w") as f:
            f.write(config)
        self.process = None

    def start(self):
        self.process = subprocess.Popen(
            ["nginx", "-p", self.prefix, "-c", self.config, "-e", os.path.join(self.prefix, "error.log"),
             "-g", "daemon off;"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("nginx did not start:\n" + self.error_log())
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.2):
                    return self
            except OSError:
                time.sleep(0.05)
        self.stop()
        raise RuntimeError("nginx did not listen on port %d" % self.port)

    def error_log(self):
        try:
            with open(os.path.join(self.prefix, "error.log")) as f:
                return f.read()
        except OSError:
            return ""

    def requests(self):
        """The request lines nginx has logged so far."""
        try:
            with open(self.access_log) as f:
                return [line.split('"')[1] for line in f if '"' in line]
        except OSError:
            return []

    def stop(self):
        end_server(self.process)
        subprocess.run(["rm", "-rf", self.prefix])


def start_fault_server(root, cert=None, key=None, plain_url="", access_log=None, list_keys=None,
                       away_url=""):
    """A fault server over TLS with the given certificate, or over plain HTTP without one."""
    return FaultServer(0, root, cert, key, plain_url, access_log, list_keys, away_url).start()


def main():
    """Serves a folder at https://localhost:PORT/ until interrupted (the demo's update server)."""
    import argparse

    parser = argparse.ArgumentParser(description=main.__doc__)
    parser.add_argument("--root", required=True, help="the folder to serve")
    parser.add_argument("--port", type=int, default=8443)
    parser.add_argument("--pki", required=True, help="folder of the test CA (made when missing)")
    parser.add_argument("--prefix", help="Wine prefix to make trust the CA")
    parser.add_argument("--trust-ca", help="trust_ca.exe, needed with --prefix")
    args = parser.parse_args()
    pki = TestPki(args.pki)
    if args.prefix:
        wine_run = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wine-run")
        subprocess.run([wine_run, os.path.abspath(args.prefix), args.trust_ca, windows_path(pki.ca)],
                       check=True)
    nginx = Nginx(args.root, pki, args.port).start()
    print("serving %s at %s" % (os.path.abspath(args.root), nginx.url), flush=True)
    try:
        nginx.process.wait()
    except KeyboardInterrupt:
        pass
    finally:
        nginx.stop()


if __name__ == "__main__":
    main()

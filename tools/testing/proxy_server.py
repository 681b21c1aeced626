"""A forwarding proxy for the tests, and a Wine prefix's system proxy setting.

TinyProxy runs Debian's tinyproxy in the foreground on a free loopback port, from a
configuration of its own in a temporary folder: it takes clients from 127.0.0.1 only, tunnels
https (CONNECT) to the given ports only, logs every request, and with a user name and password
answers every request without them with 407. SystemProxy points a Wine prefix's internet
settings (what WinINet, and urlmon through it, reads) at such a proxy and puts back what was
there before.
"""
import os
import shutil
import socket
import subprocess
import tempfile
import time

from test_servers import _die_with_parent, end_server, free_port, windows_path


class TinyProxy:
    """tinyproxy at 127.0.0.1:PORT, tunnelling to connect_ports only."""

    def __init__(self, connect_ports, user=None, password=None):
        self.folder = tempfile.mkdtemp(prefix="tolvane-proxy-")
        self.port = free_port()
        self.address = "127.0.0.1:%d" % self.port
        self.log = os.path.join(self.folder, "tinyproxy.log")
        lines = ["Listen 127.0.0.1", "Port %d" % self.port, "Allow 127.0.0.1", "Timeout 30",
                 'LogFile "%s"' % self.log, "LogLevel Info", "MaxClients 20"]
        lines += ["ConnectPort %d" % port for port in connect_ports]
        if os.geteuid() == 0:  # it would change to nobody, who cannot write the log
            lines += ["User root", "Group root"]
        if user is not None:
            lines.append("BasicAuth %s %s" % (user, password))
        self.config = os.path.join(self.folder, "tinyproxy.conf")
        with open(self.config, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.process = None

    def start(self):
        self.process = subprocess.Popen(["tinyproxy", "-d", "-c", self.config],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        preexec_fn=_die_with_parent)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                break
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.2):
                    return self
            except OSError:
                time.sleep(0.05)
        log = self.requests()
        self.stop()
        raise RuntimeError("tinyproxy did not listen on port %d: %s" % (self.port, log))

    def requests(self):
        """The request lines tinyproxy has logged so far, as "CONNECT localhost:443"."""
        try:
            with open(self.log, errors="replace") as f:
                found = []
                for line in f:
                    # INFO ... [pid]: Request (file descriptor 6): CONNECT host:port HTTP/1.1
                    _, marker, rest = line.partition("Request (file descriptor ")
                    if marker:
                        found.append(rest.partition("): ")[2].rsplit(" HTTP/", 1)[0].strip())
                return found
        except OSError:
            return []

    def stop(self):
        end_server(self.process)
        shutil.rmtree(self.folder, ignore_errors=True)


INTERNET_SETTINGS = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
# What the setting changes: WinINet takes the proxy from these three values.
PROXY_VALUES = ("ProxyEnable", "ProxyServer", "ProxyOverride")
# An override that names no real host: without one, WinINet may take no_proxy from the
# environment, and "<local>" would exempt localhost. It also marks the setting as a test's.
OVERRIDE = "no-such-host.invalid"


class SystemProxy:
    """With it, every WinINet program of a Wine prefix goes through the proxy at address, for
    localhost too: no override exempts it. wine(*command) runs a program in the prefix."""

    def __init__(self, wine, address):
        self.wine, self.address = wine, address
        self.folder = tempfile.mkdtemp(prefix="tolvane-proxy-setting-")
        self.saved = os.path.join(self.folder, "saved.reg")

    def _import(self, name, body):
        path = os.path.join(self.folder, name)
        with open(path, "w", encoding="utf-16") as f:
            f.write("Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n%s\r\n"
                    % (INTERNET_SETTINGS, body))
        result = self.wine("regedit", "/s", windows_path(path))
        if result.returncode != 0:
            raise RuntimeError("regedit could not import %s" % name)

    def __enter__(self):
        exported = self.wine("reg", "export", INTERNET_SETTINGS, windows_path(self.saved), "/y")
        if exported.returncode != 0 or not os.path.exists(self.saved):
            raise RuntimeError("could not save the prefix's internet settings")
        try:
            self._import("proxy.reg", '"ProxyEnable"=dword:00000001\r\n"ProxyServer"="%s"\r\n'
                         '"ProxyOverride"="%s"\r\n' % (self.address, OVERRIDE))
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *_):
        """The three values go, then the key comes back as it was saved; a test's setting that
        a killed run left behind is not brought back."""
        try:
            with open(self.saved, encoding="utf-16") as f:
                saved = f.read().split("\n", 1)[1]
            if '"ProxyOverride"="%s"' % OVERRIDE in saved:
                saved = "".join(line for line in saved.splitlines(True)
                                if not line.startswith(tuple('"%s"=' % n for n in PROXY_VALUES)))
            removed = "".join('"%s"=-\r\n' % name for name in PROXY_VALUES)
            self._import("restore.reg", removed + saved.replace("\r\n", "\n").replace("\n", "\r\n"))
        finally:
            shutil.rmtree(self.folder, ignore_errors=True)

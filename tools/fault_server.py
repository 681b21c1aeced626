#!/usr/bin/env python3
"""An HTTPS server that misbehaves on request, for testing the update engine's downloads.

The first path segment that names a fault decides the answer (segments are split at "/" and
at "\\", since the client may send either):

  f404      404 with an error page          f500      500 with an error page
  redirect  302 to the same path without the "redirect" segment
  drop      Content-Length 65536, half the body, then the connection goes down (no TLS alert)
  reset     like drop, but the connection ends with a TCP reset (Wine 8's urlmon then waits
            forever, so no test asks for it; it is here to show that)
  short     Content-Length 65536, half the body, then an orderly TLS and TCP close
  slow      65536 bytes, 256 of them every 200 ms (about 51 s in all)
  hugelist  for a list file (uploadfile.uda): 100,000 lines, "Version = huge;" then comment
            lines; 404 for anything else

Any other path is served from the document root (404 when absent). Python standard library only.

Run alone:  fault_server.py --root DIR --cert CERT --key KEY [--port N]
"""
import argparse
import http.server
import os
import socket
import ssl
import struct
import threading
import time
import urllib.parse

FAULTS = ("f404", "f500", "redirect", "drop", "reset", "short", "slow", "hugelist")
BODY_SIZE = 65536
HUGE_LIST_LINES = 100_000


def fault_body(path):
    """Deterministic bytes for a fault answer, so a test can tell them from a good copy."""
    seed = ("fault body of " + path + "\n").encode()
    return (seed * (BODY_SIZE // len(seed) + 1))[:BODY_SIZE]


def huge_list():
    return b"Version = huge;\n" + b"'comment line\n" * (HUGE_LIST_LINES - 1)


class FaultHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FaultServer"

    def log_message(self, format, *args):  # keep the test output quiet
        pass

    def end_headers(self):
        # One request per connection: a client never reuses a connection that a fault broke.
        self.send_header("Connection", "close")
        self.close_connection = True
        super().end_headers()

    def do_GET(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        segments = [s for s in path.replace("\\", "/").split("/") if s]
        self.server.record(path)
        fault = next((s for s in segments if s in FAULTS), None)
        if fault is None:
            return self.serve_file(segments)
        getattr(self, "fault_" + fault)(path, segments)

    def send_body(self, status, body, content_type="application/octet-stream"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def serve_file(self, segments):
        file = os.path.join(self.server.root, *segments) if segments else None
        if file is None or not os.path.isfile(file):
            return self.send_body(404, b"<html>404 Not Found</html>", "text/html")
        with open(file, "rb") as f:
            self.send_body(200, f.read())

    def fault_f404(self, path, segments):
        self.send_body(404, b"<html>404 Not Found: " + path.encode() + b"</html>", "text/html")

    def fault_f500(self, path, segments):
        self.send_body(500, b"<html>500 Internal Server Error</html>", "text/html")

    def fault_redirect(self, path, segments):
        target = "/" + "/".join(s for s in segments if s != "redirect")
        self.send_response(302)
        self.send_header("Location", urllib.parse.quote(target))
        self.send_header("Content-Length", "0")
        self.end_headers()

    def start_partial(self, path):
        body = fault_body(path)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body[: len(body) // 2])
        self.wfile.flush()
        self.close_connection = True

    def fault_drop(self, path, segments):
        # The connection goes down as when the server dies: TCP closes with no TLS close alert.
        self.start_partial(path)
        time.sleep(0.2)  # the client takes the headers and the first half
        self.connection.shutdown(socket.SHUT_RDWR)

    def fault_reset(self, path, segments):
        self.start_partial(path)
        time.sleep(0.2)
        # SO_LINGER with a zero time turns the close into a reset.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()

    def fault_short(self, path, segments):
        # An orderly end: TLS close alert, then TCP close, with half the body missing.
        self.start_partial(path)
        self.connection.setblocking(False)  # send the alert without waiting for the client's
        try:
            self.connection.unwrap()
        except (ssl.SSLWantReadError, ssl.SSLWantWriteError):
            pass
        self.connection.shutdown(socket.SHUT_RDWR)

    def fault_slow(self, path, segments):
        body = fault_body(path)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            for start in range(0, len(body), 256):
                self.wfile.write(body[start : start + 256])
                self.wfile.flush()
                if self.server.stopping.wait(0.2):
                    break
        except OSError:
            pass  # the client went away, which is what the tests of a killed pass do
        self.close_connection = True

    def fault_hugelist(self, path, segments):
        if not path.endswith("uploadfile.uda"):
            return self.fault_f404(path, segments)
        self.send_body(200, huge_list(), "text/plain")


class FaultServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, root, cert, key):
        super().__init__(("127.0.0.1", port), FaultHandler)
        self.root = root
        self.stopping = threading.Event()
        self.requests = []
        self.lock = threading.Lock()
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        self.socket = context.wrap_socket(self.socket, server_side=True)

    def record(self, path):
        with self.lock:
            self.requests.append(path)

    def start(self):
        self.thread = threading.Thread(target=self.serve_forever, daemon=True)
        self.thread.start()
        return self

    def stop(self):
        self.stopping.set()
        self.shutdown()
        self.server_close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    server = FaultServer(args.port, args.root, args.cert, args.key).start()
    print("fault server on https://localhost:%d/" % server.server_address[1], flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        server.stop()


if __name__ == "__main__":
    main()

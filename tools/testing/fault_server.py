#!/usr/bin/env python3
"""An HTTPS server that misbehaves on request, for testing the update engine's downloads.

The first path segment that names a fault decides the answer (segments are split at "/" and
at "\\", since the client may send either):

  f404      404 with an error page          f500      500 with an error page
  f204      204 with no body                 f206      206 with 7 bytes nobody asked for
  redirect  302 to the same path without the "redirect" segment
  loop      302 to the same path, for ever
  hopsN     302 to the path with hops(N-1) in its place; hops0 serves the path without it
  tohttp    302 to the same path on the plain-HTTP twin (see --plain), which serves it as a file
  away      302 to the path without the segment on a second server (see --away), on another port
  moved     301, otherwise like tohttp
  drop      Content-Length 65536, half the body, then the connection goes down (no TLS alert)
  reset     like drop, but the connection ends with a TCP reset (Wine 8's urlmon then waits
            forever, so tests ask for it only with a short stall limit)
  short     Content-Length 65536, half the body, then an orderly TLS and TCP close
  slow      65536 bytes, 256 of them every 200 ms (about 51 s in all)
  gzip      the file without the segment, gzip-encoded
  gzipcut   like gzip, but only the gzip header arrives, then an orderly close
  chunkcut  chunked, the close comes in the middle of the second chunk
  chunkend  chunked, the close comes after the first chunk (no last chunk)
  longer    Content-Length 1 MiB, the whole fault body repeated
  endless   chunked 64 KiB chunks until the client goes (or, to spare a test machine's disk
            when a client fails to stop it, 512 MiB have gone: the access log then says
            "ENDLESS BODY RAN OUT")
  cutN, busyN, garble, dieK
            fail the first N requests of a path (or change its bytes, or die after K KiB), see
            flaky_faults.py
  hugelist  for a list file (uploadfile.uda): 100,000 lines, "Version = huge;" then comment
            lines; 404 for anything else
  sign-N[-expired][-game|-cad][-beta][-otherkey][-flip][-cut]
            the list file (uploadfile.uda) below it is served signed as the studio's publisher
            signs, with serial N, by the list key of --list-keys (or its other key), expired,
            for the product "game" or "cad", for the channel "beta",
            with a byte flipped after signing, or with its signature line cut short; every
            other file is served as it is. A list that is signed already (nginx's copy, as a
            mirror also serves it) is not signed again, only flipped or cut; with the query
            "?published" neither is done, which gives the list as the studio published it

Any other path is served from the document root (404 when absent). Python standard library only,
and Python's cryptography for signed lists. The body faults are in fault_bodies.py.

Without --cert and --key it speaks plain HTTP: the twin that tohttp and moved send to.

Run alone:  fault_server.py --root DIR [--cert CERT --key KEY] [--port N] [--plain URL] [--away URL]
"""
import argparse
import base64
import http.server
import os
import re
import ssl
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fault_bodies import BodyFaults, fault_body  # noqa: E402
from flaky_faults import FLAKY, FlakyFaults  # noqa: E402

FAULTS = ("f404", "f500", "f204", "f206", "redirect", "loop", "tohttp", "moved", "away", "drop", "reset",
          "short", "slow", "gzip", "gzipcut", "chunkcut", "chunkend", "longer", "endless",
          "hugelist", "garble")
HOPS = re.compile(r"hops(\d+)$")
SIGNED = re.compile(r"sign-(\d+)((?:-[a-z]+)*)$")
HUGE_LIST_LINES = 100_000
SIGNATURE_LINE = b"'signature ecdsa-p256-sha256 "
TAMPERING = ("flip", "cut")


def signed_list(data, serial, key_file, options):
    """The list as the publisher signs it: a serial line, then the signature line."""
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec, utils

    if data and not data.endswith(b"\r\n"):
        data += b"\r\n"
    signature = data.rfind(b"\n" + SIGNATURE_LINE)
    if signature >= 0:  # signed already: only tampered with
        data, line = data[: signature + 1], data[signature + 1 :].rstrip(b"\r\n")
    else:
        expiry = b" expires=2000-01-01T00:00:00Z" if "expired" in options else b""
        product = b"".join(b" product=" + name.encode() for name in ("game", "cad") if name in options)
        channel = b" channel=beta" if "beta" in options else b""
        data += b"'tolvane-list serial=%d%s%s%s\r\n" % (serial, expiry, product, channel)
        with open(key_file, "rb") as f:
            key = serialization.load_pem_private_key(f.read(), None)
        r, s = utils.decode_dss_signature(key.sign(data, ec.ECDSA(hashes.SHA256())))
        line = SIGNATURE_LINE + base64.b64encode(r.to_bytes(32, "big") + s.to_bytes(32, "big"))
    if "cut" in options:
        line = line[:-8]
    if "flip" in options:
        middle = len(data) // 2
        data = data[:middle] + bytes([data[middle] ^ 0x20]) + data[middle + 1:]
    return data + line + b"\r\n"


def huge_list():
    return b"Version = huge;\n" + b"'comment line\n" * (HUGE_LIST_LINES - 1)


class FaultHandler(BodyFaults, FlakyFaults, http.server.BaseHTTPRequestHandler):
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
        url = urllib.parse.urlsplit(self.path)
        path, self.query = urllib.parse.unquote(url.path), url.query
        segments = [s for s in path.replace("\\", "/").split("/") if s]
        self.server.record(path, self.requestline)
        fault = next((s for s in segments if s in FAULTS or HOPS.match(s) or SIGNED.match(s)
                      or FLAKY.match(s)), None)
        if fault is None:
            return self.serve_file(segments)
        if FLAKY.match(fault):
            return self.fault_flaky(fault, path, segments)
        if SIGNED.match(fault):
            return self.serve_signed(SIGNED.match(fault), segments)
        if fault in ("tohttp", "moved") and not self.server.secure:
            return self.serve_file(segments)
        if HOPS.match(fault):
            return self.fault_hops(fault, segments)
        getattr(self, "fault_" + fault)(path, segments)

    def without(self, segments, fault):
        return [s for s in segments if s != fault]

    def file_bytes(self, segments):
        file = os.path.join(self.server.root, *segments) if segments else None
        if file is None or not os.path.isfile(file):
            return None
        with open(file, "rb") as f:
            return f.read()

    def send_redirect(self, status, location):
        self.send_response(status)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def send_body(self, status, body, content_type="application/octet-stream"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def serve_file(self, segments):
        data = self.file_bytes(segments)
        if data is None:
            return self.send_body(404, b"<html>404 Not Found</html>", "text/html")
        self.send_body(200, data)

    def fault_f404(self, path, segments):
        self.send_body(404, b"<html>404 Not Found: " + path.encode() + b"</html>", "text/html")

    def fault_f500(self, path, segments):
        self.send_body(500, b"<html>500 Internal Server Error</html>", "text/html")

    def serve_signed(self, how, segments):
        data = self.file_bytes(segments)
        if data is None or segments[-1] != "uploadfile.uda":
            return self.serve_file(segments)
        options = how.group(2).split("-")[1:]
        if self.query == "published":
            options = [option for option in options if option not in TAMPERING]
        key = os.path.join(self.server.list_keys, "other.pem" if "otherkey" in options else "list.pem")
        self.send_body(200, signed_list(data, int(how.group(1)), key, options))

    def fault_f204(self, path, segments):
        self.send_response(204)
        self.end_headers()

    def fault_f206(self, path, segments):
        self.send_response(206)
        self.send_header("Content-Range", "bytes 0-6/65536")
        self.send_header("Content-Length", "7")
        self.end_headers()
        self.wfile.write(b"partial")

    def fault_redirect(self, path, segments):
        self.send_redirect(302, urllib.parse.quote("/" + "/".join(self.without(segments, "redirect"))))

    def fault_loop(self, path, segments):
        self.send_redirect(302, urllib.parse.quote(path.replace("\\", "/")))

    def fault_hops(self, fault, segments):
        left = int(HOPS.match(fault).group(1))
        if left == 0:
            return self.serve_file(self.without(segments, fault))
        hop = ["hops%d" % (left - 1) if s == fault else s for s in segments]
        self.send_redirect(302, urllib.parse.quote("/" + "/".join(hop)))

    def fault_tohttp(self, path, segments, status=302):
        self.send_redirect(status, self.server.plain_url + urllib.parse.quote("/".join(segments)))

    def fault_moved(self, path, segments):
        self.fault_tohttp(path, segments, 301)

    def fault_away(self, path, segments):
        rest = urllib.parse.quote("/".join(self.without(segments, "away")))
        self.send_redirect(302, self.server.away_url + rest)

    def fault_hugelist(self, path, segments):
        if not path.endswith("uploadfile.uda"):
            return self.fault_f404(path, segments)
        self.send_body(200, huge_list(), "text/plain")


class FaultServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, root, cert=None, key=None, plain_url="", access_log=None, list_keys=None,
                 away_url=""):
        super().__init__(("127.0.0.1", port), FaultHandler)
        self.root = root
        self.plain_url = plain_url  # where tohttp and moved send to, ending in "/"
        self.away_url = away_url  # where away sends to, ending in "/"
        self.secure = bool(cert)
        self.url = "%s://localhost:%d/" % ("https" if cert else "http", self.server_address[1])
        self.stopping = threading.Event()
        self.requests = []
        self.access_log = access_log  # a file that gets each request line, as nginx's does
        self.list_keys = list_keys  # a folder with list.pem and other.pem, for sign-N sites
        self.lock = threading.Lock()
        if cert:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(cert, key)
            self.socket = context.wrap_socket(self.socket, server_side=True)

    def record(self, path, request_line):
        with self.lock:
            self.requests.append(path)
            if self.access_log:
                with open(self.access_log, "a") as log:
                    log.write('127.0.0.1 "%s"\n' % request_line)

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
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--plain", default="", help="base URL of the plain-HTTP twin")
    parser.add_argument("--away", default="", help="base URL of the server that away sends to")
    args = parser.parse_args()
    server = FaultServer(args.port, args.root, args.cert, args.key, args.plain,
                         away_url=args.away).start()
    print("fault server on " + server.url, flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        server.stop()


if __name__ == "__main__":
    main()

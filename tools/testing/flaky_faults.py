"""The faults of fault_server.py that a mirror shows now and then rather than always: they fail
the first requests of a path and then serve the file at that very path (its fault segment
kept), so that nginx over the same document root serves the same bytes. A mixin of its
request handler.

  cutN      the first N requests of the path: the file's Content-Length, half its bytes, then
            an orderly close
  busyN     the first N requests of the path: 503 with "Retry-After: 1"
  garble    the file with its first byte changed, at its full length
  dieK      a mirror that dies in the middle of a pass: the files below the level are served
            whole until K KiB of their bodies have gone; the body that reaches K KiB is cut
            there, as when the server goes down (no TLS close), and from then on every request
            below the level is dropped unanswered, as by a server that is no longer there
"""
import re
import socket
import time

FLAKY = re.compile(r"(cut|busy|die)(\d+)$")


class FlakyFaults:
    """Needs the handler's send_body, send_response, send_header, end_headers, file_bytes,
    serve_file, orderly_close, wfile and server (with lock)."""

    def failing_now(self, path, times):
        """True for the first `times` requests of the path since the server started."""
        with self.server.lock:
            counts = self.server.__dict__.setdefault("flaky_counts", {})
            counts[path] = counts.get(path, 0) + 1
            return counts[path] <= times

    def fault_flaky(self, fault, path, segments):
        how = FLAKY.match(fault)
        if how.group(1) == "die":
            return self.fault_die(int(how.group(2)) * 1024, segments[: segments.index(fault) + 1],
                                  segments)
        data = self.file_bytes(segments)
        if data is None or not self.failing_now(path, int(how.group(2))):
            return self.serve_file(segments)
        if how.group(1) == "busy":
            self.send_response(503)
            self.send_header("Retry-After", "1")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data[: len(data) // 2])
        self.wfile.flush()
        self.orderly_close()

    def fault_garble(self, path, segments):
        data = self.file_bytes(segments)
        if not data:
            return self.serve_file(segments)
        self.send_body(200, bytes([data[0] ^ 0x20]) + data[1:])

    def fault_die(self, limit, level, segments):
        """server.dying maps each level to [body bytes sent, dead]."""
        data = self.file_bytes(segments)
        with self.server.lock:
            state = self.server.__dict__.setdefault("dying", {}).setdefault("/".join(level), [0, False])
            sent, dead = state
            if not dead and data is not None:
                whole = sent + len(data) < limit
                state[:] = [sent + len(data), False] if whole else [limit, True]
        if dead:  # gone: the connection closes before any answer
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if data is None or whole:
            return self.serve_file(segments)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data[: limit - sent])
        self.wfile.flush()
        time.sleep(0.2)  # the client takes what came
        self.close_connection = True
        self.connection.shutdown(socket.SHUT_RDWR)

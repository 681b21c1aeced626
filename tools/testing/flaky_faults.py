"""The faults of fault_server.py that a mirror shows now and then rather than always: they fail
the first requests of a path and then serve the file at that very path (its fault segment
kept), so that nginx over the same document root serves the same bytes. A mixin of its
request handler.

  cutN      the first N requests of the path: the file's Content-Length, half its bytes, then
            an orderly close
  busyN     the first N requests of the path: 503 with "Retry-After: 1"
  garble    the file with its first byte changed, at its full length
"""
import re

FLAKY = re.compile(r"(cut|busy)(\d+)$")


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

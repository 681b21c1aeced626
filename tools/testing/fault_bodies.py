"""The faults of fault_server.py that concern the body of an answer: cut, encoded, chunked,
endless, longer than announced, or slow. A mixin of its request handler."""
import gzip as gzip_codec
import itertools
import socket
import ssl
import struct
import time

BODY_SIZE = 65536
ENDLESS_CHUNKS = 512 * 1024 * 1024 // BODY_SIZE


def fault_body(path):
    """Deterministic bytes for a fault answer, so a test can tell them from a good copy."""
    seed = ("fault body of " + path + "\n").encode()
    return (seed * (BODY_SIZE // len(seed) + 1))[:BODY_SIZE]


class BodyFaults:
    """Needs the handler's send_response, send_header, end_headers, send_body, file_bytes,
    without, fault_f404, wfile, connection and server (with stopping and record)."""

    def orderly_close(self):
        # TLS close alert, then TCP close, without waiting for the client's alert.
        if isinstance(self.connection, ssl.SSLSocket):
            self.connection.setblocking(False)
            try:
                self.connection.unwrap()
            except (ssl.SSLWantReadError, ssl.SSLWantWriteError, OSError):
                pass
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def send_gzip(self, segments, fault, cut):
        data = self.file_bytes(self.without(segments, fault))
        if data is None:
            return self.fault_f404("/".join(segments), segments)
        body = gzip_codec.compress(data)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body[:10] if cut else body)
        self.wfile.flush()
        if cut:
            time.sleep(0.2)
            self.orderly_close()

    def fault_gzip(self, path, segments):
        self.send_gzip(segments, "gzip", cut=False)

    def fault_gzipcut(self, path, segments):
        self.send_gzip(segments, "gzipcut", cut=True)

    def send_chunks(self, chunks, tail=b""):
        """Sends the chunks; False when the client went away before the last."""
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        try:
            for chunk in chunks:
                self.wfile.write(b"%x\r\n%s\r\n" % (len(chunk), chunk))
                self.wfile.flush()
            self.wfile.write(tail)
            self.wfile.flush()
        except OSError:
            return False
        time.sleep(0.2)
        self.orderly_close()
        return True

    def fault_chunkcut(self, path, segments):
        body = fault_body(path)
        self.send_chunks([body[:1000]], b"%x\r\n%s" % (len(body) - 1000, body[1000:2000]))

    def fault_chunkend(self, path, segments):
        self.send_chunks([fault_body(path)[:1000]])

    def fault_endless(self, path, segments):
        body = fault_body(path)
        if self.send_chunks(body for _ in itertools.takewhile(
                lambda _: not self.server.stopping.is_set(), range(ENDLESS_CHUNKS))):
            self.server.record(path, "ENDLESS BODY RAN OUT " + path)

    def fault_longer(self, path, segments):
        self.send_body(200, fault_body(path) * 16)

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
        self.start_partial(path)
        self.orderly_close()

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

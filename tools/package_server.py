#!/usr/bin/env python3
"""The local HTTPS package server for the demo, the tests and the benchmark.

Serves one file at /SW_UPDATE/KV_MERIDEL/Korvane.zip with Content-Length,
ETag (a digest of the file) and Last-Modified, Range (206 with Content-Range)
and If-Range (a validator that does not match brings the whole file, 200),
and a proxy auto-config script at /proxy.pac. Listens on 127.0.0.1 only.
Every request is logged, one line each, as "GET <path> range=<Range header
or ->", followed by " if-range <validator>" when the request carries one, to
--log (or stderr).

Faults (--fault), to see how the installer copes with a bad server:
  no-content-length  answers without a Content-Length (the body ends at close)
  not-found          answers every request with a 404 error page
  ignore-range       answers every request with the whole file, status 200
  drop               sends half of every range, then drops the connection
  drop-once          the same for the first range only; later requests are served
  stall              sends --stall-after bytes (default: half) of the first range,
                     then holds the connection silent for --stall-seconds before
                     it drops it; later requests are served
  stall-all          every response stops at package byte --stall-after (default:
                     half the first range) and holds its connection silent for
                     --stall-seconds: nothing past that byte ever arrives
  drop-at            every response ends, its connection closed, at package byte
                     --stall-after (default: half the first range): a download
                     that breaks off there for good
  no-headers         reads every request and never answers it; the connection
                     is held silent for --stall-seconds
  trickle            the first range comes at --rate bytes a second (default
                     300) for --trickle-seconds, then at full speed
  reset              sends half of the first range, then resets the connection
                     (TCP RST); later requests are served
  reset-all          the same for every range: no connection finishes its range
  outage             sends half of the first range, resets the connection and
                     refuses every connection (nothing listens) for
                     --outage-seconds (default 10); then serves as usual
  stall-each         every range stops after --stall-after bytes of its body
                     (default 64 KiB) and holds its connection silent for
                     --stall-seconds: each connection brings a little, none
                     finishes

--cut-count N limits drop and reset-all to the first N ranges; later ones are
served whole.

--rate BYTES limits the package's bytes to that many per second over all
connections together (a slow line, so that a test can watch or interrupt a
download).

--rtt-ms MS makes the server as far away as that round-trip time: a new
connection waits two round trips before its TLS handshake (the TCP set-up
and the handshake's own), and every request one before its answer (the
request on its way in, the answer's first byte on its way out).

--close-each answers every request with "Connection: close" and closes the
connection after the answer, as some servers and proxies do.

Every connection whose TLS handshake completes is logged as "handshake <n>",
n counting from 1, so that a test can count the connections a download
opened.

Where a fault holds a connection silent, the log gets a line
"stall at <package byte>" when the silence begins; an outage logs
"outage begins" and "outage ends".

Prints "ready <port>" on stdout once it accepts connections.
"""
import argparse
import email.utils
import fcntl
import hashlib
import http.server
import os
import re
import socket
import ssl
import struct
import sys
import termios
import threading
import time
import urllib.parse

PACKAGE_PATH = "/SW_UPDATE/KV_MERIDEL/Korvane.zip"
PAC_PATH = "/proxy.pac"
DEFAULT_CA_DIR = "/var/lib/korvane-test-ca"
RANGE_PATTERN = re.compile(r"^bytes=(\d+)-(\d*)$")
COPY_BLOCK = 256 * 1024
CHUNK_SIZE = 4 * 1024 * 1024  # the installer's Range requests
TRICKLE_RATE = 300
STALL_EACH_AFTER = 64 * 1024
NOT_FOUND_PAGE = (b"<html><head><title>404 Not Found</title></head>"
                  b"<body><h1>Not Found</h1></body></html>\n")


class PackageHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KorvanePackageServer/1"

    def log_message(self, fmt, *args):  # the request log replaces the default one
        pass

    def log_request_line(self):
        line = "%s %s range=%s" % (self.command, self.path, self.headers.get("Range", "-"))
        if "If-Range" in self.headers:
            line += " if-range " + self.headers["If-Range"]
        self.server.log_line(line)

    def target_path(self):
        """The path of the request target; a proxy client may send the absolute form."""
        return urllib.parse.urlsplit(self.path).path if "://" in self.path else self.path

    def do_GET(self):
        self.log_request_line()
        if self.server.rtt:
            time.sleep(self.server.rtt)
        if self.server.close_each:
            self.close_connection = True
        try:
            path = self.target_path()
            if path == PAC_PATH and self.server.pac_proxy:
                return self.send_pac()
            if self.server.fault == "not-found" or path != PACKAGE_PATH:
                return self.send_bytes(404, NOT_FOUND_PAGE, "text/html")
            if self.server.fault == "no-headers":
                return self.hold_silent("-")
            self.send_package()
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            self.close_connection = True

    def send_pac(self):
        script = ('function FindProxyForURL(url, host) { return "PROXY %s"; }\n'
                  % self.server.pac_proxy).encode("ascii")
        self.send_bytes(200, script, "application/x-ns-proxy-autoconfig")

    def end_headers(self):
        if self.server.close_each:
            self.send_header("Connection", "close")
        super().end_headers()

    def send_bytes(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_package(self):
        size = os.path.getsize(self.server.package)
        first, last = 0, size - 1
        match = RANGE_PATTERN.match(self.headers.get("Range", ""))
        validator = self.headers.get("If-Range")
        current = validator in (None, self.server.etag, self.server.last_modified)
        ranged = bool(match) and self.server.fault != "ignore-range" and current
        if ranged:
            first = int(match.group(1))
            last = min(int(match.group(2)) if match.group(2) else size - 1, size - 1)
            if first > last:
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
        length = last - first + 1 if size else 0
        self.send_response(206 if ranged else 200)
        self.send_header("Content-Type", "application/zip")
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("ETag", self.server.etag)
        self.send_header("Last-Modified", self.server.last_modified)
        if ranged:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, size))
        if self.server.fault == "no-content-length":
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        if self.command == "HEAD":
            return
        fault = self.server.fault
        if ranged and fault in ("stall-all", "drop-at"):
            stop = max(first, self.server.stall_after if self.server.stall_after is not None else CHUNK_SIZE // 2)
            if stop < first + length:
                self.copy_range(first, stop - first)
                if fault == "stall-all":
                    return self.hold_silent(stop)
                self.wfile.flush()
                self.close_connection = True
                return self.connection.shutdown(2)
        if ranged and fault == "stall-each":
            stop = self.server.stall_after if self.server.stall_after is not None else STALL_EACH_AFTER
            if stop < length:
                self.copy_range(first, stop)
                return self.hold_silent(first + stop)
        cut = None
        if ranged and self.server.take_cut():
            cut = length // 2
            if fault == "stall" and self.server.stall_after is not None:
                cut = min(self.server.stall_after, length)
        if ranged and fault == "trickle" and self.server.take_trickle():
            first, length = self.trickle(first, length)
        self.copy_range(first, length if cut is None else cut)
        if cut is not None:
            self.wfile.flush()
            if fault == "stall":
                return self.hold_silent(first + cut)
            if fault == "outage":
                self.server.begin_outage()
            if fault in ("reset", "reset-all", "outage"):
                # A reset throws away what the client has received but not yet
                # read, the answer's headers too: it is sent only once the
                # client has taken in what was sent and had time to read it.
                self.wait_until_sent()
                time.sleep(0.5)
                # A zero linger time makes the close send RST instead of FIN.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.close_connection = True
                return
            self.close_connection = True
            self.connection.shutdown(2)

    do_HEAD = do_GET

    def hold_silent(self, position):
        """Sends nothing more on this connection for --stall-seconds, then drops it."""
        self.wfile.flush()
        self.server.log_line("stall at %s" % position)
        time.sleep(self.server.stall_seconds)
        self.close_connection = True
        self.connection.shutdown(2)

    def trickle(self, first, length):
        """Sends the start of a range a few bytes at a time; returns what is left."""
        piece = max(1, int(self.server.rate or TRICKLE_RATE) // 10)
        deadline = time.monotonic() + self.server.trickle_seconds
        with open(self.server.package, "rb") as package:
            package.seek(first)
            while length > 0 and time.monotonic() < deadline:
                block = package.read(min(piece, length))
                self.wfile.write(block)
                self.wfile.flush()
                first += len(block)
                length -= len(block)
                time.sleep(0.1)
        return first, length

    def wait_until_sent(self, limit_seconds=5.0):
        """Waits, at most limit_seconds, until the client has acknowledged every byte sent."""
        outq = bytearray(4)
        for _ in range(int(limit_seconds / 0.02)):
            fcntl.ioctl(self.connection.fileno(), termios.TIOCOUTQ, outq)
            if struct.unpack("i", outq)[0] == 0:
                return
            time.sleep(0.02)

    def copy_range(self, first, length):
        rate = 0 if self.server.fault == "trickle" else self.server.rate
        # A limited line carries its bytes evenly, a twentieth of a second's
        # worth at a time, not in bursts with silences between them.
        step = min(COPY_BLOCK, max(4096, int(rate / 20))) if rate else COPY_BLOCK
        with open(self.server.package, "rb") as package:
            package.seek(first)
            left = length
            while left > 0:
                block = package.read(min(step, left))
                if not block:
                    break
                if rate:
                    self.server.wait_for_line()
                self.wfile.write(block)
                left -= len(block)
                if rate:
                    self.wfile.flush()
                    self.server.pace(len(block))


class PackageServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, options, context):
        super().__init__(("127.0.0.1", port), PackageHandler)
        self.context = context
        self.rtt = options.rtt_ms / 1000.0
        self.close_each = options.close_each
        self.handshakes = 0
        self.line_free = 0.0
        self.package = options.file
        with open(options.file, "rb") as package:
            self.etag = '"%s"' % hashlib.sha256(package.read()).hexdigest()[:32]
        self.last_modified = email.utils.formatdate(os.path.getmtime(options.file), usegmt=True)
        self.fault = options.fault
        self.stall_seconds = options.stall_seconds
        self.stall_after = options.stall_after
        self.trickle_seconds = options.trickle_seconds
        self.trickle_done = False
        self.rate = options.rate
        self.pac_proxy = options.pac_proxy
        self.log_file = open(options.log, "a", buffering=1) if options.log else sys.stderr
        self.lock = threading.Lock()
        self.cuts = 0
        self.cut_count = options.cut_count
        self.outage_seconds = options.outage_seconds
        self.outage_pending = False

    def finish_request(self, request, client_address):
        """Runs on the connection's own thread: its set-up (the round trips,
        the TLS handshake) holds up no other connection."""
        if self.rtt:
            time.sleep(2 * self.rtt)
        try:
            secure = self.context.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError):
            return
        with self.lock:
            self.handshakes += 1
            number = self.handshakes
        self.log_line("handshake %d" % number)
        try:
            self.RequestHandlerClass(secure, client_address, self)
        finally:
            try:
                secure.shutdown(socket.SHUT_WR)
            except OSError:
                pass
            secure.close()

    def wait_for_line(self):
        """Waits until the line, shared by every connection, has carried what was sent before."""
        with self.lock:
            free = self.line_free
        time.sleep(max(0.0, free - time.monotonic()))

    def pace(self, count):
        """Takes the line for the count bytes just sent and waits until it has carried them."""
        with self.lock:
            start = max(time.monotonic(), self.line_free)
            self.line_free = start + count / self.rate
            done = self.line_free
        time.sleep(max(0.0, done - time.monotonic()))

    def log_line(self, line):
        with self.lock:
            self.log_file.write(line + "\n")
            self.log_file.flush()

    def take_cut(self):
        """True for the ranged answers a fault cuts."""
        with self.lock:
            if self.fault not in ("drop", "drop-once", "stall", "reset", "reset-all", "outage"):
                return False
            # "drop" and "reset-all" cut every range (or the first
            # --cut-count), the others only the first.
            every = self.fault in ("drop", "reset-all")
            limit = (self.cut_count or float("inf")) if every else 1
            if self.cuts >= limit:
                return False
            self.cuts += 1
            return True

    def begin_outage(self):
        """Stops accepting connections; the main loop closes the socket and reopens it later."""
        self.outage_pending = True
        self.log_line("outage begins")
        threading.Thread(target=self.shutdown, daemon=True).start()

    def run(self):
        """Serves until stopped; an outage closes the listening socket for its length."""
        while True:
            self.serve_forever()
            if not self.outage_pending:
                return
            self.outage_pending = False
            self.socket.close()
            time.sleep(self.outage_seconds)
            self.socket = socket.socket(self.address_family, self.socket_type)
            self.server_bind()
            self.server_activate()
            self.log_line("outage ends")


    def take_trickle(self):
        """True once, for the first ranged answer."""
        with self.lock:
            first = not self.trickle_done
            self.trickle_done = True
            return first


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--file", required=True, help="the package to serve")
    parser.add_argument("--port", type=int, default=8443, help="0 picks a free port")
    parser.add_argument("--cert", default=os.path.join(DEFAULT_CA_DIR, "server.crt"))
    parser.add_argument("--key", default=os.path.join(DEFAULT_CA_DIR, "server.key"))
    parser.add_argument("--log", help="request log file (default: stderr)")
    parser.add_argument("--fault", default="none",
                        choices=["none", "no-content-length", "not-found", "ignore-range", "drop", "drop-once", "stall",
                                 "stall-all", "drop-at", "no-headers", "trickle", "reset", "reset-all", "outage", "stall-each"])
    parser.add_argument("--cut-count", type=int, default=0, help="ranges drop and reset-all cut (default: all)")
    parser.add_argument("--outage-seconds", type=float, default=10.0)
    parser.add_argument("--stall-seconds", type=float, default=75.0)
    parser.add_argument("--stall-after", type=int, help="bytes (stall, stall-each) or package byte (stall-all, drop-at)")
    parser.add_argument("--trickle-seconds", type=float, default=20.0)
    parser.add_argument("--rate", type=float, default=0, help="bytes per second (default: unlimited)")
    parser.add_argument("--pac-proxy", help="host:port the auto-config script names")
    parser.add_argument("--rtt-ms", type=float, default=0, help="round-trip time to add (default: none)")
    parser.add_argument("--close-each", action="store_true", help="close every connection after its answer")
    return parser.parse_args(argv)


def main(argv):
    options = parse_arguments(argv)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(options.cert, options.key)
    server = PackageServer(options.port, options, context)
    print("ready %d" % server.server_address[1], flush=True)
    try:
        server.run()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

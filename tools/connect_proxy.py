#!/usr/bin/env python3
"""A small HTTP proxy for the tests: CONNECT tunnels to loopback targets only.

Listens on 127.0.0.1. Every CONNECT is logged, one line each, as
"CONNECT host:port", to --log (or stderr); any other method gets 405, and a
target outside the loopback range gets 403, so the tests can never reach
another machine through it. Prints "ready <port>" once it accepts.
"""
import argparse
import select
import socket
import socketserver
import sys
import threading

LOOPBACK_HOSTS = ("localhost", "127.0.0.1", "::1")
HEADER_LIMIT = 65536
IDLE_SECONDS = 120


class TunnelHandler(socketserver.BaseRequestHandler):
    def handle(self):
        head = self.read_head()
        if head is None:
            return
        parts = head.split(b"\r\n", 1)[0].decode("latin-1").split()
        if len(parts) < 2 or parts[0].upper() != "CONNECT":
            return self.answer(b"405 Method Not Allowed")
        self.server.log_line("CONNECT " + parts[1])
        host, _, port = parts[1].rpartition(":")
        host = host.strip("[]")
        if (host not in LOOPBACK_HOSTS and not host.startswith("127.")) or not port.isdigit():
            return self.answer(b"403 Forbidden")
        try:
            upstream = socket.create_connection((host, int(port)), timeout=10)
        except OSError:
            return self.answer(b"502 Bad Gateway")
        with upstream:
            self.answer(b"200 Connection established")
            self.relay(upstream)

    def read_head(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(4096)
            if not chunk or len(data) > HEADER_LIMIT:
                return None
            data += chunk
        return data

    def answer(self, status):
        # A tunnel's answer carries no body and, as real proxies send it, no length.
        length = b"" if status.startswith(b"200") else b"Content-Length: 0\r\n"
        self.request.sendall(b"HTTP/1.1 " + status + b"\r\n" + length + b"\r\n")

    def relay(self, upstream):
        sockets = [self.request, upstream]
        upstream.settimeout(None)
        while True:
            ready, _, _ = select.select(sockets, [], [], IDLE_SECONDS)
            if not ready:
                return
            for source in ready:
                target = upstream if source is self.request else self.request
                try:
                    data = source.recv(65536)
                    if not data:
                        return
                    target.sendall(data)
                except OSError:
                    return


class ProxyServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port, log_path):
        super().__init__(("127.0.0.1", port), TunnelHandler)
        self.log_file = open(log_path, "a", buffering=1) if log_path else sys.stderr
        self.lock = threading.Lock()

    def log_line(self, line):
        with self.lock:
            self.log_file.write(line + "\n")
            self.log_file.flush()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--log", help="request log file (default: stderr)")
    options = parser.parse_args(argv)
    server = ProxyServer(options.port, options.log)
    print("ready %d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

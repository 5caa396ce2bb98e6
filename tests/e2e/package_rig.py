"""The local HTTPS package server and the CONNECT proxy, run for one test.

Both listen on 127.0.0.1 only and are stopped by their process id when the
test ends. The installer built for the tests has localhost:8443 compiled in,
so the package server takes that port; it waits a bounded time when another
test run holds it.
"""
import os
import subprocess
import sys
import time
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parents[2]
TOOLS = SOURCE_DIR / "tools"
CA_DIR = Path(os.environ.get("KORVANE_TEST_CA_DIR", "/var/lib/korvane-test-ca"))
PACKAGE_PORT = 8443
START_TIMEOUT = 20
PORT_WAIT = 90


class Service:
    """A helper server process and the log of the requests it saw."""

    def __init__(self, command, log_path):
        self.log_path = Path(log_path)
        self.log_path.write_text("")
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("ready "):
            error = ""
            try:
                self.process.wait(timeout=5)
                error = self.process.stderr.read()
            except subprocess.TimeoutExpired:
                pass
            self.stop()
            raise OSError("could not start %s: %s" % (command[1], error.strip() or line))
        self.port = int(line.split()[1])

    def requests(self):
        return [line for line in self.log_path.read_text().splitlines()
                if not line.startswith(("stall at ", "handshake "))]

    def handshakes(self):
        """The connections the package server set up (TLS handshakes completed)."""
        return sum(1 for line in self.log_path.read_text().splitlines() if line.startswith("handshake "))

    def stalls(self):
        """Where the server fell silent, one entry per stalled connection."""
        return [line.split()[-1] for line in self.log_path.read_text().splitlines() if line.startswith("stall at ")]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)
        for stream in (self.process.stdout, self.process.stderr):
            if stream:
                stream.close()


def require_test_ca():
    for name in ("server.crt", "server.key", "untrusted.crt", "untrusted.key"):
        if not (CA_DIR / name).exists():
            raise RuntimeError("the test CA is missing: run tools/rig/install_test_ca.sh as root")


def start_package_server(package, log_path, fault="none", untrusted=False, pac_proxy=None,
                         stall_seconds=None, rate=None, stall_after=None, trickle_seconds=None,
                         cut_count=None, outage_seconds=None, rtt_ms=None, close_each=False):
    require_test_ca()
    prefix = "untrusted" if untrusted else "server"
    command = [sys.executable, str(TOOLS / "package_server.py"), "--file", str(package),
               "--port", str(PACKAGE_PORT), "--log", str(log_path), "--fault", fault,
               "--cert", str(CA_DIR / (prefix + ".crt")), "--key", str(CA_DIR / (prefix + ".key"))]
    if pac_proxy:
        command += ["--pac-proxy", pac_proxy]
    if stall_seconds:
        command += ["--stall-seconds", str(stall_seconds)]
    if rate:
        command += ["--rate", str(rate)]
    if stall_after is not None:
        command += ["--stall-after", str(stall_after)]
    if trickle_seconds:
        command += ["--trickle-seconds", str(trickle_seconds)]
    if cut_count:
        command += ["--cut-count", str(cut_count)]
    if outage_seconds:
        command += ["--outage-seconds", str(outage_seconds)]
    if rtt_ms:
        command += ["--rtt-ms", str(rtt_ms)]
    if close_each:
        command += ["--close-each"]
    deadline = time.monotonic() + PORT_WAIT
    while True:
        try:
            return Service(command, log_path)
        except OSError as error:
            if "in use" not in str(error) or time.monotonic() > deadline:
                raise
            time.sleep(2)


def start_proxy(log_path):
    return Service([sys.executable, str(TOOLS / "connect_proxy.py"), "--port", "0",
                    "--log", str(log_path)], log_path)

#!/usr/bin/env python3
"""Download benchmark: the real WinHTTP download under Wine against curl.

For a package of about 150 MB served by the local package server, it times
the download probe (the program's own download code under Wine, less the
time Wine takes to start a program) and curl fetching the same size probe
and 4 MiB ranges with a new connection for each range, and reports the
ratio. It also reports the peak memory (VmHWM) of the downloading process
for a 16 MB and a 150 MB package, which must not grow with the package.

  /usr/bin/python3 bench/download_bench.py [--build-dir build/win32-local]

Needs the test CA (tools/rig/install_test_ca.sh) and port 8443 free.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(SOURCE_DIR / "tools" / "rig"))
sys.path.insert(0, str(SOURCE_DIR / "tests" / "e2e"))

import package_rig  # noqa: E402
import wine_rig  # noqa: E402

CHUNK = 4 * 1024 * 1024
URL = "https://localhost:8443/SW_UPDATE/KV_MERIDEL/Korvane.zip"
PROBE_NAME = "KorvaneDownloadProbe.exe"
POLL_SECONDS = 0.1
MiB = 1024 * 1024


def make_package(path, size):
    with open(path, "wb") as out:
        left = size
        while left:
            block = os.urandom(min(left, 8 * MiB))
            out.write(block)
            left -= len(block)


class PeakMemory:
    """Follows the largest VmHWM of the probe's process while it runs."""

    def __init__(self):
        self.peak_kib = 0
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self.watch, daemon=True)
        self.thread.start()

    def watch(self):
        while not self.stopped.is_set():
            for pid in os.listdir("/proc"):
                if not pid.isdigit():
                    continue
                try:
                    cmdline = Path("/proc", pid, "cmdline").read_bytes()
                    if PROBE_NAME.encode() not in cmdline:
                        continue
                    for line in Path("/proc", pid, "status").read_text().splitlines():
                        if line.startswith("VmHWM:"):
                            self.peak_kib = max(self.peak_kib, int(line.split()[1]))
                except OSError:
                    continue
            time.sleep(POLL_SECONDS)

    def stop(self):
        self.stopped.set()
        self.thread.join()
        return self.peak_kib


def run_probe(prefix, probe, folder, *args):
    windows_folder = "Z:" + str(folder).replace("/", "\\") + "\\"
    started = time.monotonic()
    code, out, _ = wine_rig.run(prefix, probe, [windows_folder] + list(args))
    elapsed = time.monotonic() - started
    return code, out, elapsed


def curl_download(size, target):
    started = time.monotonic()
    subprocess.run(["curl", "-sS", "-o", "/dev/null", "-D", "-", URL], check=True, stdout=subprocess.DEVNULL)
    with open(target, "wb") as out:
        for first in range(0, size, CHUNK):
            last = min(first + CHUNK, size) - 1
            subprocess.run(["curl", "-sS", "-r", "%d-%d" % (first, last), URL], check=True, stdout=out)
    return time.monotonic() - started


def measure(prefix, probe, work, size):
    package = work / ("package-%d.zip" % size)
    make_package(package, size)
    server = package_rig.start_package_server(package, work / "requests.log")
    try:
        folder = work / ("download-%d" % size)
        folder.mkdir()
        memory = PeakMemory()
        code, out, elapsed = run_probe(prefix, probe, folder)
        peak = memory.stop()
        wine_rig.wait_wineserver(prefix)
        if code != 0 or (folder / "Korvane.zip").stat().st_size != size:
            raise RuntimeError("the probe did not download the package: " + out[-500:])
        curl_seconds = curl_download(size, work / ("curl-%d.zip" % size))
    finally:
        server.stop()
    return elapsed, curl_seconds, peak


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default=str(SOURCE_DIR / "build" / (wine_rig.wine_arch() + "-local")))
    parser.add_argument("--large-mb", type=int, default=150)
    parser.add_argument("--small-mb", type=int, default=16)
    options = parser.parse_args(argv)
    probe = Path(options.build_dir) / "tests" / "probes" / PROBE_NAME
    prefix = wine_rig.make_prefix(Path(options.build_dir) / "wine" / "bench-prefix")
    with tempfile.TemporaryDirectory(prefix="korvane-bench-") as temp:
        work = Path(temp)
        # What Wine alone costs to start and end the program (usage error, exit 2).
        started = time.monotonic()
        wine_rig.run(prefix, probe, [])
        wine_rig.wait_wineserver(prefix)
        startup = time.monotonic() - started
        results = {}
        for megabytes in (options.small_mb, options.large_mb):
            results[megabytes] = measure(prefix, probe, work, megabytes * 1000 * 1000)
    print("wine start-up of the probe: %.2f s" % startup)
    for megabytes, (elapsed, curl_seconds, peak) in results.items():
        download = max(elapsed - startup, 0.001)
        print("%4d MB: WinHTTP under Wine %.2f s (%.2f s with start-up), curl %.2f s, ratio %.2f, "
              "peak memory of the probe %.1f MiB" % (megabytes, download, elapsed, curl_seconds,
                                                     download / curl_seconds, peak / 1024))
    small, large = results[options.small_mb][2], results[options.large_mb][2]
    print("peak memory growth from %d MB to %d MB: %.1f MiB" % (options.small_mb, options.large_mb,
                                                               (large - small) / 1024))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

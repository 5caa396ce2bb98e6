#!/usr/bin/env python3
"""Far server benchmark: the install against one GET on lines near and far.

The ~155 MB package of bench/streamed_install_bench.py (2,000 files) is
served by tools/package_server.py on each of these lines in turn:

  6 MB/s, RTT 0          the line's rate limit (all connections together)
  6 MB/s, RTT 100 ms     the same server as far as another continent
  no limit, RTT 100 ms   a fast line to a far server
  no limit, RTT 0        loopback
  6 MB/s, RTT 100 ms, the server closes every connection after its answer

and, RUNS times each (default 3), in turn:

  install    KorvaneInstaller.exe /path=E:\\ onto the exFAT image shown as USB
             drive E: (Wine start-up included)
  one GET    curl fetching the whole package on one connection, then bsdtar
             extracting it onto the same drive: what the line allows

It prints the least, median and largest of each, the ratio of the medians,
and the connections (TLS handshakes, counted by the server) of each install.

  /usr/bin/python3 bench/far_server_bench.py [RUNS] [--rate BYTES] [--rtt-ms MS] [--only N,...]
      [--build-dir DIR]

--only picks lines by their number in the list above (1-5). Needs what
bench/streamed_install_bench.py needs: the win64-local (or win32-local)
build, the test CA, root (loop device and FUSE) and port 8443; run it in a
private network namespace when other runs share the machine.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("runs", nargs="?", type=int, default=3)
    parser.add_argument("--rate", type=int, default=6000000, help="bytes per second of the limited line")
    parser.add_argument("--rtt-ms", type=float, default=100, help="round-trip time of the far lines")
    parser.add_argument("--only", help="the lines to measure, by number (default: all)")
    parser.add_argument("--build-dir", help="the build to measure (default: the one this machine runs)")
    return parser.parse_args()


OPTIONS = parse_arguments()
if OPTIONS.build_dir:
    os.environ["KORVANE_BUILD_DIR"] = str(Path(OPTIONS.build_dir).resolve())

sys.path.insert(0, str(Path(__file__).resolve().parent))
import streamed_install_bench as streamed  # noqa: E402
from streamed_install_bench import package_rig  # noqa: E402

URL = "https://localhost:8443/SW_UPDATE/KV_MERIDEL/Korvane.zip"


def lines():
    rate, rtt = OPTIONS.rate, OPTIONS.rtt_ms
    mb = "%.0f MB/s" % (rate / 1e6)
    return [
        ("%s, RTT 0" % mb, dict(rate=rate)),
        ("%s, RTT %.0f ms" % (mb, rtt), dict(rate=rate, rtt_ms=rtt)),
        ("no limit, RTT %.0f ms" % rtt, dict(rtt_ms=rtt)),
        ("no limit, RTT 0", dict()),
        ("%s, RTT %.0f ms, server closes each" % (mb, rtt), dict(rate=rate, rtt_ms=rtt, close_each=True)),
    ]


def one_get(rig):
    rig.empty_stick()
    archive = rig.work / "one-get.zip"
    started = time.monotonic()
    subprocess.run(["curl", "-sS", "-o", str(archive), URL], check=True)
    subprocess.run(["bsdtar", "-xf", str(archive), "-C", str(rig.stick.mount_point)], check=True)
    took = time.monotonic() - started
    archive.unlink()
    return took


def cell(values):
    return "%6.2f (%.2f-%.2f)" % (statistics.median(values), min(values), max(values))


def main():
    package = streamed.make_package(streamed.PACKAGE)
    with zipfile.ZipFile(package) as z:
        unpacked = sum(i.file_size for i in z.infolist())
    chosen = lines()
    if OPTIONS.only:
        chosen = [chosen[int(n) - 1] for n in OPTIONS.only.split(",")]
    results = []
    with tempfile.TemporaryDirectory(prefix="korvane-far-bench-") as temp:
        rig = streamed.Rig(Path(temp))
        try:
            for label, options in chosen:
                server = package_rig.start_package_server(package, rig.root / "requests.log", **options)
                install, get, connections = [], [], []
                try:
                    for _ in range(OPTIONS.runs):
                        before = server.handshakes()
                        install.append(rig.install())
                        connections.append(server.handshakes() - before)
                        get.append(one_get(rig))
                finally:
                    server.stop()
                results.append((label, install, get, connections))
                print("measured: %s" % label, file=sys.stderr, flush=True)
        finally:
            rig.close()
    print("package: %.1f MB, %.1f MB unpacked, onto an exFAT image; %d runs each; seconds, median (least-largest)"
          % (package.stat().st_size / 1e6, unpacked / 1e6, OPTIONS.runs))
    print("| line | install | one GET + bsdtar | install / one GET | connections per install |")
    print("|---|---|---|---|---|")
    for label, install, get, connections in results:
        print("| %s | %s | %s | %.2fx | %s |" % (label, cell(install), cell(get),
                                               statistics.median(install) / statistics.median(get),
                                               ", ".join(str(c) for c in connections)))
    return 0


if __name__ == "__main__":
    sys.exit(main())

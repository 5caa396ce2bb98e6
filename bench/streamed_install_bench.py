#!/usr/bin/env python3
"""Streamed install benchmark: the whole install against the download alone
and against the install that extracts only after the last byte.

A package of about 155 MB (the signed stub as Korvane.exe beside 2,000
mixed files, about 230 MB unpacked) is served by tools/package_server.py,
the line (all connections together) limited to RATE bytes a second (default 6,000,000: a
50 Mbit/s line), and installed under Wine onto an exFAT image (mkfs.exfat,
exfat-fuse) shown as USB drive E:. Each of RUNS rounds (default 3) times,
in turn:

  install      KorvaneInstaller.exe /path=E:\\ (the extraction follows the download)
  sequential   KorvaneInstallProbe.exe E:\\ ... --sequential: the same engine with
               the extraction that waits for the whole archive
  download     KorvaneDownloadProbe.exe: the same ranges fetched by the
               program's download code, nothing extracted

and then the same without a rate limit on loopback, where the install is
also set against curl (a size probe and a new connection per 4 MiB range)
followed by bsdtar extracting onto the same drive. Every time includes
starting the program under Wine. Prints the least, median and largest of
each, and the ratios of the medians.

  /usr/bin/python3 bench/streamed_install_bench.py [RUNS] [--rate BYTES] [--build-dir DIR]

Needs the win64-local (or win32-local) build, the test CA, root (loop
device and FUSE) and port 8443: run it in a private network namespace
(unshare -n, then ip link set lo up) when other runs share the machine.
The package is kept in build/bench between runs.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(SOURCE_DIR / "tools" / "rig"))
sys.path.insert(0, str(SOURCE_DIR / "tests" / "e2e"))
sys.path.insert(0, str(SOURCE_DIR / "bench"))


def parse_arguments(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("runs", nargs="?", type=int, default=3)
    parser.add_argument("--rate", type=int, default=6000000, help="bytes per second of the line")
    parser.add_argument("--build-dir", help="the build to measure (default: the one this machine runs)")
    return parser.parse_args(argv)


# Imported by bench/far_server_bench.py, which parses its own arguments.
OPTIONS = parse_arguments() if __name__ == "__main__" else parse_arguments([])
if OPTIONS.build_dir:
    os.environ["KORVANE_BUILD_DIR"] = str(Path(OPTIONS.build_dir).resolve())

import conftest  # noqa: E402
import package_rig  # noqa: E402
import test_exfat_drive  # noqa: E402
import wine_rig  # noqa: E402
from download_bench import curl_download  # noqa: E402
from zip_extract_bench import compressible  # noqa: E402

PACKAGE = SOURCE_DIR / "build" / "bench" / "streamed-155mb.zip"
PROBES = conftest.BUILD_DIR / "tests" / "probes"
STICK_MEGABYTES = 1024


def make_package(path):
    """The stub application and 2,000 files in 50 folders, sizes
    log-uniform from 2 KB to 700 KB, half text, half random."""
    if path.exists():
        return path
    path.parent.mkdir(parents=True, exist_ok=True)
    rng = random.Random(22)
    part = path.with_suffix(".part")
    with zipfile.ZipFile(part, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        z.writestr("Korvane.exe", (conftest.BUILD_DIR / "tools" / "stub_app" / "StubKorvane.exe").read_bytes())
        for i in range(2000):
            size = int(2000 * (700000 / 2000) ** rng.random())
            data = compressible(rng, size) if i % 2 == 0 else rng.randbytes(size)
            z.writestr("Data/folder%02d/file%05d.%s" % (i % 50, i, "txt" if i % 2 == 0 else "bin"), data)
    part.rename(path)
    return path


class Rig:
    def __init__(self, root):
        self.root = root
        self.screen = wine_rig.VirtualScreen()
        prefix = wine_rig.make_prefix(root / "prefix")
        wine_rig.register_wmi_provider(prefix, conftest.BUILD_DIR / "tests" / "fixtures" / "WmiProvider"
                                       / "FixtureWmiProvider.dll")
        self.machine = conftest.WineMachine(prefix, self.screen.display, root)
        self.machine.add_usb_drive("E", "KORVANE")
        test_exfat_drive.IMAGE_MEGABYTES = STICK_MEGABYTES
        self.stick = test_exfat_drive.ExfatStick(root)
        self.stick.plug()
        test_exfat_drive.show_drive(self.machine, self.stick, True)
        self.work = root / "work"
        self.work.mkdir()

    def empty_stick(self):
        for entry in self.stick.mount_point.iterdir():
            if entry.is_dir():
                shutil.rmtree(entry)
            else:
                entry.unlink()

    def timed(self, program, *args):
        self.empty_stick()
        shutil.rmtree(self.work, ignore_errors=True)
        self.work.mkdir()
        logged = len(self.machine.log_lines())
        started = time.monotonic()
        result = self.machine.run(program, *args, timeout=900)
        took = time.monotonic() - started
        if result.exit_code != 0:
            raise RuntimeError("%s ended with %d:\n%s" % (Path(program).name, result.exit_code,
                                                          "\n".join(self.machine.log_lines()[logged:])))
        return took

    def install(self):
        took = self.timed(self.machine.installer, "/path=E:\\")
        if not (self.stick.mount_point / "Korvane.exe").exists():
            raise RuntimeError("the install left no Korvane.exe")
        return took

    def sequential(self):
        return self.timed(PROBES / "KorvaneInstallProbe.exe", "E:\\", self.machine.windows_path(self.work) + "\\",
                          "--sequential")

    def download(self):
        return self.timed(PROBES / "KorvaneDownloadProbe.exe", self.machine.windows_path(self.work) + "\\")

    def curl_and_bsdtar(self, size):
        self.empty_stick()
        archive = self.work / "curl.zip"
        started = time.monotonic()
        curl_download(size, archive)
        subprocess.run(["bsdtar", "-xf", str(archive), "-C", str(self.stick.mount_point)], check=True)
        return time.monotonic() - started

    def close(self):
        wine_rig.stop_wineserver(self.machine.prefix)
        self.stick.close()
        wine_rig.remove_prefix(self.machine.prefix)
        self.screen.close()


def row(name, values, reference=None):
    median = statistics.median(values)
    ratio = "%5.2fx" % (median / statistics.median(reference)) if reference else "      "
    return "| %-44s | %7.2f | %7.2f | %7.2f | %s |" % (name, min(values), median, max(values), ratio)


def main():
    package = make_package(PACKAGE)
    size = package.stat().st_size
    with zipfile.ZipFile(package) as z:
        unpacked = sum(i.file_size for i in z.infolist())
    with tempfile.TemporaryDirectory(prefix="korvane-streamed-bench-") as temp:
        rig = Rig(Path(temp))
        try:
            results = {}
            for label, rate in (("%.1f MB/s line" % (OPTIONS.rate / 1e6), OPTIONS.rate),
                                ("loopback, no limit", None)):
                server = package_rig.start_package_server(package, rig.root / "requests.log", rate=rate)
                times = {"install": [], "sequential": [], "download": [], "curl": []}
                try:
                    for _ in range(OPTIONS.runs):
                        times["sequential"].append(rig.sequential())
                        times["install"].append(rig.install())
                        times["download"].append(rig.download())
                        if rate is None:
                            times["curl"].append(rig.curl_and_bsdtar(size))
                finally:
                    server.stop()
                results[label] = times
        finally:
            rig.close()
    print("package: %.1f MB, %.1f MB unpacked, %d runs each; seconds, Wine start-up included"
          % (size / 1e6, unpacked / 1e6, OPTIONS.runs))
    print("| %-44s | %7s | %7s | %7s | %-6s |" % ("", "least", "median", "largest", "ratio"))
    print("|%s|%s|%s|%s|%s|" % ("-" * 46, "-" * 9, "-" * 9, "-" * 9, "-" * 8))
    for label, times in results.items():
        print(row(label + ": download alone", times["download"]))
        print(row(label + ": install (extraction follows)", times["install"], times["download"]))
        print(row(label + ": sequential install", times["sequential"], times["download"]))
        if times["curl"]:
            print(row(label + ": curl per range + bsdtar", times["curl"]))
            print(row(label + ": install against curl + bsdtar", times["install"], times["curl"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())

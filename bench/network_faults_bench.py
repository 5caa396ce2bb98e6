#!/usr/bin/env python3
"""Network-fault benchmark: how fast the installer lets the user go.

Runs the real installer under Wine against the local package server's faults
and prints, over RUNS runs each (default 3), the least, median and largest
of:

- cancel latency: from a real click on the progress screen's close button to
  the end of the installer's process, with the worker waiting for headers
  that never come, reading a body that stopped, in a drive query that takes a
  minute, and extracting a package of 4,000 files; for the download phases
  also to the log record that the download stopped (clock of the log,
  millisecond resolution). Under Xvfb, which runs no window manager,
  destroying a screen's window takes Wine 2 s (its X11 driver waits for the
  window manager's answer); that wait is part of "process gone";
- time to notice a stall: from the stalled range's request to the log record
  that it ended ("no data for 15 s"), the server having sent half the range
  and then nothing;
- time to fail: a windowless install from start to exit code 1, against a
  server that falls silent for good after 2 MiB, and against no server at
  all (connection refused);
- time to complete: a windowless install from start to exit code 0 with no
  fault (the reference), with one connection reset mid-package, and with the
  server refusing connections for 10 s mid-package;
- time to give up a dead route: a windowless install from start to exit
  code 1 against a server that resets every connection half-way through its
  range, and one that holds every connection silent after 64 KiB;
- a second run after a failed one: the bytes the second run asks for (the
  sum of its ranges) against the package's size, the first run having
  broken off for good at 60 % of the package.

  /usr/bin/python3 bench/network_faults_bench.py [RUNS] [--build-dir build/win64-local]
         [--only close,stall,fail,complete,dead,second-run]

Needs the build, the test CA (tools/rig/install_test_ca.sh) and port 8443
free: run it inside a private network namespace when other runs share the
machine (unshare -n, then ip link set lo up).
"""
import argparse
import datetime
import os
import re
import statistics
import sys
import tempfile
import time
import zipfile
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(SOURCE_DIR / "tools" / "rig"))
sys.path.insert(0, str(SOURCE_DIR / "tests" / "e2e"))


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("runs", nargs="?", type=int, default=3)
    parser.add_argument("--build-dir", help="the build to measure (default: the one this machine runs)")
    parser.add_argument("--only", default="close,stall,fail,complete,dead,second-run",
                        help="the groups of measurements to make, comma-separated")
    return parser.parse_args()


OPTIONS = parse_arguments()
if OPTIONS.build_dir:
    os.environ["KORVANE_BUILD_DIR"] = str(Path(OPTIONS.build_dir).resolve())

import conftest  # noqa: E402
import package_rig  # noqa: E402
import screens_rig as ui  # noqa: E402
import wine_rig  # noqa: E402

TIME_FORMAT = "%d/%m/%Y %H:%M:%S,%f"


class Bench:
    def __init__(self, root):
        self.root = Path(root)
        self.screen = wine_rig.VirtualScreen()
        self.template = wine_rig.make_prefix(self.root / "template")
        wine_rig.register_wmi_provider(self.template, conftest.BUILD_DIR / "tests" / "fixtures" / "WmiProvider"
                                       / "FixtureWmiProvider.dll")
        self.count = 0
        self.demo = self.root / "demo.zip"
        os.system("%s %s %s %s" % (sys.executable, SOURCE_DIR / "tools" / "make_demo_package.py",
                                   conftest.BUILD_DIR / "tools" / "stub_app" / "StubKorvane.exe", self.demo))
        self.many = self.root / "many.zip"
        with zipfile.ZipFile(self.many, "w", zipfile.ZIP_STORED) as archive:
            for n in range(4000):
                archive.writestr("Data/%02d/file%04d.dat" % (n % 40, n), bytes([n % 251]) * 2048)

    def machine(self):
        self.count += 1
        scratch = self.root / ("run%d" % self.count)
        scratch.mkdir()
        prefix = wine_rig.clone_prefix(self.template, scratch / "prefix")
        machine = conftest.WineMachine(prefix, self.screen.display, scratch)
        machine.add_usb_drive("E", "KORVANE USB")
        return machine

    def server(self, machine, **options):
        package = options.pop("package", self.demo)
        return package_rig.start_package_server(package, machine.scratch / "requests.log", **options)

    def done(self, machine, *services):
        for service in services:
            service.stop()
        for started in machine.started:
            started.kill()
        wine_rig.remove_prefix(machine.prefix)

    def close_latency(self, phase):
        machine = self.machine()
        env = {"KORVANE_WMI_DELAY_SECONDS": "60"} if phase == "drive query" else {}
        options = {"headers pending": dict(fault="no-headers", stall_seconds=120),
                   "body stalled": dict(fault="stall-all", stall_seconds=120),
                   "drive query": {}, "extraction": dict(package=self.many)}[phase]
        server = self.server(machine, **options)
        try:
            installer = machine.start_installer("--path", "E:\\", env=env)
            state = ui.reach_phase(machine, installer, server, phase.replace(" ", "_"))
            clicked_wall = time.time()
            clicked = time.monotonic()
            ui.click_control(machine, state, ui.CLOSE)
            while installer.running() and time.monotonic() < clicked + 60:
                time.sleep(0.01)
            gone = time.monotonic() - clicked
            stopped = [Seconds(conftest.LogRecord(line)) - clicked_wall for line in machine.log_lines()
                       if line.endswith("InstallBackend::Download Canceled")]
            return gone, stopped[-1] if stopped else None
        finally:
            self.done(machine, server)

    def stall_noticed(self):
        machine = self.machine()
        server = self.server(machine, fault="stall", stall_seconds=75)
        try:
            result = machine.run_installer("/path=E:\\")
            assert result.exit_code == 0, result.messages
            sent = None
            for record in result.records:
                if record.message == "InstallBackend::PerformRequest Sending HTTP Request...":
                    sent = record
                if "no data for" in record.message:
                    return Seconds(record) - Seconds(sent)
            raise AssertionError("no stall noticed")
        finally:
            self.done(machine, server)

    def failure(self, with_server):
        machine = self.machine()
        services = [self.server(machine, fault="stall-all", stall_seconds=200)] if with_server else []
        try:
            started = time.monotonic()
            result = machine.run_installer("/path=E:\\", timeout=300)
            took = time.monotonic() - started
            assert result.exit_code == 1
            return took
        finally:
            self.done(machine, *services)

    def install(self, expected_exit, **options):
        """Seconds of a windowless install against the server's fault."""
        machine = self.machine()
        server = self.server(machine, **options)
        try:
            started = time.monotonic()
            result = machine.run_installer("/path=E:\\", timeout=300)
            took = time.monotonic() - started
            assert result.exit_code == expected_exit, result.messages
            return took
        finally:
            self.done(machine, server)

    def second_run_share(self):
        """What a second run fetches, as a share of the package, after a first
        that broke off for good at 60 %."""
        machine = self.machine()
        size = self.demo.stat().st_size
        broken = self.server(machine, fault="drop-at", stall_after=size * 6 // 10)
        try:
            assert machine.run_installer("/path=E:\\", timeout=300).exit_code == 1
        finally:
            broken.stop()
        log = machine.scratch / "second-run.log"
        server = package_rig.start_package_server(self.demo, log)
        try:
            assert machine.run_installer("/path=E:\\", timeout=300).exit_code == 0
            fetched = 0
            for line in server.requests():
                match = re.search(r"range=bytes=(\d+)-(\d+)", line)
                if match:
                    fetched += int(match.group(2)) - int(match.group(1)) + 1
            return fetched / size
        finally:
            self.done(machine, server)

    def close(self):
        wine_rig.remove_prefix(self.template)
        self.screen.close()


def Seconds(record):
    stamp = record.line[:23]
    return datetime.datetime.strptime(stamp, TIME_FORMAT).timestamp()


def row(name, values):
    return "| %-52s | %4d | %7.2f | %7.2f | %7.2f |" % (name, len(values), min(values), statistics.median(values),
                                                       max(values))


def measure(bench, runs, groups):
    measurements = []
    if "close" in groups:
        for phase in ("headers pending", "body stalled", "drive query", "extraction"):
            results = [bench.close_latency(phase) for _ in range(runs)]
            measurements.append(("close to process gone, " + phase, [gone for gone, _ in results]))
            if results[0][1] is not None:
                measurements.append(("close to download stopped (log), " + phase, [stopped for _, stopped in results]))
    if "stall" in groups:
        measurements.append(("stall noticed after (request to record)", [bench.stall_noticed() for _ in range(runs)]))
    if "fail" in groups:
        measurements.append(("failure, server silent after 2 MiB (whole run)",
                             [bench.failure(True) for _ in range(runs)]))
        measurements.append(("failure, no server (whole run)", [bench.failure(False) for _ in range(runs)]))
    if "complete" in groups:
        for name, options in (("install, no fault (reference)", {}),
                              ("install, one reset mid-package", dict(fault="reset")),
                              ("install, refused for 10 s mid-package", dict(fault="outage", outage_seconds=10))):
            measurements.append((name, [bench.install(0, **options) for _ in range(runs)]))
    if "dead" in groups:
        for name, options in (("dead route given up, reset every range (whole run)", dict(fault="reset-all")),
                              ("dead route given up, silent after 64 KiB (whole run)",
                               dict(fault="stall-each", stall_seconds=30))):
            measurements.append((name, [bench.install(1, **options) for _ in range(runs)]))
    if "second-run" in groups:
        measurements.append(("second run after 60 %: fetched / package (ratio)",
                             [bench.second_run_share() for _ in range(runs)]))
    return measurements


def main():
    runs = OPTIONS.runs
    groups = set(OPTIONS.only.split(","))
    with tempfile.TemporaryDirectory(prefix="korvane-netbench-") as root:
        bench = Bench(root)
        try:
            measurements = measure(bench, runs, groups)
        finally:
            bench.close()
    print("| %-52s | runs | min (s) | median  | max (s) |" % "measurement")
    print("|%s|------|---------|---------|---------|" % ("-" * 54))
    for name, values in measurements:
        print(row(name, values))
    return 0


if __name__ == "__main__":
    sys.exit(main())

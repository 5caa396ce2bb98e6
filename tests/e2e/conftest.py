"""Fixtures for running the real KorvaneInstaller.exe under Wine.

Every test gets a private copy of one booted prefix, a virtual X screen
shared by the session, and helpers for drives, the stub application and
the installer's log.
"""
import os
import re
import shutil
import sys
from pathlib import Path

import pytest

SOURCE_DIR = Path(os.environ.get("KORVANE_SOURCE_DIR", Path(__file__).resolve().parents[2]))
sys.path.insert(0, str(SOURCE_DIR / "tools" / "rig"))

import wine_rig  # noqa: E402

# The build under test is the one for the architecture this machine runs
# (KORVANE_BUILD_DIR names another); the prefixes follow the program's own
# architecture, so a 64-bit build always runs in 64-bit prefixes.
BUILD_DIR = Path(os.environ.get("KORVANE_BUILD_DIR", SOURCE_DIR / "build" / (wine_rig.wine_arch() + "-local")))
INSTALLER = BUILD_DIR / "Installer" / "KorvaneInstaller.exe"
if INSTALLER.exists():
    os.environ["KORVANE_WINE_ARCH"] = wine_rig.pe_arch(INSTALLER)
ARCH = wine_rig.wine_arch()


def pytest_report_header(config):
    return "Windows programs: %s build in %s, under %s Wine" % (ARCH, BUILD_DIR, ARCH)

WORKING_FOLDER = "{502ABB8A-27F4-4A9D-A0B4-C99B926B99EE}"
RECORD_PATTERN = re.compile(r"^(\d\d)/(\d\d)/(\d{4}) (\d\d):(\d\d):(\d\d),(\d{3}) ([A-Z]+) \[(\w+)\] (.*)$")


class LogRecord:
    def __init__(self, line):
        match = RECORD_PATTERN.match(line)
        if not match:
            raise AssertionError("not a log record: %r" % line)
        self.line = line
        self.level = match.group(8)
        self.logger = match.group(9)
        self.message = match.group(10)

    def __repr__(self):
        return self.line


class RunResult:
    def __init__(self, exit_code, records, stdout, stderr):
        self.exit_code = exit_code
        self.records = records
        self.stdout = stdout
        self.stderr = stderr

    @property
    def messages(self):
        return [r.message for r in self.records]


class RunningProgram:
    """A Windows program started in the background; wait() gives its RunResult."""

    def __init__(self, machine, program, args, env):
        self.machine = machine
        self.log_start = len(machine.log_lines())
        extra = machine.base_env()
        extra.update(env or {})
        self.process = wine_rig.start(machine.prefix, program, list(args), extra_env=extra, display=machine.display)

    def running(self):
        return self.process.poll() is None

    def wait(self, timeout=300):
        """Waits for the program and for what it started; the run's log records
        come with the result."""
        code, out, err = self.process.wait(timeout=timeout)
        wine_rig.wait_wineserver(self.machine.prefix)
        records = [LogRecord(line) for line in self.machine.log_lines()[self.log_start:]]
        return RunResult(code, records, out, err)

    def kill(self):
        self.process.kill()


class WineMachine:
    """One test's Windows machine: a prefix copy with drives and a screen."""

    def __init__(self, prefix, display, scratch):
        self.prefix = prefix
        self.display = display
        self.scratch = scratch
        self.usb_disks = []
        self.started = []

    @property
    def installer(self):
        return INSTALLER

    @property
    def stub(self):
        return BUILD_DIR / "tools" / "stub_app" / "StubKorvane.exe"

    def add_drive(self, letter, label=None):
        """Maps a drive letter to a fresh folder and returns that folder."""
        folder = self.scratch / ("drive_" + letter.lower())
        wine_rig.map_drive(self.prefix, letter, folder, label)
        return folder

    def put_stub(self, folder, name="Korvane.exe"):
        target = Path(folder) / name
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(self.stub.read_bytes())
        return target

    def stub_record_file(self):
        return self.scratch / "stub.record"

    def stub_records(self):
        path = self.stub_record_file()
        return path.read_text(encoding="utf-8").splitlines() if path.exists() else []

    @property
    def log_file(self):
        return Path(wine_rig.temp_folder(self.prefix)) / WORKING_FOLDER / "Installer.log"

    def log_lines(self):
        if not self.log_file.exists():
            return []
        return self.log_file.read_bytes().decode("latin-1").splitlines()

    @property
    def wmi_fixture(self):
        return self.scratch / "wmi-fixture.txt"

    @property
    def wmi_log(self):
        return self.scratch / "wmi-queries.log"

    def set_disks(self, *disks):
        """Describes the machine's disks to the fixture WMI provider. Each disk
        is (InterfaceType, PNPDeviceID, DeviceID, {partition id: [(name,
        description), ...]}); None for a PNPDeviceID that is not a string."""
        lines = []
        for interface, pnp, device, partitions in disks:
            lines.append("disk\t%s\t%s\t%s" % (interface, "~" if pnp is None else pnp, device))
            for partition, logical_disks in partitions.items():
                lines.append("partition\t" + partition)
                lines.extend("logical\t%s\t%s" % pair for pair in logical_disks)
        self.wmi_fixture.write_text("\n".join(lines) + "\n", encoding="utf-8")

    def add_usb_drive(self, letter, label=None, serial="0123456789&0"):
        """A drive letter mapped to a folder that WMI reports as a USB disk."""
        folder = self.add_drive(letter, label)
        index = len(self.usb_disks) + 1
        self.usb_disks.append(("USB", "USBSTOR\\DISK&VEN_KORVANE&PROD_TEST\\" + serial,
                               "\\\\.\\PHYSICALDRIVE%d" % index,
                               {"Disk #%d, Partition #0" % index: [(letter + ":", "Removable Disk")]}))
        self.set_disks(*self.usb_disks)
        return folder

    def wmi_queries(self):
        return self.wmi_log.read_text(encoding="utf-8").splitlines() if self.wmi_log.exists() else []

    def windows_path(self, host_path):
        return "Z:" + str(host_path).replace("/", "\\")

    def base_env(self):
        return {"KORVANE_STUB_RECORD": self.windows_path(self.stub_record_file()),
                "KORVANE_STUB_SECONDS": "2",
                "KORVANE_WMI_FIXTURE": self.windows_path(self.wmi_fixture),
                "KORVANE_WMI_LOG": self.windows_path(self.wmi_log)}

    def run(self, program, *args, env=None, timeout=300):
        """Runs any Windows program in the prefix; returns RunResult without records."""
        extra = self.base_env()
        extra.update(env or {})
        code, out, err = wine_rig.run(self.prefix, program, list(args), extra_env=extra,
                                      timeout=timeout, display=self.display)
        wine_rig.wait_wineserver(self.prefix)
        return RunResult(code, [], out, err)

    def start(self, program, *args, env=None):
        """Starts a Windows program in the prefix without waiting for it."""
        started = RunningProgram(self, program, args, env)
        self.started.append(started)
        return started

    def start_installer(self, *args, env=None):
        return self.start(self.installer, *args, env=env)

    @property
    def window_probe(self):
        return BUILD_DIR / "tests" / "probes" / "WindowProbe.exe"

    def probe(self, *args, timeout=120):
        """Runs the window probe next to whatever runs; returns (exit code, stdout)."""
        code, out, _ = wine_rig.run_beside(self.prefix, self.window_probe, list(args), extra_env=self.base_env(),
                                           timeout=timeout, display=self.display)
        return code, out

    def run_installer(self, *args, env=None, timeout=300):
        """Runs the installer to its end and waits for what it started."""
        before = len(self.log_lines())
        result = self.run(self.installer, *args, env=env, timeout=timeout)
        result.records = [LogRecord(line) for line in self.log_lines()[before:]]
        return result


@pytest.fixture(scope="session")
def screen():
    display = wine_rig.VirtualScreen()
    yield display.display
    display.close()


@pytest.fixture(scope="session")
def template_prefix(tmp_path_factory):
    if not INSTALLER.exists():
        pytest.fail("the installer is not built in %s" % BUILD_DIR)
    prefix = wine_rig.make_prefix(tmp_path_factory.mktemp("template") / "prefix")
    # Every test machine answers WMI from its own fixture file; Wine's own
    # WMI knows no USB disks.
    wine_rig.register_wmi_provider(prefix, BUILD_DIR / "tests" / "fixtures" / "WmiProvider" / "FixtureWmiProvider.dll")
    wine_rig.map_fonts(prefix)
    yield prefix
    wine_rig.remove_prefix(prefix)


@pytest.fixture
def machine(template_prefix, screen, tmp_path):
    prefix = wine_rig.clone_prefix(template_prefix, tmp_path / "prefix")
    machine = WineMachine(prefix, screen, tmp_path)
    yield machine
    for started in machine.started:
        started.kill()
    # The installer's log is all that is worth keeping of the prefix; every
    # run has already waited for the prefix's programs to end.
    if machine.log_file.exists():
        shutil.copyfile(machine.log_file, tmp_path / "Installer.log")
    wine_rig.remove_prefix(prefix)


# --- The local package server --------------------------------------------

import subprocess  # noqa: E402
import zipfile  # noqa: E402

import package_rig  # noqa: E402


@pytest.fixture(scope="session")
def demo_package(tmp_path_factory):
    """The demo package: the stub application and data files, over 4 MiB."""
    path = tmp_path_factory.mktemp("package") / "Korvane.zip"
    subprocess.run([sys.executable, str(SOURCE_DIR / "tools" / "make_demo_package.py"),
                    str(BUILD_DIR / "tools" / "stub_app" / "StubKorvane.exe"), str(path)], check=True)
    return path


@pytest.fixture
def package_server(tmp_path, demo_package):
    """Starts the package server for one test: package_server(fault=..., package=...)."""
    servers = []

    def start(fault="none", package=None, **options):
        log = tmp_path / ("requests-%d.log" % len(servers))
        server = package_rig.start_package_server(package or demo_package, log, fault=fault, **options)
        servers.append(server)
        return server

    yield start
    for server in servers:
        server.stop()


@pytest.fixture
def small_usb_drive(machine, tmp_path):
    """small_usb_drive(letter, megabytes): a USB drive on a file system of its
    own of that size (tmpfs, which needs root; elsewhere the test is skipped)."""
    mounts = []

    def make(letter, megabytes, label=None):
        folder = tmp_path / ("small_" + letter.lower())
        folder.mkdir()
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % megabytes, "tmpfs", str(folder)],
                                 stderr=subprocess.PIPE)
        if mounted.returncode != 0:
            pytest.skip("cannot mount a small file system here: " + mounted.stderr.decode())
        mounts.append(folder)
        machine.add_usb_drive(letter, label)
        link = Path(machine.prefix, "dosdevices", letter.lower() + ":")
        link.unlink()
        link.symlink_to(folder)
        return folder

    yield make
    if mounts:
        wine_rig.stop_wineserver(machine.prefix)  # nothing may hold the file system
    for folder in mounts:
        subprocess.run(["umount", str(folder)])


def assert_package_installed(package, target):
    """Every entry of the package is in target, byte for byte."""
    with zipfile.ZipFile(package) as archive:
        names = [n for n in archive.namelist() if not n.endswith("/")]
        assert names
        for name in names:
            landed = Path(target) / name
            assert landed.is_file(), name
            assert landed.read_bytes() == archive.read(name), name

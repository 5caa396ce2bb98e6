"""Fixtures for running the real KorvaneInstaller.exe under Wine.

Every test gets a private copy of one booted prefix, a virtual X screen
shared by the session, and helpers for drives, the stub application and
the installer's log.
"""
import os
import re
import sys
from pathlib import Path

import pytest

SOURCE_DIR = Path(os.environ.get("KORVANE_SOURCE_DIR", Path(__file__).resolve().parents[2]))
BUILD_DIR = Path(os.environ.get("KORVANE_BUILD_DIR", SOURCE_DIR / "build" / "win32-local"))
sys.path.insert(0, str(SOURCE_DIR / "tools" / "rig"))

import wine_rig  # noqa: E402

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


class WineMachine:
    """One test's Windows machine: a prefix copy with drives and a screen."""

    def __init__(self, prefix, display, scratch):
        self.prefix = prefix
        self.display = display
        self.scratch = scratch

    @property
    def installer(self):
        return BUILD_DIR / "Installer" / "KorvaneInstaller.exe"

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

    def run_installer(self, *args, env=None, timeout=300):
        """Runs the installer to its end and waits for what it started."""
        before = len(self.log_lines())
        extra = {"KORVANE_STUB_RECORD": "Z:" + str(self.stub_record_file()).replace("/", "\\"),
                 "KORVANE_STUB_SECONDS": "2"}
        extra.update(env or {})
        code, out, err = wine_rig.run(self.prefix, self.installer, list(args), extra_env=extra,
                                      timeout=timeout, display=self.display)
        wine_rig.wait_wineserver(self.prefix)
        records = [LogRecord(line) for line in self.log_lines()[before:]]
        return RunResult(code, records, out, err)


@pytest.fixture(scope="session")
def screen():
    display = wine_rig.VirtualScreen()
    yield display.display
    display.close()


@pytest.fixture(scope="session")
def template_prefix(tmp_path_factory):
    if not (BUILD_DIR / "Installer" / "KorvaneInstaller.exe").exists():
        pytest.fail("the installer is not built in %s" % BUILD_DIR)
    return wine_rig.make_prefix(tmp_path_factory.mktemp("template") / "prefix")


@pytest.fixture
def machine(template_prefix, screen, tmp_path):
    prefix = wine_rig.clone_prefix(template_prefix, tmp_path / "prefix")
    yield WineMachine(prefix, screen, tmp_path)
    wine_rig.stop_wineserver(prefix)

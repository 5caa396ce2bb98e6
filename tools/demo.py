#!/usr/bin/env python3
"""Runs the installer end to end in a fresh Wine prefix with a simulated
drive E:, and prints what happened: what was started or written where, the
exit code and the log of the run."""
import os
import shutil
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[1]
BUILD = SOURCE / "build" / "win32-local"
sys.path.insert(0, str(SOURCE / "tools" / "rig"))
import wine_rig  # noqa: E402


def main():
    work = BUILD / "demo"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    prefix = wine_rig.make_prefix(BUILD / "wine" / "demo-template")
    prefix = wine_rig.clone_prefix(prefix, work / "prefix")
    drive = work / "drive_e"
    wine_rig.map_drive(prefix, "E", drive, "KORVANE USB")
    shutil.copy(BUILD / "tools" / "stub_app" / "StubKorvane.exe", drive / "Korvane.exe")
    record = work / "stub.record"
    env = {"KORVANE_STUB_RECORD": "Z:" + str(record).replace("/", "\\"), "KORVANE_STUB_SECONDS": "2"}

    args = ["--path", "E:\\"]
    print("Drive E: is %s (holds Korvane.exe)" % drive)
    print("Running: KorvaneInstaller.exe %s" % " ".join(args))
    screen = wine_rig.VirtualScreen()
    try:
        code, _, _ = wine_rig.run(prefix, BUILD / "Installer" / "KorvaneInstaller.exe", args,
                                  extra_env=env, display=screen.display)
        wine_rig.wait_wineserver(prefix)
    finally:
        screen.close()
    print("Exit code: %d" % code)
    print("The installed application recorded:")
    for line in (record.read_text().splitlines() if record.exists() else ["(nothing: it was not started)"]):
        print("  " + line)
    log = Path(wine_rig.temp_folder(prefix)) / "{502ABB8A-27F4-4A9D-A0B4-C99B926B99EE}" / "Installer.log"
    print("Log %s:" % log)
    for line in log.read_text(errors="replace").splitlines():
        print("  " + line)
    wine_rig.stop_wineserver(prefix)
    return 0


if __name__ == "__main__":
    sys.exit(main())

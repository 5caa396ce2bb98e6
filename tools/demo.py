#!/usr/bin/env python3
"""Runs a real windowless install end to end under Wine: the local HTTPS
package server serves the demo package, the fixture WMI provider shows the
simulated drive E: as a USB drive, and the unmodified installer downloads
the package and extracts it onto E:. Prints what landed where, the exit code
and the log of the run."""
import shutil
import subprocess
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(SOURCE / "tools" / "rig"))
sys.path.insert(0, str(SOURCE / "tests" / "e2e"))
import package_rig  # noqa: E402
import wine_rig  # noqa: E402

# The build this machine runs: 32-bit, or 64-bit where no 32-bit code runs.
BUILD = SOURCE / "build" / (wine_rig.wine_arch() + "-local")

WORKING_FOLDER = "{502ABB8A-27F4-4A9D-A0B4-C99B926B99EE}"


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def prepare(work):
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    template = wine_rig.make_prefix(BUILD / "wine" / "demo-template")
    prefix = wine_rig.clone_prefix(template, work / "prefix")
    wine_rig.register_wmi_provider(prefix, BUILD / "tests" / "fixtures" / "WmiProvider" / "FixtureWmiProvider.dll")
    drive = work / "drive_e"
    wine_rig.map_drive(prefix, "E", drive, "KORVANE USB")
    fixture = work / "wmi-fixture.txt"
    fixture.write_text("disk\tUSB\tUSBSTOR\\DISK&VEN_KORVANE&PROD_DEMO\\0123456789&0\t\\\\.\\PHYSICALDRIVE1\n"
                       "partition\tDisk #1, Partition #0\n"
                       "logical\tE:\tRemovable Disk\n")
    package = work / "Korvane.zip"
    subprocess.run([sys.executable, str(SOURCE / "tools" / "make_demo_package.py"),
                    str(BUILD / "tools" / "stub_app" / "StubKorvane.exe"), str(package)], check=True)
    return prefix, drive, fixture, package


def main():
    work = BUILD / "demo"
    prefix, drive, fixture, package = prepare(work)
    server = package_rig.start_package_server(package, work / "requests.log")
    args = ["/path=E:\\"]
    print("Package server: https://localhost:8443/SW_UPDATE/KV_MERIDEL/Korvane.zip (%d bytes)" % package.stat().st_size)
    print("Drive E: (USB, label KORVANE USB) is %s" % drive)
    print("Running: KorvaneInstaller.exe %s (%s build under %s Wine)" % (" ".join(args), wine_rig.wine_arch(),
                                                                       wine_rig.wine_arch()))
    screen = wine_rig.VirtualScreen()
    try:
        code, _, _ = wine_rig.run(prefix, BUILD / "Installer" / "KorvaneInstaller.exe", args,
                                  extra_env={"KORVANE_WMI_FIXTURE": windows_path(fixture)}, display=screen.display)
        wine_rig.wait_wineserver(prefix)
    finally:
        screen.close()
        server.stop()
    print("Exit code: %d" % code)
    print("Requests the server saw:")
    for line in server.requests():
        print("  " + line)
    print("What landed on E:")
    for path in sorted(p for p in drive.rglob("*") if p.is_file() and p.name != ".windows-label"):
        print("  E:\\%s (%d bytes)" % (str(path.relative_to(drive)).replace("/", "\\"), path.stat().st_size))
    log = Path(wine_rig.temp_folder(prefix)) / WORKING_FOLDER / "Installer.log"
    print("Log %s:" % log)
    for line in log.read_text(errors="replace").splitlines():
        print("  " + line)
    wine_rig.stop_wineserver(prefix)
    return code


if __name__ == "__main__":
    sys.exit(main())

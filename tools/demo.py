#!/usr/bin/env python3
"""Runs a real windowless install end to end under Wine: the local HTTPS
package server serves the demo package, the fixture WMI provider shows the
simulated drive E: as a USB drive, and the unmodified installer downloads
the package and extracts it onto E:, checking that the Korvane.exe it
extracted carries the maker's signature (here the rig's test signer's).
Then it opens the installed, signed Korvane.exe ("--path E:\\") and shows the
stub application starting, and does the same with one byte of that file
changed, which the installer refuses to start. Prints what landed where,
the exit codes and the log of the runs."""
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


def run_installer(prefix, screen, args, env):
    code, _, _ = wine_rig.run(prefix, BUILD / "Installer" / "KorvaneInstaller.exe", args,
                              extra_env=env, display=screen.display)
    wine_rig.wait_wineserver(prefix)
    return code


def show_started(record):
    lines = record.read_text(encoding="utf-8").splitlines() if record.exists() else []
    started = [line for line in lines if line.startswith("started ")]
    print("  Korvane.exe (the stub) %s" % ("started: " + started[-1][8:] if started else "was not started"))
    record.unlink(missing_ok=True)


def open_installed(prefix, screen, env, record, title):
    print(title)
    print("Running: KorvaneInstaller.exe --path E:\\")
    print("  exit code %d" % run_installer(prefix, screen, ["--path", "E:\\"], env))
    show_started(record)


def main():
    work = BUILD / "demo"
    prefix, drive, fixture, package = prepare(work)
    record = work / "stub.record"
    env = {"KORVANE_WMI_FIXTURE": windows_path(fixture), "KORVANE_STUB_RECORD": windows_path(record),
           "KORVANE_STUB_SECONDS": "1"}
    server = package_rig.start_package_server(package, work / "requests.log")
    args = ["/path=E:\\"]
    print("Package server: https://localhost:8443/SW_UPDATE/KV_MERIDEL/Korvane.zip (%d bytes)" % package.stat().st_size)
    print("Drive E: (USB, label KORVANE USB) is %s" % drive)
    print("Running: KorvaneInstaller.exe %s (%s build under %s Wine)" % (" ".join(args), wine_rig.wine_arch(),
                                                                       wine_rig.wine_arch()))
    screen = wine_rig.VirtualScreen()
    try:
        try:
            code = run_installer(prefix, screen, args, env)
        finally:
            server.stop()
        print("Exit code: %d" % code)
        print("Requests the server saw:")
        for line in server.requests():
            print("  " + line)
        print("What landed on E:")
        for path in sorted(p for p in drive.rglob("*") if p.is_file() and p.name != ".windows-label"):
            print("  E:\\%s (%d bytes)" % (str(path.relative_to(drive)).replace("/", "\\"), path.stat().st_size))
        installed = drive / "Korvane.exe"
        if code == 0:
            open_installed(prefix, screen, env, record,
                           "\nThe installed Korvane.exe is signed by the trusted test signer:")
            changed = bytearray(installed.read_bytes())
            changed[len(changed) // 4] ^= 0x01
            installed.write_bytes(bytes(changed))
            open_installed(prefix, screen, env, record,
                           "\nThe same Korvane.exe with one byte changed after signing:")
            changed[len(changed) // 4] ^= 0x01
            installed.write_bytes(bytes(changed))
    finally:
        screen.close()
    log = Path(wine_rig.temp_folder(prefix)) / WORKING_FOLDER / "Installer.log"
    print("Log %s (all runs):" % log)
    for line in log.read_text(errors="replace").splitlines():
        print("  " + line)
    wine_rig.stop_wineserver(prefix)
    return code


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Walks the installer's whole wizard end to end under Wine: the local HTTPS
package server serves the demo package, the fixture WMI provider shows the
simulated drive E: as a USB drive, and the unmodified installer shows the
licence, the drive picker and the progress screen, downloads the package,
extracts it onto E:, checks that the extracted Korvane.exe carries the
maker's signature (here the rig's test signer's) and starts it. Then it
opens the installed, signed Korvane.exe ("--path E:\\"), which starts, and the
same file with one byte changed, which the installer refuses to start: it
shows the licence screen of a fresh install instead, which the demo declines.

With a DISPLAY, the screens appear there and you click through them
yourself; without one, they run on a virtual screen (Xvfb) and the demo
clicks through them with xdotool. Either way a screenshot of every screen
is kept, and the demo prints where, with the server's requests, what landed
on E:, the exit codes and the log of the runs."""
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(SOURCE / "tools" / "rig"))
sys.path.insert(0, str(SOURCE / "tests" / "e2e"))
import wine_rig  # noqa: E402

# The build this machine runs: 32-bit, or 64-bit where no 32-bit code runs.
BUILD = Path(os.environ.get("KORVANE_BUILD_DIR", SOURCE / "build" / (wine_rig.wine_arch() + "-local")))
os.environ.setdefault("KORVANE_BUILD_DIR", str(BUILD))
import package_rig  # noqa: E402
import screens_rig as ui  # noqa: E402

WORKING_FOLDER = "{502ABB8A-27F4-4A9D-A0B4-C99B926B99EE}"
INSTALLER = BUILD / "Installer" / "KorvaneInstaller.exe"
SCREEN_NAMES = {"licence": "1_licence", "drive": "2_drive_picker", "progress": "3_progress"}
USER_SECONDS = 900  # how long the demo waits for a person to click through


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


class DemoMachine:
    """The demo's Wine prefix and screen, as the screen helpers expect them."""

    def __init__(self, prefix, display, env):
        self.prefix = prefix
        self.display = display
        self.env = env

    def probe(self, *args, timeout=120):
        code, out, _ = wine_rig.run_beside(self.prefix, BUILD / "tests" / "probes" / "WindowProbe.exe", list(args),
                                           extra_env=self.env, timeout=timeout, display=self.display)
        return code, out


def prepare(work):
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    template = wine_rig.make_prefix(BUILD / "wine" / "demo-template")
    prefix = wine_rig.clone_prefix(template, work / "prefix")
    wine_rig.register_wmi_provider(prefix, BUILD / "tests" / "fixtures" / "WmiProvider" / "FixtureWmiProvider.dll")
    wine_rig.map_fonts(prefix)
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


def screenshot(display, folder, name):
    folder.mkdir(parents=True, exist_ok=True)
    path = folder / (name + ".png")
    subprocess.run(["import", "-window", "root", str(path)], env=dict(os.environ, DISPLAY=display), check=True,
                   timeout=60)
    return path


def click(machine, state, control_id):
    ui.click_control(machine, state, control_id)


def walk(machine, installer, shots, automatic):
    """Follows the screens until the installer ends; clicks them when automatic."""
    seen = set()
    deadline = time.monotonic() + (300 if automatic else USER_SECONDS)
    while installer.poll() is None and time.monotonic() < deadline:
        state = ui.look(machine)
        if state is None or state.kind not in SCREEN_NAMES:
            time.sleep(0.3)
            continue
        kind = state.kind
        if kind == "progress" and not state.visible(ui.COMPLETION):
            if "progress_running" not in seen and state.position and state.position > 0:
                seen.add("progress_running")
                print("  screen: progress, %s (%d%%)" % (state.text(ui.STATUS), state.position))
                shots.append(screenshot(machine.display, SHOTS, "3_progress_running"))
            time.sleep(0.3)
            continue
        name = SCREEN_NAMES[kind] + ("_complete" if kind == "progress" else "")
        if name in seen:
            time.sleep(0.3)
            continue
        seen.add(name)
        time.sleep(0.5)  # let the screen finish painting
        print("  screen: %s" % kind)
        shots.append(screenshot(machine.display, SHOTS, name))
        if not automatic:
            continue
        if kind == "licence":
            click(machine, state, ui.ACCEPT)
        elif kind == "drive":
            print("    drives listed: %s" % ", ".join(state.items))
            click(machine, state, ui.INSTALL)
        else:
            click(machine, state, ui.RUN)
    return installer.wait(timeout=120)[0]


SHOTS = BUILD / "demo" / "screens"


def show_started(record):
    lines = record.read_text(encoding="utf-8").splitlines() if record.exists() else []
    started = [line for line in lines if line.startswith("started ")]
    print("  Korvane.exe (the stub) %s" % ("started: " + started[-1][8:] if started else "was not started"))
    record.unlink(missing_ok=True)


def open_installed(machine, record, title, shots):
    """Runs "--path E:\\"; a licence screen that opens instead is declined."""
    print(title)
    print("Running: KorvaneInstaller.exe --path E:\\")
    installer = wine_rig.start(machine.prefix, INSTALLER, ["--path", "E:\\"], extra_env=machine.env,
                               display=machine.display)
    deadline = time.monotonic() + 120
    while installer.poll() is None and time.monotonic() < deadline:
        state = ui.look(machine)
        if state is not None and state.kind == "licence":
            shots.append(screenshot(machine.display, SHOTS, "4_licence_after_refusal"))
            print("  the licence screen of a fresh install opened; declining it")
            click(machine, state, ui.DECLINE)
            break
        time.sleep(0.3)
    print("  exit code %d" % installer.wait(timeout=120)[0])
    wine_rig.wait_wineserver(machine.prefix)
    show_started(record)


def show_signature_check(machine, drive, record, shots):
    installed = drive / "Korvane.exe"
    open_installed(machine, record, "\nThe installed Korvane.exe is signed by the trusted test signer:", shots)
    changed = bytearray(installed.read_bytes())
    changed[len(changed) // 4] ^= 0x01
    installed.write_bytes(bytes(changed))
    open_installed(machine, record, "\nThe same Korvane.exe with one byte changed after signing:", shots)
    changed[len(changed) // 4] ^= 0x01
    installed.write_bytes(bytes(changed))


def main():
    work = BUILD / "demo"
    prefix, drive, fixture, package = prepare(work)
    record = work / "korvane.record"
    env = {"KORVANE_WMI_FIXTURE": windows_path(fixture), "KORVANE_STUB_RECORD": windows_path(record),
           "KORVANE_STUB_SECONDS": "1"}
    server = package_rig.start_package_server(package, work / "requests.log")
    user_display = os.environ.get("DISPLAY")
    screen = None if user_display else wine_rig.VirtualScreen()
    display = user_display or screen.display
    machine = DemoMachine(prefix, display, env)
    print("Package server: https://localhost:8443/SW_UPDATE/KV_MERIDEL/Korvane.zip (%d bytes)" % package.stat().st_size)
    print("Drive E: (USB, label KORVANE USB) is %s" % drive)
    if user_display:
        print("Running KorvaneInstaller.exe on your display %s: click through the screens." % user_display)
    else:
        print("Running KorvaneInstaller.exe on a virtual screen %s, clicked through by xdotool." % display)
    print("(the %s build under %s Wine)" % (wine_rig.pe_arch(INSTALLER), wine_rig.pe_arch(INSTALLER)))
    shots = []
    try:
        installer = wine_rig.start(prefix, INSTALLER, [], extra_env=env, display=display)
        code = walk(machine, installer, shots, automatic=not user_display)
        wine_rig.wait_wineserver(prefix)
        server.stop()
        print("Exit code: %d" % code)
        if record.exists():
            print("The installed Korvane.exe recorded:")
            for line in record.read_text(encoding="utf-8").splitlines():
                print("  " + line)
            record.unlink()
        if code == 0 and (drive / "Korvane.exe").exists():
            show_signature_check(machine, drive, record, shots)
    finally:
        if screen:
            screen.close()
        server.stop()
    print("Screenshots of the screens passed:")
    for shot in shots:
        print("  " + str(shot))
    print("Requests the server saw:")
    for line in server.requests():
        print("  " + line)
    print("What landed on E:")
    for path in sorted(p for p in drive.rglob("*") if p.is_file() and p.name != ".windows-label"):
        print("  E:\\%s (%d bytes)" % (str(path.relative_to(drive)).replace("/", "\\"), path.stat().st_size))
    log = Path(wine_rig.temp_folder(prefix)) / WORKING_FOLDER / "Installer.log"
    print("Log %s (all runs):" % log)
    for line in log.read_text(errors="replace").splitlines():
        print("  " + line)
    wine_rig.stop_wineserver(prefix)
    return code


if __name__ == "__main__":
    sys.exit(main())

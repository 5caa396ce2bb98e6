"""The progress screen's states seen from outside: the failure texts, the
bar's two halves, and closing it while the download runs."""
import time
import zipfile
from pathlib import Path

import pytest

from conftest import WORKING_FOLDER
import screens_rig as ui
import wine_rig

STARTING = "Pick Your Drive for Installation"
DOWNLOADING = "Please wait, downloading Korvane..."
INSTALLING = "Please wait, Installing Korvane..."
SLOW_LINE = 512 * 1024  # bytes per second: the download takes about ten seconds


def run_to_failure(machine, *args):
    installer = machine.start_installer(*args)
    ui.wait_for_screen(machine, "licence", installer)
    ui.press(machine, ui.ACCEPT)
    # A final text and no bar: the whole failed state, whichever text it is.
    failed = ui.wait_for_screen(machine, "progress", installer, lambda s: not s.visible(ui.PROGRESS) and s.text(
        ui.STATUS) not in (STARTING, DOWNLOADING, INSTALLING))
    return installer, failed


def close_and_expect_zero(machine, installer):
    ui.press(machine, ui.CLOSE)
    result = installer.wait()
    assert result.exit_code == 0
    return result


def test_drive_that_is_not_connected_is_named(machine, package_server):
    server = package_server()
    machine.add_drive("E", "NOT USB")
    installer, failed = run_to_failure(machine, "--path", "E:\\")
    ui.screenshot(machine, "failed_drive")
    assert failed.text(ui.STATUS) == "Check drive E is connected"
    assert failed.text(ui.RUN) == "Install to:\nNOT USB (E:)"
    # The run button does nothing before the installation completed.
    ui.press(machine, ui.RUN)
    assert ui.look(machine).kind == "progress"
    close_and_expect_zero(machine, installer)
    assert server.requests() == []
    assert machine.stub_records() == []


def test_drive_with_too_little_room_names_the_space_needed(machine, package_server, small_usb_drive):
    server = package_server()
    small_usb_drive("E", 100, "KORVANE USB")
    installer, failed = run_to_failure(machine, "--path", "E:\\")
    ui.screenshot(machine, "failed_space")
    assert failed.text(ui.STATUS) == "Not enough drive E free space.\nAt least 150 MB required."
    close_and_expect_zero(machine, installer)
    assert server.requests() == []


def test_any_other_failure_shows_the_general_text_and_hides_the_bar(machine, package_server):
    package_server(fault="not-found")
    drive = machine.add_usb_drive("E", "KORVANE USB")
    installer, failed = run_to_failure(machine, "--path", "E:\\")
    ui.screenshot(machine, "failed_download")
    assert failed.text(ui.STATUS) == "Installation failed."
    assert not failed.visible(ui.COMPLETION)
    close_and_expect_zero(machine, installer)
    assert [p.name for p in drive.iterdir()] == [".windows-label"]


def download_folder(machine):
    return Path(wine_rig.temp_folder(machine.prefix)) / WORKING_FOLDER / "KV_Install_E"


@pytest.mark.parametrize("how", ["close_button", "escape", "window_close"])
def test_closing_during_the_download_stops_it_and_leaves_no_archive(machine, package_server, how):
    server = package_server(rate=SLOW_LINE)
    drive = machine.add_usb_drive("E", "KORVANE USB")
    installer = machine.start_installer("--path", "E:\\")
    ui.wait_for_screen(machine, "licence", installer)
    ui.press(machine, ui.ACCEPT)
    ui.wait_for_screen(machine, "progress", installer,
                       lambda s: s.text(ui.STATUS) == DOWNLOADING and 5 <= s.position < 50)
    if how == "close_button":
        ui.press(machine, ui.CLOSE)
    elif how == "escape":
        ui.xdotool(machine, "key", "Escape")
    else:
        ui.post(machine, 0x0010)  # WM_CLOSE
    result = installer.wait(timeout=120)
    assert result.exit_code == 0
    assert any("Cancel" in m for m in result.messages), result.messages
    assert not list(download_folder(machine).glob("Korvane.zip"))
    assert [p.name for p in drive.iterdir()] == [".windows-label"]
    assert [line for line in server.requests() if "Korvane.zip" in line]


def test_bar_shows_the_download_in_its_first_half(machine, package_server):
    package_server(rate=SLOW_LINE)
    machine.add_usb_drive("E", "KORVANE USB")
    installer = machine.start_installer("--path", "E:\\")
    ui.wait_for_screen(machine, "licence", installer)
    ui.press(machine, ui.ACCEPT)
    seen = []
    deadline = time.monotonic() + ui.WAIT_SECONDS
    while time.monotonic() < deadline:
        state = ui.look(machine)
        if state is not None and state.kind == "progress":
            seen.append((state.text(ui.STATUS) if state.visible(ui.STATUS) else "", state.position))
            if state.visible(ui.COMPLETION):
                break
        time.sleep(0.2)
    assert seen and seen[-1] == ("", 100), seen
    downloading = [position for text, position in seen if text == DOWNLOADING]
    installing = [position for text, position in seen if text == INSTALLING]
    # The first report (a tenth of the download) puts the bar at 5; the
    # download never passes the middle, the extraction never falls below it.
    assert len(set(downloading)) >= 3, seen
    assert all(0 <= p <= 50 for p in downloading), seen
    assert downloading == sorted(downloading), seen
    assert any(5 <= p < 50 for p in downloading), seen
    assert all(50 <= p <= 100 for p in installing), seen
    assert STARTING not in [text for text, _ in seen[1:]] or seen[0][0] == STARTING
    close_and_expect_zero(machine, installer)


def test_package_larger_than_the_room_left_names_the_space_needed(machine, package_server, small_usb_drive, tmp_path):
    # 160 MB free passes the first check; the package unpacks to 200 MB.
    package = tmp_path / "Korvane.zip"
    with zipfile.ZipFile(package, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr("data/zeros.db", bytes(200 * 1024 * 1024))
    server = package_server(package=package)
    small_usb_drive("E", 160, "KORVANE USB")
    installer, failed = run_to_failure(machine, "--path", "E:\\")
    assert failed.text(ui.STATUS) == "Not enough drive E free space.\nAt least 150 MB required."
    close_and_expect_zero(machine, installer)
    # The drive stays too small whatever comes: one download only.
    assert len([r for r in server.requests() if "Korvane.zip range=bytes=0-" in r]) == 1

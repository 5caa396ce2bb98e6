"""The wizard as a user walks it: the licence, the drive picker and the
progress screen of the real installer under Wine, with the local package
server and USB drives shown by the fixture WMI provider. Screenshots of
every screen are kept in <build>/artifacts/screens/."""
from pathlib import Path

import pytest

from conftest import SOURCE_DIR, WORKING_FOLDER, assert_package_installed
import screens_rig as ui
import wine_rig

LICENCE_SOURCE = SOURCE_DIR / "resources" / "licence" / "Licence.txt"
RICH_EDIT_DEFAULT_LIMIT = 32767


def last_licence_sentence():
    paragraphs = [line.strip() for line in LICENCE_SOURCE.read_text(encoding="utf-8").splitlines() if line.strip()]
    return paragraphs[-1]


def add_usb_system_drive(machine):
    """WMI also reports C: as a USB disk (a Windows To Go stick, say)."""
    machine.usb_disks.append(("USB", "USBSTOR\\DISK&VEN_KORVANE&PROD_BOOT\\C0FFEE&0", "\\\\.\\PHYSICALDRIVE9",
                              {"Disk #9, Partition #0": [("C:", "Local Fixed Disk")]}))
    machine.set_disks(*machine.usb_disks)


def package_requests(server):
    return [line for line in server.requests() if "Korvane.zip" in line]


def download_folder(machine, letter):
    return Path(wine_rig.temp_folder(machine.prefix)) / WORKING_FOLDER / ("KV_Install_" + letter)


def test_wizard_installs_onto_the_chosen_drive_and_starts_it(machine, package_server, demo_package):
    server = package_server()
    drive_g = machine.add_usb_drive("G", "TRAVEL")
    drive_e = machine.add_usb_drive("E", "KORVANE USB", serial="E0E0&0")
    add_usb_system_drive(machine)
    installer = machine.start_installer()

    licence = ui.wait_for_screen(machine, "licence", installer)
    ui.screenshot(machine, "wizard_1_licence")
    text = licence.text(ui.LICENCE_TEXT)
    assert len(text) > RICH_EDIT_DEFAULT_LIMIT
    assert text.rstrip().endswith(last_licence_sentence())
    assert text.lstrip().startswith("Korvane End-User Licence Agreement")
    assert licence.text(ui.ACCEPT) == "Accept" and licence.text(ui.DECLINE) == "Decline"
    assert licence.text(ui.DESCRIPTION).startswith("This easy-to-use antivirus application")
    ui.press(machine, ui.ACCEPT)

    drives = ui.wait_for_screen(machine, "drive", installer)
    ui.screenshot(machine, "wizard_2_drives")
    assert drives.items == ["KORVANE USB (E:)", "TRAVEL (G:)"]
    assert drives.selected == 0
    assert drives.controls[ui.DRIVE_LIST].enabled
    assert drives.text(ui.INSTALL) == "Install to:\nKORVANE USB (E:)"
    assert drives.text(ui.HEADING) == "Pick Your Drive for Installation"
    # Choosing another drive changes the button; the choice is what Install takes.
    ui.select(machine, ui.DRIVE_LIST, 1)
    ui.wait_for(machine, lambda s: s.text(ui.INSTALL) == "Install to:\nTRAVEL (G:)", "the G: caption", installer)
    ui.select(machine, ui.DRIVE_LIST, 0)
    ui.wait_for(machine, lambda s: s.text(ui.INSTALL) == "Install to:\nKORVANE USB (E:)", "the E: caption", installer)
    assert package_requests(server) == []
    ui.press(machine, ui.INSTALL)

    done = ui.wait_for_completed(machine, installer)
    ui.screenshot(machine, "wizard_3_complete")
    assert done.text(ui.COMPLETION) == "Install Complete"
    assert package_requests(server)
    assert machine.stub_records() == []
    ui.press(machine, ui.RUN)

    result = installer.wait()
    assert result.exit_code == 0
    assert_package_installed(demo_package, drive_e)
    assert not [p for p in drive_g.iterdir() if p.name != ".windows-label"]
    assert not list(download_folder(machine, "E").glob("Korvane.zip"))
    records = machine.stub_records()
    assert ui.started_command(records[0]) == ("E:\\Korvane.exe", "")
    assert records[1] == "directory E:\\"


@pytest.mark.parametrize("how", ["decline", "close_licence", "close_drives"])
def test_declining_or_closing_a_screen_ends_without_installing(machine, package_server, how):
    server = package_server()
    drive = machine.add_usb_drive("E", "KORVANE USB")
    installer = machine.start_installer()
    licence = ui.wait_for_screen(machine, "licence", installer)
    assert licence.text(ui.CLOSE) == "Close"
    if how == "decline":
        ui.press(machine, ui.DECLINE)
    elif how == "close_licence":
        ui.press(machine, ui.CLOSE)
    else:
        ui.press(machine, ui.ACCEPT)
        ui.wait_for_screen(machine, "drive", installer)
        ui.press(machine, ui.CLOSE)
    result = installer.wait()
    assert result.exit_code == 1
    assert server.requests() == []
    assert [p.name for p in drive.iterdir()] == [".windows-label"]


def test_drive_list_follows_the_machine(machine, package_server):
    machine.set_disks()
    installer = machine.start_installer()
    ui.wait_for_screen(machine, "licence", installer)
    ui.press(machine, ui.ACCEPT)

    empty = ui.wait_for_screen(machine, "drive", installer)
    ui.screenshot(machine, "drives_none")
    assert empty.items == ["No USB drive found"]
    assert empty.selected == 0
    assert not empty.controls[ui.DRIVE_LIST].enabled
    assert empty.text(ui.INSTALL) == "Install"
    # Install does nothing without a drive; the refresh pressed after it
    # is handled after it and finds the drive plugged in meanwhile.
    ui.press(machine, ui.INSTALL)
    # Wine's mount manager reads a volume label once per session, so drives
    # plugged in later show WMI's description instead.
    machine.add_usb_drive("G")
    ui.press(machine, ui.REFRESH)
    found = ui.wait_for(machine, lambda s: s.items == ["Removable Disk (G:)"], "G: after a refresh", installer)
    assert found.kind == "drive"
    assert found.controls[ui.DRIVE_LIST].enabled
    assert found.selected == 0 and found.text(ui.INSTALL) == "Install to:\nRemovable Disk (G:)"

    # A drive plugged in while the screen is open shows up by itself when the
    # system announces it; a burst of announcements searches once, and the
    # chosen drive stays chosen although a lower letter now comes first.
    machine.add_usb_drive("E", serial="E0E0&0")
    before = drive_searches(machine)
    ui.device_change(machine, ui.DEVICE_ARRIVAL, "E", count=5)
    both = ui.wait_for(machine, lambda s: len(s.items) == 2, "E: after the device change", installer)
    assert both.items == ["Removable Disk (E:)", "Removable Disk (G:)"]
    assert both.selected == 1
    assert both.text(ui.INSTALL) == "Install to:\nRemovable Disk (G:)"
    ui.press(machine, ui.REFRESH)
    ui.wait_for(machine, lambda s: s.selected == 0, "the refresh selecting the first drive", installer)
    # One search for the burst, one for the refresh button.
    assert drive_searches(machine) - before == 2

    # A removed drive disappears the same way.
    (Path(machine.prefix) / "dosdevices" / "e:").unlink()
    machine.usb_disks.pop()
    machine.set_disks(*machine.usb_disks)
    ui.device_change(machine, ui.DEVICE_REMOVE_COMPLETE, "E")
    ui.wait_for(machine, lambda s: s.items == ["Removable Disk (G:)"], "E: gone after the removal", installer)
    ui.press(machine, ui.CLOSE)
    assert installer.wait().exit_code == 1


def drive_searches(machine):
    """How many times the drives were searched: each search asks WMI for the
    USB disk drives twice (their device ids, then their instance ids)."""
    return sum(1 for line in machine.wmi_queries() if line.startswith("query SELECT * FROM Win32_DiskDrive")) // 2


def test_path_without_an_installed_copy_skips_the_drive_picker(machine, package_server, demo_package):
    package_server()
    drive = machine.add_usb_drive("E", "KORVANE USB")
    machine.add_usb_drive("G", "TRAVEL", serial="G0G0&0")
    installer = machine.start_installer("--path", "E:\\")
    ui.wait_for_screen(machine, "licence", installer)
    ui.press(machine, ui.ACCEPT)
    progress = ui.wait_for_screen(machine, "progress", installer)
    assert progress.text(ui.RUN) in ("Install to:\nKORVANE USB (E:)", "Run Korvane")
    ui.wait_for_completed(machine, installer)
    # The close button ends the screen without starting anything.
    ui.press(machine, ui.CLOSE)
    result = installer.wait()
    assert result.exit_code == 0
    assert_package_installed(demo_package, drive)
    assert machine.stub_records() == []

"""Windowless installs ("/path=") of the real exe under Wine: the real
download from the local HTTPS server, the real drive discovery through the
fixture WMI provider, the real extraction onto a Wine drive."""
import subprocess
from pathlib import Path

import pytest

from conftest import assert_package_installed


def download_folder(machine, letter="E"):
    return machine.log_file.parent / ("KV_Install_" + letter)


def assert_no_archive_left(machine, letter="E"):
    assert not (download_folder(machine, letter) / "Korvane.zip").exists()


def put_owner_file(drive):
    """A file of the drive's owner that no install may touch."""
    notes = drive / "Notes" / "mine.txt"
    notes.parent.mkdir(parents=True, exist_ok=True)
    notes.write_bytes(b"my own notes\r\n")
    return notes


def test_install_to_drive_root_lands_the_package_byte_for_byte(machine, package_server, demo_package):
    server = package_server()
    drive = machine.add_usb_drive("E", label="KORVANE USB")
    notes = put_owner_file(drive)
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 0, result.messages
    assert_package_installed(demo_package, drive)
    assert notes.read_bytes() == b"my own notes\r\n"
    assert_no_archive_left(machine)
    assert download_folder(machine).is_dir()
    assert not [r for r in result.records if r.level == "ERROR"], result.messages
    # A size probe, then the package in 4 MiB ranges.
    ranges = [r.split("range=")[1] for r in server.package_requests()]
    size = demo_package.stat().st_size
    assert ranges[1:] == ["bytes=0-4194303", "bytes=4194304-%d" % (size - 1)], ranges


def test_install_into_a_folder_lands_below_it(machine, package_server, demo_package):
    package_server()
    drive = machine.add_usb_drive("E")
    result = machine.run_installer("/path=E:\\Apps")
    assert result.exit_code == 0, result.messages
    assert_package_installed(demo_package, drive / "Apps")
    assert not (drive / "Korvane.exe").exists()


@pytest.mark.parametrize("target", ["Q:\\X", "e:\\"])
def test_target_that_is_not_a_listed_usb_drive_fails_before_any_download(machine, package_server, target):
    server = package_server()
    machine.add_usb_drive("E")
    machine.add_drive("Q")
    result = machine.run_installer("/path=" + target)
    assert result.exit_code == 1
    assert server.package_requests() == []
    assert_no_archive_left(machine, target[0])


def test_drive_with_too_little_room_fails_before_any_download(machine, package_server, tmp_path):
    server = package_server()
    small = tmp_path / "small"
    small.mkdir()
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=100m", "tmpfs", str(small)],
                             stderr=subprocess.PIPE)
    if mounted.returncode != 0:
        pytest.skip("cannot mount a small file system here: " + mounted.stderr.decode())
    try:
        machine.add_usb_drive("E")
        Path(machine.prefix, "dosdevices", "e:").unlink()
        Path(machine.prefix, "dosdevices", "e:").symlink_to(small)
        result = machine.run_installer("/path=E:\\")
        assert result.exit_code == 1
        assert server.package_requests() == []
        assert list(small.iterdir()) == []
    finally:
        subprocess.run(["umount", str(small)])


def test_damaged_package_is_fetched_once_more_then_fails_keeping_the_drive(machine, package_server, demo_package,
                                                                           tmp_path):
    damaged = tmp_path / "damaged.zip"
    data = bytearray(demo_package.read_bytes())
    middle = len(data) // 2
    data[middle:middle + 64] = bytes(64)  # inside the signature data's deflate stream
    damaged.write_bytes(bytes(data))
    server = package_server(package=damaged)
    drive = machine.add_usb_drive("E")
    notes = put_owner_file(drive)
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 1
    assert notes.read_bytes() == b"my own notes\r\n"
    assert_no_archive_left(machine)
    errors = [m for m in result.messages if m.startswith("InstallBackend::Install exception")]
    assert len(errors) == 2, result.messages
    # The package was fetched twice over: two size probes and their ranges.
    probes = [r for r in server.package_requests() if "range=-" in r]
    assert len(probes) >= 2, server.requests()


def test_unusable_working_folder_fails_without_touching_the_drive(machine, package_server, tmp_path):
    server = package_server()
    drive = machine.add_usb_drive("E")
    notes = put_owner_file(drive)
    # The installer's working folder name is taken by a file.
    temp = tmp_path / "temp"
    temp.mkdir()
    (temp / "{502ABB8A-27F4-4A9D-A0B4-C99B926B99EE}").write_bytes(b"not a folder")
    result = machine.run(machine.installer, "/path=E:\\", env={"TEMP": machine.windows_path(temp) + "\\",
                                                                "TMP": machine.windows_path(temp) + "\\"})
    assert result.exit_code == 1
    assert notes.read_bytes() == b"my own notes\r\n"
    assert sorted(p.name for p in drive.iterdir()) == ["Notes"]
    assert server.package_requests() == []

"""Windowless installs ("/path=") of the real exe under Wine: the real
download from the local HTTPS server, the real drive discovery through the
fixture WMI provider, the real extraction onto a Wine drive."""
import re
import zipfile

import pytest

import package_rig
import wine_rig
from conftest import assert_package_installed
from version_trees import package_larger_than


def package_requests(server):
    return [r for r in server.requests() if "/SW_UPDATE/KV_MERIDEL/Korvane.zip" in r]


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
    assert any(m.startswith("InstallBackend::Download") for m in result.messages), result.messages
    # A script follows the install in the log: the package's bytes from the first ones on.
    progress = [m for m in result.messages if m.startswith("InstallBackend::Install progress: ")]
    assert progress and re.search(r" of 5\.3 MB.* \(\d+ of %d bytes\)$" % demo_package.stat().st_size,
                                  progress[0]), result.messages
    # Every entry was extracted while the download went on.
    entries = len(zipfile.ZipFile(demo_package).infolist())
    assert "InstallBackend::Unzip %d entries were extracted during the download" % entries in result.messages
    # A size probe, then the package in 4 MiB ranges.
    ranges = [r.split("range=")[1] for r in package_requests(server)]
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
    assert package_requests(server) == []
    assert_no_archive_left(machine, target[0])


def test_drive_with_too_little_room_fails_before_any_download(machine, package_server, small_usb_drive):
    server = package_server()
    small = small_usb_drive("E", 100)
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 1
    assert package_requests(server) == []
    assert list(small.iterdir()) == []


def test_package_larger_than_the_free_space_fails_before_writing_anything(machine, package_server, tmp_path,
                                                                         small_usb_drive):
    # Above the 150 MiB the install asks for first, below the package.
    small = small_usb_drive("E", 200)
    package = package_larger_than(tmp_path / "Korvane.zip", machine.stub, 210 * 1024 * 1024)
    with zipfile.ZipFile(package) as archive:
        declared = sum(i.file_size for i in archive.infolist())
    server = package_server(package=package)
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 1
    assert list(small.iterdir()) == []
    errors = [r.message for r in result.records if r.level == "ERROR"]
    prefix = "InstallBackend::Install exception InstallBackend::Unzip Not enough free space on the target: "
    assert len(errors) == 1 and errors[0].startswith(prefix), result.messages
    needed, free = re.match(r"(\d+) bytes needed, (\d+) bytes free Last error: \d+$",
                            errors[0][len(prefix):]).groups()
    # What is still to be written: the walk during the download may have
    # staged Korvane.exe, never the data file that cannot fit.
    assert declared - machine.stub.stat().st_size <= int(needed) <= declared
    assert 150 * 1024 * 1024 <= int(free) < declared
    # The drive is the obstacle: no second download through the proxy path.
    assert len(package_requests(server)) == 2, package_requests(server)
    assert_no_archive_left(machine)


def damaged_copy(package, folder):
    damaged = folder / "damaged.zip"
    data = bytearray(package.read_bytes())
    middle = len(data) // 2
    data[middle:middle + 64] = bytes(64)  # inside the signature data's deflate stream
    damaged.write_bytes(bytes(data))
    return damaged


def proxy_found_by_discovery(machine, services_log):
    """A CONNECT proxy that the user's auto-config script names."""
    proxy = package_rig.start_proxy(services_log)
    wine_rig.set_proxy_settings(machine.prefix, auto_config_url="https://localhost:8443/proxy.pac")
    return proxy


@pytest.mark.parametrize("fault", ["not-found", "damaged"])
def test_unusable_package_is_fetched_once_more_through_the_proxy_then_fails(machine, package_server, demo_package,
                                                                            tmp_path, fault):
    proxy = proxy_found_by_discovery(machine, tmp_path / "proxy.log")
    try:
        package = damaged_copy(demo_package, tmp_path) if fault == "damaged" else None
        package_server(fault="not-found" if fault == "not-found" else "none", package=package,
                       pac_proxy="127.0.0.1:%d" % proxy.port)
        drive = machine.add_usb_drive("E")
        notes = put_owner_file(drive)
        result = machine.run_installer("/path=E:\\")
    finally:
        proxy.stop()
    assert result.exit_code == 1
    assert notes.read_bytes() == b"my own notes\r\n"
    assert_no_archive_left(machine)
    errors = [m for m in result.messages if m.startswith("InstallBackend::Install exception InstallBackend::Unzip")]
    assert len(errors) == 2, result.messages
    # The last download went through the proxy the script names.
    assert "CONNECT localhost:8443" in proxy.requests()


def test_route_that_breaks_every_connection_is_left_for_the_discovered_proxy(machine, package_server, demo_package,
                                                                             tmp_path):
    proxy = proxy_found_by_discovery(machine, tmp_path / "proxy.log")
    try:
        # The first four ranges break off half-way: the direct route is dead.
        server = package_server(fault="drop", cut_count=4, pac_proxy="127.0.0.1:%d" % proxy.port)
        drive = machine.add_usb_drive("E")
        result = machine.run_installer("/path=E:\\")
    finally:
        proxy.stop()
    assert result.exit_code == 0, result.messages
    assert_package_installed(demo_package, drive)
    assert_no_archive_left(machine)
    assert not [m for m in result.messages if m.startswith("InstallBackend::Install exception")]
    assert "InstallBackend::Download the direct route stalls on every connection; trying the proxy route" in \
        result.messages
    # The download went on where it was, and the staging kept up with it.
    entries = len(zipfile.ZipFile(demo_package).infolist())
    assert "InstallBackend::Unzip %d entries were extracted during the download" % entries in result.messages
    assert "CONNECT localhost:8443" in proxy.requests()
    assert len(package_requests(server)) == 6


def test_unusable_working_folder_fails_without_touching_the_drive(machine, package_server, tmp_path):
    server = package_server()
    drive = machine.add_usb_drive("E")
    notes = put_owner_file(drive)
    # The installer's working folder name is taken by a file, so neither
    # the log nor the download folder can be made.
    machine.log_file.parent.write_bytes(b"not a folder")
    result = machine.run(machine.installer, "/path=E:\\")
    assert result.exit_code == 1
    assert notes.read_bytes() == b"my own notes\r\n"
    assert sorted(p.name for p in drive.iterdir()) == ["Notes"]
    assert package_requests(server) == []

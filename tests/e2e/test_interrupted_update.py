"""An update over an installed version that is cancelled, killed in the
middle of putting files in place, blocked by the user's own file or brings
a Korvane.exe that is not the maker's: the drive ends with one whole
version, never a mix."""
import pytest

import screens_rig as ui
from version_trees import (STAGING, downloads, folders, make_package, make_versions, read_tree, wait_for_path,
                           write_tree)
import wine_rig


@pytest.fixture(scope="module")
def versions(tmp_path_factory):
    return make_versions(tmp_path_factory.mktemp("versions"))


@pytest.fixture
def installed(machine, versions):
    drive = machine.add_usb_drive("E", "KORVANE USB")
    write_tree(drive, versions["old"])
    return drive


# A slow line: the package's entries are staged while its later bytes are
# still on their way.
SLOW_LINE = 100000


def test_update_closed_while_it_is_downloaded_and_staged_leaves_the_old_version(
        machine, package_server, versions, installed):
    package_server(package=versions["package"], rate=SLOW_LINE)
    installer = machine.start_installer("/AppUpdate", "--drivePath", "E:\\", "--exePath", "E:\\Korvane.exe")
    wait_for_path(installed / STAGING / "new" / "data", "staged file")
    ui.press(machine, ui.CLOSE)
    result = installer.wait()
    assert result.exit_code == 0
    assert "InstallBackend::Download Canceled" in result.messages
    # A staging folder the close left behind is the next run's to remove.
    assert {k: v for k, v in read_tree(installed).items() if not k.startswith(STAGING)} == versions["old"]
    assert not (installed / STAGING / "journal").exists()
    assert machine.stub_records() == []


def test_update_whose_download_breaks_off_while_staging_leaves_the_old_version(
        machine, package_server, versions, installed, tmp_path):
    # The data files first, so that the first half of the package holds
    # some whole; every range breaks off half-way; the retry finds no proxy.
    package = make_package(tmp_path / "data_first.zip", dict(sorted(versions["new"].items(), reverse=True)))
    server = package_server(package=package, fault="drop", rate=SLOW_LINE)
    installer = machine.start_installer("/path=E:\\")
    wait_for_path(installed / STAGING / "new" / "data", "staged file")
    result = installer.wait()
    assert result.exit_code == 1
    assert read_tree(installed) == versions["old"]
    assert not (installed / STAGING).exists()
    assert len(downloads(server)) == 1


def test_update_killed_while_files_are_put_in_place_is_recovered_by_the_next_start(
        machine, package_server, versions, installed):
    package_server(package=versions["package"])
    machine.start_installer("/path=E:\\")
    wait_for_path(installed / STAGING / "journal", "journal")
    wine_rig.stop_wineserver(machine.prefix)
    assert (installed / STAGING).exists(), "the commit ended before it was killed"

    # --path recovers the drive before it opens the installed application.
    result = machine.run_installer("--path", "E:\\")
    assert result.exit_code == 1
    assert read_tree(installed) in (versions["old"], versions["new"])
    assert folders(installed) == ["data"]
    assert [r for r in result.records if r.level == "INFO" and r.message.startswith("InstallBackend::Recover E:\\ ")]
    assert ui.started_command(machine.stub_records()[0]) == ("E:\\Korvane.exe", "")


def test_folder_blocked_by_a_file_fails_without_touching_anything(machine, package_server, versions, installed):
    server = package_server(package=versions["package"])
    # The owner's own file named like the package's folder.
    (installed / "data").rename(installed / "olddata")
    (installed / "data").write_bytes(b"mine\r\n")
    before = read_tree(installed)
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 1
    assert read_tree(installed) == before
    assert not (installed / STAGING).exists()
    # The drive, not the download, is in the way: no second download.
    assert len(downloads(server)) == 1
    assert any("A file is in the way of folder E:\\data" in m for m in result.messages)


def test_package_whose_application_is_not_genuine_keeps_the_old_one_running(
        machine, package_server, versions, installed):
    package_server(package=versions["unsigned"])
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 1
    assert "InstallBackend::Install E:\\Korvane.exe is not genuine: result 0x800B0100" in result.messages
    assert read_tree(installed) == versions["old"]
    assert not (installed / STAGING).exists()
    opened = machine.run_installer("--path", "E:\\")
    assert opened.exit_code == 1
    assert ui.started_command(machine.stub_records()[0]) == ("E:\\Korvane.exe", "")


def test_runs_started_while_an_update_downloads_open_and_change_nothing(machine, package_server, versions, installed):
    # Slow enough that the update holds the drive for well over the 5 s the
    # others wait (about 35 s for the whole package).
    package_server(package=versions["package"], rate=15000)
    update = machine.start_installer("/AppUpdate", "--drivePath", "E:\\", "--exePath", "E:\\Korvane.exe")
    wait_for_path(installed / STAGING / "new" / "data", "staged file")
    # The application started from the stick, and a second install, at once.
    opening = machine.start_installer("--path", "E:\\")
    installing = machine.start_installer("/path=E:\\")
    opened, second = opening.wait(), installing.wait()
    assert opened.exit_code == 1 and second.exit_code == 1
    assert "E:\\ another installation is under way on this drive; nothing is opened" in opened.messages
    assert ("InstallBackend::Install E:\\ another installation is under way on this drive; nothing is done"
            in second.messages)
    assert update.wait().exit_code == 0
    # The new version is whole; the backups' removal may be left to the next run.
    assert {k: v for k, v in read_tree(installed).items() if not k.startswith(STAGING)} == versions["new"]
    # Only the update's restart started the application.
    assert [ui.started_command(r) for r in machine.stub_records() if r.startswith("started")] == [
        ("E:\\Korvane.exe", "/NotifyUpdate")]

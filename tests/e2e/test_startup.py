"""How the command line picks a run mode, seen from outside the real exe."""
import pytest

from conftest import assert_package_installed

ONLY_LOG_CREATED = ["Log created"]


def started_stub(machine):
    return [line for line in machine.stub_records() if line.startswith("started ")]


def test_path_to_drive_with_installed_app_opens_it(machine):
    drive = machine.add_drive("E")
    machine.put_stub(drive)
    result = machine.run_installer("--path", "E:\\")
    assert result.exit_code == 1
    assert result.messages == ONLY_LOG_CREATED
    started = started_stub(machine)
    assert len(started) == 1
    assert "E:\\Korvane.exe" in started[0]


def test_path_to_drive_without_app_goes_on_with_that_drive(machine):
    machine.add_drive("E")
    result = machine.run_installer("--path", "E:\\")
    assert result.exit_code == 1
    assert started_stub(machine) == []
    assert result.messages[0] == "Log created"
    assert "Wizard for drive 69" in result.messages[1]


@pytest.mark.parametrize("args", [
    ["--path", "E:"],
    ["--path", "E:\\Dir"],
    ["--path"],
    ["--PATH", "E:\\"],
])
def test_no_drive_taken_from_other_path_forms(machine, args):
    drive = machine.add_drive("E")
    machine.put_stub(drive)
    (drive / "Dir").mkdir()
    machine.put_stub(drive / "Dir")
    result = machine.run_installer(*args)
    assert result.exit_code == 1
    assert started_stub(machine) == []
    assert "Wizard for drive 0 " in result.messages[-1]


def test_given_drive_hides_install_path(machine):
    machine.add_drive("E")
    result = machine.run_installer("--path", "E:\\", "/path=F:\\X")
    assert not any("Windowless" in m for m in result.messages)
    assert "Wizard for drive 69" in result.messages[-1]


@pytest.mark.parametrize("args, letter, folder", [
    # "--path" without a drive root gives way to "/path=".
    (["--path", "E:", "/path=F:\\X"], "F", "X"),
    # The windowless install wins over update mode.
    (["/AppUpdate", "/path=E:\\Apps"], "E", "Apps"),
    # Text in front of the switch is not part of the path.
    (["x/path=E:\\dir"], "E", "dir"),
])
def test_install_path_selects_the_windowless_install(machine, package_server, demo_package, args, letter, folder):
    package_server()
    drive = machine.add_usb_drive(letter)
    result = machine.run_installer(*args)
    assert result.exit_code == 0, result.messages
    assert_package_installed(demo_package, drive / folder)
    assert sorted(p.name for p in drive.iterdir()) == [folder]


def test_empty_install_path_goes_on_to_update_and_wizard(machine):
    assert "Wizard for drive 0 " in machine.run_installer("/path=").messages[-1]
    assert "Update mode for E:\\ " in machine.run_installer(
        "/path=", "/AppUpdate", "--drivePath", "E:\\").messages[-1]


def test_app_update_inside_another_argument_selects_update_mode(machine):
    result = machine.run_installer("x/AppUpdatey", "--drivePath", "E:\\")
    assert "Update mode for E:\\ " in result.messages[-1]

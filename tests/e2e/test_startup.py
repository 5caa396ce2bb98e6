"""How the command line picks a run mode, seen from outside the real exe:
by the exit code, the log, what was started and the first screen shown."""
import pytest

from conftest import assert_package_installed
import screens_rig as ui

ONLY_LOG_CREATED = ["Log created"]


def started_stub(machine):
    return [line for line in machine.stub_records() if line.startswith("started ")]


def first_screen(machine, *args):
    installer = machine.start_installer(*args)
    return installer, ui.wait_for(machine, lambda s: s.kind != "unknown", "a screen", installer)


def screen_after_licence(machine, installer):
    ui.press(machine, ui.ACCEPT)
    return ui.wait_for(machine, lambda s: s.kind in ("drive", "progress"), "the screen after the licence",
                       installer)


def close(machine, installer):
    ui.press(machine, ui.CLOSE)
    return installer.wait()


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
    machine.add_drive("E", "DATA")
    installer, licence = first_screen(machine, "--path", "E:\\")
    assert licence.kind == "licence"
    progress = screen_after_licence(machine, installer)
    assert progress.kind == "progress"
    assert progress.text(ui.RUN) == "Install to:\nDATA (E:)"
    assert close(machine, installer).exit_code == 0
    assert started_stub(machine) == []


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
    installer, licence = first_screen(machine, *args)
    assert licence.kind == "licence"
    assert screen_after_licence(machine, installer).kind == "drive"
    assert close(machine, installer).exit_code == 1
    assert started_stub(machine) == []


def test_given_drive_hides_install_path(machine):
    machine.add_drive("E", "DATA")
    other = machine.add_usb_drive("F")
    before = sorted(p.name for p in other.iterdir())
    installer, licence = first_screen(machine, "--path", "E:\\", "/path=F:\\X")
    assert licence.kind == "licence"
    progress = screen_after_licence(machine, installer)
    assert progress.kind == "progress"
    assert progress.text(ui.RUN) == "Install to:\nDATA (E:)"
    assert close(machine, installer).exit_code == 0
    # Nothing went to the windowless install's target.
    assert sorted(p.name for p in other.iterdir()) == before


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


def test_empty_install_path_goes_on_to_the_wizard(machine):
    installer, screen = first_screen(machine, "/path=")
    assert screen.kind == "licence"
    assert close(machine, installer).exit_code == 1


@pytest.mark.parametrize("args", [["/path=", "/AppUpdate", "--drivePath", "E:\\"],
                                  ["x/AppUpdatey", "--drivePath", "E:\\"]])
def test_app_update_anywhere_in_the_command_line_selects_update_mode(machine, args):
    installer, screen = first_screen(machine, *args)
    assert screen.kind == "progress"
    assert not screen.visible(ui.RUN)
    result = close(machine, installer)
    assert result.exit_code == 0
    assert "SetAppUpdateMode m_driveLetter: 69" in result.messages

"""The update mode, as the installed application starts it: only the
progress screen, the running application told when the download starts,
and the updated application started with /NotifyUpdate at the end."""

from conftest import assert_package_installed
import screens_rig as ui

WM_APP = 0x8000


def stub_lines(machine, prefix):
    return [line for line in machine.stub_records() if line.startswith(prefix)]


def test_update_tells_the_running_application_and_starts_the_new_one(machine, package_server, demo_package):
    server = package_server(rate=1024 * 1024)
    drive = machine.add_usb_drive("E", "KORVANE USB")
    machine.put_stub(drive)
    running = machine.start("E:\\Korvane.exe", env={"KORVANE_STUB_SECONDS": "300"})
    ui.wait_for_file_line(machine.stub_records, lambda l: l.startswith("started"), "the running application")

    installer = machine.start_installer("/AppUpdate", "--drivePath", "E:\\", "--exePath", "E:\\Korvane.exe")
    progress = ui.wait_for_screen(machine, "progress", installer)
    assert not progress.visible(ui.RUN)
    ui.screenshot(machine, "update_progress")
    # The running copy hears of the update when the download starts, and ends.
    ui.wait_for_file_line(machine.stub_records, lambda l: l == "exiting update", "the application ending")
    assert running.wait(timeout=120).exit_code == 0

    result = installer.wait()
    assert result.exit_code == 0
    records = machine.stub_records()
    first_run = records[:records.index("exited") + 1]
    assert ui.started_command(first_run[0]) == ("E:\\Korvane.exe", "")
    assert "window-message %d 0 0" % (WM_APP + 2) in first_run
    assert "thread-message %d 0 0" % (WM_APP + 7) in first_run
    assert first_run.index("window-message %d 0 0" % (WM_APP + 2)) < first_run.index(
        "thread-message %d 0 0" % (WM_APP + 7)) < first_run.index("exiting update")
    # The updated copy is started with /NotifyUpdate from the drive's root.
    second_run = records[len(first_run):]
    assert ui.started_command(second_run[0]) == ("E:\\Korvane.exe", "/NotifyUpdate")
    assert second_run[1] == "directory E:\\"
    assert_package_installed(demo_package, drive)
    assert [line for line in server.requests() if "Korvane.zip" in line]
    errors = [r.message for r in result.records if r.level == "ERROR"]
    assert errors == ["SetAppUpdateMode m_driveLetter: 69", "SetAppUpdateMode m_exePathToUpdate: E:\\Korvane.exe"]
    assert not any(r.message.startswith("InstallBackend") and r.level == "ERROR" for r in result.records)


def test_update_without_a_drive_path_shows_that_the_update_failed(machine, package_server):
    server = package_server()
    machine.add_usb_drive("E", "KORVANE USB")
    installer = machine.start_installer("/AppUpdate", "--exePath", "E:\\Korvane.exe")
    failed = ui.wait_for(machine, ui.failed("Update failed."), "the failed update", installer)
    ui.screenshot(machine, "update_without_drive")
    assert not failed.visible(ui.RUN)
    ui.press(machine, ui.CLOSE)
    result = installer.wait()
    assert result.exit_code == 0
    assert server.requests() == []
    assert machine.stub_records() == []
    assert "SetAppUpdateMode m_driveLetter: 0" in result.messages

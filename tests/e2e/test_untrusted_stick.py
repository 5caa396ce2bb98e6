"""A stick prepared by somebody else: a link at the installer's staging
folder name that leads elsewhere on the computer, a file or folder of the
user's at that name, a target that depends on the current directory. The
installer touches none of it, says why in the log, and fails where it
cannot go on."""
import os
import stat

import screens_rig as ui
from version_trees import STAGING, read_tree, write_tree

CANARY = {"readonly.txt": b"kept read-only", "sub/inner.txt": b"kept deep", ".hidden": b"kept hidden"}


def kept_as_is(records):
    return [r.message for r in records if r.level == "ERROR" and "is left as it is" in r.message]


def test_a_link_at_the_staging_folder_leads_nowhere_it_could_harm(machine, tmp_path):
    canary = tmp_path / "documents"
    write_tree(canary, CANARY)
    os.chmod(canary / "readonly.txt", stat.S_IRUSR)
    drive = machine.add_usb_drive("E", "STRANGER")
    machine.put_stub(drive)
    (drive / STAGING).symlink_to(canary, target_is_directory=True)

    # Starting the application from the stick: the link is logged and left,
    # the genuine application still opens.
    opened = machine.run_installer("--path", "E:\\")
    assert opened.exit_code == 1
    assert ui.started_command(machine.stub_records()[0]) == ("E:\\Korvane.exe", "")
    assert kept_as_is(opened.records), opened.messages

    # No package server runs: the install fails on the link before it asks.
    installed = machine.run_installer("/path=E:\\")
    assert installed.exit_code == 1
    assert any("E:\\.korvane-staging is left as it is: it is a link" in m for m in installed.messages)
    assert read_tree(canary) == CANARY
    assert stat.S_IMODE((canary / "readonly.txt").stat().st_mode) == stat.S_IRUSR
    assert (drive / STAGING).is_symlink()


def test_the_users_own_staging_named_folder_and_file_are_kept(machine, package_server):
    server = package_server()
    drive = machine.add_usb_drive("E", "MINE")
    theirs = {STAGING + "/notes.txt": b"my notes", STAGING + "/journal": b"my journal"}
    write_tree(drive, theirs)

    # The wizard for the drive (--path with no application there) fails and says so.
    installer = machine.start_installer("--path", "E:\\")
    ui.wait_for_screen(machine, "licence", installer)
    ui.press(machine, ui.ACCEPT)
    ui.wait_for(machine, ui.failed("Installation failed."), "the failed install", installer)
    ui.press(machine, ui.CLOSE)
    wizard = installer.wait()
    assert any("move it away" in m for m in kept_as_is(wizard.records)), wizard.messages

    updater = machine.start_installer("/AppUpdate", "--drivePath", "E:\\", "--exePath", "E:\\Korvane.exe")
    ui.wait_for(machine, ui.failed("Update failed."), "the failed update", updater)
    ui.press(machine, ui.CLOSE)
    updater.wait()
    assert read_tree(drive) == theirs
    assert server.requests() == []

    (drive / STAGING / "notes.txt").unlink()
    (drive / STAGING / "journal").unlink()
    (drive / STAGING).rmdir()
    (drive / STAGING).write_bytes(b"my file")
    windowless = machine.run_installer("/path=E:\\")
    assert windowless.exit_code == 1
    assert (drive / STAGING).read_bytes() == b"my file"
    assert any("it is a file" in m for m in kept_as_is(windowless.records)), windowless.messages


def test_a_target_that_depends_on_the_current_directory_is_refused(machine):
    drive = machine.add_usb_drive("E", "KORVANE USB")
    for target in ("E:Apps", "E:"):
        result = machine.run_installer("/path=" + target)
        assert result.exit_code == 1
        assert ("InstallBackend::Install %s is not a full path (a drive letter, a colon and a backslash): "
                "nothing is installed" % target) in result.messages
    assert read_tree(drive) == {}

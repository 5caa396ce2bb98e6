"""Updates on the file system USB sticks carry: an exFAT image (mkfs.exfat)
on a loop device, mounted by exfat-fuse and mapped as drive E:. The drive is
pulled in the middle of a commit by ending the FUSE process, plugged in
again, and the next start of the installer recovers it. Skipped, saying
why, where loop devices or FUSE cannot be used (not root, a container
without /dev/fuse, the packages missing)."""
import os
import shutil
import subprocess
import time
from pathlib import Path

import pytest

import screens_rig as ui
from version_trees import (STAGING, downloads, folders, make_versions, package_larger_than, read_tree, wait_for_path,
                           write_tree)
import wine_rig

IMAGE_MEGABYTES = 400  # sparse; above the 150 MiB every install asks for
DATA_FILES = 150


def run(*command):
    return subprocess.run(list(command), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


class ExfatStick:
    """An exFAT image that can be plugged in (mounted) and pulled (its FUSE
    process ended) as often as a test likes."""

    def __init__(self, folder):
        for tool in ("mkfs.exfat", "mount.exfat-fuse", "losetup"):
            if not shutil.which(tool):
                pytest.skip("%s is missing (exfatprogs, exfat-fuse): tools/install-deps.sh installs it" % tool)
        if os.geteuid() != 0 or not os.path.exists("/dev/fuse"):
            pytest.skip("FUSE file systems cannot be mounted here (needs root and /dev/fuse)")
        self.image = folder / "stick.img"
        self.mount_point = folder / "stick"
        self.mount_point.mkdir()
        with open(self.image, "wb") as image:
            image.truncate(IMAGE_MEGABYTES * 1024 * 1024)
        made = run("mkfs.exfat", "-L", "KORVANE", str(self.image))
        if made.returncode != 0:
            pytest.skip("mkfs.exfat failed: " + made.stderr.strip())
        attached = run("losetup", "--find", "--show", str(self.image))
        if attached.returncode != 0:
            pytest.skip("no loop device here: " + attached.stderr.strip())
        self.device = attached.stdout.strip()
        self.fuse_pid = None

    def plug(self):
        mounted = run("mount.exfat-fuse", self.device, str(self.mount_point))
        if mounted.returncode != 0:
            self.close()
            pytest.skip("exfat-fuse cannot mount here: " + mounted.stderr.strip())
        self.fuse_pid = self._find_fuse_process()

    def _find_fuse_process(self):
        """The FUSE daemon this stick's mount started (it forks away from
        the command), found by its exact command line."""
        wanted = ["mount.exfat-fuse", self.device, str(self.mount_point)]
        for entry in Path("/proc").iterdir():
            if entry.name.isdigit():
                try:
                    command = (entry / "cmdline").read_bytes().decode().split("\0")
                except OSError:
                    continue
                if [Path(command[0]).name] + command[1:3] == wanted:
                    return int(entry.name)
        raise AssertionError("no FUSE process for " + self.device)

    def pull(self):
        """Ends the FUSE process at once, as a stick pulled out does."""
        os.kill(self.fuse_pid, 9)
        self.fuse_pid = None

    def unmount(self):
        run("umount", "-l", str(self.mount_point))

    def close(self):
        if self.fuse_pid:
            run("umount", str(self.mount_point))
        run("losetup", "-d", self.device)


def show_drive(machine, stick, shown):
    """Drive E: and its USB disk as Windows shows them while the stick is
    in, and their absence once it is pulled."""
    link = Path(machine.prefix, "dosdevices", "e:")
    if link.is_symlink():
        link.unlink()
    if shown:
        link.symlink_to(stick.mount_point)
    machine.set_disks(*(machine.usb_disks if shown else []))


@pytest.fixture
def stick(machine, tmp_path):
    stick = ExfatStick(tmp_path)
    stick.plug()
    machine.add_usb_drive("E", "KORVANE")
    show_drive(machine, stick, True)
    yield stick
    wine_rig.stop_wineserver(machine.prefix)  # nothing may hold the file system
    stick.close()


def wait_for_status(machine, installer, text):
    return ui.wait_for_screen(machine, "progress", installer, lambda s: s.text(ui.STATUS) == text)


def test_update_on_exfat_stands_a_blocked_path_and_a_pulled_stick(machine, package_server, stick, tmp_path):
    versions = make_versions(tmp_path, DATA_FILES)
    drive = stick.mount_point
    write_tree(drive, versions["old"])
    server = package_server(package=versions["package"])

    # The owner's file where the new version needs a folder: nothing changes.
    (drive / "data").rename(drive / "olddata")
    (drive / "data").write_bytes(b"mine\r\n")
    blocked = read_tree(drive)
    assert machine.run_installer("/path=E:\\").exit_code == 1
    assert read_tree(drive) == blocked
    assert len(downloads(server)) == 1
    (drive / "data").unlink()
    (drive / "olddata").rename(drive / "data")

    # The stick pulled while the files are renamed: the screen names the drive.
    installer = machine.start_installer("/AppUpdate", "--drivePath", "E:\\", "--exePath", "E:\\Korvane.exe")
    wait_for_path(drive / STAGING / "journal", "journal")
    stick.pull()
    show_drive(machine, stick, False)
    wait_for_status(machine, installer, "Check drive E is connected")
    ui.press(machine, ui.CLOSE)
    assert installer.wait().exit_code == 0
    stick.unmount()

    # Plugged in again, the next start puts it right and opens the application.
    stick.plug()
    show_drive(machine, stick, True)
    assert (drive / STAGING).exists(), "the commit ended before the stick was pulled"
    opened = machine.run_installer("--path", "E:\\")
    assert opened.exit_code == 1
    assert [m for m in opened.messages if m.startswith("InstallBackend::Recover E:\\ ")]
    assert read_tree(drive) in (versions["old"], versions["new"])
    assert folders(drive) == ["data"]

    # And the update, run again, goes through.
    assert machine.run_installer("/path=E:\\").exit_code == 0
    assert read_tree(drive) == versions["new"]
    assert folders(drive) == ["data"]


def test_exfat_stick_pulled_after_the_commit_and_a_package_that_does_not_fit(machine, package_server, stick,
                                                                             tmp_path):
    versions = make_versions(tmp_path, DATA_FILES)
    drive = stick.mount_point
    write_tree(drive, versions["old"])

    # Pulled the moment the commit is marked: its renames reached the stick
    # before the mark did, so the drive holds the new version whole.
    server = package_server(package=versions["package"])
    installer = machine.start_installer("/path=E:\\")
    wait_for_path(drive / STAGING / "committed", "commit mark")
    stick.pull()
    show_drive(machine, stick, False)
    installer.wait()
    stick.unmount()
    server.stop()
    stick.plug()
    show_drive(machine, stick, True)
    machine.run_installer("--path", "E:\\")
    assert read_tree(drive) == versions["new"]
    assert not (drive / STAGING).exists()

    # Nearly full: more than the 150 MB every install asks for, less than
    # the package needs. The free-space text, and nothing of the stick used.
    free = shutil.disk_usage(drive).free
    with open(drive / "filler.bin", "wb") as filler:
        filler.truncate(free - 190 * 1024 * 1024)
    free_before = shutil.disk_usage(drive).free
    package_server(package=package_larger_than(tmp_path / "large.zip", machine.stub, 210 * 1024 * 1024))
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 1
    assert [m for m in result.messages if "Unzip Not enough free space on the target: " in m], result.messages
    assert shutil.disk_usage(drive).free == free_before
    assert not (drive / STAGING).exists()

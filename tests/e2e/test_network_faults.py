"""A dead or stalled network, a slow drive query or a hung application never
holds the user: closing the progress screen ends the installer within a
second wherever it is, a stalled request costs one stall window instead of
the 60 s time-out, a network that drops for some seconds is resumed, a route
that breaks every connection fails the install within two minutes, and a
slow line is never cut off. The real exe under Wine with the real WinHTTP
against the local package server's faults."""
import re
import time
import zipfile

import pytest

from conftest import assert_package_installed
import screens_rig as ui

HALF_RANGE = 2 * 1024 * 1024
RESUMED = re.compile(r"InstallBackend::Download connection \w+ at byte \d+, resuming in \d+ s$")
# The promise is one second. Under Xvfb, which runs no window manager,
# destroying a screen's window costs Wine another 2 s; the rest is slack for
# a slow, shared CI machine (an extraction competing with other runs for
# the disk took 4.5 s once). bench/network_faults_bench.py measures the real
# figures.
GONE_WITHIN = 5.0


def download_folder(machine):
    return machine.log_file.parent / "KV_Install_E"


def assert_no_archive_left(machine):
    assert not (download_folder(machine) / "Korvane.zip").exists()
    assert not (download_folder(machine) / "Korvane.zip.identity").exists()


def package_requests(server):
    return [r.split("range=")[1] for r in server.requests() if "Korvane.zip" in r]


@pytest.fixture(scope="module")
def many_files_package(tmp_path_factory):
    """A package whose extraction takes seconds under Wine: many small files."""
    path = tmp_path_factory.mktemp("many") / "Korvane.zip"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as archive:
        for n in range(4000):
            archive.writestr("Data/%02d/file%04d.dat" % (n % 40, n), bytes([n % 251]) * 2048)
    return path


def seconds_until_gone(machine, installer, state):
    """Closes the screen with a real click (a probe program's own start-up
    would count against the installer) and times the process's end."""
    clicked = time.monotonic()
    ui.click_control(machine, state, ui.CLOSE)
    deadline = clicked + 60
    while installer.running() and time.monotonic() < deadline:
        time.sleep(0.02)
    return time.monotonic() - clicked


PHASES = {
    # phase: (server options, extra environment)
    "headers_pending": (dict(fault="no-headers", stall_seconds=120), {}),
    "body_stalled": (dict(fault="stall-all", stall_seconds=120), {}),
    "drive_query": (dict(), {"KORVANE_WMI_DELAY_SECONDS": "60"}),
    "extraction": (dict(package="many"), {}),
}


@pytest.mark.parametrize("phase", sorted(PHASES))
def test_closing_ends_the_installer_at_once_in_every_phase(machine, package_server, many_files_package, phase):
    options, env = PHASES[phase]
    if options.get("package") == "many":
        options = dict(options, package=many_files_package)
    server = package_server(**options)
    drive = machine.add_usb_drive("E", "KORVANE USB")
    installer = machine.start_installer("--path", "E:\\", env=env)
    state = ui.reach_phase(machine, installer, server, phase)
    gone = seconds_until_gone(machine, installer, state)
    result = installer.wait(timeout=60)
    assert gone < GONE_WITHIN, (phase, gone, result.messages)
    assert result.exit_code == 0
    assert_no_archive_left(machine)
    assert not (drive / "Korvane.exe").exists()
    if phase == "drive_query":
        # A drive query cannot be interrupted: the installer ends without it.
        assert any("did not stop within 600 ms" in m for m in result.messages), result.messages
    elif phase != "extraction":
        assert "InstallBackend::PerformRequest Cancelled." in result.messages, result.messages


def test_range_that_stalls_once_costs_one_stall_window_and_resumes(machine, package_server, demo_package):
    server = package_server(fault="stall", stall_seconds=75)
    drive = machine.add_usb_drive("E")
    started = time.monotonic()
    result = machine.run_installer("/path=E:\\")
    took = time.monotonic() - started
    assert result.exit_code == 0, result.messages
    assert_package_installed(demo_package, drive)
    assert "InstallBackend::PerformRequest no data for 15 s, resuming at byte %d" % HALF_RANGE in result.messages
    # The receive time-out alone would have cost 60 s.
    assert took < 55, took
    size = demo_package.stat().st_size
    assert HALF_RANGE + 4194304 > size
    assert package_requests(server) == ["-", "bytes=0-4194303", "bytes=%d-%d" % (HALF_RANGE, size - 1)]
    assert server.stalls() == [str(HALF_RANGE)]


def test_server_that_refuses_connections_for_ten_seconds_is_resumed(machine, package_server, demo_package):
    server = package_server(fault="outage", outage_seconds=10)
    drive = machine.add_usb_drive("E")
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 0, result.messages
    assert_package_installed(demo_package, drive)
    resumed = [m for m in result.messages if RESUMED.match(m)]
    assert any(" refused " in m for m in resumed), result.messages
    # Once back, the server was asked for the first missing byte only.
    ranges = package_requests(server)
    starts = [int(r.split("=")[1].split("-")[0]) for r in ranges[1:]]
    assert starts == sorted(starts) and len(set(starts)) == len(starts), ranges


@pytest.mark.parametrize("fault", ["reset-all", "stall-each"])
def test_route_that_breaks_every_connection_fails_the_install_within_two_minutes(machine, package_server,
                                                                                 demo_package, fault):
    server = package_server(fault=fault, stall_seconds=30)
    drive = machine.add_usb_drive("E")
    started = time.monotonic()
    result = machine.run_installer("/path=E:\\", timeout=200)
    took = time.monotonic() - started
    assert result.exit_code == 1
    assert took < 120, took
    assert list(drive.iterdir()) == []
    assert "InstallBackend::Download the direct route stalls on every connection; trying the proxy route" in \
        result.messages
    assert ("InstallBackend::Install exception InstallBackend::Download Sending WinHttpRequest failed"
            in " ".join(result.messages)), result.messages
    # No loop: the probe, then four requests, each from where the one
    # before broke off; discovery finds no proxy route to go on with.
    ranges = package_requests(server)
    starts = [int(r.split("=")[1].split("-")[0]) for r in ranges[1:]]
    assert len(ranges) == 5 and starts[0] == 0 and starts == sorted(set(starts)), ranges
    # What came is kept for the next run, which may find a better route.
    kept = (download_folder(machine) / "Korvane.zip").read_bytes()
    assert len(kept) > 0 and kept == demo_package.read_bytes()[:len(kept)]


@pytest.fixture
def changed_package(demo_package, tmp_path):
    """The demo package with one more file: another package on the server."""
    path = tmp_path / "changed" / "Korvane.zip"
    path.parent.mkdir()
    path.write_bytes(demo_package.read_bytes())
    with zipfile.ZipFile(path, "a") as archive:
        archive.writestr("Data/added.txt", "a file of the next version\n")
    return path


@pytest.mark.parametrize("server_package", ["same", "changed"])
def test_download_that_failed_goes_on_in_the_next_run(machine, package_server, demo_package, changed_package,
                                                      server_package):
    size = demo_package.stat().st_size
    kept = size * 6 // 10
    broken = package_server(fault="drop-at", stall_after=kept)
    drive = machine.add_usb_drive("E")
    first = machine.run_installer("/path=E:\\")
    broken.stop()
    assert first.exit_code == 1
    assert list(drive.iterdir()) == []
    # The failure keeps what came, and what the server said about it.
    archive = download_folder(machine) / "Korvane.zip"
    assert archive.read_bytes() == demo_package.read_bytes()[:kept]
    assert (download_folder(machine) / "Korvane.zip.identity").is_file()

    package = demo_package if server_package == "same" else changed_package
    server = package_server(package=package)
    second = machine.run_installer("/path=E:\\")
    assert second.exit_code == 0, second.messages
    assert_package_installed(package, drive)
    assert_no_archive_left(machine)
    ranges = package_requests(server)
    if server_package == "same":
        assert ("InstallBackend::Download resuming the download of an earlier run at byte %d of %d" % (kept, size)
                in second.messages)
        assert len(ranges) == 2 and ranges[1].startswith("bytes=%d-%d if-range " % (kept, size - 1)), ranges
    else:
        assert "InstallBackend::Download the package changed since the earlier run; starting over" in second.messages
        assert ranges[1] == "bytes=0-4194303", ranges


def test_trickle_of_a_few_hundred_bytes_a_second_is_not_a_stall(machine, package_server, demo_package):
    server = package_server(fault="trickle", rate=300, trickle_seconds=20)
    drive = machine.add_usb_drive("E")
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 0, result.messages
    assert_package_installed(demo_package, drive)
    assert not [m for m in result.messages if "no data for" in m], result.messages
    assert len(package_requests(server)) == 3


def test_hung_application_does_not_hold_the_update(machine, package_server, demo_package):
    # A download of some seconds: the screen is still there to log the missing answer.
    package_server(rate=1024 * 1024)
    drive = machine.add_usb_drive("E", "KORVANE USB")
    machine.put_stub(drive)
    # A hung copy elsewhere, so that the update may replace the one on E:.
    hung = machine.put_stub(machine.scratch / "hung")
    hanging = machine.start(machine.windows_path(hung), env={"KORVANE_STUB_HANG": "1", "KORVANE_STUB_SECONDS": "100"})
    ui.wait_for_file_line(machine.stub_records, lambda l: l == "hanging", "the hung application")

    installer = machine.start_installer("/AppUpdate", "--drivePath", "E:\\", "--exePath", "E:\\Korvane.exe")
    ui.wait_for_file_line(machine.stub_records, lambda l: l.endswith("/NotifyUpdate"), "the updated application",
                          timeout=90)
    hanging.kill()
    result = installer.wait(timeout=60)
    assert result.exit_code == 0
    assert_package_installed(demo_package, drive)
    assert "InstallDialog the running application did not answer within 3 s; the update goes on" in result.messages

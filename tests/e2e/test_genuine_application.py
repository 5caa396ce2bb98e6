"""Only a Korvane.exe signed by the maker is ever accepted or started: the
real Authenticode check (wintrust and crypt32 under Wine) of the stub
application, signed at build time by the rig's test signer, against copies
that are unsigned, changed after signing, signed by another signer of the
same trusted CA, or signed with the trusted signer's name by a certificate
that chains to no trusted root."""
import subprocess
import sys

import pytest

from conftest import BUILD_DIR, SOURCE_DIR, assert_package_installed
import screens_rig as ui

STUBS = BUILD_DIR / "tools" / "stub_app"
TRUSTED_SIGNER = "Korvane Test Signer"

# What each sort of impostor gets from the check, as the log shows it.
REFUSALS = {
    "unsigned": "result 0x800B0100",                                     # TRUST_E_NOSIGNATURE
    "changed": "result 0x80096010",                                      # TRUST_E_BAD_DIGEST
    "other-signer": 'result 0x800B0004, signed by "Korvane Other Signer"',  # not our signer
    # Our signer's name on a self-made certificate: no trusted root.
    "impostor": "result 0x800B0109",                                     # CERT_E_UNTRUSTEDROOT
}


def impostor_bytes(kind):
    if kind == "unsigned":
        return (STUBS / "StubKorvane-unsigned.exe").read_bytes()
    if kind in ("other-signer", "impostor"):
        return (STUBS / ("StubKorvane-%s.exe" % kind)).read_bytes()
    # One byte of the signed program's code, changed after it was signed.
    data = bytearray((STUBS / "StubKorvane.exe").read_bytes())
    data[len(data) // 4] ^= 0x01
    return bytes(data)


def make_package(stub_bytes, folder, name):
    """The demo package with the given Korvane.exe (None: without one)."""
    folder.mkdir(parents=True, exist_ok=True)
    stub = folder / (name + ".exe")
    if stub_bytes is not None:
        stub.write_bytes(stub_bytes)
    package = folder / (name + ".zip")
    command = [sys.executable, str(SOURCE_DIR / "tools" / "make_demo_package.py"), str(stub), str(package)]
    if stub_bytes is None:
        command.append("--without-application")
    subprocess.run(command, check=True)
    return package


@pytest.fixture(scope="session")
def impostor_packages(tmp_path_factory):
    folder = tmp_path_factory.mktemp("impostors")
    packages = {kind: make_package(impostor_bytes(kind), folder, kind) for kind in REFUSALS}
    packages["missing"] = make_package(None, folder, "missing")
    return packages


def started_stub(machine):
    return [line for line in machine.stub_records() if line.startswith("started ")]


def errors(result):
    return [r.message for r in result.records if r.level == "ERROR"]


def test_stubs_are_signed_as_the_tests_assume():
    """The build signed the stub, and its variants differ from it."""
    signed = (STUBS / "StubKorvane.exe").read_bytes()
    for kind in REFUSALS:
        assert impostor_bytes(kind) != signed, kind
    assert len(signed) > len(impostor_bytes("unsigned"))


# --- Opening the Korvane.exe already on the drive ("--path") ---------------

def test_genuine_application_on_the_drive_is_opened(machine):
    drive = machine.add_drive("E")
    machine.put_stub(drive)
    result = machine.run_installer("--path", "E:\\")
    assert result.exit_code == 1
    assert errors(result) == []
    started = started_stub(machine)
    assert len(started) == 1 and "E:\\Korvane.exe" in started[0], started


@pytest.mark.parametrize("kind", sorted(REFUSALS))
def test_application_on_the_drive_that_is_not_genuine_is_not_opened(machine, kind):
    drive = machine.add_drive("E")
    (drive / "Korvane.exe").write_bytes(impostor_bytes(kind))
    installer = machine.start_installer("--path", "E:\\")
    # The run goes on as if the drive held no Korvane.exe: the wizard for E,
    # which would replace it.
    ui.wait_for_screen(machine, "licence", installer)
    ui.press(machine, ui.DECLINE)
    result = installer.wait()
    assert result.exit_code == 1
    assert started_stub(machine) == []
    assert errors(result) == ["E:\\Korvane.exe is not genuine and is not started: " + REFUSALS[kind]]
    assert (drive / "Korvane.exe").read_bytes() == impostor_bytes(kind)


# --- The windowless install ("/path=") --------------------------------------

def test_genuine_package_installs_and_its_application_is_accepted(machine, package_server, demo_package):
    package_server()
    drive = machine.add_usb_drive("E")
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 0, result.messages
    assert_package_installed(demo_package, drive)
    assert errors(result) == []
    assert "InstallBackend::Install E:\\Korvane.exe is signed by " + TRUSTED_SIGNER in result.messages
    # The windowless install starts nothing; the accepted file then opens.
    assert started_stub(machine) == []
    opened = machine.run_installer("--path", "E:\\")
    assert errors(opened) == []
    assert len(started_stub(machine)) == 1


def test_genuine_application_in_a_folder_is_checked_there(machine, package_server):
    package_server()
    machine.add_usb_drive("E")
    result = machine.run_installer("/path=E:\\Apps")
    assert result.exit_code == 0, result.messages
    assert "InstallBackend::Install E:\\Apps\\Korvane.exe is signed by " + TRUSTED_SIGNER in result.messages


@pytest.mark.parametrize("kind", sorted(REFUSALS) + ["missing"])
def test_package_whose_application_is_not_genuine_fails(machine, package_server, impostor_packages, kind):
    server = package_server(package=impostor_packages[kind])
    machine.add_usb_drive("E")
    result = machine.run_installer("/path=E:\\")
    assert result.exit_code == 1
    expected = REFUSALS.get(kind, "result 0x80070002")  # no Korvane.exe: file not found
    assert errors(result) == ["InstallBackend::Install E:\\Korvane.exe is not genuine: " + expected]
    assert not any("is signed by" in m for m in result.messages)
    assert started_stub(machine) == []
    # Fetching the same package again would bring the same file: one download.
    first_ranges = [r for r in server.requests() if "range=bytes=0-4194303" in r]
    assert len(first_ranges) == 1, server.requests()
    assert not (machine.log_file.parent / "KV_Install_E" / "Korvane.zip").exists()


# --- Starting the installed application from the screens --------------------

START_PROBE = BUILD_DIR / "tests" / "probes" / "StartApplicationProbe.exe"


def start_from_screen(machine, *args):
    before = len(machine.log_lines())
    result = machine.run(START_PROBE, *args)
    return result.exit_code, machine.log_lines()[before:]


def test_genuine_application_is_restarted_with_its_parameters(machine):
    drive = machine.add_drive("E")
    machine.put_stub(drive)
    code, log = start_from_screen(machine, "E:\\Korvane.exe", "/NotifyUpdate")
    assert code == 0
    assert not [line for line in log if " ERROR " in line], log
    started = started_stub(machine)
    assert len(started) == 1 and started[0].endswith("/NotifyUpdate"), started
    assert "E:\\Korvane.exe" in started[0]


@pytest.mark.parametrize("kind", sorted(REFUSALS))
def test_application_that_is_no_longer_genuine_is_not_restarted(machine, kind):
    drive = machine.add_drive("E")
    (drive / "Korvane.exe").write_bytes(impostor_bytes(kind))
    code, log = start_from_screen(machine, "E:\\Korvane.exe", "/NotifyUpdate")
    assert code == 1
    assert started_stub(machine) == []
    assert log[-1].endswith(" ERROR [default] E:\\Korvane.exe is not genuine and is not started: " + REFUSALS[kind])


def test_run_button_refuses_an_application_changed_since_the_install(machine, package_server):
    package_server()
    drive = machine.add_usb_drive("E", "KORVANE USB")
    installer = machine.start_installer("--path", "E:\\")
    ui.wait_for_screen(machine, "licence", installer)
    ui.press(machine, ui.ACCEPT)
    ui.wait_for_completed(machine, installer)
    (drive / "Korvane.exe").write_bytes(impostor_bytes("changed"))
    ui.press(machine, ui.RUN)
    result = installer.wait()
    assert result.exit_code == 0  # the screen ran to its close
    assert started_stub(machine) == []
    assert errors(result) == ["E:\\Korvane.exe is not genuine and is not started: " + REFUSALS["changed"]]


def test_update_does_not_restart_an_application_that_is_not_genuine(machine, package_server, demo_package):
    package_server()
    drive = machine.add_usb_drive("E", "KORVANE USB")
    (drive / "Tools").mkdir()
    (drive / "Tools" / "Korvane.exe").write_bytes(impostor_bytes("unsigned"))
    installer = machine.start_installer("/AppUpdate", "--drivePath", "E:\\", "--exePath", "E:\\Tools\\Korvane.exe")
    result = installer.wait()  # the update mode's screen closes by itself
    assert result.exit_code == 0
    assert_package_installed(demo_package, drive)
    assert started_stub(machine) == []
    assert ("E:\\Tools\\Korvane.exe is not genuine and is not started: " + REFUSALS["unsigned"]) in errors(result)

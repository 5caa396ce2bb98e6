"""The real download (WinHTTP under Wine) against the local package server.

The download runs on its own in the probe program KorvaneDownloadProbe.exe,
which calls it exactly as the install sequence does and writes the
installer's log, so that its outcome and archive can be checked without an
extraction behind it.
"""
import os

import pytest

import package_rig
import wine_rig
from conftest import BUILD_DIR, LogRecord

CHUNK = 4 * 1024 * 1024
PACKAGE_SIZE = 3 * CHUNK + 12345
PROBE = BUILD_DIR / "tests" / "probes" / "KorvaneDownloadProbe.exe"
PACKAGE_REQUEST = "GET /SW_UPDATE/KV_MERIDEL/Korvane.zip range="


@pytest.fixture(scope="module")
def package(tmp_path_factory):
    path = tmp_path_factory.mktemp("package") / "Korvane.zip"
    path.write_bytes(os.urandom(PACKAGE_SIZE))
    return path


@pytest.fixture
def services():
    started = []
    yield started
    for service in reversed(started):
        service.stop()


class ProbeRun:
    def __init__(self, exit_code, stdout, records, archive):
        self.exit_code = exit_code
        self.records = records
        self.archive = archive
        self.outcome = {}
        for line in stdout.splitlines():
            key, _, value = line.strip().partition(" ")
            if key in ("returned", "raised", "max-fraction", "reports", "statuses"):
                self.outcome[key] = value

    @property
    def messages(self):
        return [r.level + " " + r.message for r in self.records]


def run_probe(machine, *args, timeout=400):
    folder = machine.scratch / "download"
    folder.mkdir(exist_ok=True)
    windows_folder = "Z:" + str(folder).replace("/", "\\") + "\\"
    before = len(machine.log_lines())
    code, out, _ = wine_rig.run(machine.prefix, PROBE, [windows_folder] + list(args),
                                timeout=timeout, display=machine.display)
    wine_rig.wait_wineserver(machine.prefix)
    records = [LogRecord(line) for line in machine.log_lines()[before:]]
    return ProbeRun(code, out, records, folder / "Korvane.zip")


def expected_requests(size):
    ranges = ["%d-%d" % (first, min(first + CHUNK, size) - 1) for first in range(0, size, CHUNK)]
    return [PACKAGE_REQUEST + "-"] + [PACKAGE_REQUEST + "bytes=" + r for r in ranges]


def test_package_of_several_chunks_arrives_byte_identical(machine, package, services, tmp_path):
    server = package_rig.start_package_server(package, tmp_path / "requests.log")
    services.append(server)
    run = run_probe(machine)
    assert run.exit_code == 0, run.messages
    assert run.outcome["returned"].endswith("\\download\\Korvane.zip")
    assert run.archive.read_bytes() == package.read_bytes()
    assert server.requests() == expected_requests(PACKAGE_SIZE)
    # The size probe's connection ends with its headers; every range then
    # comes on one more.
    assert server.handshakes() == 2
    assert float(run.outcome["max-fraction"]) == pytest.approx(1.0)
    # Wine starts with no proxy settings but automatic detection on.
    assert "INFO InstallBackend::Download AutoDetect Proxy Url not Specified" in run.messages
    headers = [m for m in run.messages if "PerformRequest Headers: " in m]
    assert headers[-1] == "INFO InstallBackend::PerformRequest Headers: Range: bytes=%d-%d" % (
        3 * CHUNK, PACKAGE_SIZE - 1)


def test_certificate_from_untrusted_ca_fails_and_keeps_nothing(machine, package, services, tmp_path):
    services.append(package_rig.start_package_server(package, tmp_path / "requests.log", untrusted=True))
    run = run_probe(machine)
    assert run.exit_code == 3
    assert run.outcome["raised"] == "WinHttpSendRequest failed"
    # 12157: the secure channel could not be set up with a certificate nobody vouches for.
    assert "ERROR WinHttpSendRequest error: 12157" in run.messages
    assert run.archive.read_bytes() == b""


FAULTS = {
    # fault: (exit code, raised text or None, what the archive must hold)
    "no-content-length": (3, "InstallBackend::PerformRequest WinHttpQueryHeaders failed: 12150", "empty"),
    "not-found": (0, None, "error page"),
    "ignore-range": (0, None, "whole package"),
    # Every range breaks off half-way: the route is given up after four, and
    # discovery finds no proxy to go on with.
    "drop": (3, "InstallBackend::Download Sending WinHttpRequest failed", "partial"),
    # One reset mid-range: resumed on a new connection at the first missing byte.
    "reset": (0, None, "resumed"),
}


@pytest.mark.parametrize("fault", sorted(FAULTS))
def test_server_fault_gives_its_outcome(machine, package, services, tmp_path, fault):
    exit_code, raised, archive = FAULTS[fault]
    server = package_rig.start_package_server(package, tmp_path / "requests.log", fault=fault)
    services.append(server)
    run = run_probe(machine)
    assert run.exit_code == exit_code, run.messages
    assert run.outcome.get("raised") == raised
    data = run.archive.read_bytes()
    if archive == "empty":
        assert data == b""
        assert "ERROR InstallBackend::PerformRequest WinHttpQueryHeaders error: 12150" in run.messages
    elif archive == "error page":
        # The status is never looked at: the page is taken for the package.
        assert data.startswith(b"<html>") and b"Not Found" in data
        assert len(server.requests()) == 2
    elif archive == "whole package":
        # Every answer is the whole file from its first byte: the first one
        # is taken whole and no further range is asked for.
        assert data == package.read_bytes()
        assert float(run.outcome["max-fraction"]) == pytest.approx(1.0)
        assert len(server.requests()) == 2
    elif archive == "resumed":
        assert data == package.read_bytes()
        resumed = [m for m in run.messages if m.startswith("INFO InstallBackend::Download connection ")]
        assert len(resumed) == 1 and resumed[0].endswith(", resuming in 1 s"), run.messages
        at = int(resumed[0].split(" at byte ")[1].split(",")[0])
        assert 0 < at < CHUNK
        assert PACKAGE_REQUEST + "bytes=%d-%d" % (at, at + CHUNK - 1) in server.requests()
    else:
        # Four halves, each where the one before broke off, then nothing more.
        assert len(server.requests()) == 5
        assert CHUNK < len(data) < PACKAGE_SIZE
        assert data == package.read_bytes()[:len(data)]
        assert ("INFO InstallBackend::Download the direct route stalls on every connection; trying the proxy route"
                in run.messages)


def test_download_goes_through_the_named_proxy(machine, package, services, tmp_path):
    proxy = package_rig.start_proxy(tmp_path / "proxy.log")
    services.append(proxy)
    server = package_rig.start_package_server(package, tmp_path / "requests.log")
    services.append(server)
    wine_rig.set_proxy_settings(machine.prefix, proxy="127.0.0.1:%d" % proxy.port, bypass="")
    run = run_probe(machine)
    assert run.exit_code == 0, run.messages
    assert run.archive.read_bytes() == package.read_bytes()
    assert ("INFO InstallBackend::Download WinHttpGetIEProxyConfigForCurrentUser ieProxyConfig.lpszProxy "
            "127.0.0.1:%d" % proxy.port) in run.messages
    assert "INFO InstallBackend::Download not AutoDetect Proxy Url not Specified" in run.messages
    assert proxy.requests() and set(proxy.requests()) == {"CONNECT localhost:8443"}
    # Through a proxy Wine sends the absolute form of the target.
    assert len(server.requests()) == len(expected_requests(PACKAGE_SIZE))


def test_retry_finds_the_proxy_through_the_auto_config_script(machine, package, services, tmp_path):
    proxy = package_rig.start_proxy(tmp_path / "proxy.log")
    services.append(proxy)
    server = package_rig.start_package_server(package, tmp_path / "requests.log",
                                              pac_proxy="127.0.0.1:%d" % proxy.port)
    services.append(server)
    wine_rig.set_proxy_settings(machine.prefix, auto_config_url="https://localhost:8443/proxy.pac")
    run = run_probe(machine, "--proxy-only")
    assert run.exit_code == 0, run.messages
    assert run.archive.read_bytes() == package.read_bytes()
    assert server.requests()[0] == "GET /proxy.pac range=-"
    assert "INFO InstallBackend::Download AutoDetect Proxy Url Specified" in run.messages
    assert run.messages.count("INFO InstallBackend::Download auto detecting proxy result: 1") == 1
    applied = "INFO InstallBackend::Download WinHttpGetProxyForUrl autoProxyInfo.lpszProxy 127.0.0.1:%d" % proxy.port
    assert run.messages.count(applied) == 5
    assert proxy.requests() and set(proxy.requests()) == {"CONNECT localhost:8443"}
    assert len(server.requests()) == 1 + len(expected_requests(PACKAGE_SIZE))

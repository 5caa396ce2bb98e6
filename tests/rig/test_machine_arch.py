"""The rig's answer to "does this machine run 32-bit code" matches the
machine: 64-bit exactly where an i386 program cannot be executed."""
import errno
import os
import subprocess
from pathlib import Path

import pytest

SOURCE_DIR = Path(__file__).resolve().parents[2]
PROBE = SOURCE_DIR / "tools" / "rig" / "machine_arch.sh"
I386_LOADER = Path("/usr/lib/wine/wine")


def probe(**env):
    environment = dict(os.environ, **env)
    return subprocess.run([str(PROBE)], env=environment, check=True, stdout=subprocess.PIPE,
                          timeout=60).stdout.decode().strip()


def runs_i386_program(tmp_path):
    """Builds an i386 program with the system's own assembler and linker (not
    the probe's hand-made file) and says whether the kernel executes it."""
    source = tmp_path / "exit.s"
    source.write_text(".globl _start\n_start:\n movl $1, %eax\n movl $0, %ebx\n int $0x80\n")
    subprocess.run(["as", "--32", str(source), "-o", str(tmp_path / "exit.o")], check=True)
    subprocess.run(["ld", "-m", "elf_i386", str(tmp_path / "exit.o"), "-o", str(tmp_path / "exit")], check=True)
    try:
        return subprocess.run([str(tmp_path / "exit")], timeout=30).returncode == 0
    except OSError as error:
        assert error.errno == errno.ENOEXEC, error
        return False


def test_probe_says_64_bit_exactly_where_i386_programs_do_not_run(tmp_path):
    expected = "win32" if runs_i386_program(tmp_path) else "win64"
    assert probe(KORVANE_FORCE_WIN64="0") == expected


def test_probe_agrees_with_the_32_bit_wine_loader_where_it_is_installed():
    if not I386_LOADER.exists():
        pytest.skip("32-bit Wine is not installed here (it is not, where it could not run)")
    try:
        works = subprocess.run([str(I386_LOADER), "--version"], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except OSError as error:
        assert error.errno == errno.ENOEXEC, error
        works = False
    assert probe(KORVANE_FORCE_WIN64="0") == ("win32" if works else "win64")


def test_forcing_the_64_bit_path_works_on_any_machine():
    assert probe(KORVANE_FORCE_WIN64="1") == "win64"

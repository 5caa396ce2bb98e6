"""The built exe imports only DLLs Windows always takes from the system
folder, so a planted DLL in the download folder is never loaded; it is a
relocatable GUI program of the build's architecture, its manifest is in
force on that architecture, and it carries no symbols (they are kept in a
file beside it).

These checks read the file and run nothing, so they also check the 32-bit
release build on machines that cannot run it."""
import re
import subprocess

import wine_rig
from conftest import ARCH, INSTALLER

OBJDUMP = {"win32": "i686-w64-mingw32-objdump", "win64": "x86_64-w64-mingw32-objdump"}
PE_FORMAT = {"win32": "pei-i386", "win64": "pei-x86-64"}
MANIFEST_ARCH = {"win32": "x86", "win64": "amd64"}

ALLOWED = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
           "oleaut32.dll", "msvcrt.dll", "comctl32.dll", "shlwapi.dll", "comdlg32.dll"}


# Windows 7 has these only with its loader update (KB2533623); a static
# import of one keeps the exe from starting on a Windows 7 without it.
LOADER_UPDATE_ONLY = {"SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory"}


def imported_functions(dump):
    """{dll: set of function names} from objdump's import tables."""
    functions = {}
    current = None
    for line in dump.splitlines():
        name = re.match(r"\s*DLL Name: (\S+)", line)
        if name:
            current = functions.setdefault(name.group(1).lower(), set())
            continue
        entry = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\w+)\s*$", line)
        if current is not None and entry:
            current.add(entry.group(1))
    return functions


def imported_dlls(exe):
    dump = subprocess.run([OBJDUMP[wine_rig.pe_arch(exe)], "-p", str(exe)], check=True,
                          stdout=subprocess.PIPE).stdout.decode()
    return {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}, dump


def test_installer_imports_only_system_dlls():
    dlls, _ = imported_dlls(INSTALLER)
    assert "kernel32.dll" in dlls
    assert dlls <= ALLOWED, "DLLs that could be planted: %s" % sorted(dlls - ALLOWED)


def test_installer_starts_without_the_loader_update():
    _, dump = imported_dlls(INSTALLER)
    kernel32 = imported_functions(dump)["kernel32.dll"]
    assert "CloseHandle" in kernel32
    assert not kernel32 & LOADER_UPDATE_ONLY


def test_installer_is_a_relocatable_gui_program():
    _, dump = imported_dlls(INSTALLER)
    assert re.search(r"Subsystem\s+00000002", dump)
    assert "DYNAMIC_BASE" in dump and "NX_COMPAT" in dump
    assert "file format %s" % PE_FORMAT[ARCH] in dump
    if ARCH == "win64":
        assert "HIGH_ENTROPY_VA" in dump


def embedded_manifest():
    data = INSTALLER.read_bytes()
    start = data.index(b"<assembly ")
    return data[start:data.index(b"</assembly>", start)].decode("utf-8")


def test_manifest_names_the_build_architecture():
    # Windows refuses to start a program whose manifest names another
    # architecture; Wine silently ignores the whole manifest.
    manifest = embedded_manifest()
    architectures = re.findall(r'processorArchitecture="([^"]*)"', manifest)
    assert architectures == [MANIFEST_ARCH[ARCH]] * 2
    assert 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' in manifest
    assert 'level="asInvoker"' in manifest
    assert ">true</dpiAware>" in manifest and ">UTF-8</activeCodePage>" in manifest


def section_names(exe):
    dump = subprocess.run([OBJDUMP[wine_rig.pe_arch(exe)], "-h", str(exe)], check=True,
                          stdout=subprocess.PIPE).stdout.decode()
    return set(re.findall(r"^\s*\d+\s+(\S+)", dump, re.MULTILINE))


def test_installer_ships_without_symbols_kept_beside_it():
    sections = section_names(INSTALLER)
    assert ".text" in sections and ".reloc" in sections
    assert not [name for name in sections if name.startswith(".debug")], sorted(sections)
    assert ".gnu_debuglink" in sections
    _, dump = imported_dlls(INSTALLER)
    assert "symbols stripped" in dump
    # The link names the symbol file beside the exe, which holds the symbols.
    data = INSTALLER.read_bytes()
    assert b"KorvaneInstaller.exe.debug\0" in data
    assert ".debug_info" in section_names(INSTALLER.with_name("KorvaneInstaller.exe.debug"))

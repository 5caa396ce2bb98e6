"""The built exe imports only DLLs Windows always takes from the system
folder, so a planted DLL in the download folder is never loaded."""
import re
import subprocess

from conftest import BUILD_DIR

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
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(exe)], check=True,
                          stdout=subprocess.PIPE).stdout.decode()
    return {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}, dump


def test_installer_imports_only_system_dlls():
    dlls, _ = imported_dlls(BUILD_DIR / "Installer" / "KorvaneInstaller.exe")
    assert "kernel32.dll" in dlls
    assert dlls <= ALLOWED, "DLLs that could be planted: %s" % sorted(dlls - ALLOWED)


def test_installer_starts_without_the_loader_update():
    _, dump = imported_dlls(BUILD_DIR / "Installer" / "KorvaneInstaller.exe")
    kernel32 = imported_functions(dump)["kernel32.dll"]
    assert "CloseHandle" in kernel32
    assert not kernel32 & LOADER_UPDATE_ONLY


def test_installer_is_a_relocatable_gui_program():
    _, dump = imported_dlls(BUILD_DIR / "Installer" / "KorvaneInstaller.exe")
    assert re.search(r"Subsystem\s+00000002", dump)
    assert "DYNAMIC_BASE" in dump and "NX_COMPAT" in dump
    assert "file format pei-i386" in dump

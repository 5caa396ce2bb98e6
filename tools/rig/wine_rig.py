#!/usr/bin/env python3
"""The Wine test rig: throwaway prefixes, drive letters mapped to folders,
a virtual X screen, and running Windows programs in them.

Used by the pytest suite (as a module) and by CTest (as a command):
  wine_rig.py make-prefix DIR        boot a prefix (idempotent)
  wine_rig.py run PREFIX EXE [ARGS]  run a program under Xvfb in a copy-free prefix
  wine_rig.py map-drive PREFIX LETTER FOLDER  boot the prefix if needed, map a drive letter
  wine_rig.py arch                   print the architecture the rig uses here

A prefix is 32-bit ("win32") or 64-bit ("win64"), as KORVANE_WINE_ARCH says;
without it, as tools/rig/machine_arch.sh finds this machine (64-bit where no
32-bit program runs, or everywhere with KORVANE_FORCE_WIN64=1). The program
under test must be built for the prefix's architecture.
"""
import contextlib
import fcntl
import functools
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

BOOT_TIMEOUT = 300
RUN_TIMEOUT = 600

MACHINE_ARCH_PROBE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "machine_arch.sh")
# Debian's "wine" wrapper starts the 32-bit loader whenever it is installed,
# even on a kernel that cannot run it, so each architecture names its loader.
LOADERS = {"win32": "/usr/lib/wine/wine", "win64": "/usr/lib/wine/wine64"}
PE_MACHINES = {0x014C: "win32", 0x8664: "win64"}


@functools.lru_cache(maxsize=None)
def machine_arch():
    """What tools/rig/machine_arch.sh says of this machine (and of KORVANE_FORCE_WIN64)."""
    return subprocess.run([MACHINE_ARCH_PROBE], check=True, stdout=subprocess.PIPE,
                          timeout=60).stdout.decode().strip()


def wine_arch():
    """The architecture of the prefixes this run makes and uses."""
    arch = os.environ.get("KORVANE_WINE_ARCH") or machine_arch()
    if arch not in LOADERS:
        raise ValueError("unknown Wine architecture %r" % arch)
    return arch


def wine_command():
    """The loader that runs a program in this run's prefixes."""
    return [LOADERS[wine_arch()]]


def pe_arch(program):
    """"win32" or "win64": the architecture a Windows program is built for."""
    with open(program, "rb") as f:
        header = f.read(4096)
    offset = struct.unpack_from("<I", header, 0x3C)[0]
    if header[:2] != b"MZ" or header[offset:offset + 4] != b"PE\0\0":
        raise ValueError("%s is not a Windows program" % program)
    machine = struct.unpack_from("<H", header, offset + 4)[0]
    return PE_MACHINES[machine]


def wine_env(prefix, extra=None):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": str(prefix),
        "WINEARCH": wine_arch(),
        "WINELOADER": LOADERS[wine_arch()],
        "WINEDEBUG": env.get("WINEDEBUG", "-all"),
        # No Mono or Gecko installer dialogs: the installer needs neither.
        "WINEDLLOVERRIDES": "mscoree=;mshtml=",
    })
    env.setdefault("LANG", "en_US.UTF-8")
    if extra:
        env.update(extra)
    return env


def make_prefix(prefix):
    """Boots a fresh prefix once; later calls find it ready."""
    prefix = os.path.abspath(str(prefix))
    ready = os.path.join(prefix, ".korvane-ready")
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    with open(prefix + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(ready):
            return prefix
        shutil.rmtree(prefix, ignore_errors=True)
        env = wine_env(prefix)
        subprocess.run(wine_command() + ["wineboot", "-i"], env=env, check=True, timeout=BOOT_TIMEOUT,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=BOOT_TIMEOUT)
        open(ready, "w").close()
    return prefix


WBEM_LOCATOR_CLSID = "{4590F811-1D3A-11D0-891F-00AA004B2E24}"


def register_wmi_provider(prefix, dll):
    """Makes the prefix's WMI locator class load our fixture provider."""
    key = "HKLM\\Software\\Classes\\CLSID\\%s\\InprocServer32" % WBEM_LOCATOR_CLSID
    env = wine_env(prefix)
    windows_dll = "Z:" + os.path.abspath(str(dll)).replace("/", "\\")
    for value in (["/ve", "/d", windows_dll], ["/v", "ThreadingModel", "/d", "Both"]):
        subprocess.run(wine_command() + ["reg", "add", key] + value + ["/f"], env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)


# The faces the screens ask for, mapped to installed fonts with the same
# metrics, so that texts measure as they do on Windows.
FONT_REPLACEMENTS = {"Arial": "Liberation Sans", "Microsoft Sans Serif": "Liberation Sans",
                     "Times New Roman": "Liberation Serif", "Courier New": "Liberation Mono"}


# Faces whose missing glyphs (Chinese, Japanese, Korean) come from the CJK
# fonts the set-up installs, as Windows links its UI fonts to its CJK ones.
CJK_LINK = "NotoSansCJK-Regular.ttc,Noto Sans CJK JP\\0NotoSansCJK-Bold.ttc,Noto Sans CJK JP"
CJK_LINKED_FACES = ["Liberation Sans", "Liberation Sans Bold", "Arial", "Arial Bold", "Microsoft Sans Serif", "Tahoma", "MS Shell Dlg",
                    "MS Shell Dlg 2"]
FONT_LINK_KEY = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink"


def map_fonts(prefix):
    """Writes Wine's font replacements for the Windows faces, and the links
    to the CJK fonts, into a prefix."""
    env = wine_env(prefix)
    commands = [["HKCU\\Software\\Wine\\Fonts\\Replacements", "/v", face, "/d", replacement]
                for face, replacement in FONT_REPLACEMENTS.items()]
    commands += [[FONT_LINK_KEY, "/v", face, "/t", "REG_MULTI_SZ", "/d", CJK_LINK]
                 for face in CJK_LINKED_FACES]
    for command in commands:
        subprocess.run(["wine", "reg", "add"] + command + ["/f"], env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)


def clone_prefix(template, target):
    """A private copy of a booted prefix for one test."""
    subprocess.run(["cp", "-a", str(template), str(target)], check=True)
    return str(target)


def map_drive(prefix, letter, folder, label=None):
    """Maps a drive letter to a host folder; label becomes its volume label."""
    link = os.path.join(prefix, "dosdevices", letter.lower() + ":")
    with contextlib.suppress(FileNotFoundError):
        os.unlink(link)
    os.makedirs(folder, exist_ok=True)
    os.symlink(os.path.abspath(folder), link)
    if label is not None:
        with open(os.path.join(folder, ".windows-label"), "w") as f:
            f.write(label)


def temp_folder(prefix):
    """The host path of the Windows user's temporary directory."""
    users = os.path.join(prefix, "drive_c", "users")
    for user in sorted(os.listdir(users)):
        if user == "Public":
            continue
        # A 32-bit prefix keeps it in the profile's root, a 64-bit one below AppData.
        for candidate in (os.path.join(users, user, "Temp"),
                          os.path.join(users, user, "AppData", "Local", "Temp")):
            if os.path.isdir(candidate):
                return candidate
    raise FileNotFoundError("no user temporary folder in " + prefix)


def stop_wineserver(prefix):
    subprocess.run(["wineserver", "-k"], env=wine_env(prefix), timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def remove_prefix(prefix):
    """Stops the prefix and deletes it. A booted prefix is about 600 MB, so
    a test run that kept one per test would fill the disk."""
    stop_wineserver(prefix)
    shutil.rmtree(prefix, ignore_errors=True)


def wait_wineserver(prefix, timeout=60):
    """Waits until every program of the prefix has ended, then stops it."""
    try:
        subprocess.run(["wineserver", "-w"], env=wine_env(prefix), timeout=timeout)
    except subprocess.TimeoutExpired:
        stop_wineserver(prefix)


INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
# Flags of the per-user connection settings blob.
PROXY_TYPE_DIRECT, PROXY_TYPE_PROXY, PROXY_TYPE_AUTO_PROXY_URL, PROXY_TYPE_AUTO_DETECT = 1, 2, 4, 8


def connection_settings_blob(proxy="", bypass="", auto_config_url="", auto_detect=False):
    """The DefaultConnectionSettings value that WinHttpGetIEProxyConfigForCurrentUser reads."""
    import struct
    flags = PROXY_TYPE_DIRECT
    if proxy:
        flags |= PROXY_TYPE_PROXY
    if auto_config_url:
        flags |= PROXY_TYPE_AUTO_PROXY_URL
    if auto_detect:
        flags |= PROXY_TYPE_AUTO_DETECT
    blob = struct.pack("<III", 0x46, 1, flags)
    for text in (proxy, bypass, auto_config_url):
        data = text.encode("ascii")
        blob += struct.pack("<I", len(data)) + data
    return blob + bytes(32)


def set_proxy_settings(prefix, proxy="", bypass="", auto_config_url="", auto_detect=False):
    """Writes the user's proxy settings into a prefix, as Internet Options would."""
    blob = connection_settings_blob(proxy, bypass, auto_config_url, auto_detect)
    commands = [
        ["add", INTERNET_SETTINGS + r"\Connections", "/v", "DefaultConnectionSettings",
         "/t", "REG_BINARY", "/d", blob.hex(), "/f"],
        ["add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1" if proxy else "0", "/f"],
    ]
    for name, value in (("ProxyServer", proxy), ("ProxyOverride", bypass), ("AutoConfigURL", auto_config_url)):
        if value:
            commands.append(["add", INTERNET_SETTINGS, "/v", name, "/t", "REG_SZ", "/d", value, "/f"])
    env = wine_env(prefix)
    for command in commands:
        subprocess.run(wine_command() + ["reg"] + command, env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_wineserver(prefix)


class VirtualScreen:
    """An Xvfb display for the lifetime of the object."""

    def __init__(self, width=1024, height=768):
        self.process = None
        for number in range(90, 140):
            if os.path.exists("/tmp/.X11-unix/X%d" % number) or os.path.exists("/tmp/.X%d-lock" % number):
                continue
            self.process = subprocess.Popen(
                ["Xvfb", ":%d" % number, "-screen", "0", "%dx%dx24" % (width, height), "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.display = ":%d" % number
            for _ in range(100):
                if os.path.exists("/tmp/.X11-unix/X%d" % number):
                    return
                if self.process.poll() is not None:
                    break
                time.sleep(0.05)
            self.close()
        raise RuntimeError("could not start Xvfb")

    def close(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)


def run(prefix, program, args=(), extra_env=None, timeout=RUN_TIMEOUT, display=None):
    """Runs a Windows program; returns (exit code, stdout, stderr)."""
    env = wine_env(prefix, extra_env)
    if display:
        env["DISPLAY"] = display
    done = subprocess.run(wine_command() + [str(program)] + list(args), env=env, timeout=timeout,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


class Started:
    """A Windows program started without waiting for it. Its output goes to
    files, not pipes: Wine's helper processes inherit the standard handles
    and can hold a pipe open long after the program itself has ended."""

    def __init__(self, prefix, program, args=(), extra_env=None, display=None):
        env = wine_env(prefix, extra_env)
        if display:
            env["DISPLAY"] = display
        self._out = tempfile.TemporaryFile()
        self._err = tempfile.TemporaryFile()
        self.process = subprocess.Popen(["wine", str(program)] + list(args), env=env,
                                        stdin=subprocess.DEVNULL, stdout=self._out, stderr=self._err)

    def poll(self):
        return self.process.poll()

    def wait(self, timeout=None):
        """The exit code, stdout and stderr once the program has ended."""
        code = self.process.wait(timeout=timeout)
        output = []
        for stream in (self._out, self._err):
            stream.seek(0)
            output.append(stream.read().decode("utf-8", "replace"))
            stream.close()
        return code, output[0], output[1]

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=60)


def start(prefix, program, args=(), extra_env=None, display=None):
    """Starts a Windows program without waiting for it."""
    return Started(prefix, program, args, extra_env, display)


def run_beside(prefix, program, args=(), extra_env=None, timeout=RUN_TIMEOUT, display=None):
    """Runs a program while others run in the prefix; returns (exit code,
    stdout, stderr) as soon as it ends, whatever the prefix still runs."""
    return start(prefix, program, args, extra_env, display).wait(timeout=timeout)


def main(argv):
    if len(argv) >= 2 and argv[0] == "make-prefix":
        make_prefix(argv[1])
        return 0
    if len(argv) == 4 and argv[0] == "map-drive":
        map_drive(make_prefix(argv[1]), argv[2], argv[3])
        return 0
    if argv == ["arch"]:
        print(wine_arch())
        return 0
    if len(argv) >= 3 and argv[0] == "run":
        if pe_arch(argv[2]) != wine_arch():
            print("%s is a %s program; this prefix is %s" % (argv[2], pe_arch(argv[2]), wine_arch()),
                  file=sys.stderr)
            return 2
        prefix = make_prefix(argv[1])
        screen = None if os.environ.get("DISPLAY") else VirtualScreen()
        try:
            code, out, err = run(prefix, argv[2], argv[3:], display=screen.display if screen else None)
            sys.stdout.write(out)
            sys.stderr.write(err)
            wait_wineserver(prefix)
            return code
        finally:
            if screen:
                screen.close()
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

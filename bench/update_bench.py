#!/usr/bin/env python3
"""Update benchmark: the ~150 MB package of 2,000 mixed files (the one
bench/zip_extract_bench.py makes) put over an installed copy of itself,
staged and committed as the installer does, against extracted in place over
the installed files, on the same folder, natively and under Wine. Prints
the median of RUNS wall times of each, their ratio, and the most the files
on the drive grew by during the update (its peak extra space; counted from
the files, not from the volume's free space, which the rest of the machine
changes too).

  /usr/bin/python3 bench/update_bench.py [RUNS] [--exfat]

The staged update is also run with every flush to the disk left out
("unflushed"): the flush cost is complete/unflushed. --exfat runs each on
an exFAT image (loop device and exfat-fuse, as root) too.

Builds what it needs as zip_extract_bench.py does (build/bench-native, the
Windows build); works in build/bench.
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zip_extract_bench as common  # noqa: E402
import wine_rig  # noqa: E402


def build():
    common.build()
    subprocess.run(["cmake", "--build", common.NATIVE_BUILD, "-j2", "--target", "korvane_update_bench"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", common.WINDOWS_BUILD, "-j2", "--target", "korvane_update_bench"], check=True,
                   stdout=subprocess.DEVNULL)


def runners(prefix):
    native = os.path.join(common.NATIVE_BUILD, "bench", "korvane_update_bench")
    exe = os.path.join(common.WINDOWS_BUILD, "bench", "korvane_update_bench.exe")
    env = wine_rig.wine_env(prefix)
    return [
        ("native", lambda mode, pkg, out: ([native, mode, pkg, out], None)),
        ("Wine", lambda mode, pkg, out: (wine_rig.wine_command() + [exe, mode, common.windows_path(pkg),
                                                                  common.windows_path(out)], env)),
    ]


def one_update(make, mode, package, target):
    command, env = make(mode, package, target)
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        raise RuntimeError("%s %s failed: %s" % (command[0], mode, done.stderr.strip()))
    values = dict(item.split("=") for item in done.stdout.split())
    seconds = float(values["seconds"])
    return seconds, float(values.get("completed_seconds", seconds)), int(values["peak_extra_bytes"])


class ExfatImage:
    """A sparse exFAT image on a loop device, mounted by exfat-fuse: the file
    system a USB stick carries (needs root, /dev/fuse, exfatprogs and
    exfat-fuse)."""

    def __init__(self, folder, megabytes=1024):
        self.image = os.path.join(folder, "stick.img")
        self.mount_point = os.path.join(folder, "stick")
        os.makedirs(self.mount_point, exist_ok=True)
        with open(self.image, "wb") as image:
            image.truncate(megabytes * 1024 * 1024)
        subprocess.run(["mkfs.exfat", self.image], check=True, stdout=subprocess.DEVNULL)
        self.device = subprocess.run(["losetup", "--find", "--show", self.image], check=True,
                                     stdout=subprocess.PIPE, text=True).stdout.strip()
        subprocess.run(["mount.exfat-fuse", self.device, self.mount_point], check=True)

    def close(self):
        subprocess.run(["umount", self.mount_point])
        subprocess.run(["losetup", "-d", self.device])
        os.remove(self.image)


def measure(name, make, package, target, runs):
    """Median seconds of each mode over runs, alternating modes so that the
    page cache and the disk favour none; the peak extra bytes of each."""
    shutil.rmtree(target, ignore_errors=True)
    os.makedirs(target)
    one_update(make, "in-place", package, target)  # the installed copy
    modes = ("in-place", "staged", "staged-unflushed")
    times = {mode: [] for mode in modes}
    completed = {mode: [] for mode in modes}
    extra = {mode: 0 for mode in modes}
    for _ in range(runs):
        for mode in modes:
            subprocess.run(["sync"])
            seconds, done, peak = one_update(make, mode, package, target)
            times[mode].append(seconds)
            completed[mode].append(done)
            extra[mode] = max(extra[mode], peak)
    shutil.rmtree(target, ignore_errors=True)
    inplace = common.median(times["in-place"])
    flushed, unflushed = common.median(completed["staged"]), common.median(completed["staged-unflushed"])
    print("  %-14s %10.2f %12.2f %6.2f %12.2f %10.2f %12.2f %10.0f %10.0f" % (
        name, inplace, flushed, flushed / inplace, unflushed, flushed / unflushed,
        common.median(times["staged"]), extra["in-place"] / 1e6, extra["staged"] / 1e6))


def main():
    arguments = [a for a in sys.argv[1:] if not a.startswith("--")]
    runs = int(arguments[0]) if arguments else 5
    os.makedirs(common.WORK, exist_ok=True)
    build()
    prefix = wine_rig.make_prefix(os.path.join(common.WORK, "wine-prefix"))
    package = os.path.join(common.WORK, "mixed-150mb.zip")
    common.make_package(package, 2000, 2000, 700000, 1)
    unpacked = sum(i.file_size for i in __import__("zipfile").ZipFile(package).infolist())
    print("Update of %s (%.0f MB, %.0f MB unpacked) over an installed copy, median of %d runs"
          % (os.path.basename(package), os.path.getsize(package) / 1e6, unpacked / 1e6, runs))
    print("  %-14s %10s %12s %6s %12s %10s %12s %10s %10s" % (
        "", "in place s", "complete s", "ratio", "unflushed s", "flush cost", "cleaned up s", "extra MB",
        "extra MB"))
    print("  %-14s %10s %12s %6s %12s %10s %12s %10s %10s" % (
        "", "", "(staged)", "", "(complete)", "", "(staged)", "in place", "staged"))
    places = [("folder", common.WORK, None)]
    if "--exfat" in sys.argv:
        image = ExfatImage(common.WORK)
        places.append(("exFAT", image.mount_point, image))
    try:
        for place, root, _ in places:
            for name, make in runners(prefix):
                measure("%s, %s" % (name, place), make, package, os.path.join(root, "installed"), runs)
    finally:
        wine_rig.stop_wineserver(prefix)
        for _, _, image in places:
            if image:
                image.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

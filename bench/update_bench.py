#!/usr/bin/env python3
"""Update benchmark: the ~150 MB package of 2,000 mixed files (the one
bench/zip_extract_bench.py makes) put over an installed copy of itself,
staged and committed as the installer does, against extracted in place over
the installed files, on the same folder, natively and under Wine. Prints
the median of RUNS wall times of each, their ratio, and the most the files
on the drive grew by during the update (its peak extra space; counted from
the files, not from the volume's free space, which the rest of the machine
changes too).

  /usr/bin/python3 bench/update_bench.py [RUNS]

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


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    os.makedirs(common.WORK, exist_ok=True)
    build()
    prefix = wine_rig.make_prefix(os.path.join(common.WORK, "wine-prefix"))
    package = os.path.join(common.WORK, "mixed-150mb.zip")
    common.make_package(package, 2000, 2000, 700000, 1)
    unpacked = sum(i.file_size for i in __import__("zipfile").ZipFile(package).infolist())
    print("Update of %s (%.0f MB, %.0f MB unpacked) over an installed copy, median of %d runs"
          % (os.path.basename(package), os.path.getsize(package) / 1e6, unpacked / 1e6, runs))
    print("  %-7s %10s %16s %6s %16s %6s %10s %10s" % (
        "", "in place s", "staged: complete", "ratio", "staged: cleaned", "ratio", "extra MB", "extra MB"))
    print("  %-7s %10s %16s %6s %16s %6s %10s %10s" % ("", "", "s", "", "up s", "", "in place", "staged"))
    for name, make in runners(prefix):
        target = os.path.join(common.WORK, "installed")
        shutil.rmtree(target, ignore_errors=True)
        os.makedirs(target)
        one_update(make, "in-place", package, target)  # the installed copy
        times = {"in-place": [], "staged": [], "completed": []}
        extra = {"in-place": 0, "staged": 0}
        for _ in range(runs):
            # Alternating, so that the page cache and the disk favour neither.
            for mode in ("in-place", "staged"):
                subprocess.run(["sync"])
                seconds, completed, peak = one_update(make, mode, package, target)
                times[mode].append(seconds)
                if mode == "staged":
                    times["completed"].append(completed)
                extra[mode] = max(extra[mode], peak)
        inplace = common.median(times["in-place"])
        completed, staged = common.median(times["completed"]), common.median(times["staged"])
        print("  %-7s %10.2f %16.2f %6.2f %16.2f %6.2f %10.0f %10.0f" % (
            name, inplace, completed, completed / inplace, staged, staged / inplace,
            extra["in-place"] / 1e6, extra["staged"] / 1e6))
        shutil.rmtree(target, ignore_errors=True)
    wine_rig.stop_wineserver(prefix)
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Extraction benchmark: InstallBackend::Unzip natively and under Wine,
against Info-ZIP unzip and bsdtar extracting the same packages in the same
run. Prints the median of RUNS wall times, the ratio to bsdtar, the peak
memory of each tool (which must not grow with the package), and the system
calls each tool makes per entry (strace; Wine's calls include its round
trips to the Wine server). "native 16 KiB" is the native Unzip built with
the former 16 KiB read and write pieces instead of 256 KiB
(KORVANE_ZIP_BUFFER_BYTES), so one run shows before and after against the
same bsdtar.

  /usr/bin/python3 bench/zip_extract_bench.py [RUNS]

Builds what it needs: release native builds in build/bench-native and
build/bench-native-16k, the
Windows build in build/win32-local (win64-local where no 32-bit code runs), packages and a Wine prefix in
build/bench (the packages are kept between runs).
"""
import os
import random
import shutil
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools", "rig"))
import wine_rig  # noqa: E402

WORK = os.path.join(ROOT, "build", "bench")
NATIVE_BUILD = os.path.join(ROOT, "build", "bench-native")
# The former buffer size, built as a variant to compare against.
NATIVE_16K_BUILD = os.path.join(ROOT, "build", "bench-native-16k")
WINDOWS_PRESET = wine_rig.wine_arch() + "-local"
WINDOWS_BUILD = os.path.join(ROOT, "build", WINDOWS_PRESET)
SAMPLE_ENTRIES = 2000
WORDS = [w.encode() for w in (
    "korvane signature scan drive portable update engine heuristic archive "
    "quarantine report virus pattern database module resource").split()]


def compressible(rng, size):
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rng.choices(WORDS, k=64)) + b"\n"
    return bytes(out[:size])


def make_package(path, files, min_size, max_size, seed):
    """files entries in 50 folders, sizes log-uniform, half text, half random."""
    if os.path.exists(path):
        return
    rng = random.Random(seed)
    tmp = path + ".part"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        for i in range(files):
            size = int(min_size * (max_size / min_size) ** rng.random())
            data = compressible(rng, size) if i % 2 == 0 else rng.randbytes(size)
            z.writestr("folder%02d/file%05d.%s" % (i % 50, i, "txt" if i % 2 == 0 else "bin"), data)
    os.rename(tmp, path)


def build():
    for folder, options in ((NATIVE_BUILD, []), (NATIVE_16K_BUILD, ["-DKORVANE_ZIP_BUFFER_BYTES=16384"])):
        subprocess.run(["cmake", "-S", ROOT, "-B", folder, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DKORVANE_BUILD_TESTS=OFF"] + options, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", folder, "-j2", "--target", "korvane_unzip_bench"], check=True,
                       stdout=subprocess.DEVNULL)
    if not os.path.exists(os.path.join(WINDOWS_BUILD, "CMakeCache.txt")):
        subprocess.run(["cmake", "--preset", WINDOWS_PRESET], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", WINDOWS_BUILD, "-j2", "--target", "korvane_unzip_bench"], check=True,
                   stdout=subprocess.DEVNULL)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def measure(command, env=None):
    """(wall seconds, peak RSS in KiB, stdout) of one run. GNU time reports
    the peak: a child started straight from Python would count Python's."""
    report = os.path.join(WORK, "time.txt")
    start = time.monotonic()
    done = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + command, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - start
    if done.returncode != 0:
        raise RuntimeError("%s failed with %d" % (command[0], done.returncode))
    peak = int(open(report).read().split()[-1])
    return seconds, peak, done.stdout.decode()


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def count_calls(command, env=None):
    """System calls of one run, all threads and children, from strace -c."""
    report = os.path.join(WORK, "strace.txt")
    done = subprocess.run(["strace", "-f", "-c", "-o", report] + command, env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if done.returncode != 0:
        raise RuntimeError("%s failed under strace with %d" % (command[0], done.returncode))
    for line in open(report):
        fields = line.split()
        if fields and fields[-1] == "total":
            # % time, seconds, usecs/call, calls, [errors,] total
            return int(fields[3])
    raise RuntimeError("no total in strace's report")


def sample_of(package, limit=SAMPLE_ENTRIES):
    """The package itself, or a copy of its first limit entries: strace
    slows Wine down so much that 20,000 entries would take most of an
    hour, and every entry of a package costs the same calls."""
    with zipfile.ZipFile(package) as z:
        infos = z.infolist()
        if len(infos) <= limit:
            return package, len(infos)
        sample = package[:-len(".zip")] + "-sample%d.zip" % limit
        if not os.path.exists(sample):
            with zipfile.ZipFile(sample + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=6) as out:
                for info in infos[:limit]:
                    out.writestr(info.filename, z.read(info))
            os.rename(sample + ".part", sample)
    return sample, limit


def calls_per_entry(make, package, single, count):
    """(calls for the package - calls for a one-entry archive) / (entries -
    1): what each entry costs beyond the tool's start and end."""
    package, count = sample_of(package)
    totals = []
    for archive in (package, single):
        out = os.path.join(WORK, "out")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        command, env = make(archive, out)
        totals.append(count_calls(command, env))
    shutil.rmtree(os.path.join(WORK, "out"), ignore_errors=True)
    return (totals[0] - totals[1]) / (count - 1)


def tools(prefix):
    native = os.path.join(NATIVE_BUILD, "bench", "korvane_unzip_bench")
    native_16k = os.path.join(NATIVE_16K_BUILD, "bench", "korvane_unzip_bench")
    exe = os.path.join(WINDOWS_BUILD, "bench", "korvane_unzip_bench.exe")
    wine_env = wine_rig.wine_env(prefix)
    return [
        ("unzip", lambda pkg, out: (["unzip", "-q", "-o", pkg, "-d", out], None)),
        ("bsdtar", lambda pkg, out: (["bsdtar", "-xf", pkg, "-C", out], None)),
        ("Unzip native", lambda pkg, out: ([native, pkg, out], None)),
        ("native 16 KiB", lambda pkg, out: ([native_16k, pkg, out], None)),
        ("Unzip Wine", lambda pkg, out: (wine_rig.wine_command() + [exe, windows_path(pkg), windows_path(out)], wine_env)),
    ]


def run_package(label, package, prefix, runs, single):
    size_mb = os.path.getsize(package) / 1e6
    with zipfile.ZipFile(package) as z:
        count = len(z.infolist())
    print("\n%s: %s, %d entries, %.0f MB" % (label, os.path.basename(package), count, size_mb))
    print("  %-14s %9s %9s %10s %14s %12s" % ("tool", "median s", "vs bsdtar", "peak MiB", "Unzip's own s",
                                              "calls/entry"))
    # The tools take turns, run by run, so that a machine whose load swings
    # during the run slows them all alike and the ratios stay fair.
    measured = {name: ([], [], "") for name, _ in tools(prefix)}
    for _ in range(runs):
        for name, make in tools(prefix):
            out = os.path.join(WORK, "out")
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            command, env = make(package, out)
            seconds, peak, text = measure(command, env)
            times, peaks, inner = measured[name]
            times.append(seconds)
            peaks.append(peak)
            if "seconds=" in text:
                measured[name] = (times, peaks, text.split("seconds=")[1].split()[0])
    shutil.rmtree(os.path.join(WORK, "out"), ignore_errors=True)
    results = []
    for name, make in tools(prefix):
        times, peaks, inner = measured[name]
        calls = calls_per_entry(make, package, single, count) if shutil.which("strace") else float("nan")
        results.append((name, median(times), max(peaks), inner, calls))
    baseline = dict((r[0], r[1]) for r in results)["bsdtar"]
    for name, seconds, peak, inner, calls in results:
        print("  %-14s %9.2f %9.2f %10.1f %14s %12.1f" % (name, seconds, seconds / baseline, peak / 1024, inner,
                                                           calls))


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    os.makedirs(WORK, exist_ok=True)
    build()
    prefix = wine_rig.make_prefix(os.path.join(WORK, "wine-prefix"))
    packages = [
        ("Mixed package", os.path.join(WORK, "mixed-150mb.zip"), 2000, 2000, 700000, 1),
        ("Same mix, a tenth (memory must not follow size)", os.path.join(WORK, "mixed-15mb.zip"),
         200, 2000, 700000, 1),
        ("Small files", os.path.join(WORK, "small-20000.zip"), 20000, 200, 4000, 2),
    ]
    for label, path, files, low, high, seed in packages:
        make_package(path, files, low, high, seed)
    single = os.path.join(WORK, "single.zip")
    with zipfile.ZipFile(single, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("folder00/file00000.txt", b"one entry\n")
    for label, path, *_ in packages:
        run_package(label, path, prefix, runs, single)
    wine_rig.stop_wineserver(prefix)
    return 0


if __name__ == "__main__":
    sys.exit(main())

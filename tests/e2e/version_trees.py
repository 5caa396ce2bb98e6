"""Two versions of the application as trees of files, their packages, and
looks at a drive, for the tests of updates that do not go through."""
import time
import zipfile

from conftest import BUILD_DIR

STAGING = ".korvane-staging"
STUBS = BUILD_DIR / "tools" / "stub_app"
# Enough files that staging and renaming them take seconds under Wine.
DATA_FILES = 1000
POLL = 0.005


def version_tree(version, application, data_files):
    tree = {"Korvane.exe": application, "version.txt": b"%d\r\n" % version}
    for i in range(data_files):
        tree["data/sig%04d.db" % i] = b"version %d signature %04d\n" % (version, i) * 400
    return tree


def write_tree(root, tree):
    for name, data in tree.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)


def read_tree(root):
    """Every file below root but the rig's volume label."""
    return {str(p.relative_to(root)): p.read_bytes() for p in root.rglob("*")
            if p.is_file() and p.name != ".windows-label"}


def folders(root):
    return sorted(str(p.relative_to(root)) for p in root.rglob("*") if p.is_dir())


def make_package(path, tree):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as archive:
        for name, data in tree.items():
            archive.writestr(name, data)
    return path


def make_versions(folder, data_files=DATA_FILES):
    """Version 1 and 2 (every file different but the signed Korvane.exe),
    version 2's package, and one whose Korvane.exe is unsigned."""
    genuine = (STUBS / "StubKorvane.exe").read_bytes()
    old, new = version_tree(1, genuine, data_files), version_tree(2, genuine, data_files)
    unsigned = dict(new, **{"Korvane.exe": (STUBS / "StubKorvane-unsigned.exe").read_bytes()})
    return {"old": old, "new": new, "package": make_package(folder / "v2.zip", new),
            "unsigned": make_package(folder / "unsigned.zip", unsigned)}


def wait_for_path(path, what, timeout=120):
    deadline = time.monotonic() + timeout
    while not path.exists():
        assert time.monotonic() < deadline, "no " + what
        time.sleep(POLL)


def downloads(server):
    """The package's first ranges: one per download."""
    return [r for r in server.requests() if "Korvane.zip range=bytes=0-" in r]


def package_larger_than(path, stub, size):
    """The stub application and a data file of size zero bytes: a package
    of a few hundred KiB that declares more than size bytes."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.write(stub, "Korvane.exe")
        with archive.open("Data/signatures.bin", "w", force_zip64=False) as data:
            block = bytes(1 << 20)
            for _ in range(size // len(block) + 1):
                data.write(block)
    return path

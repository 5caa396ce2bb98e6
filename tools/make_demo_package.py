#!/usr/bin/env python3
"""Makes the demo package Korvane.zip: the stub application as Korvane.exe
beside a few data files, large enough that the download needs two 4 MiB
Range requests. The content is the same on every run.

  make_demo_package.py STUB_EXE OUTPUT_ZIP [--without-application]

--without-application leaves Korvane.exe out (STUB_EXE is not read), for
the test of a package that installs no application.
"""
import random
import sys
import zipfile

# Signature data does not compress, so the package stays above 4 MiB.
SIGNATURE_BYTES = 5 * 1024 * 1024 + 12345


def entries(stub):
    rng = random.Random(20261209)
    if stub is not None:
        yield "Korvane.exe", stub
    yield "README.txt", (b"Korvane scans the files of this drive for viruses.\r\n"
                         b"Start Korvane.exe from the drive's root.\r\n")
    yield "Signatures/main.kvs", bytes(rng.getrandbits(8) for _ in range(SIGNATURE_BYTES))
    yield "Signatures/daily.kvs", bytes(rng.getrandbits(8) for _ in range(64 * 1024))
    yield "Languages/en.txt", b"Scan=Scan\r\nQuit=Quit\r\n"


def main(stub_path, output, with_application=True):
    stub = None
    if with_application:
        with open(stub_path, "rb") as f:
            stub = f.read()
    with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in entries(stub):
            info = zipfile.ZipInfo(name, date_time=(2026, 12, 1, 9, 30, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            archive.writestr(info, data)
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[3] == "--without-application":
        sys.exit(main(sys.argv[1], sys.argv[2], with_application=False))
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))

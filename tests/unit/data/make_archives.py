#!/usr/bin/env python3
"""Makes the zip archives the reader and extraction tests read, with real
archivers: Python's zipfile, Info-ZIP zip, 7-Zip and Java's jar. Names and faults that no
archiver writes (traversal names, damaged records) are made by writing or
patching the bytes of a real archive.

  make_archives.py OUTPUT_FOLDER

The contents and times below are what the tests expect.
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

# Times the tests check (seconds since 1970, UTC; even, as DOS keeps 2 s).
UNIX_MTIME = 1600000000
UNIX_ATIME = 1600001000
UT_MTIME = 1500000000
UT_DOS_TIME = (2020, 1, 2, 3, 4, 6)


def run(*args, cwd=None, env=None, stdout=None):
    full_env = dict(os.environ, TZ="UTC")
    full_env.update(env or {})
    subprocess.run(list(args), cwd=cwd, env=full_env, check=True, stdout=stdout,
                   stderr=subprocess.DEVNULL)


def write(path, data, mode=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if mode is not None:
        os.chmod(path, mode)


def central_records(data):
    """(offset of each central record, end record offset) of an archive."""
    end = data.rindex(b"PK\x05\x06")
    count, = struct.unpack_from("<H", data, end + 10)
    offset, = struct.unpack_from("<I", data, end + 16)
    records = []
    for _ in range(count):
        records.append(offset)
        n, e, c = struct.unpack_from("<HHH", data, offset + 28)
        offset += 46 + n + e + c
    return records, end


def local_data_offset(data, central):
    local, = struct.unpack_from("<I", data, central + 42)
    n, e = struct.unpack_from("<HH", data, local + 26)
    return local, local + 30 + n + e


def patch(path, edit):
    data = bytearray(open(path, "rb").read())
    edit(data)
    open(path, "wb").write(bytes(data))


def python_zip(path, entries, comment=b""):
    """entries: (ZipInfo or name, data, compression)."""
    with zipfile.ZipFile(path, "w") as z:
        for info, data, compression in entries:
            if isinstance(info, str):
                info = zipfile.ZipInfo(info, date_time=(2021, 5, 6, 7, 8, 10))
            info.compress_type = compression
            z.writestr(info, data)
        z.comment = comment


def info(name, create_system=3, external=0o100644 << 16, date_time=(2021, 5, 6, 7, 8, 10)):
    i = zipfile.ZipInfo(name, date_time=date_time)
    i.create_system = create_system
    i.external_attr = external
    return i


def make_tree(root):
    """Files with fixed contents, modes and times for the real archivers."""
    write(os.path.join(root, "readme.txt"), b"Korvane readme\n" * 20, 0o644)
    write(os.path.join(root, "locked.txt"), b"read only\n", 0o444)
    write(os.path.join(root, "tools", "scan.dat"), bytes(range(256)) * 64, 0o644)
    os.chmod(os.path.join(root, "tools"), 0o755)
    for dirpath, dirnames, filenames in os.walk(root):
        for name in filenames + dirnames:
            os.utime(os.path.join(dirpath, name), (UNIX_ATIME, UNIX_MTIME))


def make_streamed_tree(root):
    """A package-like tree larger than one 4 MiB range: incompressible data
    (stored), text (deflated), an empty file and an empty folder."""
    data = random.Random(22).randbytes(5 * 1024 * 1024 + 123)
    write(os.path.join(root, "Korvane.exe"), data[:300000])
    write(os.path.join(root, "data", "signatures.bin"), data)
    write(os.path.join(root, "data", "lang", "en.txt"), b"Scan the drive\n" * 4000)
    write(os.path.join(root, "empty.txt"), b"")
    os.makedirs(os.path.join(root, "quarantine"))
    for dirpath, dirnames, filenames in os.walk(root):
        for name in filenames + dirnames:
            os.utime(os.path.join(dirpath, name), (UNIX_ATIME, UNIX_MTIME))


def make_info_zip_archives(out, work):
    tree = os.path.join(work, "tree")
    make_tree(tree)
    streamed = os.path.join(work, "streamed")
    make_streamed_tree(streamed)
    run("zip", "-q", "-r", "-n", ".bin", os.path.join(out, "streamed_tree.zip"), ".", cwd=streamed)
    # Unix modes and the extended timestamp Info-ZIP writes (mtime, atime).
    run("zip", "-q", "-r", os.path.join(out, "unix_modes.zip"), "readme.txt", "locked.txt", "tools",
        cwd=tree)
    # A comment typed into zip.
    subprocess.run(["zip", "-q", "-z", os.path.join(out, "comment.zip"), "readme.txt"], cwd=tree,
                   input=b"Korvane package comment\n", check=True, env=dict(os.environ, TZ="UTC"))
    # Written to a pipe, zip cannot seek back and uses data descriptors.
    data = subprocess.run(["zip", "-q", "-", "readme.txt", "tools/scan.dat"], cwd=tree, check=True,
                          stdout=subprocess.PIPE, env=dict(os.environ, TZ="UTC")).stdout
    open(os.path.join(out, "data_descriptor.zip"), "wb").write(data)
    assert struct.unpack_from("<H", data, 6)[0] & 8, "zip wrote no data descriptor"
    # A program stub in front, offsets not adjusted (the reader's shift) ...
    inner = open(os.path.join(out, "comment.zip"), "rb").read()
    stub = b"MZ" + bytes(4094)
    open(os.path.join(out, "stub_in_front.zip"), "wb").write(stub + inner)
    # ... and adjusted by zip -A, as self-extractors are.
    sfx = os.path.join(out, "stub_adjusted.zip")
    open(sfx, "wb").write(stub + inner)
    run("zip", "-q", "-A", sfx)
    make_encrypted(out, tree)
    # Zip64 records forced on small files, and a Zip64 entry of Python's.
    run("zip", "-q", "-fz", os.path.join(out, "zip64_forced.zip"), "readme.txt", cwd=tree)
    with zipfile.ZipFile(os.path.join(out, "zip64_entry.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("first.txt", b"first")
        with z.open("second.txt", "w", force_zip64=True) as f:
            f.write(b"second")
    # The same local block saying the entry is a byte longer than the
    # central record does.
    shutil.copy(os.path.join(out, "zip64_entry.zip"), os.path.join(out, "zip64_local_differs.zip"))

    def lengthen_local_block(d):
        records, _ = central_records(d)
        local, _ = local_data_offset(d, records[1])
        n, = struct.unpack_from("<H", d, local + 26)
        block = local + 30 + n
        assert struct.unpack_from("<HH", d, block) == (1, 16)
        size, = struct.unpack_from("<Q", d, block + 4)
        struct.pack_into("<Q", d, block + 4, size + 1)
    patch(os.path.join(out, "zip64_local_differs.zip"), lengthen_local_block)


def empty_password_check_byte(data, central):
    """The last decrypted header byte under the empty password."""
    keys = [0x12345678, 0x23456789, 0x34567890]

    def update(c):
        keys[0] = (zlib.crc32(bytes([c]), keys[0] ^ 0xFFFFFFFF) ^ 0xFFFFFFFF) & 0xFFFFFFFF
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = (zlib.crc32(bytes([keys[1] >> 24]), keys[2] ^ 0xFFFFFFFF) ^ 0xFFFFFFFF) & 0xFFFFFFFF

    _, start = local_data_offset(data, central)
    plain = 0
    for c in data[start:start + 12]:
        t = (keys[2] | 2) & 0xFFFF
        plain = c ^ (((t * (t ^ 1)) >> 8) & 0xFF)
        update(plain)
    return plain


def make_encrypted(out, tree):
    """An entry encrypted with a password. Its random header matches the
    empty password's check byte once in 256 archives: make another then."""
    path = os.path.join(out, "encrypted.zip")
    for _ in range(16):
        if os.path.exists(path):
            os.unlink(path)
        run("zip", "-q", "-P", "secret", path, "readme.txt", cwd=tree)
        data = open(path, "rb").read()
        (central,), _ = central_records(data)
        flags, _, dos_time, _, crc = struct.unpack_from("<HHHHI", data, central + 8)
        expected = (dos_time >> 8) if flags & 8 else (crc >> 24)
        if empty_password_check_byte(data, central) != expected:
            return
    raise RuntimeError("every encrypted archive matched the empty password")


def make_7zip_archives(out, work):
    tree = os.path.join(work, "tree7")
    for i in range(1, 5):
        write(os.path.join(tree, "part%d.txt" % i), (b"part %d\n" % i) * (100 * i))
    run("7z", "a", "-tzip", "-bd", os.path.join(out, "four_entries.zip"),
        "part1.txt", "part2.txt", "part3.txt", "part4.txt", cwd=tree, stdout=subprocess.DEVNULL)
    run("7z", "a", "-tzip", "-mm=BZip2", "-bd", os.path.join(out, "bzip2_7z.zip"), "part1.txt",
        cwd=tree, stdout=subprocess.DEVNULL)


def make_jar_archives(out, work):
    """Java's archivers mark folders by the trailing slash alone: host
    MS-DOS, external attributes 0."""
    tree = os.path.join(work, "treejar")
    write(os.path.join(tree, "app", "lib", "core.dat"), b"core data\n" * 10)
    write(os.path.join(tree, "app", "readme.txt"), b"jar readme\n")
    os.makedirs(os.path.join(tree, "app", "empty"), exist_ok=True)
    run("jar", "cf", os.path.join(out, "folders_jar.zip"), "app", cwd=tree)


# Legacy names: (locale for Info-ZIP zip, Python codec, name).
LEGACY_NAMES = [
    ("en_US", "IBM437", "cp437", "Çafé.txt"),
    ("ru_RU", "IBM866", "cp866", "Привет.txt"),
    ("ja_JP", "SHIFT_JIS", "shift_jis", "日本語.txt"),
]


def make_legacy_name_archives(out, work):
    """Names in the creating system's code page, without the UTF-8 flag.
    Info-ZIP zip stores a file's name bytes as they are in its locale; the
    locales are compiled into a private folder, nothing is installed."""
    locales = os.path.join(work, "locales")
    tree = os.path.join(work, "legacy")
    os.makedirs(locales, exist_ok=True)
    os.makedirs(tree, exist_ok=True)
    archive = os.path.join(out, "legacy_names.zip")
    for language, charmap, codec, name in LEGACY_NAMES:
        locale = "%s.%s" % (language, charmap)
        subprocess.run(["localedef", "--no-archive", "--no-warnings=ascii", "-i", language, "-f", charmap,
                        os.path.join(locales, locale)], check=False, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        assert os.path.isdir(os.path.join(locales, locale)), "localedef made no " + locale
        raw = name.encode(codec)
        with open(os.path.join(os.fsencode(tree), raw), "wb") as f:
            f.write(name.encode("utf-8"))
        run("zip", "-q", archive, raw, cwd=tree, env={"LOCPATH": locales, "LC_ALL": locale})
    with zipfile.ZipFile(archive) as z:
        for i in z.infolist():
            assert not i.flag_bits & 0x800 and b"up" not in i.extra, "zip marked a legacy name"

    # The same names as Python writes them with an Info-ZIP Unicode Path
    # field beside the legacy bytes; one more entry carries a field whose
    # CRC-32 belongs to another name (left behind by a rename), which must
    # be ignored.
    entries = []
    for _, _, codec, name in LEGACY_NAMES:
        raw = name.encode(codec)
        entries.append((raw, unicode_path_field(raw, name), name.encode("utf-8")))
    stale_raw = "Stale.txt".encode("ascii")
    entries.append((stale_raw, unicode_path_field(b"Other.txt", "Renamed.txt"), b"stale"))
    write_raw_names(os.path.join(out, "legacy_names_unicode_field.zip"), entries)

    # Two KOI8-R names that a UTF-8 decoding turns into the same text.
    write_raw_names(os.path.join(out, "legacy_koi8.zip"), [
        ("Привет.txt".encode("koi8-r"), b"", b"first"),
        ("Пока.txt".encode("koi8-r"), b"", b"second")])


def unicode_path_field(raw, name):
    utf8 = name.encode("utf-8")
    return struct.pack("<HHBI", 0x7075, 5 + len(utf8), 1, zlib.crc32(raw)) + utf8


class RawNameInfo(zipfile.ZipInfo):
    """A ZipInfo whose name is written as the given bytes, without the UTF-8
    flag, as Windows' own zip folders and older archivers write names."""

    def __init__(self, raw):
        super().__init__(raw.decode("cp437"), date_time=(2021, 5, 6, 7, 8, 10))
        self.raw_name = raw

    def _encodeFilenameFlags(self):
        return self.raw_name, self.flag_bits


def write_raw_names(path, entries):
    with zipfile.ZipFile(path, "w") as z:
        for raw, extra, data in entries:
            i = RawNameInfo(raw)
            i.extra = extra
            i.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(i, data)


def make_hostile_archives(out):
    """Archives made to look different to different readers, or to expand
    far beyond their size: records written byte by byte."""
    j = os.path.join
    # Ten central records pointing at one local header and its data.
    python_zip(j(out, "overlap_bomb.zip"), [("bomb.txt", bytes(1 << 20), zipfile.ZIP_DEFLATED)])
    data = open(j(out, "overlap_bomb.zip"), "rb").read()
    (central,), end = central_records(data)
    record = data[central:end]
    directory = b"".join(rename_central(record, b"bomb%d.txt" % k) for k in range(10))
    body = data[:central]
    end_record = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 10, 10, len(directory), len(body), 0)
    open(j(out, "overlap_bomb.zip"), "wb").write(body + directory + end_record)

    # An entry whose declared data runs into the central directory.
    python_zip(j(out, "overlap_directory.zip"), [("first.txt", b"first " * 50, zipfile.ZIP_STORED),
                                                  ("second.txt", b"second " * 50, zipfile.ZIP_STORED)])

    def stretch_second(d):
        records, _ = central_records(d)
        local, start = local_data_offset(d, records[1])
        size = records[0] - start + 10
        struct.pack_into("<II", d, records[1] + 20, size, size)
        struct.pack_into("<II", d, local + 18, size, size)
    patch(j(out, "overlap_directory.zip"), stretch_second)

    # A local header whose name is not its central record's.
    def rename_local(d, local, _):
        d[local + 30:local + 34] = b"evil"
    local_header_lies(j(out, "local_name_differs.zip"), [("good.txt", b"good", zipfile.ZIP_DEFLATED),
                                                          ("safe.txt", b"safe", zipfile.ZIP_DEFLATED)], 1, rename_local)

    # Local headers that tell another story than the central directory and
    # still describe their own data faithfully: a shorter entry, other data.
    def shorten_local(d, local, start):
        struct.pack_into("<III", d, local + 14, zlib.crc32(bytes(d[start:start + 50])), 50, 50)
    local_header_lies(j(out, "local_size_differs.zip"), [("payload.txt", b"0123456789" * 10, zipfile.ZIP_STORED),
                                                          ("after.txt", b"after", zipfile.ZIP_STORED)], 0, shorten_local)

    def swap_data(d, local, start):
        d[start:start + 4] = b"evil"
        struct.pack_into("<I", d, local + 14, zlib.crc32(b"evil"))
    local_header_lies(j(out, "local_crc_differs.zip"), [("first.txt", b"first", zipfile.ZIP_STORED),
                                                         ("data.txt", b"good", zipfile.ZIP_STORED)], 1, swap_data)

    # An entry between two others that the central directory leaves out.
    python_zip(j(out, "unlisted_entry.zip"), [("first.txt", b"first", zipfile.ZIP_DEFLATED),
                                              ("unlisted.txt", b"unlisted", zipfile.ZIP_DEFLATED),
                                              ("last.txt", b"last", zipfile.ZIP_DEFLATED)])
    data = open(j(out, "unlisted_entry.zip"), "rb").read()
    records, end = central_records(data)
    directory = data[records[0]:records[1]] + data[records[2]:end]
    end_record = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(directory), records[0], 0)
    open(j(out, "unlisted_entry.zip"), "wb").write(data[:records[0]] + directory + end_record)


def local_header_lies(path, entries, index, edit):
    """A Python archive whose entry `index` has its local header or data
    changed by edit(data, local header offset, data offset)."""
    python_zip(path, entries)

    def apply(d):
        records, _ = central_records(d)
        local, start = local_data_offset(d, records[index])
        edit(d, local, start)
    patch(path, apply)


def rename_central(record, name):
    """A copy of a central record (name, extra, comment) under another name."""
    n, e, c = struct.unpack_from("<HHH", record, 28)
    fixed = bytearray(record[:46])
    struct.pack_into("<H", fixed, 28, len(name))
    return bytes(fixed) + name + record[46 + n:46 + n + e + c]


def make_python_archives(out):
    D, S, B = zipfile.ZIP_DEFLATED, zipfile.ZIP_STORED, zipfile.ZIP_BZIP2
    python_zip(os.path.join(out, "empty.zip"), [])
    python_zip(os.path.join(out, "long_comment.zip"), [("a.txt", b"alpha", D)],
               comment=b"c" * 60000)
    python_zip(os.path.join(out, "nested.zip"), [("a/b/c.txt", b"nested file", D)])
    python_zip(os.path.join(out, "streamed_python.zip"), [
        ("app/", b"", S), ("app/empty/", b"", S), ("app/blank.dat", b"", D), ("app/zero.dat", b"", S),
        ("app/stored.dat", bytes(range(256)) * 40, S), ("app/deflated.txt", b"deflated " * 3000, D),
        (info("app/readonly.txt", 0, 0x21), b"read only", D)])
    python_zip(os.path.join(out, "windows_attributes.zip"), [
        (info("plain.txt", 0, 0x20), b"plain", D),
        (info("readonly.txt", 0, 0x21), b"read only", D),
        (info("hidden.txt", 0, 0x22), b"hidden", D),
        (info("system.txt", 0, 0x24), b"system", D),
        (info("folder/", 0, 0x10), b"", S),
        (info("secret/", 0, 0x12), b"", S),
        (info("folder/inside.txt", 0, 0x20), b"inside", D),
    ])
    ut = info("stamped.txt", date_time=UT_DOS_TIME)
    ut.extra = struct.pack("<HHBi", 0x5455, 5, 1, UT_MTIME)
    python_zip(os.path.join(out, "timestamp_mtime_only.zip"), [(ut, b"stamped", D)])
    python_zip(os.path.join(out, "unsupported_method.zip"), [
        ("first.txt", b"first", D), ("second.txt", b"second" * 50, B), ("third.txt", b"third", D)])
    big = b"".join(b"line %06d of the Korvane signature list\n" % i for i in range(5000))
    python_zip(os.path.join(out, "large_entries.zip"), [
        ("big.txt", big, D), ("random.bin", os.urandom(600000), S), ("zero.txt", b"", D)])
    python_zip(os.path.join(out, "guarded_distinct.zip"), [
        (info(n), n.encode(), D) for n in (
            "C:/tools/a.txt", "/etc/x", "a/../b", "\\\\server\\share\\s.txt", "dir/../../f")])
    # Names that differ in the archive but not on a Windows drive.
    python_zip(os.path.join(out, "same_file_twice.zip"), [
        ("first.txt", b"first", D), ("Readme.txt", b"one", D), ("README.TXT", b"two", D)])
    python_zip(os.path.join(out, "trailing_dot_twice.zip"), [
        ("notes.txt", b"one", D), ("Notes.txt.", b"two", D)])
    python_zip(os.path.join(out, "guarded_names.zip"), [
        (info(n), n.encode(), D) for n in (
            "C:/tools/a.txt", "/etc/x", "a/../b", "x/../y/../z", "dir/../../f",
            "C:\\tools\\a.txt", "\\etc\\x", "a\\..\\b", "x\\..\\y/../z", "dir\\..\\..\\f",
            "\\\\server\\share\\s.txt", "C:..\\up.txt")])
    python_zip(os.path.join(out, "escape.zip"), [
        ("inside.txt", b"inside", D), (info("dir/../../outside.txt"), b"outside", D)])
    python_zip(os.path.join(out, "escape_dots.zip"), [
        ("inside.txt", b"inside", D), (info("../outside.txt"), b"outside", D)])
    # Names the installer owns (its staging and set-aside folders, in any
    # case or the 8.3 form) and names Windows takes for devices, each after
    # a good entry.
    for archive, name in (("owned_commit_mark.zip", ".korvane-staging/committed"),
                          ("owned_set_aside.zip", ".korvane-set-aside/Korvane.exe"),
                          ("owned_upper.zip", ".KORVANE-STAGING/x"), ("owned_short.zip", "KORVAN~1/x"),
                          ("device_nul.zip", "NUL"), ("device_com1.zip", "com1.txt"),
                          ("device_in_folder.zip", "sub/aux.dat"), ("stream_name.zip", "inside.txt:hidden")):
        python_zip(os.path.join(out, archive), [("inside.txt", b"inside", D), (info(name), b"hostile", D)])
    python_zip(os.path.join(out, "long_name.zip"), [
        ("short.txt", b"short", D), ("n" * 256 + ".txt", b"too long", D)])
    python_zip(os.path.join(out, "ok_259.zip"), [("m" * 255 + ".txt", b"fits", D)])
    # The new version the transaction tests put over an older one: replaced
    # files, a replaced file in a kept folder, new folders (one empty).
    python_zip(os.path.join(out, "update_v2.zip"), [
        ("Korvane.exe", b"MZ new version", D),
        ("version.txt", b"2.0\n", S),
        ("data/", b"", S),
        ("data/signatures.db", b"new signatures " * 20, D),
        ("data/extra/rules.db", b"new rules", D),
        ("fresh/", b"", S),
        ("fresh/empty/", b"", S),
        ("fresh/notes.txt", b"new notes", D),
    ])
    # Versions whose files a build system made read-only (the DOS bit, a
    # Unix mode without write), and a later one whose files are not.
    for version, dos, unix in (("1", 0x21, 0o100444), ("2", 0x20, 0o100644)):
        python_zip(os.path.join(out, "readonly_v%s.zip" % version), [
            (info("Korvane.exe", 0, dos), ("MZ version " + version).encode(), D),
            (info("data/dos.db", 0, dos), ("dos " + version).encode(), D),
            (info("data/unix.db", 3, unix << 16), ("unix " + version).encode(), D)])
    make_damaged(out)


def make_damaged(out):
    D, S = zipfile.ZIP_DEFLATED, zipfile.ZIP_STORED
    j = os.path.join

    python_zip(j(out, "damaged_deflate.zip"), [("good.txt", b"good " * 100, D),
                                               ("bad.txt", b"bad " * 100, D)])

    def damage_deflate(data):
        records, _ = central_records(data)
        _, start = local_data_offset(data, records[1])
        data[start] = 0x07  # a final block of the reserved type
    patch(j(out, "damaged_deflate.zip"), damage_deflate)

    python_zip(j(out, "crc_mismatch.zip"), [("good.txt", b"good", S),
                                            ("flipped.txt", b"0123456789" * 10, S)])

    def flip_byte(data):
        records, _ = central_records(data)
        _, start = local_data_offset(data, records[1])
        data[start + 50] ^= 0x01
    patch(j(out, "crc_mismatch.zip"), flip_byte)

    python_zip(j(out, "stored_short.zip"), [("short.bin", b"x" * 100, S)])

    def shrink_compressed_size(data):
        (central,), _ = central_records(data)
        local, _ = local_data_offset(data, central)
        struct.pack_into("<I", data, central + 20, 50)
        struct.pack_into("<I", data, local + 18, 50)
    patch(j(out, "stored_short.zip"), shrink_compressed_size)

    three = [("one.txt", b"one", D), ("two.txt", b"two", D), ("three.txt", b"three", D)]
    python_zip(j(out, "unreadable_central.zip"), three)

    def break_second_record(data):
        records, _ = central_records(data)
        data[records[1]:records[1] + 4] = b"XXXX"
    patch(j(out, "unreadable_central.zip"), break_second_record)

    python_zip(j(out, "end_disk_one.zip"), three)
    patch(j(out, "end_disk_one.zip"), lambda d: struct.pack_into("<H", d, central_records(d)[1] + 4, 1))
    python_zip(j(out, "end_counts_differ.zip"), three)
    patch(j(out, "end_counts_differ.zip"),
          lambda d: struct.pack_into("<H", d, central_records(d)[1] + 10, 2))

    # A timestamp block promising three times but holding one, and one
    # promising a time with no room at all; DOS dates that are no dates.
    short_ut = info("short_block.txt", date_time=UT_DOS_TIME)
    short_ut.extra = struct.pack("<HHBi", 0x5455, 5, 7, UT_MTIME)
    empty_ut = info("empty_block.txt", date_time=UT_DOS_TIME)
    empty_ut.extra = struct.pack("<HHB", 0x5455, 1, 1)
    overrun_ut = info("overrun_block.txt", date_time=UT_DOS_TIME)
    overrun_ut.extra = struct.pack("<HHBi", 0x5455, 200, 3, UT_MTIME)
    python_zip(j(out, "damaged_times.zip"), [
        (short_ut, b"a", D), (empty_ut, b"b", D), (overrun_ut, b"c", D),
        ("bad_month.txt", b"d", D), ("bad_hour.txt", b"e", D)])

    def invalid_dates(data):
        records, _ = central_records(data)
        struct.pack_into("<HH", data, records[3] + 12, 0, (41 << 9) | (0 << 5) | 1)   # month 0
        struct.pack_into("<HH", data, records[4] + 12, (25 << 11) | (61 << 5) | 31, (41 << 9) | (2 << 5) | 30)
    patch(j(out, "damaged_times.zip"), invalid_dates)

    # Entries that declare 4 GiB each, 16 TiB in all: more than any test
    # machine's drive has free. Their data is a few bytes; the extraction
    # must refuse before writing any.
    python_zip(j(out, "declares_16_tib.zip"),
               [("huge%04d.bin" % k, b"x", D) for k in range(4096)])

    def declare_4_gib_each(d):
        records, _ = central_records(d)
        for central in records:
            local, _ = local_data_offset(d, central)
            struct.pack_into("<I", d, central + 24, 0xFFFFFFFF)
            struct.pack_into("<I", d, local + 22, 0xFFFFFFFF)
    patch(j(out, "declares_16_tib.zip"), declare_4_gib_each)

    open(j(out, "not_a_zip.zip"), "wb").write(b"This is a text file, not an archive.\n" * 10)


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="korvane-archives-")
    try:
        for name in os.listdir(out):
            if name.endswith(".zip"):
                os.unlink(os.path.join(out, name))
        make_info_zip_archives(out, work)
        make_7zip_archives(out, work)
        make_jar_archives(out, work)
        make_legacy_name_archives(out, work)
        make_hostile_archives(out)
        make_python_archives(out)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

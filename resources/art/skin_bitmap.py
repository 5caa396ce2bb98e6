"""Writing and checking the skin's bitmap files: 32 bits per pixel,
uncompressed, bottom-up rows, premultiplied alpha (no colour channel above
its alpha), which is what the alpha-blended buttons and backgrounds need."""
import struct

FILE_HEADER = struct.Struct("<2sIHHI")
INFO_HEADER = struct.Struct("<IiiHHIIiiII")


def write_bmp(path, width, height, pixels):
    """pixels: rows top to bottom of premultiplied (r, g, b, a) bytes."""
    rows = []
    for row in reversed(pixels):
        rows.append(b"".join(bytes((b, g, r, a)) for r, g, b, a in row))
    data = b"".join(rows)
    offset = FILE_HEADER.size + INFO_HEADER.size
    with open(path, "wb") as f:
        f.write(FILE_HEADER.pack(b"BM", offset + len(data), 0, 0, offset))
        f.write(INFO_HEADER.pack(INFO_HEADER.size, width, height, 1, 32, 0, len(data), 2835, 2835, 0, 0))
        f.write(data)


def read_bmp(path):
    """Returns (width, height, rows top to bottom of premultiplied (r, g, b, a)).
    Raises ValueError for anything but the skin's format."""
    with open(path, "rb") as f:
        blob = f.read()
    magic, size, _, _, offset = FILE_HEADER.unpack_from(blob, 0)
    header = INFO_HEADER.unpack_from(blob, FILE_HEADER.size)
    header_size, width, height, planes, bits, compression = header[:6]
    if magic != b"BM" or header_size != INFO_HEADER.size or planes != 1:
        raise ValueError("%s: not a plain Windows bitmap" % path)
    if bits != 32 or compression != 0:
        raise ValueError("%s: %d bits, compression %d; 32-bit uncompressed wanted" % (path, bits, compression))
    if height <= 0:
        raise ValueError("%s: rows stored top-down; bottom-up wanted" % path)
    if len(blob) < offset + width * height * 4:
        raise ValueError("%s: truncated pixel data" % path)
    rows = []
    for y in range(height):
        start = offset + (height - 1 - y) * width * 4
        line = blob[start:start + width * 4]
        rows.append([(line[i + 2], line[i + 1], line[i], line[i + 3]) for i in range(0, len(line), 4)])
    return width, height, rows


def premultiplied_faults(rows):
    """Pixels whose colour exceeds their alpha, as (x, y) from the top left."""
    return [(x, y) for y, row in enumerate(rows) for x, (r, g, b, a) in enumerate(row) if max(r, g, b) > a]

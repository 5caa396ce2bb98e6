#!/usr/bin/env python3
"""Draws the program icon: a blue shield with a white check mark, 16, 32 and
48 pixels, 32 bits per pixel with alpha, written as a .ico file."""
import struct
import sys


def shield_alpha(x, y):
    """Coverage of the shield outline at a point in the unit square."""
    if y < 0.08 or y > 0.95 or x < 0.1 or x > 0.9:
        return 0.0
    if y < 0.55:
        return 1.0
    # Lower part narrows to a point.
    half = 0.4 * (0.95 - y) / 0.40
    return 1.0 if abs(x - 0.5) <= half else 0.0


def check_mark(x, y):
    def near(ax, ay, bx, by, w=0.07):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= w * w
    return near(0.3, 0.5, 0.45, 0.65) or near(0.45, 0.65, 0.72, 0.32)


def pixel(x, y):
    samples = [(x + (i + 0.5) / 4, y + (j + 0.5) / 4) for i in range(4) for j in range(4)]
    a = sum(shield_alpha(sx, sy) for sx, sy in samples) / len(samples)
    if a == 0:
        return (0, 0, 0, 0)
    if check_mark(x + 0.5, y + 0.5):
        return (255, 255, 255, int(255 * a))
    shade = 1.0 - 0.35 * y
    return (int(40 * shade), int(110 * shade), int(215 * shade), int(255 * a))


def image(size):
    rows = []
    for row in range(size - 1, -1, -1):  # bottom-up
        line = b""
        for col in range(size):
            r, g, b, a = pixel(col / size, row / size)
            line += bytes((b, g, r, a))
        rows.append(line)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(out):
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])

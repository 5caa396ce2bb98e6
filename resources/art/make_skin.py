#!/usr/bin/env python3
"""Draws the installer's skin: backgrounds, the product and maker logos, the
round title-bar icons and the button tiles, as 32-bit premultiplied-alpha
bitmaps. Everything is drawn from the shapes below; edit them, not the BMPs.

Usage: make_skin.py OUTPUT_FOLDER"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skin_bitmap import write_bmp  # noqa: E402

SIZES = {
    134: (84, 33), 300: (278, 450), 301: (278, 171), 302: (278, 171),
    303: (16, 16), 304: (16, 16), 305: (16, 16), 306: (16, 16), 307: (16, 16), 308: (16, 16),
    309: (122, 30), 310: (122, 30), 311: (16, 16), 315: (123, 31),
    317: (36, 13), 318: (36, 13), 319: (36, 13),
}

BLUE = (33, 112, 204)
BLUE_HOVER = (18, 86, 170)
GREEN = (46, 160, 67)
RED = (207, 55, 52)
GREY = (150, 156, 162)
INK = (28, 52, 92)
WHITE = (255, 255, 255)
SUBSAMPLES = 4


def lighter(colour, amount=0.45):
    return tuple(int(c + (255 - c) * amount) for c in colour)


class Canvas:
    """Straight-alpha float canvas; shapes are painted over with coverage."""

    def __init__(self, width, height, fill=(0, 0, 0, 0.0)):
        self.width, self.height = width, height
        self.px = [[list(fill) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, colour, alpha):
        if alpha <= 0:
            return
        dst = self.px[y][x]
        out_a = alpha + dst[3] * (1 - alpha)
        for i in range(3):
            dst[i] = (colour[i] * alpha + dst[i] * dst[3] * (1 - alpha)) / out_a
        dst[3] = out_a

    def paint(self, inside, colour, opacity=1.0, box=None):
        """inside(x, y) -> bool at a point in pixel units; box limits the work."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.width, int(math.ceil(x1))), min(self.height, int(math.ceil(y1)))
        step = 1.0 / SUBSAMPLES
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = sum(inside(x + (i + 0.5) * step, y + (j + 0.5) * step)
                           for i in range(SUBSAMPLES) for j in range(SUBSAMPLES))
                if hits:
                    self.blend(x, y, colour, opacity * hits / SUBSAMPLES ** 2)

    def premultiplied_rows(self):
        rows = []
        for line in self.px:
            row = []
            for r, g, b, a in line:
                alpha = int(round(a * 255))
                row.append(tuple(min(alpha, int(round(c * a))) for c in (r, g, b)) + (alpha,))
            rows.append(row)
        return rows


def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        dx = max(x0 + radius - x, 0, x - (x1 - radius))
        dy = max(y0 + radius - y, 0, y - (y1 - radius))
        return dx * dx + dy * dy <= radius * radius
    return inside


def ring(inner, outer):
    return lambda x, y: outer(x, y) and not inner(x, y)


def strokes(polylines, width):
    """Union of thick line segments through the polylines' points."""
    segments = [(a, b) for line in polylines for a, b in zip(line, line[1:])]
    half = width / 2.0

    def near(x, y):
        for (ax, ay), (bx, by) in segments:
            dx, dy = bx - ax, by - ay
            length = dx * dx + dy * dy
            t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
            if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half * half:
                return True
        return False
    return near


def arc(cx, cy, rx, ry, start, end, steps=14):
    return [(cx + rx * math.cos(math.radians(start + (end - start) * i / steps)),
             cy + ry * math.sin(math.radians(start + (end - start) * i / steps))) for i in range(steps + 1)]


# A small stroke alphabet for the word mark, in a box 0.66 wide and 1 high.
LETTERS = {
    "K": [[(0, 0), (0, 1)], [(0.62, 0), (0.04, 0.58)], [(0.22, 0.4), (0.64, 1)]],
    "O": [arc(0.33, 0.5, 0.33, 0.5, 0, 360, 24)],
    "R": [[(0, 1), (0, 0), (0.4, 0)] + arc(0.4, 0.25, 0.22, 0.25, -90, 90) + [(0, 0.5)],
          [(0.3, 0.5), (0.64, 1)]],
    "V": [[(0, 0), (0.33, 1), (0.66, 0)]],
    "A": [[(0, 1), (0.33, 0), (0.66, 1)], [(0.13, 0.64), (0.53, 0.64)]],
    "N": [[(0, 1), (0, 0), (0.62, 1), (0.62, 0)]],
    "E": [[(0.6, 0), (0, 0), (0, 1), (0.6, 1)], [(0, 0.5), (0.5, 0.5)]],
}


def word(text, x, y, height, spacing):
    lines = []
    for letter in text:
        for line in LETTERS[letter]:
            lines.append([(x + px * height, y + py * height) for px, py in line])
        x += (0.66 + spacing) * height
    return lines


def shield(x0, y0, w, h):
    def inside(x, y):
        u, v = (x - x0) / w, (y - y0) / h
        if u < 0 or u > 1 or v < 0 or v > 1:
            return False
        if v < 0.12:
            return abs(u - 0.5) <= 0.5 * (0.6 + 0.4 * v / 0.12) * (1 if v > 0.02 else 0.9)
        if v < 0.55:
            return True
        return abs(u - 0.5) <= 0.5 * (1 - v) / 0.45
    return inside


def background(width, height, top, bottom, accent):
    canvas = Canvas(width, height)
    for y in range(height):
        t = y / max(1, height - 1)
        colour = tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
        for x in range(width):
            canvas.px[y][x] = list(colour) + [1.0]
    # A soft header band and a thin accent line under it keep the title
    # area calm and set apart from the content.
    header = 74 if height < 300 else 80
    canvas.paint(lambda x, y: y < header, WHITE, 0.55, (0, 0, width, header))
    canvas.paint(lambda x, y: header <= y < header + 1.5, accent, 0.55, (0, header, width, header + 2))
    canvas.paint(circle(width * 0.95, height * 1.05, height * 0.45), accent, 0.06)
    return canvas


def round_icon(colour, glyph, glyph_width=1.8):
    canvas = Canvas(16, 16)
    canvas.paint(circle(8, 8, 7.6), colour)
    canvas.paint(ring(circle(8, 8, 6.9), circle(8, 8, 7.6)), WHITE, 0.35)
    canvas.paint(strokes(glyph, glyph_width), WHITE)
    return canvas


QUESTION = [arc(8, 6.2, 2.4, 2.2, 180, 395, 10) + [(8, 8.6), (8, 9.6)], [(8, 11.6), (8, 12.2)]]
CROSS = [[(5.2, 5.2), (10.8, 10.8)], [(10.8, 5.2), (5.2, 10.8)]]
REFRESH = [arc(8, 8, 4.2, 4.2, 200, 470, 16), [(10.2, 2.6), (11.6, 4.5), (9.3, 5.3)]]
CHECK = [[(0.28, 0.52), (0.44, 0.7), (0.74, 0.32)]]
CROSS_TILE = [[(0.32, 0.32), (0.68, 0.68)], [(0.68, 0.32), (0.32, 0.68)]]


def tile(width, height, colour, mark):
    """A light body with a coloured outline and a square mark tile at the left."""
    canvas = Canvas(width, height)
    r = height * 0.22
    canvas.paint(rounded_rect(0.5, 0.5, width - 0.5, height - 0.5, r), colour)
    canvas.paint(rounded_rect(1.7, 1.7, width - 1.7, height - 1.7, r - 1), (250, 252, 251))
    side = height - 1.0
    canvas.paint(rounded_rect(0.5, 0.5, side, height - 0.5, r), colour)
    canvas.paint(strokes([[(0.5 + px * side, 0.5 + py * side) for px, py in line] for line in mark],
                         height * 0.1), WHITE)
    return canvas


def product_logo():
    canvas = Canvas(84, 33)
    canvas.paint(shield(2, 3, 23, 27), BLUE)
    canvas.paint(shield(4.5, 5.5, 18, 22), lighter(BLUE, 0.18))
    canvas.paint(strokes([[(8.5, 16), (12.5, 20.5), (19, 11.5)]], 2.6), WHITE)
    canvas.paint(strokes(word("KORVANE", 28.5, 12, 8.5, 0.2), 1.6), INK, box=(27, 10, 84, 22))
    return canvas


def maker_logo(colour):
    canvas = Canvas(36, 13)
    canvas.paint(rounded_rect(0.5, 0.5, 35.5, 12.5, 3), WHITE, 0.7)
    for i, h in enumerate((4, 6.5, 9)):
        canvas.paint(rounded_rect(4 + i * 4, 11 - h, 6.6 + i * 4, 11, 0.8), colour)
    canvas.paint(strokes([[(18, 4.5), (32, 4.5)], [(18, 8.5), (28, 8.5)]], 1.6), colour)
    return canvas


def draw_all():
    light = (246, 249, 252)
    return {
        134: product_logo(),
        300: background(278, 450, light, (222, 233, 245), BLUE),
        301: background(278, 171, (247, 251, 246), (222, 240, 226), GREEN),
        302: background(278, 171, light, (222, 233, 245), BLUE),
        303: round_icon(BLUE, QUESTION), 304: round_icon(lighter(BLUE), QUESTION),
        305: round_icon(BLUE_HOVER, QUESTION),
        306: round_icon(BLUE, CROSS), 307: round_icon(lighter(BLUE), CROSS),
        308: round_icon(BLUE_HOVER, CROSS),
        309: tile(122, 30, GREEN, CHECK), 310: tile(122, 30, RED, CROSS_TILE),
        311: round_icon(BLUE, REFRESH, 1.6),
        315: tile(123, 31, GREY, CHECK),
        317: maker_logo((96, 110, 128)), 318: maker_logo(lighter((96, 110, 128))),
        319: maker_logo(BLUE),
    }


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for bitmap_id, canvas in draw_all().items():
        assert (canvas.width, canvas.height) == SIZES[bitmap_id], bitmap_id
        write_bmp(os.path.join(folder, "%d.bmp" % bitmap_id), canvas.width, canvas.height,
                  canvas.premultiplied_rows())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))

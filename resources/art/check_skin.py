#!/usr/bin/env python3
"""Fails the build when a skin bitmap has the wrong size or format, or a
colour channel above its alpha (which AlphaBlend would turn into garbage).

Usage: check_skin.py SKIN_FOLDER STAMP_FILE"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skin_bitmap import premultiplied_faults, read_bmp  # noqa: E402
from make_skin import SIZES  # noqa: E402


def main(folder, stamp):
    problems = []
    for bitmap_id, (width, height) in sorted(SIZES.items()):
        path = os.path.join(folder, "%d.bmp" % bitmap_id)
        try:
            w, h, rows = read_bmp(path)
        except (OSError, ValueError) as error:
            problems.append(str(error))
            continue
        if (w, h) != (width, height):
            problems.append("%s: %dx%d, %dx%d wanted" % (path, w, h, width, height))
        faults = premultiplied_faults(rows)
        if faults:
            problems.append("%s: %d pixels not premultiplied, first at %s" % (path, len(faults), faults[0]))
    if problems:
        print("\n".join(problems), file=sys.stderr)
        return 1
    with open(stamp, "w") as f:
        f.write("ok\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))

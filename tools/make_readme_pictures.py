#!/usr/bin/env python3
"""Makes the README's pictures from the screenshots the language tests keep
(tests/e2e/test_screen_languages.py and, for the progress screen in the
middle of a download, tests/e2e/test_progress_detail.py; 96 DPI): the three
screens in English and one row of the licence screen in four other
languages, cut out of the
virtual screen, with the desktop around the window's rounded outline made
transparent, as small palette PNGs in docs/screens/.

    tools/make_readme_pictures.py [SCREENSHOT_FOLDER]

The folder defaults to build/<win32|win64>-local/artifacts/screens/languages
of the build this machine runs; run the language tests first."""
import subprocess
import sys
import tempfile
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parents[1]
OUT = SOURCE_DIR / "docs" / "screens"
SCREENS = {"wizard_1_licence.png": "en_1_licence", "wizard_2_drives.png": "en_2_drives",
           "wizard_3_downloading.png": "en_3_downloading_96dpi", "wizard_3_complete.png": "en_3_complete"}
ROW_LANGUAGES = ["de", "ja", "ru", "zh-Hans"]
ROW_WIDTH_PERCENT = 50


def default_folder():
    arch = subprocess.run([str(SOURCE_DIR / "tools" / "rig" / "machine_arch.sh")], check=True,
                          stdout=subprocess.PIPE, text=True).stdout.strip()
    return SOURCE_DIR / "build" / (arch + "-local") / "artifacts" / "screens" / "languages"


def cut_out(shot, target):
    """The window alone: the desktop's colour trimmed away, and what is left
    of it in the outline's corners made transparent."""
    if not shot.exists():
        sys.exit("missing %s: run tests/e2e/test_screen_languages.py and test_progress_detail.py first" % shot)
    size = subprocess.run(["convert", str(shot), "-trim", "+repage", "-format", "%w %h", "info:"], check=True,
                          stdout=subprocess.PIPE, text=True).stdout.split()
    right, bottom = int(size[0]) - 1, int(size[1]) - 1
    fills = []
    for x, y in ((0, 0), (right, 0), (0, bottom), (right, bottom)):
        fills += ["-draw", "color %d,%d floodfill" % (x, y)]
    subprocess.run(["convert", str(shot), "-trim", "+repage", "-alpha", "set", "-fuzz", "0", "-fill", "none"]
                   + fills + [str(target)], check=True)


def small_png(source, target, *options):
    subprocess.run(["convert", str(source)] + list(options) + ["-strip", "-colors", "255", "PNG8:" + str(target)],
                   check=True)


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else default_folder()
    OUT.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        for name, shot in SCREENS.items():
            cut = work / name
            cut_out(folder / (shot + ".png"), cut)
            small_png(cut, OUT / name)
        row = []
        for language in ROW_LANGUAGES:
            cut = work / ("licence_%s.png" % language)
            cut_out(folder / ("%s_1_licence.png" % language), cut)
            row.append(str(cut))
        joined = work / "row.png"
        subprocess.run(["convert", "-background", "none"] + row + ["-splice", "12x0", "+append", "-chop", "12x0",
                                                                    str(joined)], check=True)
        small_png(joined, OUT / "licence_languages.png", "-resize", "%d%%" % ROW_WIDTH_PERCENT)
    for picture in sorted(OUT.glob("*.png")):
        print("%s: %d bytes" % (picture.relative_to(SOURCE_DIR), picture.stat().st_size))


if __name__ == "__main__":
    main()

"""The skinned dialog framework on a real template, seen from outside:
the test screen (tests/ui/SkinTestScreen.cpp) runs under Wine and Xvfb at
96, 120 and 144 DPI; it reports what it measured, and screenshots show what
a user sees. Screenshots are kept in <build>/artifacts/skin/."""
import os
import subprocess
import sys
import time

import pytest

import wine_rig
from conftest import BUILD_DIR, SOURCE_DIR
from test_import_table import imported_dlls

sys.path.insert(0, str(SOURCE_DIR / "resources" / "art"))
from skin_bitmap import read_bmp  # noqa: E402

SCREEN_EXE = BUILD_DIR / "tests" / "SkinTestScreen.exe"
SKIN_DIR = BUILD_DIR / "resources" / "skin"
ARTIFACTS = BUILD_DIR / "artifacts" / "skin"
SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768
FONT_HEIGHTS = {96: -11, 120: -13, 144: -16}
BLUE, BLUE_HOVER, BLUE_PRESSED = (33, 112, 204), (18, 86, 170), (134, 175, 229)
CAPTION_INK = (70, 70, 70)
STATIC_INK = (0, 61, 61)
FRAME_COLOUR = (123, 158, 189)
READY_SECONDS = 60


def prepare_prefix(machine, dpi):
    """Sets the display DPI and lets https addresses open the stub app,
    which records the address it was given."""
    env = wine_rig.wine_env(machine.prefix)
    settings = [[key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi)]
                for key in (r"HKCU\Control Panel\Desktop", r"HKCC\Software\Fonts")]
    settings.append([r"HKCR\https\shell\open\command", "/ve", "/d",
                     '"%s" "%%1"' % machine.windows_path(machine.stub)])
    for setting in settings:
        subprocess.run(wine_rig.wine_command() + ["reg", "add"] + setting + ["/f"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    wine_rig.wait_wineserver(machine.prefix)


def scaled(pixels, dpi):
    return int(pixels * (dpi / 96.0))


def rounded(pixels, dpi):
    return int(pixels * (dpi / 96.0) + 0.5)


def units_x(units, aw):
    return int(units * aw * 0.25 + 0.5)


def units_y(units, th):
    return int(units * th * 0.125 + 0.5)


class Shot:
    """A screenshot of the whole virtual screen, read pixel by pixel."""

    def __init__(self, display, path):
        env = dict(os.environ, DISPLAY=display)
        subprocess.run(["import", "-window", "root", str(path)], env=env, check=True, timeout=60)
        raw = subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"], check=True,
                             stdout=subprocess.PIPE, timeout=60).stdout
        assert len(raw) == SCREEN_WIDTH * SCREEN_HEIGHT * 3
        self.raw = raw

    def pixel(self, x, y):
        i = (y * SCREEN_WIDTH + x) * 3
        return tuple(self.raw[i:i + 3])


def close_to(colour, expected, tolerance=14):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


class SkinScreen:
    """The running test screen: its report, the mouse and screenshots."""

    def __init__(self, machine, name):
        self.machine = machine
        self.name = name
        self.report_path = machine.scratch / "report.txt"
        extra = machine.base_env()
        extra.update({"DISPLAY": machine.display, "KORVANE_STUB_SECONDS": "1"})
        env = wine_rig.wine_env(machine.prefix, extra)
        report = machine.windows_path(self.report_path)
        self.process = subprocess.Popen(
            wine_rig.wine_command() + [str(SCREEN_EXE), "--report", report, "--measure-first", "102"],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for("301.ready")

    def report(self):
        values = {}
        if self.report_path.exists():
            for line in self.report_path.read_text().splitlines():
                key, _, value = line.partition("=")
                values[key] = value
        return values

    def wait_for(self, key, value=None):
        deadline = time.monotonic() + READY_SECONDS
        while time.monotonic() < deadline:
            found = self.report().get(key)
            if found is not None and (value is None or found == value):
                return self.report()
            assert self.process.poll() is None, "the test screen ended early"
            time.sleep(0.2)
        raise AssertionError("the test screen never reported %s" % key)

    def numbers(self, key):
        return [int(v) for v in self.report()[key].split(",")]

    def origin(self):
        return self.numbers("301.client_origin")

    def control(self, name):
        return self.numbers("301." + name)

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=30,
                       env=dict(os.environ, DISPLAY=self.machine.display))

    def move_to_client(self, x, y, origin=None):
        ox, oy = origin or self.origin()
        self.xdotool("mousemove", ox + x, oy + y)

    def shot(self, label):
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        return Shot(self.machine.display, ARTIFACTS / ("%s_%s.png" % (self.name, label)))

    def shot_showing(self, label, shows, what):
        """The first screenshot that shows what the test waits for: the
        program has painted, but Wine hands its pixels to the X server a
        moment later, and pointer events reach it a moment after xdotool."""
        deadline = time.monotonic() + READY_SECONDS
        while True:
            shot = self.shot(label)
            if shows(shot):
                return shot
            assert time.monotonic() < deadline, "the screen never showed " + what
            assert self.process.poll() is None, "the test screen ended early"

    def colour_becomes(self, label, point, colour, tolerance, origin=None):
        ox, oy = origin or self.origin()
        shot = self.shot_showing(label, lambda s: close_to(s.pixel(ox + point[0], oy + point[1]), colour, tolerance),
                                 "%s at %s" % (colour, point))
        return shot.pixel(ox + point[0], oy + point[1])

    def release(self, count):
        """Releases the mouse button and waits until the screen saw release number count."""
        self.xdotool("mouseup", 1)
        self.wait_for("301.releases", str(count))

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(timeout=30)


@pytest.fixture
def skin_screen(machine):
    screens = []

    def start(dpi, name):
        prepare_prefix(machine, dpi)
        screen = SkinScreen(machine, name)
        screens.append(screen)
        return screen
    yield start
    for screen in screens:
        screen.close()


def background_matches(shot, origin, client, image_id, excluded, step=7):
    """Share of sample points of the client area that show the background
    image stretched over the whole client area, outside controls."""
    width, height, rows = read_bmp(SKIN_DIR / ("%d.bmp" % image_id))
    cw, ch = client
    checked = matched = 0
    for y in range(3, ch - 3, step):
        for x in range(3, cw - 3, step):
            if any(l - 4 <= x <= l + w + 4 and t - 4 <= y <= t + h + 4 for l, t, w, h in excluded):
                continue
            checked += 1
            sx, sy = x * width // cw, y * height // ch
            candidates = [rows[min(height - 1, max(0, sy + dy))][min(width - 1, max(0, sx + dx))][:3]
                          for dx in (-1, 0, 1) for dy in (-1, 0, 1)]
            if any(close_to(shot.pixel(origin[0] + x, origin[1] + y), c, 6) for c in candidates):
                matched += 1
    assert checked > 200
    return matched / checked


def frame_rect(dpi):
    return scaled(12, dpi), scaled(126, dpi), scaled(110, dpi), scaled(156, dpi)


def excluded_areas(screen, dpi):
    areas = [screen.control(n) for n in ("close", "maker", "logo", "install", "refresh", "list", "heading")]
    left, top, right, bottom = frame_rect(dpi)
    areas.append((left, top, right - left, bottom - top))
    cw, ch = screen.control("client")
    corner = scaled(19, dpi)
    for x, y in ((0, 0), (cw - corner, 0), (0, ch - corner), (cw - corner, ch - corner)):
        areas.append((x, y, corner, corner))
    return areas


def caption_ink_columns(shot, origin, rect):
    left, top, width, height = rect
    columns = [x for x in range(left, left + width) for y in range(top, top + height)
               if close_to(shot.pixel(origin[0] + x, origin[1] + y), CAPTION_INK, 30)]
    return min(columns), max(columns)


def test_test_screen_loads_alpha_blend_at_run_time_only():
    dlls, _ = imported_dlls(SCREEN_EXE)
    assert "user32.dll" in dlls
    assert "msimg32.dll" not in dlls


@pytest.mark.parametrize("dpi", [96, 120, 144])
def test_skin_follows_the_display_dpi(skin_screen, dpi):
    screen = skin_screen(dpi, "dpi%d" % dpi)
    report = screen.report()
    origin, client = screen.origin(), screen.control("client")
    shot = screen.shot_showing("initial", lambda shot: background_matches(
        shot, origin, client, 302, excluded_areas(screen, dpi)) > 0.97, "its background")

    for template, height_units in (("102", 277), ("301", 106)):
        assert int(report[template + ".dpi"]) == dpi
        assert int(report[template + ".font_height"]) == FONT_HEIGHTS[dpi]
        aw = ((int(report[template + ".extent52"]) // 26) + 1) // 2
        th = int(report[template + ".text_height"])
        expected_client = [units_x(186, aw), units_y(height_units, th)]
        assert screen.numbers(template + ".client") == expected_client
        if (aw, th) == (6, 13):
            assert expected_client == [279, {"102": 450, "301": 172}[template]]
        assert int(report[template + ".ellipse"]) == scaled(19, dpi)
        assert report[template + ".title"] == "Korvane Setup"
        assert report[template + ".appwindow"] == "0"
        assert report[template + ".help_visible"] == "0"
        logo = screen.numbers(template + ".logo")
        assert logo == [units_x(116, aw) + scaled(16, dpi), units_y(15, th) + scaled(8, dpi),
                        rounded(84, dpi), rounded(33, dpi)]
        for name, place, size in (("help", (154, 5), (16, 16)), ("close", (168, 5), (16, 16)),
                                  ("maker", (78, 36), (36, 13))):
            assert screen.numbers(template + "." + name) == [
                units_x(place[0], aw), units_y(place[1], th), rounded(size[0], dpi), rounded(size[1], dpi)]
    assert screen.control("install")[2:] == [rounded(122, dpi), rounded(30, dpi)]
    assert screen.control("refresh")[2:] == [rounded(16, dpi), rounded(16, dpi)]
    assert int(report["301.caption_offset"]) == scaled(18, dpi)

    # The rounded outline cuts the corners: the desktop shows there.
    assert not close_to(shot.pixel(origin[0], origin[1]), shot.pixel(origin[0] + client[0] // 2, origin[1] + 3))
    # The background fills the whole client area, stretched in both directions.
    assert background_matches(shot, origin, client, 302, excluded_areas(screen, dpi)) > 0.97
    # The frame hook's rectangle is drawn into the background.
    left, top, right, bottom = frame_rect(dpi)
    assert close_to(shot.pixel(origin[0] + (left + right) // 2, origin[1] + (top + bottom) // 2), (255, 255, 255), 3)
    edge = [shot.pixel(origin[0] + x, origin[1] + (top + bottom) // 2) for x in range(left - 4, left + 4)]
    assert any(close_to(p, FRAME_COLOUR, 20) for p in edge)
    # The logo is blended over the background, not over black.
    lx, ly, lw, lh = screen.control("logo")
    assert close_to(shot.pixel(origin[0] + lx + rounded(13, dpi), origin[1] + ly + rounded(22, dpi)),
                    (41, 119, 207), 40)
    corner = shot.pixel(origin[0] + lx + 1, origin[1] + ly + lh - 2)
    assert min(corner) > 200
    # Static texts are drawn transparently in the screens' text colour.
    hx, hy, hw, hh = screen.control("heading")
    heading = [shot.pixel(origin[0] + x, origin[1] + y) for x in range(hx, hx + hw) for y in range(hy, hy + hh)]
    assert sum(close_to(p, STATIC_INK, 12) for p in heading) > 20
    assert not any(close_to(p, (0, 0, 0), 20) for p in heading)
    # The caption is centred in the part of the button right of its offset.
    rect = screen.control("install")
    first, last = caption_ink_columns(shot, origin, rect)
    offset = scaled(18, dpi)
    centre = rect[0] + offset + (rect[2] - offset) / 2.0
    assert abs((first + last) / 2.0 - centre) <= 2.5
    assert first > rect[0] + offset


def test_skin_reacts_to_the_pointer_and_drags(skin_screen):
    dpi = 120
    screen = skin_screen(dpi, "pointer%d" % dpi)

    # Hover switches the close button's image; leaving switches back.
    cx, cy, cw, ch = screen.control("close")
    probe = (cx + scaled(8, dpi), cy + scaled(3, dpi))
    origin = screen.origin()

    screen.colour_becomes("normal", probe, BLUE, 20)
    screen.move_to_client(*probe)
    screen.colour_becomes("hover", probe, BLUE_HOVER, 20)
    # Pressed shows the lighter image; moving off before release clicks nothing.
    screen.xdotool("mousedown", 1)
    screen.colour_becomes("pressed", probe, BLUE_PRESSED, 25)
    screen.move_to_client(scaled(100, dpi), scaled(12, dpi))
    screen.xdotool("mouseup", 1)
    # The button held the capture, so the dialog did not move: the close
    # button is still where it was, in its normal image.
    screen.colour_becomes("left", probe, BLUE, 20)
    assert screen.origin() == origin and screen.process.poll() is None

    # The logo has a normal image only: hovered and pressed it still shows it.
    lx, ly, lw, lh = screen.control("logo")
    shield = (lx + scaled(13, dpi), ly + scaled(22, dpi))
    screen.move_to_client(*shield)
    screen.colour_becomes("logo_hover", shield, (41, 119, 207), 40)
    screen.xdotool("mousedown", 1)
    screen.colour_becomes("logo_pressed", shield, (41, 119, 207), 40)
    # Releasing on the logo swaps the background: the frame hook is asked again.
    screen.xdotool("mouseup", 1)
    screen.wait_for("301.frame_asked", "2")
    client = screen.control("client")
    shot = screen.shot_showing("second_background", lambda shot: background_matches(
        shot, origin, client, 301, excluded_areas(screen, dpi)) > 0.97, "the second background")
    left, top, right, bottom = frame_rect(dpi)
    assert close_to(shot.pixel(origin[0] + (left + right) // 2, origin[1] + (top + bottom) // 2), (255, 255, 255), 3)

    # Dragging by the background and where the hidden help button sits moves
    # the window by exactly the mouse's movement.
    hx, hy, hw, hh = screen.control("help")
    for count, (label, (px, py)) in enumerate((("background", (scaled(100, dpi), scaled(12, dpi))),
                                               ("help", (hx + hw // 2, hy + hh // 2))), start=1):
        before = screen.origin() if label == "background" else screen.numbers("301.window_after_release")
        screen.move_to_client(px, py, before)
        screen.xdotool("mousedown", 1)
        for _ in range(5):
            screen.xdotool("mousemove_relative", "--", 7, 4)
        screen.xdotool("mousemove_relative", "--", 2, -3)
        screen.release(count)
        after = screen.numbers("301.window_after_release")
        assert after == [before[0] + 37, before[1] + 17], label
    # The moved window is painted afresh, background and all.
    moved = screen.numbers("301.window_after_release")
    screen.shot_showing("dragged", lambda shot: background_matches(
        shot, moved, client, 301, excluded_areas(screen, dpi)) > 0.97, "the moved window painted")

    # The maker's logo opens the maker's page and leaves the screen open.
    mx, my, mw, mh = screen.control("maker")
    screen.move_to_client(mx + mw // 2, my + mh // 2, moved)
    screen.xdotool("click", 1)
    deadline = time.monotonic() + 30
    while not screen.machine.stub_records() and time.monotonic() < deadline:
        time.sleep(0.2)
    started = [line for line in screen.machine.stub_records() if line.startswith("started ")]
    assert len(started) == 1
    assert started[0].endswith('"https://localhost:8443/?CMP=VRN-brantle-app"')
    assert screen.process.poll() is None

    # The close button ends the screen with IDCANCEL.
    screen.move_to_client(cx + cw // 2, cy + ch // 2, moved)
    screen.xdotool("click", 1)
    assert screen.process.wait(timeout=60) == 2

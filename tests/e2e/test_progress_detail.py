"""The line under the progress screen's bar, seen as a user sees it in four
languages at 96 and 144 DPI on a slow line: sizes in the user's number
format, speed and time left, changing as the download goes on, within its
place and never taking the focus; a stalled download says so in words. The
screenshots are kept in <build>/artifacts/screens/languages/ (the English
one at 96 DPI is the README's picture of the progress screen)."""
import re
import sys

import pytest

from conftest import SOURCE_DIR
import screens_rig as ui

sys.path.insert(0, str(SOURCE_DIR / "resources" / "strings"))
import make_string_table  # noqa: E402

SLOW_LINE = 384 * 1024  # bytes a second: the demo package takes about fifteen
STALL_AT = 3 * 1024 * 1024  # where the English run's server falls silent for good
# The user's decimal mark in each language's locale.
RUNS = [("en", "en_US", 96, "."), ("de", "de_DE", 144, ","), ("ja", "ja_JP", 96, "."), ("ru", "ru_RU", 144, ",")]
OF, SPEED, TIME_LEFT, STALLED = 327, 339, 351, 363
SIZES, SECONDS, MINUTES, HOURS = (399, 411, 423, 435), 447, 459, 471


def messages(language):
    raw = make_string_table.read_messages(SOURCE_DIR / "resources" / "strings" / (language + ".txt"))
    return {base_id: text.replace("\\n", "\n").replace("\\\\", "\\") for base_id, text in raw.items()}


def pattern(message, *parts):
    """The message as a regular expression, its %s filled by the parts."""
    out = re.escape(message)
    for part in parts:
        out = out.replace("%s", "(?:%s)" % part, 1)
    return out


def download_line(text, decimal):
    """Sizes, speed and time left, one part a line, numbers as the user writes them."""
    number = r"\d[\d.,\u00a0 ]*" if decimal == "," else r"\d[\d,]*(?:\.\d)?"
    size = "|".join(pattern(text[unit], number) for unit in SIZES)
    duration = "|".join([pattern(text[SECONDS], r"\d+"), pattern(text[MINUTES], r"\d+"),
                         pattern(text[HOURS], r"\d+", r"\d+")])
    return re.compile("^%s\n%s\n%s$" % (pattern(text[OF], size, size), pattern(text[SPEED], size),
                                        pattern(text[TIME_LEFT], duration)))


def fill(text, *values):
    for value in values:
        text = text.replace("%s", value, 1)
    return text


def inside_its_place(state):
    """Under the bar, left of the target button, within the window."""
    left, top, width, height = state.controls[ui.DETAIL].rect
    bar = state.controls[ui.PROGRESS].rect
    run = state.controls[ui.RUN].rect
    return top >= bar[1] + bar[3] and left + width <= run[0] and left >= 0 and width > 0 and height > 0


@pytest.mark.parametrize("language, locale, dpi, decimal", RUNS)
def test_detail_line_tells_size_speed_and_time_left(machine, package_server, demo_package, monkeypatch, language,
                                                   locale, dpi, decimal):
    text = messages(language)
    stalls = language == "en"
    server = (package_server(fault="stall-all", stall_after=STALL_AT, rate=SLOW_LINE) if stalls
              else package_server(rate=SLOW_LINE))
    machine.add_usb_drive("E", "KORVANE USB")
    ui.set_dpi(machine, dpi)
    environment = {"LC_ALL": locale + ".UTF-8", "LANG": locale + ".UTF-8"}
    # Wine keeps the user's regional format in the prefix's registry, set by
    # the locale of the last program started: the window probe must not
    # turn a Russian user's machine into an American one.
    base_env = machine.base_env
    monkeypatch.setattr(machine, "base_env", lambda: dict(base_env(), **environment))
    installer = machine.start_installer("--path", "E:\\")
    ui.wait_for_screen(machine, "licence", installer)
    ui.press(machine, ui.ACCEPT)

    line = download_line(text, decimal)
    first = ui.wait_for_screen(machine, "progress", installer, lambda s: line.match(s.text(ui.DETAIL)))
    ui.screenshot(machine, "languages/%s_3_downloading_%ddpi" % (language, dpi))
    package_size = demo_package.stat().st_size / (1024 * 1024)
    total = fill(text[SIZES[2]], ("%.1f" % package_size).replace(".", decimal))
    assert total in first.text(ui.DETAIL).split("\n")[0]
    assert first.controls[ui.DETAIL].cls.lower() == "static"
    assert first.focus != ui.DETAIL
    assert inside_its_place(first), first
    # It moves on with the download, a line at a time.
    later = ui.wait_for(machine, lambda s: s.kind == "progress" and s.text(ui.DETAIL) != first.text(ui.DETAIL)
                        and line.match(s.text(ui.DETAIL)), "the detail line changing", installer)
    assert later.text(ui.STATUS) == text[231]

    if stalls:
        said = fill(text[STALLED], fill(text[SECONDS], "15"))
        stalled = ui.wait_for(machine, lambda s: s.kind == "progress" and s.text(ui.DETAIL) == said,
                              "the stall said in words", installer)
        ui.screenshot(machine, "languages/%s_3_stalled_%ddpi" % (language, dpi))
        # Said when the download noticed the stall, not a stall window later.
        noticed = [record for record in machine.log_lines() if "no data for 15 s, resuming at byte" in record]
        assert len(noticed) == 1, noticed
        assert server.stalls()
        assert stalled.visible(ui.PROGRESS) and stalled.text(ui.STATUS) == text[231]

    ui.press(machine, ui.CLOSE)
    assert installer.wait(timeout=120).exit_code == 0

"""Every screen in each of the twelve languages: the texts the screens show
come from the language's messages, and a screenshot of each screen is kept
in <build>/artifacts/screens/languages/ for a person to look at (CJK fonts
come from the set-up; Arial and Microsoft Sans Serif are mapped to
metric-compatible free fonts in the test prefix)."""
import sys

import pytest

from conftest import SOURCE_DIR
import screens_rig as ui

sys.path.insert(0, str(SOURCE_DIR / "resources" / "strings"))
import make_string_table  # noqa: E402

LOCALES = {"en": "en_US", "de": "de_DE", "es": "es_ES", "fr": "fr_FR", "it": "it_IT", "ja": "ja_JP",
           "ko": "ko_KR", "pl": "pl_PL", "pt-BR": "pt_BR", "ru": "ru_RU", "zh-Hans": "zh_CN",
           "zh-Hant": "zh_TW"}


def messages(language):
    raw = make_string_table.read_messages(SOURCE_DIR / "resources" / "strings" / (language + ".txt"))
    return {base_id: text.replace("\\n", "\n").replace("\\\\", "\\") for base_id, text in raw.items()}


def fill(text, *values):
    for placeholder, value in zip(["%s", "%c", "%.0f"], values):
        text = text.replace(placeholder, value, 1)
    return text


@pytest.mark.parametrize("language", make_string_table.LANGUAGES)
def test_every_screen_speaks_the_users_language(machine, package_server, language):
    text = messages(language)
    locale = LOCALES[language] + ".UTF-8"
    package_server()
    machine.add_usb_drive("E", "KORVANE USB")
    installer = machine.start_installer(env={"LC_ALL": locale, "LANG": locale})
    name = "languages/%s_" % language

    licence = ui.wait_for_screen(machine, "licence", installer)
    ui.screenshot(machine, name + "1_licence")
    assert licence.text(ui.DESCRIPTION) == text[135]
    assert licence.text(ui.ACCEPT) == text[147]
    assert licence.text(ui.DECLINE) == text[159]
    ui.press(machine, ui.ACCEPT)

    drives = ui.wait_for_screen(machine, "drive", installer)
    ui.screenshot(machine, name + "2_drives")
    assert drives.text(ui.HEADING) == text[195]
    assert drives.items == ["KORVANE USB (E:)"]
    assert drives.text(ui.INSTALL) == fill(text[171], "KORVANE USB", "E")
    ui.press(machine, ui.INSTALL)

    done = ui.wait_for_completed(machine, installer, text[219])
    ui.screenshot(machine, name + "3_complete")
    assert done.text(ui.COMPLETION) == text[315]
    ui.press(machine, ui.CLOSE)
    assert installer.wait().exit_code == 0

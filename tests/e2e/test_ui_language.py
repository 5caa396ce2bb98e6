"""The UI language the real start-up detects under Wine, and the string
table the real KorvaneInstaller.exe ships.

The language probe links the installer's localisation and resources and
reports what their static initialisation picked; Wine takes the user's UI
language from LC_ALL.
"""
import sys

import pytest

from conftest import BUILD_DIR, SOURCE_DIR
import wine_rig

sys.path.insert(0, str(SOURCE_DIR / "resources" / "strings"))
import make_string_table  # noqa: E402

PROBE = BUILD_DIR / "tools" / "language_probe" / "LanguageProbe.exe"


def messages(language):
    return make_string_table.read_messages(SOURCE_DIR / "resources" / "strings" / (language + ".txt"))


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


@pytest.fixture(scope="module")
def prefix(template_prefix, tmp_path_factory):
    copy = wine_rig.clone_prefix(template_prefix, tmp_path_factory.mktemp("language") / "prefix")
    yield copy
    wine_rig.remove_prefix(copy)


def run_probe(prefix, args=(), env=None):
    code, out, err = wine_rig.run(prefix, PROBE, list(args), extra_env=env, timeout=120)
    wine_rig.wait_wineserver(prefix)
    assert code == 0, err
    return dict(line.rstrip("\r").split("=", 1) for line in out.splitlines() if "=" in line)


@pytest.mark.parametrize("locale, identifier, name, language, table", [
    ("de_DE.UTF-8", "0x0407", "de-DE", 4, "de"),
    ("ja_JP.UTF-8", "0x0411", "ja-JP", 9, "ja"),
    ("ru_RU.UTF-8", "0x0419", "ru-RU", 12, "ru"),
    ("zh_CN.UTF-8", "0x0804", "zh-CN", 10, "zh-Hans"),
    ("zh_TW.UTF-8", "0x0404", "zh-TW", 11, "zh-Hant"),
    # Dutch is not among the twelve: the messages fall back to English.
    ("nl_NL.UTF-8", "0x0413", "nl-NL", 0, "en"),
])
def test_static_initialisation_picks_the_table_of_the_ui_language(prefix, locale, identifier, name,
                                                                  language, table):
    report = run_probe(prefix, env={"LC_ALL": locale, "LANG": locale})
    assert report["ui-language"] == identifier
    assert report["name"] == name
    assert int(report["language"]) == language
    assert report["message-183"] == messages(table)[183]


def test_installer_ships_every_message_of_every_language(prefix):
    installer = BUILD_DIR / "Installer" / "KorvaneInstaller.exe"
    shipped = run_probe(prefix, ["--dump", windows_path(installer)])
    assert len(shipped) == 29 * 12
    for offset, language in enumerate(make_string_table.LANGUAGES):
        for base_id, text in messages(language).items():
            expected = text.replace("\\", "\\\\").replace("\n", "\\n")
            assert shipped[str(base_id + offset)] == expected, (language, base_id)

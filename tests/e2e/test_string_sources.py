"""The string-table generator refuses message files that would make the
program format a text with the wrong arguments, break a label's layout or
show an empty text."""
import shutil
import subprocess
import sys

import pytest

from conftest import SOURCE_DIR

STRINGS = SOURCE_DIR / "resources" / "strings"


@pytest.fixture
def sources(tmp_path):
    folder = tmp_path / "strings"
    shutil.copytree(STRINGS, folder)
    return folder


def generate(folder):
    output = folder.parent / "Strings.rc"
    done = subprocess.run([sys.executable, str(STRINGS / "make_string_table.py"), str(output),
                           str(folder)], capture_output=True, text=True)
    return done.returncode, done.stderr, output


def edit(path, old, new):
    text = path.read_text(encoding="utf-8")
    assert old in text
    path.write_text(text.replace(old, new), encoding="utf-8")


def test_sources_give_one_ascii_entry_per_resource(sources):
    code, err, output = generate(sources)
    assert code == 0, err
    entries = [line for line in output.read_text(encoding="ascii").splitlines()
               if line.startswith("  ") and not line.startswith("  //")]
    assert sorted(int(line.split(",", 1)[0]) for line in entries) == list(range(135, 483))


@pytest.mark.parametrize("language, old, new, complaint", [
    ("de", "%s (%c:)", "%c (%s:)", "placeholders"),
    ("ru", "%.0f", "%d", "placeholders"),
    ("ja", "267 = ドライブ %c", "267 = ドライブ", "placeholders"),
    ("es", "291 = Instalar", "291 = Ins\\ntalar", "line breaks"),
    # Losing a break puts the drive on the caption's first line.
    ("de", "auf:\\n%s", "auf: %s", "line breaks"),
    ("fr", "%c.\\nAu moins", "%c. Au moins", "line breaks"),
    # The Russian free-space message is the one single-line text.
    ("ru", "%c. Требуется", "%c.\\nТребуется", "line breaks"),
    ("fr", "147 = Accepter", "147 = ", "empty"),
    ("pl", "303 = Nie znaleziono dysku USB\n", "", "missing"),
    ("it", "291 = Installa\n", "291 = Installa\n291 = Installa\n", "twice"),
])
def test_broken_translation_stops_the_build(sources, language, old, new, complaint):
    edit(sources / (language + ".txt"), old, new)
    code, err, output = generate(sources)
    assert code == 1
    assert complaint in err and language in err
    assert not output.exists()

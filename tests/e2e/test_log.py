"""The diagnostic log as the real exe writes it under Wine. The runs here
are windowless installs onto a drive that is not there, which end at once
without a screen."""
import datetime

from conftest import RECORD_PATTERN

NO_SCREEN = "/path=Q:\\"


def test_two_runs_append_to_one_log(machine):
    machine.run_installer(NO_SCREEN)
    first = machine.log_lines()
    machine.run_installer(NO_SCREEN)
    both = machine.log_lines()
    assert both[:len(first)] == first
    assert len(both) == 2 * len(first)
    created = [i for i, line in enumerate(both) if line.endswith("INFO [default] Log created")]
    assert created == [0, len(first)]


def test_every_record_has_the_fixed_layout(machine):
    from conftest import LogRecord
    before = datetime.datetime.now()
    machine.run_installer("/path=E:\\")
    after = datetime.datetime.now()
    lines = machine.log_lines()
    assert lines
    for line in lines:
        record = LogRecord(line)  # raises on any other layout
        assert record.logger == "default"
        assert record.level in ("INFO", "ERROR")
        # Day first, then month, in local time: the pattern alone cannot
        # tell 09/12 from 12/09.
        day, month, year, hour, minute, second, milli = map(int, RECORD_PATTERN.match(line).groups()[:7])
        written = datetime.datetime(year, month, day, hour, minute, second, milli * 1000)
        assert before - datetime.timedelta(seconds=2) <= written <= after + datetime.timedelta(seconds=2), line


def test_log_lives_in_the_working_folder_of_the_temp_directory(machine):
    machine.run_installer(NO_SCREEN)
    assert machine.log_file.parent.name == "{502ABB8A-27F4-4A9D-A0B4-C99B926B99EE}"
    assert machine.log_file.exists()


def test_log_reaches_a_temp_directory_with_characters_outside_ascii(machine):
    """The library opens its file with the narrow API; the exe's code page
    must read the UTF-8 path it is given, or the records go to a garbled
    folder (or nowhere, where that folder cannot be made)."""
    import subprocess
    from pathlib import Path

    import wine_rig
    from conftest import WORKING_FOLDER
    temp = Path(wine_rig.temp_folder(machine.prefix))
    name = "J\u00f6rg \u042e\u043b\u044f"
    (temp / name).mkdir()
    env = wine_rig.wine_env(machine.prefix)
    windows_temp = "C:\\" + "\\".join(temp.relative_to(Path(machine.prefix) / "drive_c").parts) + "\\" + name
    for variable in ("TEMP", "TMP"):
        subprocess.run(wine_rig.wine_command() + ["reg", "add", r"HKCU\Environment", "/v", variable, "/t", "REG_SZ",
                        "/d", windows_temp, "/f"], env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wine_rig.wait_wineserver(machine.prefix)
    machine.run_installer(NO_SCREEN)
    log = temp / name / WORKING_FOLDER / "Installer.log"
    assert log.exists(), sorted(str(p.relative_to(temp)) for p in temp.rglob("Installer.log"))
    assert log.read_bytes().decode("latin-1").splitlines()[0].endswith("INFO [default] Log created")

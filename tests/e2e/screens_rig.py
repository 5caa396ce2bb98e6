"""Looking at and driving the installer's screens from outside, the way
assistive software does: the window probe (tests/probes/WindowProbe.cpp)
reads window texts, control ids, list items and the bar's position, and
presses buttons; xdotool types keys; ImageMagick keeps screenshots."""
import os
import subprocess
import time

from conftest import BUILD_DIR
import wine_rig

TITLE = "Korvane Setup"
ARTIFACTS = BUILD_DIR / "artifacts" / "screens"
WAIT_SECONDS = 120

# Control ids.
ACCEPT, DECLINE, LICENCE_TEXT, DESCRIPTION = 1001, 1002, 1005, 1011
DRIVE_LIST, REFRESH, INSTALL, HEADING = 1002, 1004, 1009, 1013
PROGRESS, COMPLETION, RUN, STATUS, DETAIL = 1006, 1011, 1013, 1014, 1015
HELP, CLOSE, MAKER, LOGO = 1007, 1008, 1012, 1010

# Status texts of the progress screen in English.
DOWNLOADING = "Please wait, downloading Korvane..."
INSTALLING = "Please wait, Installing Korvane..."


def unhex(text):
    return "" if text == "-" else bytes.fromhex(text).decode("utf-8")


class Control:
    def __init__(self, fields):
        self.id = int(fields[0])
        self.cls = unhex(fields[1])
        self.visible = fields[2] == "1"
        self.enabled = fields[3] == "1"
        self.rect = tuple(int(v) for v in fields[4:8])
        self.text = unhex(fields[8])

    def __repr__(self):
        return "<%d %s %r%s>" % (self.id, self.cls, self.text, "" if self.visible else " hidden")


class ScreenState:
    """One look at the installer's window."""

    def __init__(self, output):
        self.controls = {}
        self.items = []
        self.selected = None
        self.position = None
        self.focus = None
        self.origin = (0, 0)
        self.rect = None
        for line in output.splitlines():
            fields = line.split()
            if not fields:
                continue
            if fields[0] == "window":
                self.rect = tuple(int(v) for v in fields[2:6])
                self.focus = int(fields[6])
            elif fields[0] == "client_origin":
                self.origin = (int(fields[1]), int(fields[2]))
            elif fields[0] == "control":
                control = Control(fields[1:])
                self.controls[control.id] = control
            elif fields[0] == "item":
                self.items.append(unhex(fields[3]) if len(fields) > 3 else "")
            elif fields[0] == "selected":
                self.selected = int(fields[2])
            elif fields[0] == "position":
                self.position = int(fields[2])

    @property
    def kind(self):
        classes = {c.cls.lower() for c in self.controls.values()}
        if "richedit20w" in classes:
            return "licence"
        if "combobox" in classes:
            return "drive"
        if "msctls_progress32" in classes:
            return "progress"
        return "unknown"

    def text(self, control_id):
        return self.controls[control_id].text

    def visible(self, control_id):
        return self.controls[control_id].visible

    def __repr__(self):
        return "<%s screen %r items=%r selected=%r position=%r>" % (
            self.kind, list(self.controls.values()), self.items, self.selected, self.position)


def look(machine):
    """The installer's window now, or None when there is none."""
    code, out = machine.probe("dump", TITLE)
    if code != 0:
        return None
    state = ScreenState(out)
    return state if state.controls else None


def wait_for(machine, condition, what, program=None, timeout=WAIT_SECONDS):
    """Looks at the window until condition(state) holds; returns that state."""
    deadline = time.monotonic() + timeout
    state = None
    while time.monotonic() < deadline:
        state = look(machine)
        if state is not None and condition(state):
            return state
        if program is not None and not program.running():
            raise AssertionError("the installer ended while waiting for %s; last seen %r" % (what, state))
        time.sleep(0.3)
    raise AssertionError("never saw %s; last seen %r" % (what, state))


def wait_for_screen(machine, kind, program=None, condition=None):
    return wait_for(machine, lambda s: s.kind == kind and (condition is None or condition(s)),
                    "the %s screen" % kind, program)


def completed(run_caption="Run Korvane"):
    """The whole completed state of the progress screen in install mode: a
    screen read between two of its updates does not pass."""
    return lambda s: (s.kind == "progress" and s.visible(COMPLETION) and not s.visible(STATUS)
                      and s.text(RUN) == run_caption and s.position == 100)


def failed(status_text):
    """The whole failed state of the progress screen: its text and no bar."""
    return lambda s: s.kind == "progress" and s.text(STATUS) == status_text and not s.visible(PROGRESS)


def wait_for_completed(machine, program, run_caption="Run Korvane"):
    return wait_for(machine, completed(run_caption), "the completed progress screen", program)


def wait_until(condition, what, timeout=60):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.1)
    raise AssertionError("never saw " + what)


def reach_phase(machine, installer, server, phase):
    """Accepts the licence of an installer started for a drive and waits
    until its worker is in phase: "drive_query" (the drive query was asked),
    "extraction" (the status says installing), or else a stalled download
    (the status says downloading and the server holds a range silent).
    Returns the progress screen's state."""
    wait_for_screen(machine, "licence", installer)
    press(machine, ACCEPT)
    if phase == "drive_query":
        wait_until(lambda: machine.wmi_queries(), "the drive query")
        return wait_for_screen(machine, "progress", installer)
    if phase == "extraction":
        return wait_for_screen(machine, "progress", installer, lambda s: s.text(STATUS) == INSTALLING)
    state = wait_for_screen(machine, "progress", installer, lambda s: s.text(STATUS) == DOWNLOADING)
    wait_until(lambda: server.stalls(), "the server falling silent")
    return state


def press(machine, control_id):
    code, _ = machine.probe("click", TITLE, str(control_id))
    assert code == 0, "could not press %d" % control_id


def select(machine, control_id, index):
    code, _ = machine.probe("select", TITLE, str(control_id), str(index))
    assert code == 0


def post(machine, message, wparam=0, lparam=0):
    code, _ = machine.probe("post", TITLE, str(message), str(wparam), str(lparam))
    assert code == 0


def device_change(machine, event, letter, count=1):
    """What the system sends every top-level window when a volume comes or
    goes, count times in a row."""
    code, _ = machine.probe("device-change", TITLE, str(event), letter, str(count))
    assert code == 0


DEVICE_ARRIVAL, DEVICE_REMOVE_COMPLETE = 0x8000, 0x8004


def set_dpi(machine, dpi):
    """The display's DPI for the programs the machine starts from now on."""
    env = wine_rig.wine_env(machine.prefix)
    for key in (r"HKCU\Control Panel\Desktop", r"HKCC\Software\Fonts"):
        subprocess.run(wine_rig.wine_command() + ["reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD",
                                                  "/d", str(dpi), "/f"],
                       env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    wine_rig.wait_wineserver(machine.prefix)


def screenshot(machine, name):
    """Keeps a screenshot of the whole virtual screen as a test artefact."""
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    path = ARTIFACTS / (name + ".png")
    path.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-window", "root", str(path)], env=dict(os.environ, DISPLAY=machine.display),
                   check=True, timeout=60)
    return path


def xdotool(machine, *args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=30,
                   env=dict(os.environ, DISPLAY=machine.display))


def click_client(machine, state, x, y):
    """A real mouse click at a point of the window's client area."""
    xdotool(machine, "mousemove", state.origin[0] + x, state.origin[1] + y)
    xdotool(machine, "click", 1)


def click_control(machine, state, control_id):
    left, top, width, height = state.controls[control_id].rect
    click_client(machine, state, left + width // 2, top + height // 2)


def wait_for_file_line(path_reader, condition, what, timeout=WAIT_SECONDS):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        lines = path_reader()
        if any(condition(line) for line in lines):
            return lines
        time.sleep(0.3)
    raise AssertionError("never saw %s" % what)


def started_command(line):
    """(program, parameters) of a stub record "started <command line>"; the
    program may come quoted or not, as whoever started it wrote it."""
    assert line.startswith("started "), line
    command = line[len("started "):]
    if command.startswith('"'):
        program, _, rest = command[1:].partition('"')
    else:
        program, _, rest = command.partition(" ")
    return program, rest.strip()

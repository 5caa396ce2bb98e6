"""The screens with a keyboard and a screen reader: every image button is
named by its window text, Tab moves between the buttons, the focused one
shows it, Space or Enter presses it, Enter on the drive list installs and
Esc closes a screen. Keys are typed as a user types them (xdotool)."""
import pytest

from conftest import assert_package_installed
import screens_rig as ui
from test_skin import Shot, close_to

FOCUS_INK = (0, 0, 0)


def focus_dots(machine, state, control_id, label):
    """Dark dots of a focus frame inside the button's edge, over its light body."""
    shot = Shot(machine.display, ui.screenshot(machine, label))
    left, top, width, height = state.controls[control_id].rect
    ox, oy = state.origin
    edge = [(ox + x, oy + top + 3) for x in range(left + 36, left + width - 6)]
    return sum(close_to(shot.pixel(x, y), FOCUS_INK, 40) for x, y in edge)


def key(machine, name):
    ui.xdotool(machine, "key", name)


def test_keyboard_walks_the_wizard(machine, package_server, demo_package):
    server = package_server()
    drive = machine.add_usb_drive("E", "KORVANE USB")
    installer = machine.start_installer()

    # The keyboard starts on Accept once the screen has the focus.
    licence = ui.wait_for_screen(machine, "licence", installer, lambda s: s.focus == ui.ACCEPT)
    names = {control_id: licence.text(control_id) for control_id in (ui.CLOSE, ui.MAKER, ui.LOGO, ui.HELP)}
    assert names == {ui.CLOSE: "Close", ui.MAKER: "Korvane website", ui.LOGO: "Korvane", ui.HELP: "Help"}
    # Tab goes on to Decline and back.
    key(machine, "Tab")
    on_decline = ui.wait_for(machine, lambda s: s.focus == ui.DECLINE, "the focus on Decline", installer)
    assert focus_dots(machine, on_decline, ui.DECLINE, "keyboard_decline_focused") > 10
    assert focus_dots(machine, on_decline, ui.ACCEPT, "keyboard_decline_focused") == 0
    order = [ui.DECLINE]
    for _ in range(4):
        key(machine, "Tab")
        previous = order[-1]
        order.append(ui.wait_for(machine, lambda s: s.focus != previous, "the focus moving", installer).focus)
    assert order == [ui.DECLINE, ui.CLOSE, ui.MAKER, ui.LOGO, ui.ACCEPT]
    # Enter presses the focused button: Accept.
    key(machine, "Return")

    # The list has the focus, so Enter is the first key a keyboard user
    # presses: it installs onto the drive the list shows.
    drives = ui.wait_for_screen(machine, "drive", installer, lambda s: s.focus == ui.DRIVE_LIST)
    assert drives.text(ui.REFRESH) == "Refresh"
    assert drives.items[drives.selected] == "KORVANE USB (E:)"
    key(machine, "Return")

    done = ui.wait_for_completed(machine, installer)
    assert done.focus == ui.RUN
    assert [line for line in server.requests() if "Korvane.zip" in line]
    assert_package_installed(demo_package, drive)
    key(machine, "Return")
    result = installer.wait()
    assert result.exit_code == 0
    assert ui.started_command(machine.stub_records()[0]) == ("E:\\Korvane.exe", "")


def test_keys_on_the_drive_screen_without_a_drive(machine, package_server):
    server = package_server()
    machine.set_disks()
    installer = machine.start_installer()
    ui.wait_for_screen(machine, "licence", installer, lambda s: s.focus == ui.ACCEPT)
    # Space presses the focused Accept as Enter does.
    key(machine, "space")

    empty = ui.wait_for_screen(machine, "drive", installer, lambda s: s.focus == ui.REFRESH)
    assert empty.items == ["No USB drive found"]
    # Install comes right before the refresh button.
    key(machine, "shift+Tab")
    ui.wait_for(machine, lambda s: s.focus == ui.INSTALL, "the focus on Install", installer)
    # Neither key does anything without a drive; the Tab typed after them is
    # handled on the same screen, so they were handled and left it open.
    key(machine, "Return")
    key(machine, "space")
    key(machine, "Tab")
    moved_on = ui.wait_for(machine, lambda s: s.focus not in (ui.INSTALL, None), "the focus leaving Install", installer)
    assert moved_on.kind == "drive"
    key(machine, "Escape")
    assert installer.wait().exit_code == 1
    assert server.requests() == []


@pytest.mark.parametrize("how", ["enter_on_decline", "escape"])
def test_licence_keys_that_decline(machine, package_server, how):
    server = package_server()
    installer = machine.start_installer()
    ui.wait_for_screen(machine, "licence", installer, lambda s: s.focus == ui.ACCEPT)
    if how == "escape":
        key(machine, "Escape")
    else:
        key(machine, "Tab")
        ui.wait_for(machine, lambda s: s.focus == ui.DECLINE, "the focus on Decline", installer)
        key(machine, "Return")
    assert installer.wait().exit_code == 1
    assert server.requests() == []

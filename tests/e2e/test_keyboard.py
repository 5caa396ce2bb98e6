"""The screens with a keyboard and a screen reader: every image button is
named by its window text, Tab moves between the buttons, the focused one
shows it, and Space or Enter presses it."""

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


def test_keyboard_walks_the_wizard(machine, package_server):
    package_server()
    machine.add_usb_drive("E", "KORVANE USB")
    installer = machine.start_installer()

    licence = ui.wait_for_screen(machine, "licence", installer)
    names = {control_id: licence.text(control_id) for control_id in (ui.CLOSE, ui.MAKER, ui.LOGO, ui.HELP)}
    assert names == {ui.CLOSE: "Close", ui.MAKER: "Korvane website", ui.LOGO: "Korvane", ui.HELP: "Help"}
    # The keyboard starts on Accept; Tab goes on to Decline and back.
    assert licence.focus == ui.ACCEPT
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

    drives = ui.wait_for_screen(machine, "drive", installer)
    assert drives.text(ui.REFRESH) == "Refresh"
    assert drives.focus == ui.DRIVE_LIST
    key(machine, "Tab")
    ui.wait_for(machine, lambda s: s.focus == ui.INSTALL, "the focus on Install", installer)
    # Space presses it too.
    key(machine, "space")

    done = ui.wait_for_screen(machine, "progress", installer, lambda s: s.visible(ui.COMPLETION))
    assert done.focus == ui.RUN
    key(machine, "Escape")
    result = installer.wait()
    assert result.exit_code == 0
    assert machine.stub_records() == []


def test_enter_on_decline_declines(machine, package_server):
    server = package_server()
    installer = machine.start_installer()
    ui.wait_for_screen(machine, "licence", installer)
    key(machine, "Tab")
    ui.wait_for(machine, lambda s: s.focus == ui.DECLINE, "the focus on Decline", installer)
    key(machine, "Return")
    assert installer.wait().exit_code == 1
    assert server.requests() == []

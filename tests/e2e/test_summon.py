"""The summon key ("summon_key" in settings.json): a chord the system watches
for in every program, which brings tolvar to the front with the focus on its
shell, and sends it to the tray when tolvar is in front.

Wine's server sees the keys of every Wine window and turns the chord into
WM_HOTKEY whichever of them has the X focus, so the other program here is a
Wine one (notepad). Keys typed into an X program that is not Wine's never
reach Wine at all, so they cannot summon it there.

Without a window manager, Wine makes a window the foreground one when it is
clicked, not when the X focus moves to it from another process (that only
makes the desktop the foreground), so the other program is clicked, as a
user would.
"""

from harness import WM_APP_TRAY, WM_LBUTTONUP, wait_until, windows_path
from test_dialogs import open_manager
from test_failures import notice_rows, read_notice
from test_input import wait_prompt

NOTEPAD = "C:\\windows\\system32\\notepad.exe"
CHORD = "ctrl+alt+t"
WM_SYSCOMMAND = 0x0112
SC_MINIMIZE = 0xF020
SC_MAXIMIZE = 0xF030


def foreground(app):
    return app.probe("foreground")


def in_front_with_focus(app):
    info = app.window_info()
    now = foreground(app)
    return (info["visible"] and not info["minimized"] and now["hwnd"] == app.hwnd
            and now["focus"] == app.hwnd)


def click_to_front(app, hwnd, point=(60, 60)):
    """Clicks into a window of `app` above whatever covers it; waits until it
    is the foreground window."""
    app.screen.xdotool("windowraise", app.x_window(hwnd))
    app.click(*point, hwnd=hwnd)
    wait_until(lambda: foreground(app)["hwnd"] == hwnd, 10, f"window {hwnd} in front")


def press(app, chord=CHORD):
    # Not app.key(), which gives tolvar the focus first.
    app.screen.key(chord)


def notepad_text(notepad, window):
    controls = notepad.probe.controls(window["hwnd"])["controls"]
    return next(c["text"] for c in controls if c["class"] == "Edit")


def test_the_summon_key_brings_tolvar_back_and_sends_it_away(launch, tmp_path):
    app = launch(settings={"close_to_tray": True, "summon_key": CHORD})
    wait_prompt(app)
    notepad = launch(program=NOTEPAD, wait=False)
    other = notepad.wait_window("Notepad")
    typed = tmp_path / "typed.txt"

    def summon_from_notepad(what):
        click_to_front(notepad, other["hwnd"])
        press(app)
        wait_until(lambda: in_front_with_focus(app), 15, what)

    # From behind another program: the keys typed next reach the shell.
    summon_from_notepad("tolvar in front of notepad with the focus")
    app.screen.type(f"echo summoned-once>{windows_path(typed)}\n")
    wait_until(lambda: typed.exists() and typed.read_text().split() == ["summoned-once"], 20,
               "the shell to run what was typed")

    # In front: to the tray, where its icon stays to bring it back.
    press(app)
    wait_until(lambda: not app.window_info()["visible"], 15, "tolvar hidden to the tray")
    assert foreground(app)["hwnd"] != app.hwnd
    assert app.running

    # From the tray.
    summon_from_notepad("tolvar back from the tray with the focus")
    app.screen.type(f"echo summoned-twice>>{windows_path(typed)}\n")
    wait_until(lambda: typed.read_text().split() == ["summoned-once", "summoned-twice"], 20,
               "the shell to run the second line")

    # Minimized: restored.
    assert app.post(WM_SYSCOMMAND, SC_MINIMIZE)
    wait_until(lambda: app.window_info()["minimized"], 10, "tolvar minimized")
    summon_from_notepad("tolvar restored with the focus")

    # Nothing typed went to the other program.
    assert notepad_text(notepad, other) == ""
    assert "summon_key" in app.read_json("settings.json")


def test_a_maximized_window_comes_back_maximized(launch):
    # Regression: the tray icon restored the window, which also took a
    # maximized one down to its normal size.
    app = launch(settings={"close_to_tray": True, "summon_key": CHORD})
    normal = app.window_info()["rect"]
    assert app.post(WM_SYSCOMMAND, SC_MAXIMIZE)
    maximized = wait_until(lambda: (r := app.window_info()["rect"]) != normal and r, 10,
                           "the window maximized")
    notepad = launch(program=NOTEPAD, wait=False)
    other = notepad.wait_window("Notepad")
    for bring_back in (lambda: app.post(WM_APP_TRAY, 1, WM_LBUTTONUP),
                       lambda: (click_to_front(notepad, other["hwnd"]), press(app))):
        app.close()  # to the tray
        wait_until(lambda: not app.window_info()["visible"], 15, "tolvar hidden to the tray")
        bring_back()
        wait_until(lambda: in_front_with_focus(app), 15, "tolvar back in front")
        assert app.window_info()["rect"] == maximized


def test_with_a_dialog_open_the_summon_key_minimizes_and_brings_the_dialog_back(launch):
    app = launch(settings={"close_to_tray": True, "summon_key": CHORD})
    manager = open_manager(app)
    wait_until(lambda: foreground(app)["hwnd"] == manager.hwnd, 10, "the manager in front")
    # Hidden, the window would leave its dialog alone on the screen.
    press(app)
    wait_until(lambda: app.window_info()["minimized"], 15, "tolvar minimized")
    notepad = launch(program=NOTEPAD, wait=False)
    other = notepad.wait_window("Notepad")
    click_to_front(notepad, other["hwnd"])
    press(app)
    wait_until(lambda: not app.window_info()["minimized"]
               and foreground(app)["hwnd"] == manager.hwnd, 15,
               "tolvar restored with the manager in front")
    # The manager's filter takes what is typed.
    app.screen.type("zz")
    wait_until(lambda: manager.control(100)["text"] == "zz", 10, "the typed text in the filter")


def test_a_summon_key_another_program_holds_is_told_and_the_program_goes_on(launch):
    settings = {"close_to_tray": False, "summon_key": CHORD}
    first = launch(settings=settings)
    second = launch(settings=settings)
    wait_until(lambda: notice_rows(second) == 1, 20, "the refused chord's notice")
    text = read_notice(second)
    assert text.startswith(f'Cannot use the summon key "{CHORD}": '), text
    assert "(os error 1409)" in text, text  # ERROR_HOTKEY_ALREADY_REGISTERED
    # The chord still summons the one that holds it, which told nothing.
    # (The two windows lie on each other, and X windows are found by their
    # place: notepad is the one clicked.)
    notepad = launch(program=NOTEPAD, wait=False)
    click_to_front(notepad, notepad.wait_window("Notepad")["hwnd"])
    press(first)
    wait_until(lambda: in_front_with_focus(first), 15, "the first in front with the focus")
    assert notice_rows(first) == 0
    assert second.running


def test_a_malformed_summon_key_is_told_and_kept(launch):
    app = launch(settings={"close_to_tray": False, "summon_key": "ctrl+alt+tt"})
    wait_until(lambda: notice_rows(app) == 1, 20, "the malformed chord's notice")
    assert read_notice(app) == ('settings.json: "summon_key" is "ctrl+alt+tt", not a chord like '
                                '"ctrl+alt+t" or "win+grave"; there is no summon key')
    assert app.read_json("settings.json")["summon_key"] == "ctrl+alt+tt"

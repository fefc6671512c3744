"""Keyboard and clipboard: typing into the shell, the shortcuts that open and
switch tabs and change the view, the help screen, aliases, history recording
and completion, broadcasting, paste, copy and quick keys."""

import json

import pytest

import harness
from harness import BACKGROUND, WaitTimeout, wait_until

NO_TRAY = {"close_to_tray": False}

BAR_ITEM = (25, 29, 36)
BAR_ACTIVE = (38, 43, 53)
CAPTION = (25, 29, 36)
BREADCRUMB = (20, 24, 31)
HELP_FILL = (24, 28, 36)
HELP_FRAME = (86, 156, 214)
GHOST = (120, 127, 138)


def aliases_file(aliases=(), quick_keys=()):
    return json.dumps({"schema_version": 1, "aliases": list(aliases),
                       "quick_keys": list(quick_keys)})


def grouped_tabs(*groups):
    """A session list of one tab per entry (a group name or None), resumed at start."""
    records = [{"id": f"s-1-{i}", **({"group": g} if g else {})} for i, g in enumerate(groups)]
    return {"sessions.json": json.dumps({"schema_version": 1, "sessions": records})}


# Put on the clipboard before each copy, so that text from before never
# passes for the screen.
SENTINEL = "-- nothing copied yet --"


def screen_text(app):
    """The active session's screen, copied with Ctrl+Insert; empty when
    nothing came (a blank screen copies nothing)."""
    app.screen.mark_clipboard(SENTINEL)
    app.key("ctrl+Insert")
    try:
        return wait_until(lambda: (text := app.screen.clipboard()) != SENTINEL and text, 3,
                          "the screen's text on the clipboard")
    except WaitTimeout:
        return ""


def repaints_after(app, action, what):
    """Runs the action and waits until the window shows something new."""
    before = app.screenshot().tobytes()
    action()
    wait_until(lambda: app.screenshot().tobytes() != before, 15, what)


def wait_screen(app, predicate, what, timeout=30):
    return wait_until(lambda: (text := screen_text(app)) and predicate(text) and text, timeout,
                      what, interval=0.3)


def wait_prompt(app):
    """Waits for the shell's first prompt; returns it ("...>")."""
    text = wait_screen(app, lambda t: t.rstrip().endswith(">"), "the shell's prompt")
    return text.splitlines()[-1]


def wait_output(app, line, timeout=30):
    """Waits until a line of the screen reads exactly `line`."""
    return wait_screen(app, lambda t: line in t.splitlines(), f"the output line {line!r}",
                       timeout)


def client_size(app):
    left, top, right, bottom = app.client_box()
    return right - left, bottom - top


def wait_pixel(app, point, colour, what, timeout=15):
    wait_until(lambda: app.screenshot().getpixel(point) == colour, timeout, what)


def history(app, record_id):
    text = app.read_text(f"history/{record_id}.jsonl")
    return [json.loads(line)["line"] for line in text.splitlines()] if text else []


# ------------------------------------------------------------ typing


def test_typed_command_runs_and_ctrl_insert_copies_the_screen(launch):
    app = launch(settings=NO_TRAY)
    prompt = wait_prompt(app)
    app.type("echo hello\n")
    text = wait_output(app, "hello")
    assert f"{prompt}echo hello" in text.splitlines()


def test_typed_commands_are_recorded_only_with_tracking_on(launch):
    for tracking in (True, False):
        app = launch(settings={**NO_TRAY, "track_history": tracking})
        record_id = app.wait_sessions(1)[0]["id"]
        wait_prompt(app)
        app.type("echo tracked\n")
        wait_output(app, "tracked")
        if tracking:
            wait_until(lambda: history(app, record_id) == ["echo tracked"], 10,
                       "the line in the history file")
        else:
            assert not (app.data_dir / "history" / f"{record_id}.jsonl").exists()
        app.stop()


def ghost_pixels(app):
    image = app.screenshot()
    pixels = image.load()
    return sum(1 for x in range(image.width) for y in range(40, image.height)
               if pixels[x, y] == GHOST)


def test_a_line_typed_without_echo_is_neither_recorded_nor_suggested(launch):
    app = launch(settings={**NO_TRAY, "track_history": True})
    record_id = app.wait_sessions(1)[0]["id"]
    wait_prompt(app)
    app.type("echo safe-one\n")
    wait_output(app, "safe-one")
    # A remote login: its password prompt reads without echo.
    login = harness.windows_path(harness.BIN / "password-prompt.exe")
    app.type(f"{login}\n")
    wait_screen(app, lambda t: t.rstrip().endswith("password:"), "the password prompt")
    # "e" would suggest "echo safe-one" over the prompt, were it shown.
    app.type("e")
    # A paint after the key, whatever it would draw.
    repaints_after(app, lambda: app.key("ctrl+F1"), "the help screen")
    repaints_after(app, lambda: app.key("Escape"), "the help screen closed")
    assert ghost_pixels(app) == 0
    app.type("cho-secret-pw\n")
    wait_screen(app, lambda t: t.rstrip().endswith("remote$"), "the prompt after the login")
    # Echoed again: the suggestion shows, and the line is recorded.
    app.type("e")
    wait_until(lambda: ghost_pixels(app) > 10, 15, "the suggestion at the echoing prompt")
    app.type("cho remote-one\n")
    wait_output(app, "ran: echo remote-one")
    app.type("exit\n")
    wait_prompt(app)
    expected = ["echo safe-one", login, "echo remote-one", "exit"]
    wait_until(lambda: history(app, record_id) == expected, 10,
               f"the echoed lines in the history file: {history(app, record_id)}")
    assert "secret" not in app.read_text(f"history/{record_id}.jsonl")


# ------------------------------------------------------------ tabs and views


def test_ctrl_t_opens_a_tab_without_reaching_the_shell_when_chrome_keys_are_on(launch):
    app = launch(settings=NO_TRAY)
    wait_prompt(app)
    app.type("echo a")
    app.key("ctrl+t")
    app.wait_sessions(2)
    app.key("ctrl+shift+t")
    app.wait_sessions(3)
    app.key("ctrl+1")
    app.type("b\n")
    wait_output(app, "ab")


def test_ctrl_t_reaches_the_shell_when_chrome_keys_are_off(launch):
    app = launch(settings={**NO_TRAY, "keys": {"nav_modifier": "alt", "chrome_tab_keys": False}})
    prompt = wait_prompt(app)
    app.type("echo a")
    app.key("ctrl+t")
    app.type("b\n")
    text = wait_output(app, "ab")
    assert f"{prompt}echo a^Tb" in text.splitlines()
    assert len(app.sessions()) == 1
    app.key("ctrl+shift+t")
    app.wait_sessions(2)


def test_a_tab_opened_while_minimized_starts_at_the_restored_size(launch):
    app = launch(settings=NO_TRAY)
    wait_prompt(app)
    columns = max(len(line) for line in screen_text(app).splitlines())
    assert app.post(0x0112, 0xF020)  # WM_SYSCOMMAND, SC_MINIMIZE
    wait_until(lambda: app.window_info()["minimized"], 10, "the window minimized")
    assert app.post(harness.WM_APP_NEW_TAB)
    app.wait_sessions(2)
    assert app.post(0x0112, 0xF120)  # SC_RESTORE
    wait_until(lambda: not app.window_info()["minimized"], 10, "the window restored")
    # The shell's banner and prompt lines are whole, not cut to one cell
    # (under Wine a session keeps its first size).
    text = wait_prompt(app) and screen_text(app)
    assert max(len(line) for line in text.splitlines()) == columns, text


def test_ctrl_tab_ctrl_digits_and_alt_arrows_switch_tabs(launch):
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files=grouped_tabs(None, None, None))
    app.wait_sessions(3)

    def active_item(i):
        wait_until(lambda: [app.screenshot().getpixel((2 + 180 * k, 17)) for k in range(3)]
                   == [BAR_ACTIVE if k == i else BAR_ITEM for k in range(3)], 15,
                   f"tab {i + 1} drawn active")
    active_item(2)
    app.key("ctrl+Tab")
    active_item(0)
    app.key("ctrl+shift+Tab")
    active_item(2)
    app.key("ctrl+2")
    active_item(1)
    app.key("ctrl+5")  # past the last tab: nothing
    app.key("ctrl+1")
    active_item(0)
    # The default navigation modifier: Alt+arrows arrive as system keys.
    app.key("alt+Left")
    active_item(2)
    app.key("alt+Right")
    active_item(0)
    # Releasing that Alt left no window-menu mode behind to eat typing.
    app.type("echo after-alt\n")
    wait_output(app, "after-alt")


def test_view_shortcuts_tile_and_browse(launch):
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files=grouped_tabs("Web", "Web", None))
    app.wait_sessions(3)
    app.key("ctrl+1")
    width, _ = client_size(app)
    caption = (100, 36)           # a tiled pane's caption, above the text of a single pane
    breadcrumb = (width - 200, 40)
    wait_pixel(app, caption, BACKGROUND, "the single pane")
    app.key("ctrl+shift+g")
    wait_pixel(app, caption, CAPTION, "the group's two tiled panes")
    app.key("ctrl+shift+g")
    wait_pixel(app, caption, BACKGROUND, "the single pane again")
    app.key("ctrl+shift+g", "ctrl+shift+a")
    wait_pixel(app, caption, CAPTION, "all tabs tiled")
    app.key("ctrl+shift+z")
    wait_pixel(app, breadcrumb, BREADCRUMB, "the group browser")
    app.key("ctrl+shift+z")
    wait_pixel(app, breadcrumb, BACKGROUND, "the single pane after the browser")


def test_ctrl_f1_shows_the_help_screen_and_esc_hides_it(launch):
    app = launch(settings=NO_TRAY)
    wait_prompt(app)
    width, height = client_size(app)
    left = (width - min(max(width - 60, 280), 560)) // 2
    app.key("ctrl+F1")
    wait_until(lambda: (image := app.screenshot()).getpixel((left, height // 2)) == HELP_FRAME
               and image.getpixel((left + 4, height // 2)) == HELP_FILL, 15, "the help panel")
    app.key("Escape")
    wait_pixel(app, (left + 4, height // 2), BACKGROUND, "the help panel gone")


def test_ctrl_n_starts_a_second_instance(app):
    app.wait_sessions(1)
    app.key("ctrl+n")
    wait_until(lambda: len({w["pid"] for w in app.probe.windows("TolvarHost")}) == 2, 30,
               "a second main window of another process")


# ------------------------------------------------------------ aliases and completion


def test_alias_expands_on_tab_and_records_the_expansion(launch):
    alias = {"name": "hi", "expansion": "echo alias-works", "send_enter": True}
    app = launch(settings=NO_TRAY, files={"aliases.json": aliases_file([alias])})
    record_id = app.wait_sessions(1)[0]["id"]
    prompt = wait_prompt(app)
    app.type("hi\t")
    text = wait_output(app, "alias-works")
    # The DELs erased the typed name before the expansion arrived.
    assert f"{prompt}echo alias-works" in text.splitlines()
    wait_until(lambda: history(app, record_id) == ["echo alias-works"], 10,
               "the expansion in the history file")


def test_a_typed_prefix_shows_the_suggestion_and_tab_completes_it(launch):
    app = launch(settings=NO_TRAY)
    wait_prompt(app)
    app.type("echo first-one\n")
    wait_output(app, "first-one")
    app.type("echo second-one\n")
    wait_output(app, "second-one")
    assert ghost_pixels(app) == 0
    app.type("echo f")
    wait_until(lambda: ghost_pixels(app) > 10, 15, "the grey suggestion after the prefix")
    app.type("\t\n")
    text = wait_output(app, "first-one")
    assert text.splitlines().count("first-one") == 2
    wait_until(lambda: ghost_pixels(app) == 0, 15, "no suggestion after Enter")


# ------------------------------------------------------------ broadcast, paste, quick keys


def test_broadcasting_group_sends_keystrokes_to_every_tab(launch):
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files=grouped_tabs("Web", None, "Web"))
    app.wait_sessions(3)
    app.key("ctrl+1")
    wait_prompt(app)
    app.key("ctrl+shift+b")
    app.type("echo to-all\n")
    wait_output(app, "to-all")
    # Tab order puts the second Web tab next to the first.
    app.key("ctrl+2")
    wait_output(app, "to-all")
    app.key("ctrl+3")
    wait_screen(app, lambda t: t.rstrip().endswith(">") and "to-all" not in t,
                "the ungrouped tab's screen without the broadcast line")


def pasted_lines(text, prompt, first):
    lines = text.splitlines()
    return lines[lines.index(f"{prompt}{first}"):]


def test_paste_by_right_click_and_shift_insert_sends_carriage_returns(launch, screen):
    app = launch(settings=NO_TRAY)
    prompt = wait_prompt(app)
    # The pasted text must be on screen before the next copy replaces it.
    screen.set_clipboard("echo one\r\necho two\n")
    repaints_after(app, lambda: app.click(300, 300, button=3), "the pasted lines")
    text = wait_output(app, "two")
    # One prompt per line: a line feed sent as well would run an empty line.
    assert pasted_lines(text, prompt, "echo one") == [
        f"{prompt}echo one", "one", "", f"{prompt}echo two", "two", "", prompt]
    screen.set_clipboard("echo three\n")
    repaints_after(app, lambda: app.key("shift+Insert"), "the pasted line")
    text = wait_output(app, "three")
    assert pasted_lines(text, prompt, "echo three") == [
        f"{prompt}echo three", "three", "", prompt]


def test_quick_keys_send_text_and_report_a_deleted_alias(launch):
    quick_keys = [
        {"chord": "ctrl+shift+F5", "action": {"type": "send_text", "text": "echo quick-text\r"}},
        {"chord": "ctrl+shift+F6", "action": {"type": "run_alias", "alias": "gone"}},
    ]
    app = launch(settings=NO_TRAY, files={"aliases.json": aliases_file(quick_keys=quick_keys)})
    record_id = app.wait_sessions(1)[0]["id"]
    wait_prompt(app)
    app.key("ctrl+shift+F5")
    wait_output(app, "quick-text")
    wait_until(lambda: history(app, record_id) == ["echo quick-text"], 10,
               "the quick key's text in the history file")
    app.key("ctrl+shift+F6")
    wait_until(lambda: any("Quick key points to a deleted alias" in b["texts"]
                           for b in app.boxes() if b["visible"]), 15,
               "the deleted-alias error box")


# Ctrl+M is also Enter: had its character followed the quick key, the line
# would have run before the "x" was typed. Alt+letter arrives as a system
# key, not a key-down.
@pytest.mark.parametrize("chord", ["ctrl+m", "alt+q"])
def test_a_letter_quick_key_sends_only_its_text(launch, chord):
    quick_keys = [{"chord": chord, "action": {"type": "send_text", "text": "echo quick-"}}]
    app = launch(settings=NO_TRAY, files={"aliases.json": aliases_file(quick_keys=quick_keys)})
    wait_prompt(app)
    app.key(chord)
    app.type("x\n")
    wait_output(app, "quick-x")

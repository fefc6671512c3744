"""A session whose program fails stays readable: the tab keeps its last
screen under the exit line, Enter starts it again in the same tab and Esc
closes it; close_on_exit "always" closes it as before. "Duplicate tab" in the
tab menu opens the same profile right after the tab, in its group."""

import json

import harness
from harness import WM_APP_NEW_TAB, wait_until
from test_dialogs import open_bar_menu, visible_menus
from test_input import screen_text, wait_prompt, wait_screen
from test_program import wait_sessions

NO_TRAY = {"close_to_tray": False}
SHOTS = harness.ARTIFACTS / "screenshots"  # pictures for the README, copied by hand
EXIT_LINE = "[exited with code 3 \u2014 Enter restarts, Esc closes]"


def tab_menu_choice(app, x, *keys):
    """Opens the tab menu at x, then presses `keys`."""
    open_bar_menu(app, x)
    app.key(*keys)
    wait_until(lambda: not visible_menus(app), 10, "the menu to close")


def test_a_failed_shell_keeps_its_tab_enter_restarts_it_and_esc_closes_it(launch):
    app = launch(settings=NO_TRAY)
    record = wait_sessions(app, 1)[0]
    wait_prompt(app)
    app.type("echo before-the-end\n")
    wait_screen(app, lambda t: "before-the-end" in t.splitlines(), "the echo")
    app.type("exit 3\n")

    # The last screen stays, with the exit line under it.
    text = wait_screen(app, lambda t: EXIT_LINE in t, "the exit line")
    lines = text.splitlines()
    assert "before-the-end" in lines
    assert lines[-1] == EXIT_LINE, lines[-3:]
    assert app.running and app.sessions() == [record]
    SHOTS.mkdir(parents=True, exist_ok=True)
    app.screenshot().save(SHOTS / "ended-tab.png")

    # Typing goes nowhere: no shell reads it, and the screen stays as it was.
    app.type("echo typed-into-nothing")
    assert screen_text(app) == text

    # Enter starts the shell again in the same tab, on a fresh screen.
    app.key("Return")
    prompt_screen = wait_screen(app, lambda t: EXIT_LINE not in t and t.rstrip().endswith(">"),
                                "a new prompt")
    assert "typed-into-nothing" not in prompt_screen
    assert app.sessions() == [record]
    app.type("echo after-restart\n")
    wait_screen(app, lambda t: "after-restart" in t.splitlines(), "the restarted shell's echo")

    # Esc on the ended tab closes it; it was the last, so the program ends.
    app.type("exit 3\n")
    wait_screen(app, lambda t: EXIT_LINE in t, "the exit line again")
    app.key("Escape")
    assert app.wait_exit() == 0
    assert app.sessions() == []


def test_close_on_exit_always_closes_a_failed_tab(launch):
    app = launch(settings={**NO_TRAY, "close_on_exit": "always"})
    wait_sessions(app, 1)
    app.post(WM_APP_NEW_TAB)
    wait_sessions(app, 2)
    wait_prompt(app)
    app.type("exit 3\n")
    wait_sessions(app, 1)
    assert app.running
    # The key the user set stays in the file as written.
    assert json.loads(app.read_text("settings.json"))["close_on_exit"] == "always"


def test_a_clean_exit_still_closes_its_tab(launch):
    app = launch(settings=NO_TRAY)
    wait_sessions(app, 1)
    app.post(WM_APP_NEW_TAB)
    wait_sessions(app, 2)
    wait_prompt(app)
    app.type("exit 0\n")
    wait_sessions(app, 1)
    assert app.running
    assert "close_on_exit" not in json.loads(app.read_text("settings.json"))


def test_duplicate_tab_opens_the_same_profile_right_after_it_in_its_group(launch):
    shell = f"{harness.windows_path(harness.BIN / 'console-shim.exe')} C:\\windows\\system32\\cmd.exe"
    profiles = {"schema_version": 1, "profiles": [
        {"id": "p-box", "name": "Box", "kind": {"type": "local_shell", "command": shell},
         "group": "Ops", "color": 3}]}
    records = {"schema_version": 1, "sessions": [
        {"id": "s-1-0", "profile_id": "p-box", "group": "Ops"},
        {"id": "s-1-1"}]}
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files={"profiles.json": json.dumps(profiles), "sessions.json": json.dumps(records)})
    wait_sessions(app, 2)
    # From the bottom: Close, Clear scrollback, Save output..., Duplicate tab.
    tab_menu_choice(app, 40, "End", "Up", "Up", "Up", "Return")
    saved = wait_sessions(app, 3)
    assert [r["id"] for r in saved][::2] == ["s-1-0", "s-1-1"]
    copy = saved[1]
    assert copy["id"] not in ("s-1-0", "s-1-1")
    assert {k: copy[k] for k in ("profile_id", "title", "group", "color")} == {
        "profile_id": "p-box", "title": "Box", "group": "Ops", "color": 3}
    # The duplicate is active and runs the profile's shell.
    wait_prompt(app)
    app.type("echo in-the-duplicate\n")
    wait_screen(app, lambda t: "in-the-duplicate" in t.splitlines(), "the duplicate's shell")

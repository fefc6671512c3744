"""Dialogs and menus in the real program: the connection manager and the
profile editor, quick connect, the history viewer, and the tab and tray
menus, driven from the keyboard and mouse and read back through the probe,
the data files and the stand-in clients."""

import json

import harness
from harness import pixel_close, wait_until, windows_path

NO_TRAY = {"close_to_tray": False}
IDOK, IDYES, IDNO = 1, 6, 7
EM = "\u2014"
# Pictures for the README (docs/screenshots), refreshed by hand from here.
SHOTS = harness.ARTIFACTS / "screenshots"


def profiles_file(*profiles) -> str:
    return json.dumps({"schema_version": 1, "profiles": list(profiles)}, indent=2)


SHELL = {"id": "p-1-0", "name": "Build box", "group": None, "color": None,
         "kind": {"type": "local_shell", "command": "cmd.exe"}}
DESK = {"id": "p-2-0", "name": "Desk", "group": None, "color": None,
        "kind": {"type": "rdp", "host": "desk.corp", "port": 3390, "user": "ann",
                 "domain": "CORP", "fullscreen": True, "admin": False}}
LAB = {"id": "p-3-0", "name": "Lab", "group": None, "color": None,
       "kind": {"type": "vnc", "host": "lab", "port": 5901, "viewer_path": None,
                "extra_args": []}}


class Dialog:
    """A dialog of the program, read through the probe."""

    def __init__(self, app, cls):
        self.app = app
        self.info = app.wait_window(cls)
        self.hwnd = self.info["hwnd"]

    @property
    def title(self):
        return self.app.probe.controls(self.hwnd)["text"]

    def controls(self):
        return self.app.probe.controls(self.hwnd)["controls"]

    def control(self, cid):
        return next(c for c in self.controls() if c["id"] == cid)

    def visible_labels(self):
        return [c["text"] for c in self.controls() if c["class"] == "Static" and c["visible"]]

    def items(self, cid):
        control = self.control(cid)
        return control["items"], control["selection"]

    def click(self, cid):
        """Clicks inside a control, as the mouse does (focus and caret)."""
        left, top, right, bottom = self.control(cid)["rect"]
        self.app.click((left + right) // 2, (top + bottom) // 2, hwnd=self.hwnd)

    def press(self, cid):
        assert self.app.probe.click(self.hwnd, cid)

    def key(self, *keys):
        self.app.key(*keys, hwnd=self.hwnd)

    def type(self, text):
        self.app.type(text, hwnd=self.hwnd)

    def wait_closed(self):
        wait_until(lambda: not any(w["hwnd"] == self.hwnd for w in self.app.windows()), 10,
                   f"{self.info['class']} to close")


def wait_box(app, text=None):
    return app.wait_box(text)


def answer_box(app, box, button):
    app.answer_box(box, button)


def ssh_on_path(stand_ins):
    """The ssh.exe stand-in, found through PATH. Wine gives every process its
    own SystemRoot, so the program looks for C:\\windows\\System32\\OpenSSH\\ssh.exe,
    finds none, and runs the one on the search path by its full path."""
    ssh = stand_ins.install_ssh()
    env = {k: v for k, v in stand_ins.env().items() if k != "SystemRoot"}
    env["PATH"] = windows_path(ssh.parent) + ";C:\\windows\\system32;C:\\windows"
    return env


def ssh_command_line(stand_ins, args):
    """The command line that runs the stand-in of ssh_on_path with `args`."""
    program = windows_path(stand_ins.system_root / "System32" / "OpenSSH" / "ssh.exe")
    return (f'"{program}"' if " " in program else program) + " " + args


def open_manager(app):
    app.key("ctrl+shift+o")
    return Dialog(app, "TolvarConnMgr")


def lines(dialog):
    return dialog.items(101)[0]


def test_manager_creates_an_ssh_profile_filters_and_connects(launch, stand_ins):
    app = launch(settings=NO_TRAY, env=ssh_on_path(stand_ins),
                 files={"profiles.json": profiles_file(SHELL, DESK)})
    manager = open_manager(app)
    assert manager.title == "Connections"
    assert manager.items(101) == ([f"Build box {EM} local {EM} cmd.exe",
                                   f"Desk {EM} rdp desk.corp:3390"], 0)
    shot = app.screen.screenshot(tuple(manager.info["rect"]))

    manager.key("Insert")
    editor = Dialog(app, "TolvarProfileEd")
    assert editor.title == "New profile"
    assert editor.items(200) == (["Local shell", "SSH", "RDP", "VNC", "Serial"], 0)
    assert editor.items(203)[0][0] == "Default" and len(editor.items(203)[0]) == 9
    assert [editor.control(i)["visible"] for i in range(210, 215)] == [True] + [False] * 4
    editor.type("Prod")  # the name edit has the focus
    editor.key("shift+Tab", "Down")  # the kind: SSH
    wait_until(lambda: editor.control(214)["visible"], 10, "the SSH rows")
    assert {"Host", "Port", "User", "Identity file", "Extra args"} <= set(editor.visible_labels())
    assert not editor.control(230)["visible"]
    for cid, text in ((210, "srv1"), (211, "2222"), (212, "alice")):
        editor.click(cid)
        editor.type(text)
    editor.key("Return")
    editor.wait_closed()

    wait_until(lambda: len(lines(manager)) == 3, 10, "the new profile in the list")
    assert lines(manager)[2] == f"Prod {EM} ssh alice@srv1:2222"
    # The filter edit has the focus again: typing narrows the list.
    manager.type("  ALICE@")
    wait_until(lambda: lines(manager) == [f"Prod {EM} ssh alice@srv1:2222"], 10, "the filter")
    manager.key("Return")
    manager.wait_closed()

    [record] = stand_ins.wait_records(1)
    assert record["command_line"] == ssh_command_line(stand_ins, "-p 2222 alice@srv1")
    saved = app.read_json("profiles.json")["profiles"]
    assert [p["name"] for p in saved] == ["Build box", "Desk", "Prod"]
    assert saved[2]["id"].startswith("p-")
    assert saved[2]["kind"] == {"type": "ssh", "host": "srv1", "port": 2222, "user": "alice",
                                "identity_file": None, "extra_args": []}
    # The tab ends with its stand-in; the previous session list still has it.
    app.wait_sessions(1)
    titles = [s.get("title") for s in json.loads(app.read_text("sessions.json.bak"))["sessions"]]
    assert titles[-1] == "Prod"

    SHOTS.mkdir(parents=True, exist_ok=True)
    shot.save(SHOTS / "connection-manager.png")


def test_escape_after_an_edit_still_saves_and_delete_asks(launch):
    app = launch(settings=NO_TRAY, files={"profiles.json": profiles_file(SHELL, DESK)})
    original = app.read_text("profiles.json")
    manager = open_manager(app)
    # Delete while typing in the filter edits the filter, nothing is asked.
    manager.type("desk")
    manager.key("Home", "Delete")
    wait_until(lambda: manager.control(100)["text"] == "esk", 10, "the filter text")
    assert app.boxes() == []
    assert lines(manager) == [f"Desk {EM} rdp desk.corp:3390"]

    manager.key("F2")
    editor = Dialog(app, "TolvarProfileEd")
    assert editor.title == "Edit profile"
    assert editor.items(200)[1] == 2
    assert [editor.control(i)["text"] for i in range(210, 214)] == ["desk.corp", "3390", "ann",
                                                                    "CORP"]
    assert editor.control(230)["visible"] and editor.control(231)["visible"]
    editor.key("End")
    editor.type(" 2")
    editor.key("Return")
    editor.wait_closed()
    wait_until(lambda: lines(manager) == [f"Desk 2 {EM} rdp desk.corp:3390"], 10, "the edit")

    # With the list focused, Delete asks; No keeps the profile.
    manager.click(101)
    manager.key("Delete")
    box = wait_box(app, 'Delete profile "Desk 2"?')
    assert box["title"] == "tolvar"
    answer_box(app, box, IDNO)
    assert lines(manager) == [f"Desk 2 {EM} rdp desk.corp:3390"]

    manager.key("Escape")
    manager.wait_closed()
    saved = wait_until(lambda: (p := app.read_json("profiles.json")) and p["profiles"][1]["name"]
                       == "Desk 2" and p, 10, "the edit saved")
    assert saved["profiles"][1]["id"] == "p-2-0"
    assert saved["profiles"][1]["kind"] == DESK["kind"]
    assert app.read_text("profiles.json.bak") == original


def test_rdp_profile_starts_the_client_with_its_connection_file(launch, stand_ins):
    stand_ins.install_mstsc()
    env = stand_ins.env()
    env["PATH"] = windows_path(stand_ins.system_root / "System32") + ";C:\\windows\\system32"
    app = launch(settings=NO_TRAY, env=env, files={"profiles.json": profiles_file(DESK)})
    manager = open_manager(app)
    manager.key("Return")
    manager.wait_closed()
    [record] = stand_ins.wait_records(1)
    assert record["program"].endswith("\\System32\\mstsc.exe")
    [rdp_file] = record["args"][1:]
    assert rdp_file.endswith(".rdp") and "tolvar-" in rdp_file
    assert record["files"] == {rdp_file: "full address:s:desk.corp:3390\r\n"
                                         "username:s:CORP\\ann\r\nscreen mode id:i:2\r\n"}
    assert len(app.windows("TolvarHost")) == 1 and app.boxes() == []


def test_vnc_profile_without_a_viewer_reports_it(launch, tmp_path):
    empty = tmp_path / "no programs"
    empty.mkdir()
    app = launch(settings=NO_TRAY, files={"profiles.json": profiles_file(LAB)},
                 env={"ProgramFiles": windows_path(empty), "ProgramFiles(x86)": windows_path(empty)})
    manager = open_manager(app)
    manager.key("Return")
    manager.wait_closed()
    box = wait_box(app)
    assert box["texts"] == ["Cannot connect: program not found: no VNC viewer configured and none "
                            "autodetected (TightVNC/RealVNC/UltraVNC default install paths)"]
    assert box["owner"] == app.hwnd
    answer_box(app, box, IDOK)


def test_quick_connect_reprompts_with_the_text_selected_then_opens_a_tab(launch, stand_ins):
    app = launch(settings=NO_TRAY, env=ssh_on_path(stand_ins))
    app.key("ctrl+shift+p")
    prompt = Dialog(app, "TolvarPrompt")
    assert prompt.title == "Quick connect"
    assert f"SSH target {EM} [user@]host[:port]:" in prompt.visible_labels()
    prompt.type("srv1:0\n")
    box = wait_box(app, "invalid profile: port must be non-zero")
    answer_box(app, box, IDOK)

    prompt = Dialog(app, "TolvarPrompt")
    assert prompt.control(301)["text"] == "srv1:0"
    # Regression: the caret waited after the old text, so what was typed
    # next was added to it. Held selected, it is replaced.
    prompt.type("alice@srv1:2222\n")
    prompt.wait_closed()

    [record] = stand_ins.wait_records(1)
    assert record["command_line"] == ssh_command_line(stand_ins, "-p 2222 alice@srv1")
    app.wait_sessions(1)
    sessions = json.loads(app.read_text("sessions.json.bak"))["sessions"]
    assert [s.get("title") for s in sessions] == [None, "alice@srv1:2222"]
    assert app.windows("TolvarPrompt") == []


def test_enter_and_space_press_the_focused_button_and_ctrl_a_selects(launch, stand_ins):
    """Regression: Enter ran the default action wherever the focus was, so
    Enter on a focused Cancel connected; Ctrl+A selected nothing in an edit."""
    app = launch(settings=NO_TRAY, env=ssh_on_path(stand_ins))

    def prompt_with(text):
        app.key("ctrl+shift+p")
        prompt = Dialog(app, "TolvarPrompt")
        prompt.type(text)
        wait_until(lambda: prompt.control(301)["text"] == text, 10, "the typed target")
        return prompt

    prompt = prompt_with("srv1")
    prompt.key("ctrl+a")
    prompt.type("srv2")
    wait_until(lambda: prompt.control(301)["text"] == "srv2", 10, "the text replaced")
    prompt.key("Tab", "Tab", "Return")  # past OK to Cancel
    prompt.wait_closed()

    prompt = prompt_with("srv3")
    prompt.key("Tab", "Tab", "space")
    prompt.wait_closed()

    # A start of either cancelled target would be recorded before this one.
    prompt = prompt_with("srv4")
    prompt.key("Tab", "Return")  # Enter on a focused OK accepts
    prompt.wait_closed()
    [record] = stand_ins.wait_records(1)
    assert record["command_line"] == ssh_command_line(stand_ins, "srv4")
    assert app.boxes() == []


def test_history_viewer_lists_copies_and_resets(launch, screen):
    def history(*lines):
        return "".join(json.dumps({"ts": 1, "line": line}) + "\n" for line in lines)
    sessions = {"schema_version": 1, "sessions": [
        {"id": "s-1-0", "profile_id": None, "title": "work", "group": None, "color": None}]}
    app = launch(settings=dict(NO_TRAY, restore_sessions_on_start=True), files={
        "sessions.json": json.dumps(sessions),
        "history/s-1-0.jsonl": history("git status", "make test"),
        "history/s-9-0.jsonl": history("other session")})
    app.key("ctrl+shift+h")
    viewer = Dialog(app, "TolvarHistory")
    assert viewer.title == f"History {EM} work"
    assert viewer.items(400) == (["git status", "make test"], -1)

    viewer.key("Home", "Down")  # the list has the focus
    wait_until(lambda: viewer.items(400)[1] == 1, 10, "the second line selected")
    viewer.key("Return")
    wait_until(lambda: screen.clipboard() == "make test", 10, "the line on the clipboard")

    viewer.press(402)
    box = wait_box(app, "Reset the tracked history for this session?")
    answer_box(app, box, IDNO)
    assert viewer.items(400)[0] == ["git status", "make test"]
    viewer.press(402)
    answer_box(app, wait_box(app), IDYES)
    wait_until(lambda: viewer.items(400)[0] == [], 10, "an empty list")
    assert not (app.data_dir / "history" / "s-1-0.jsonl").exists()

    viewer.press(403)
    box = wait_box(app, "Reset ALL tracked history for every session? This cannot be undone.")
    answer_box(app, box, IDYES)
    wait_until(lambda: not (app.data_dir / "history" / "s-9-0.jsonl").exists(), 10,
               "every history file removed")
    viewer.key("Escape")
    viewer.wait_closed()


def visible_menus(app):
    return [w for w in app.windows("#32768") if w["visible"]]


def open_bar_menu(app, x):
    """Right-clicks the tab bar at x until a menu shows: under Wine the first
    click after a choice made in a submenu is sometimes swallowed."""
    for _ in range(3):
        app.click(x, 17, button=3)
        try:
            return wait_until(lambda: visible_menus(app), 3, "a menu")[0]
        except harness.WaitTimeout:
            continue
    raise harness.WaitTimeout("no menu after three right clicks")


def test_tab_menu_colour_changes_the_stripe_and_log_off_saves_it(launch, screen):
    app = launch(settings=NO_TRAY)
    menu = open_bar_menu(app, 40)
    app.key("Down", "Down", "Down", "Right")  # Rename, History…, Color ▸
    wait_until(lambda: len([w for w in app.windows("#32768") if w["visible"]]) == 2, 10,
               "the colour submenu")
    left, top, right, bottom = menu["rect"]
    SHOTS.mkdir(parents=True, exist_ok=True)
    screen.screenshot((0, 0, max(right, 600) + 20, max(bottom, 400) + 20)).save(
        SHOTS / "tab-menu.png")
    app.key("Down", "Return")  # Default, then Red
    wait_until(lambda: not [w for w in app.windows("#32768") if w["visible"]], 10,
               "the menu to close")
    wait_until(lambda: pixel_close(app.screenshot().getpixel((40, 1)), (231, 72, 86)), 10,
               "a red top stripe")

    # Dismissed with Escape: nothing changes.
    open_bar_menu(app, 40)
    app.key("Escape")
    wait_until(lambda: not [w for w in app.windows("#32768") if w["visible"]], 10,
               "the menu to close")
    assert pixel_close(app.screenshot().getpixel((40, 1)), (231, 72, 86))

    # A colour is saved with the choice, as a group is, and a log-off (which
    # ends the program without destroying its window) keeps it.
    wait_until(lambda: app.sessions()[0]["color"] == 0, 10, "the colour saved")
    assert app.post(harness.WM_ENDSESSION, 1)
    wait_until(lambda: app.sessions()[0]["color"] == 0, 10, "the colour kept at log-off")


def open_tray_menu(app):
    """Sends what the shell sends for a right click on the icon. (Wine's tray
    window, clicked through X, seldom gets a menu to stay open: the focus it
    hands back arrives after the menu has started and closes it.)"""
    assert app.post(harness.WM_APP_TRAY, 1, harness.WM_RBUTTONUP)
    wait_until(lambda: [w for w in app.windows("#32768") if w["visible"]], 10, "the tray menu")


def test_tray_menu_toggles_are_saved(launch):
    app = launch(settings={"close_to_tray": True, "track_history": True})

    def choose(*keys):
        open_tray_menu(app)
        # The keys go where the X focus is, which may still be the tray.
        app.key(*keys)
        wait_until(lambda: not [w for w in app.windows("#32768") if w["visible"]], 10,
                   "the menu to close")

    # The pointer may rest on an item: Home first, then down the list past
    # Close to tray and Restore previous sessions to Track command history.
    choose("Home", "Down", "Down", "Down", "Return")
    wait_until(lambda: app.read_json("settings.json")["track_history"] is False, 10,
               "track_history off")
    choose("Home", "Down", "Down", "Return")
    wait_until(lambda: app.read_json("settings.json")["restore_sessions_on_start"] is True, 10,
               "restore_sessions_on_start on")
    settings = app.read_json("settings.json")
    assert settings["track_history"] is False and settings["close_to_tray"] is True

    choose("Escape")
    assert app.read_json("settings.json") == settings
    choose("End", "Return")  # Quit
    assert app.wait_exit() == 0


def test_tab_and_group_menus_rename_group_and_collapse(launch):
    app = launch(settings=NO_TRAY)

    def menu(x, *keys):
        open_bar_menu(app, x)
        app.key("Home", *keys, "Return")  # Home: the pointer may rest on an item
        wait_until(lambda: not [w for w in app.windows("#32768") if w["visible"]], 10,
                   "the menu to close")

    def rename_to(text):
        wait_until(lambda: [c for c in app.probe.controls(app.hwnd)["controls"]
                            if c["class"] == "Edit" and c["visible"]], 10, "the rename editor")
        app.type(text + "\n")

    menu(40)  # Rename
    rename_to("build")
    wait_until(lambda: app.sessions()[0]["title"] == "build", 10, "the new title saved")

    menu(40, "Down", "Down", "Down", "Right", "End")  # Group ▸ New group
    menu(40, *["Down"] * 7)  # Collapse group, below View, New tab and Rename group
    menu(40, "Down", "Down")  # on the group label: Rename group
    rename_to("Ops")
    wait_until(lambda: app.sessions()[0]["group"] == "Ops", 10, "the group name saved")

"""The program as a whole: first start, tabs opened from outside, sessions
ending, close to tray, resuming the last run, bad or missing configuration,
and a soak of many tabs."""

import json
import time
from pathlib import Path

import pytest

import harness
from harness import wait_until
from test_input import wait_prompt

WM_APP = 0x8000
WM_APP_NEW_TAB = WM_APP + 1
WM_APP_TRAY = WM_APP + 2
WM_APP_PTY_EXIT = WM_APP + 101
WM_LBUTTONUP = 0x0202


NO_TRAY = {"close_to_tray": False}


def wait_sessions(app, count, timeout=20):
    return app.wait_sessions(count, timeout)


def test_first_start_writes_fresh_files_and_opens_one_tab(app):
    wait_sessions(app, 1)
    assert app.read_text("settings.json") == harness.FRESH_SETTINGS_TEXT
    aliases = app.read_json("aliases.json")
    assert aliases == {"schema_version": 1, "aliases": [], "quick_keys": [
        {"chord": "Ctrl+Alt+R", "action": {"type": "rename_tab"}},
        {"chord": "Ctrl+Alt+H", "action": {"type": "show_help"}}]}
    names = sorted(p.name for p in app.data_dir.iterdir())
    assert names == ["aliases.json", "history", "sessions.json", "settings.json"]
    assert (app.data_dir / "history").is_dir()
    assert app.sessions()[0]["id"].startswith("s-")


def test_new_tab_message_from_another_program_opens_a_tab(app):
    wait_sessions(app, 1)
    assert app.post(WM_APP_NEW_TAB)
    records = wait_sessions(app, 2)
    assert len({r["id"] for r in records}) == 2


def test_shell_exit_closes_its_tab_and_the_last_tab_ends_the_program(launch):
    app = launch(settings=NO_TRAY)
    wait_sessions(app, 1)
    app.post(WM_APP_NEW_TAB)
    wait_sessions(app, 2)
    app.focus()
    app.type("exit\r")
    wait_sessions(app, 1)
    assert app.running
    app.type("exit\r")
    assert app.wait_exit() == 0
    assert app.sessions() == []


def test_shell_exit_ends_a_one_tab_program_within_a_second(launch):
    app = launch(settings=NO_TRAY)
    wait_sessions(app, 1)
    wait_prompt(app)
    app.type("exit")
    typed = time.monotonic()
    app.screen.key("Return")
    wait_until(lambda: app.window_info() is None, 20, "the window to go", interval=0.02)
    gone = time.monotonic() - typed
    assert app.wait_exit() == 0
    print(f"exit latency: the window went {gone:.3f} s after Enter")
    # Measured at about 0.1 s: the child's exit closes its pseudo console at
    # once. (With Wine's managed windows and no window manager, DestroyWindow
    # alone waits out two 2-second timeouts; the harness turns that off.)
    assert gone < 1.0


def test_close_to_tray_hides_and_the_tray_icon_brings_it_back(app):
    wait_sessions(app, 1)
    app.close()
    wait_until(lambda: not app.window_info()["visible"], 15, "the window to hide")
    assert app.running
    app.post(WM_APP_NEW_TAB)  # sessions go on while hidden
    wait_sessions(app, 2)
    app.post(WM_APP_TRAY, 1, WM_LBUTTONUP)
    wait_until(lambda: app.window_info()["visible"], 15, "the window to show again")


def test_resume_restores_titles_groups_and_colours_but_starts_no_remote_desktop(launch, stand_ins):
    shell = f"{harness.windows_path(harness.BIN / 'console-shim.exe')} C:\\windows\\system32\\cmd.exe"
    profiles = {"schema_version": 1, "profiles": [
        {"id": "p-rdp", "name": "desk", "kind": {"type": "rdp", "host": "h"}},
        {"id": "p-sh", "name": "Shell", "kind": {"type": "local_shell", "command": shell},
         "group": "Ops", "color": 2}]}
    records = {"schema_version": 1, "sessions": [
        {"id": "s-1-0", "title": "build", "group": "Web", "color": 5},
        {"id": "s-1-1", "profile_id": "p-rdp"},
        {"id": "s-1-2", "profile_id": "p-sh"},
        {"id": "s-1-3", "group": "Web"},
        {"id": "s-1-4", "profile_id": "p-gone", "title": "old"}]}
    stand_ins.install_mstsc()
    app = launch(settings={"restore_sessions_on_start": True}, env=stand_ins.env(),
                 files={"profiles.json": json.dumps(profiles), "sessions.json": json.dumps(records)})
    saved = wait_sessions(app, 4)
    assert [r["id"] for r in saved] == ["s-1-0", "s-1-3", "s-1-2", "s-1-4"]
    assert saved[0] == {"id": "s-1-0", "profile_id": None, "title": "build", "group": "Web", "color": 5}
    assert saved[1] == {"id": "s-1-3", "profile_id": None, "title": None, "group": "Web", "color": None}
    assert saved[2] == {"id": "s-1-2", "profile_id": "p-sh", "title": "Shell", "group": "Ops", "color": 2}
    assert saved[3] == {"id": "s-1-4", "profile_id": None, "title": "old", "group": None, "color": None}
    assert stand_ins.records() == []


def test_broken_settings_are_left_untouched(launch):
    broken = '{"close_to_tray": tru'
    app = launch(files={"settings.json": broken})
    wait_sessions(app, 1)
    assert app.read_text("settings.json") == broken
    assert not (app.data_dir / "settings.json.bak").exists()


def test_without_appdata_the_program_runs_and_writes_nothing(launch, tmp_path):
    app = launch(appdata=None)
    assert app.window_info()["visible"]
    assert not any(tmp_path.rglob("*.json"))


# lParam of a session end with exit code 0: a program that ended cleanly.
CLEAN_EXIT = 1 << 32


def _cycle(app, first_id, count=20):
    """Opens `count` tabs beside the first one, then ends them exactly as a
    session's reader does when its child exits cleanly. Session ids count
    from 1."""
    for _ in range(count):
        app.post(WM_APP_NEW_TAB)
    wait_sessions(app, count + 1, timeout=90)
    opened = app.stats()
    for session_id in range(first_id, first_id + count):
        app.post(WM_APP_PTY_EXIT, session_id, CLEAN_EXIT)
    wait_sessions(app, 1, timeout=90)
    return opened


def _settled(app, timeout=60):
    """The program's figures once its memory has stopped falling for six
    seconds: a closed session's model goes with its reader, seconds after the
    tab (once the console host has ended)."""
    deadline = time.monotonic() + timeout
    last = app.stats()
    steady_since = time.monotonic()
    while time.monotonic() - steady_since < 6 and time.monotonic() < deadline:
        time.sleep(0.25)
        now = app.stats()
        if now["private_bytes"] < last["private_bytes"] - 64 * 1024 or now["handles"] != last["handles"]:
            steady_since = time.monotonic()
        last = now
    return last


@pytest.mark.soak
@pytest.mark.deadline(900)
def test_soak_a_thousand_tabs_return_handles_and_memory(app):
    wait_sessions(app, 1)
    # The first cycles grow the heaps to their working size (how far depends
    # on how many sessions happen to overlap); what matters is that the next
    # thousand tabs leave nothing behind.
    for warm_up in range(3):
        _cycle(app, 2 + warm_up * 20)
    before = _settled(app)
    batches = 50
    for batch in range(batches):
        opened = _cycle(app, 62 + batch * 20)
    after = _settled(app)
    print(f"soak: {batches * 20} tabs; handles {before['handles']} -> {after['handles']} "
          f"(21 tabs open: {opened['handles']}); private bytes {before['private_bytes']} -> "
          f"{after['private_bytes']} (21 tabs open: {opened['private_bytes']})")
    assert after["handles"] == before["handles"]
    assert after["private_bytes"] <= before["private_bytes"] * 1.05


def _resident_bytes():
    """VmRSS of the Unix process running tolvar.exe in this run's Wine prefix:
    the memory it touches, which Wine's own counters do not tell apart."""
    prefix = f"WINEPREFIX={harness.PREFIX}".encode()
    for entry in Path("/proc").iterdir():
        try:
            if (entry / "comm").read_text().strip() != "tolvar.exe":
                continue
            if prefix not in (entry / "environ").read_bytes().split(b"\0"):
                continue
            for line in (entry / "status").read_text().splitlines():
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) * 1024
        except OSError:
            continue
    raise AssertionError("no tolvar.exe process in this prefix")


@pytest.mark.soak
@pytest.mark.deadline(900)
def test_soak_a_hundred_idle_tabs_cost_at_most_a_megabyte_each(app):
    wait_sessions(app, 1)
    one = _settled(app)
    one["resident"] = _resident_bytes()
    tabs = 100
    for _ in range(tabs - 1):
        app.post(WM_APP_NEW_TAB)
    wait_sessions(app, tabs, timeout=300)
    many = _settled(app)
    many["resident"] = _resident_bytes()

    def per_tab(key):
        return (many[key] - one[key]) / (tabs - 1)

    print(f"idle tabs: private bytes {one['private_bytes']} with 1 tab, {many['private_bytes']} "
          f"with {tabs}: {per_tab('private_bytes') / 1e6:.3f} MB per tab; working set "
          f"{one['working_set']} -> {many['working_set']}: {per_tab('working_set') / 1e6:.3f} MB "
          f"per tab; resident {one['resident']} -> {many['resident']}: "
          f"{per_tab('resident') / 1e6:.3f} MB per tab; handles {one['handles']} -> "
          f"{many['handles']}")
    # Each tab's scrollback holds only its prompt: this is what a tab costs.
    # A thread of its own per tab (about a megabyte under Wine) would break it.
    assert per_tab("resident") <= 1e6
    assert per_tab("private_bytes") <= 1e6


@pytest.mark.soak
@pytest.mark.deadline(900)
def test_soak_start_up_time_and_memory_per_tab_with_full_scrollback(launch):
    from test_input import grouped_tabs, wait_output, wait_prompt
    import time
    tabs = 6
    started = time.monotonic()
    app = launch(settings={"close_to_tray": False, "restore_sessions_on_start": True},
                 files=grouped_tabs(*["Fill"] * tabs))
    shown = time.monotonic() - started
    wait_sessions(app, tabs)
    app.key("ctrl+1")
    wait_prompt(app)
    prompt = time.monotonic() - started
    for i in range(2, tabs + 1):
        app.key(f"ctrl+{i}")
        wait_prompt(app)
    app.key("ctrl+1")
    before = app.stats()
    # Every tab prints more lines than its scrollback keeps.
    lines = 10_500
    app.key("ctrl+shift+b")
    app.type(f"for /L %i in (1,1,{lines}) do @echo scrollback line %i of a tab that fills it up\n")
    for i in range(1, tabs + 1):
        app.key(f"ctrl+{i}")
        wait_output(app, f"scrollback line {lines} of a tab that fills it up", timeout=600)
    after = app.stats()
    per_tab = (after["private_bytes"] - before["private_bytes"]) / tabs
    print(f"start-up: window shown after {shown:.2f} s, first prompt after {prompt:.2f} s; "
          f"private bytes {before['private_bytes']} with {tabs} fresh tabs, "
          f"{after['private_bytes']} with full scrollback: {per_tab / 1e6:.2f} MB per tab")
    # 10 000 lines of 60 characters are 0.6 MB of text; a cell array would
    # take ten times that.
    assert per_tab < 3e6


@pytest.mark.soak
def test_soak_start_up_with_thirty_resumed_tabs(launch):
    from test_input import grouped_tabs
    import time
    for count in (1, 30):
        started = time.monotonic()
        app = launch(settings={"close_to_tray": False, "restore_sessions_on_start": True},
                     files=grouped_tabs(*[None] * count))
        shown = time.monotonic() - started
        wait_sessions(app, count, timeout=120)
        print(f"start-up with {count} resumed tab(s): window shown after {shown:.2f} s")
        app.stop()

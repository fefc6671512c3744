"""Kills during saves: the real program is killed (SIGKILL, as a crash or a
power cut ends it) at random moments while it saves the session list, the
settings (tray toggles) and the profiles (connection manager edits), over
and over. After each kill every file reads, as its old or its new content,
and the next start restores the sessions and reads the settings and the
profiles that the last whole save wrote."""

import json
import os
import random
import signal
import threading
import time

import pytest

import harness
from harness import wait_until
from test_dialogs import EM, IDYES, Dialog, lines, open_manager, open_tray_menu, profiles_file
from test_program import WM_APP_NEW_TAB

KILLS = int(os.environ.get("TOLVAR_KILLS", "50"))
FILES = ("settings.json", "aliases.json", "sessions.json", "profiles.json")


def _linux_pids(name: str) -> list[int]:
    """Processes of our prefix whose program (Wine shows it as the first
    argument) is `name`; runs in other worktrees' prefixes are not ours."""
    ours = f"WINEPREFIX={harness.PREFIX}".encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                first = f.read().split(b"\0")[0].decode(errors="replace")
            if not first.replace("\\", "/").lower().endswith("/" + name):
                continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                if ours not in f.read().split(b"\0"):
                    continue
        except OSError:
            continue
        found.append(int(entry))
    return found


def _kill(app, pids=None):
    pids = pids or _linux_pids("tolvar.exe")
    assert pids, "the program's process"
    for pid in pids:
        os.kill(pid, signal.SIGKILL)
    wait_until(lambda: not _linux_pids("tolvar.exe"), 20, "the killed program to be gone")
    app.stop()


def _kill_around(app, rng, seconds, action):
    """Runs the action (input that makes the program save) and kills the
    program at a random moment within `seconds` of its start, so that the
    kills fall before, during and after the save."""
    pids = _linux_pids("tolvar.exe")  # found first: the search takes a while
    worker = threading.Thread(target=lambda: _quietly(action), daemon=True)
    started = time.monotonic()
    worker.start()
    # The random moment of the kill, not a wait.
    time.sleep(max(0.0, started + rng.uniform(0, seconds) - time.monotonic()))
    _kill(app, pids)
    worker.join(20)
    return started


def _quietly(action):
    # Input to a program that is being killed may fail; the files tell.
    try:
        action()
    except Exception:
        pass


def _read_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def _as_the_start_reads_it(folder, name):
    """A file, or what a start takes instead when a save was cut off after
    deleting it: the temporary file, else the backup; None when none reads."""
    if (folder / name).exists():
        return _read_json(folder / name)
    for left in (name + ".tmp", name + ".bak"):
        try:
            return _read_json(folder / left)
        except (OSError, ValueError):
            continue
    return None


def _cut_mid_save(folder, name, since):
    """True when the kill came inside a save: its temporary file, written
    since then, was never renamed over the file."""
    try:
        return (folder / (name + ".tmp")).stat().st_mtime >= since - 0.05
    except OSError:
        return False


def _every_file_reads(folder):
    for name in FILES:
        if (folder / name).exists():
            _read_json(folder / name)


def _start_and_check_sessions(launch, appdata, first, **seed):
    """Starts the program and waits until it resumed exactly the tabs of the
    list it found (at least one: a start with none opens one)."""
    app = launch(appdata=appdata, **(seed if first else {}))
    found = _as_the_start_reads_it(appdata / "tolvar", "sessions.json")
    expected = found["sessions"] if found else []
    restored = app.wait_sessions(max(len(expected), 1), timeout=90)
    if expected:
        assert [r["id"] for r in restored] == [r["id"] for r in expected]
    return app


@pytest.mark.soak
@pytest.mark.deadline(3600)
def test_soak_kills_while_saving_the_session_list(launch, tmp_path):
    appdata = tmp_path / "kept"
    appdata.mkdir()
    rng = random.Random(16)
    settings = {"close_to_tray": False, "restore_sessions_on_start": True}
    saved_lists = []
    for kill in range(KILLS):
        app = _start_and_check_sessions(launch, appdata, kill == 0, settings=settings)
        # Saves: a few new tabs, each one a save of the whole list, and the
        # kill somewhere among them.
        for _ in range(rng.randint(1, 3)):
            app.post(WM_APP_NEW_TAB)
        time.sleep(rng.uniform(0, 0.4))  # the random moment of the kill, not a wait
        _kill(app)
        folder = appdata / "tolvar"
        _every_file_reads(folder)
        saved_lists.append(len(_as_the_start_reads_it(folder, "sessions.json")["sessions"]))
        # Tabs only grow here; keep the list short enough to resume quickly.
        if saved_lists[-1] > 12:
            (folder / "sessions.json").write_text(
                json.dumps({"schema_version": 1, "sessions": []}), encoding="utf-8")
    print(f"kills: {KILLS} during session-list saves; tabs in the list after each: {saved_lists}")


# Seconds from the start of the keys within which a kill falls: about twice
# the time the keys take to reach the save under Wine (0.15 to 0.25 s).
TOGGLE_SECONDS = 0.3
CLOSE_SECONDS = 0.3
# The tray menu's toggles that leave the start as it is, and the keys that
# reach them (Home first: the pointer may rest on an item).
TOGGLES = {"close_to_tray": ("Home", "Down", "Return"),
           "track_history": ("Home", "Down", "Down", "Down", "Return")}


def _outcome(found, old, new, what):
    """"old" or "new": the file holds one of the two whole contents."""
    if found == old:
        return "old"
    assert found == new, f"{what} after the kill is neither its old nor its new content: {found!r}"
    return "new"


@pytest.mark.soak
@pytest.mark.deadline(3600)
def test_soak_kills_while_saving_the_settings(launch, tmp_path):
    appdata = tmp_path / "kept"
    appdata.mkdir()
    folder = appdata / "tolvar"
    rng = random.Random(19)
    seed = {"close_to_tray": False, "restore_sessions_on_start": True}
    outcomes = {"old": 0, "new": 0}
    latencies = []
    cut = 0
    for kill in range(KILLS):
        app = _start_and_check_sessions(launch, appdata, kill == 0, settings=seed)
        # The start read the whole file it found: its first toggle writes it
        # back with that one key changed and every other as it was.
        found = _as_the_start_reads_it(folder, "settings.json")
        key = rng.choice(sorted(TOGGLES))
        open_tray_menu(app)
        asked = time.monotonic()
        app.key(*TOGGLES[key])  # the keys go where the X focus is, which may be the tray
        flipped = dict(found, **{key: not found[key]})
        wait_until(lambda: _as_the_start_reads_it(folder, "settings.json") == flipped, 20,
                   f"{key} saved")
        latencies.append(time.monotonic() - asked)
        wait_until(lambda: not [w for w in app.windows("#32768") if w["visible"]], 10,
                   "the menu to close")
        # The kill, somewhere around the next toggle's save.
        key = rng.choice(sorted(TOGGLES))
        new = dict(flipped, **{key: not flipped[key]})
        open_tray_menu(app)
        since = time.time()
        _kill_around(app, rng, TOGGLE_SECONDS, lambda: app.key(*TOGGLES[key]))
        cut += _cut_mid_save(folder, "settings.json", since)
        _every_file_reads(folder)
        outcomes[_outcome(_as_the_start_reads_it(folder, "settings.json"), flipped, new,
                          "settings.json")] += 1
    print(f"kills: {KILLS} during settings saves; the file held its old content after "
          f"{outcomes['old']}, its new after {outcomes['new']}; {cut} cut a save between its "
          f"temporary file and the rename; a toggle took "
          f"{sorted(latencies)[len(latencies) // 2]:.2f} s (median) from the keys to the file")


SHELL = {"id": "p-1-0", "name": "Build box", "group": None, "color": None,
         "kind": {"type": "local_shell", "command": "cmd.exe"}}
DESK = {"id": "p-2-0", "name": "Desk", "group": None, "color": None,
        "kind": {"type": "rdp", "host": "desk.corp", "port": 3390, "user": "ann",
                 "domain": "CORP", "fullscreen": True, "admin": False}}


def _names(profiles_file_content):
    return [p["name"] for p in profiles_file_content["profiles"]]


def _listed(manager):
    return [line.split(f" {EM} ")[0] for line in lines(manager)]


def _add(app, manager, names, kill):
    manager.key("Insert")
    editor = Dialog(app, "TolvarProfileEd")
    name = f"Added {kill}"
    editor.type(name)  # the name edit has the focus; a local shell by default
    editor.click(210)
    editor.type("cmd.exe\n")
    editor.wait_closed()
    return names + [name]


def _edit(app, manager, names, kill):
    manager.key("F2")  # the first profile is selected
    editor = Dialog(app, "TolvarProfileEd")
    name = f"Edited {kill}"
    editor.key("ctrl+a")
    editor.type(name + "\n")
    editor.wait_closed()
    return [name] + names[1:]


def _delete(app, manager, names, kill):
    manager.click(101)  # Delete asks only with the list focused
    manager.key("Delete")
    box = app.wait_box()
    [text] = box["texts"]
    app.answer_box(box, IDYES)
    gone = text.removeprefix('Delete profile "').removesuffix('"?')
    assert gone in names, text
    rest = list(names)
    rest.remove(gone)
    return rest


@pytest.mark.soak
@pytest.mark.deadline(3600)
def test_soak_kills_while_saving_the_profiles(launch, tmp_path):
    appdata = tmp_path / "kept"
    appdata.mkdir()
    folder = appdata / "tolvar"
    rng = random.Random(20)
    seed = {"close_to_tray": False, "restore_sessions_on_start": True}
    outcomes = {"old": 0, "new": 0}
    done = {"add": 0, "edit": 0, "delete": 0}
    cut = 0
    for kill in range(KILLS):
        app = _start_and_check_sessions(launch, appdata, kill == 0, settings=seed,
                                        files={"profiles.json": profiles_file(SHELL, DESK)})
        old = _as_the_start_reads_it(folder, "profiles.json")
        manager = open_manager(app)
        # The start read every profile the last whole save wrote.
        assert _listed(manager) == _names(old)
        choices = ["add", "edit"] + (["delete"] if len(old["profiles"]) > 1 else [])
        if len(old["profiles"]) > 6:
            choices = ["edit", "delete"]
        op = rng.choice(choices)
        names = {"add": _add, "edit": _edit, "delete": _delete}[op](
            app, manager, _names(old), kill)
        done[op] += 1
        wait_until(lambda: _listed(manager) == names, 10, f"the {op} in the list")
        # Closing the manager saves the edit; the kill comes around that save.
        since = time.time()
        _kill_around(app, rng, CLOSE_SECONDS, lambda: manager.key("Escape"))
        cut += _cut_mid_save(folder, "profiles.json", since)
        _every_file_reads(folder)
        found = _as_the_start_reads_it(folder, "profiles.json")
        if found == old:
            outcomes["old"] += 1
        else:
            assert _names(found) == names, f"profiles.json after the kill: {found!r}"
            # Untouched profiles are kept as they were.
            kept = [p for p in old["profiles"] if p["name"] in names]
            assert all(p in found["profiles"] for p in kept)
            outcomes["new"] += 1
    print(f"kills: {KILLS} during profile saves ({done['add']} adds, {done['edit']} edits, "
          f"{done['delete']} deletes); the file held its old content after {outcomes['old']}, "
          f"its new after {outcomes['new']}; {cut} cut a save between its temporary file and "
          f"the rename")

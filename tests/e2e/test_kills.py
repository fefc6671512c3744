"""Kills during saves: the real program is killed (SIGKILL, as a crash or a
power cut ends it) at random moments while it saves the session list, over
and over. After each kill every file reads, as its old or its new content,
and the next start restores the sessions that the last whole save named."""

import json
import os
import random
import signal
import time

import pytest

from harness import wait_until
from test_program import WM_APP_NEW_TAB

KILLS = int(os.environ.get("TOLVAR_KILLS", "50"))


def _linux_pids(name: str) -> list[int]:
    """Processes whose program (Wine shows it as the first argument) is `name`."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                first = f.read().split(b"\0")[0].decode(errors="replace")
        except OSError:
            continue
        if first.replace("\\", "/").lower().endswith("/" + name):
            found.append(int(entry))
    return found


def _read_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def _sessions_as_the_start_reads_them(appdata) -> list[dict]:
    """sessions.json, or what a start takes instead when a save was cut off
    after deleting it: the temporary file, else the backup."""
    folder = appdata / "tolvar"
    target = folder / "sessions.json"
    if target.exists():
        return _read_json(target)["sessions"]
    for left in ("sessions.json.tmp", "sessions.json.bak"):
        try:
            return _read_json(folder / left)["sessions"]
        except (OSError, ValueError):
            continue
    return []


@pytest.mark.soak
@pytest.mark.deadline(3600)
def test_soak_kills_while_saving_the_session_list(launch, tmp_path):
    appdata = tmp_path / "kept"
    appdata.mkdir()
    rng = random.Random(16)
    settings = {"close_to_tray": False, "restore_sessions_on_start": True}
    saved_lists = []
    for kill in range(KILLS):
        app = launch(appdata=appdata, settings=settings if kill == 0 else None)
        expected = _sessions_as_the_start_reads_them(appdata) if kill else []
        # The start resumed every tab of the last whole save (at least one:
        # a start with none opens one).
        restored = app.wait_sessions(max(len(expected), 1), timeout=90)
        if expected:
            assert [r["id"] for r in restored] == [r["id"] for r in expected]
        # Saves: a few new tabs, each one a save of the whole list, and the
        # kill somewhere among them.
        for _ in range(rng.randint(1, 3)):
            app.post(WM_APP_NEW_TAB)
        time.sleep(rng.uniform(0, 0.4))  # the random moment of the kill, not a wait
        pids = _linux_pids("tolvar.exe")
        assert pids, "the program's process"
        for pid in pids:
            os.kill(pid, signal.SIGKILL)
        wait_until(lambda: not _linux_pids("tolvar.exe"), 20, "the killed program to be gone")
        app.stop()
        folder = appdata / "tolvar"
        for name in ("settings.json", "aliases.json", "sessions.json"):
            path = folder / name
            if path.exists():
                _read_json(path)  # every file that is there reads
        saved_lists.append(len(_sessions_as_the_start_reads_them(appdata)))
        # Tabs only grow here; keep the list short enough to resume quickly.
        if saved_lists[-1] > 12:
            (folder / "sessions.json").write_text(
                json.dumps({"schema_version": 1, "sessions": []}), encoding="utf-8")
    print(f"kills: {KILLS} during session-list saves; tabs in the list after each: {saved_lists}")

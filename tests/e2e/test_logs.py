"""Session logs written by the real program."""
import time

import pytest

from harness import WM_APP_NEW_TAB, WM_APP_TRAY, WM_LBUTTONUP, wait_until, windows_path
from test_dialogs import open_tray_menu
from test_input import wait_output, wait_prompt
from test_scrollback import view_lines

NO_TRAY = {"close_to_tray": False}


def test_every_session_logs_what_it_showed_without_escape_sequences(launch):
    app = launch(settings=dict(NO_TRAY, log_all_sessions=True))
    wait_prompt(app)
    app.type("echo log-marker-7\n")
    wait_output(app, "log-marker-7")
    # The shell ends, its tab closes and with the last tab the program: the
    # log ends with what the screen showed.
    app.type("exit\n")
    assert app.wait_exit(30) == 0
    logs = app.data_dir / "logs"
    files = wait_until(lambda: sorted(logs.glob("*.log")), 10, "a log file")
    assert len(files) == 1, files
    text = files[0].read_bytes().decode("utf-8")
    assert "log-marker-7" in text.splitlines(), text
    assert "\x1b" not in text


WM_CHAR = 0x0102


def log_files(app, count):
    logs = app.data_dir / "logs"
    return wait_until(lambda: len(files := sorted(logs.glob("*.log"))) == count and files, 15,
                      f"{count} log files")


def test_quit_with_two_logging_tabs_ends_both_logs_with_their_last_screens(launch):
    # A checked heap: a log that read its screen after the session had gone
    # read freed memory.
    app = launch(settings={"close_to_tray": True, "log_all_sessions": True},
                 wine_debug="warn+heap")
    wait_prompt(app)
    app.type("echo first-tab-marker\n")
    wait_output(app, "first-tab-marker")
    app.post(WM_APP_NEW_TAB)
    app.wait_sessions(2)
    wait_prompt(app)
    app.type("echo second-tab-marker\n")
    wait_output(app, "second-tab-marker")
    # On the screen only: what the logs hold of them is the last screen.
    open_tray_menu(app)
    app.key("End", "Return")  # Quit
    assert app.wait_exit(30) == 0
    texts = [f.read_bytes().decode("utf-8") for f in log_files(app, 2)]
    markers = sorted(m for t in texts for m in ("first-tab-marker", "second-tab-marker")
                     if m in t.splitlines())
    assert markers == ["first-tab-marker", "second-tab-marker"], texts
    assert app.wine_errors == []


def test_a_log_keeps_every_line_printed_while_the_window_is_hidden(launch):
    # More than the 10 000 lines of history a hidden window's pane keeps.
    count = 15000
    numbers = "".join(f"n{i}\r\n" for i in range(1, count + 1))
    app = launch(settings={"close_to_tray": True, "log_all_sessions": True},
                 files={"numbers.txt": numbers})
    wait_prompt(app)
    app.close()  # to the tray: nothing paints from here on
    wait_until(lambda: not app.window_info()["visible"], 10, "the window hidden")
    # Typed into the hidden window.
    for c in f"type {windows_path(app.data_dir / 'numbers.txt')}\r":
        assert app.post(WM_CHAR, ord(c))
    [log] = log_files(app, 1)
    # Lines reach the log as they leave the screen, the last screen at the end.
    wait_until(lambda: f"n{count - 200}" in log.read_text(encoding="utf-8"), 120,
               "the printed lines in the log")
    assert not app.window_info()["visible"]
    # The last tab's shell ends, and with it the program and the log.
    for c in "exit\r":
        assert app.post(WM_CHAR, ord(c))
    assert app.wait_exit(60) == 0
    lines = [l for l in log.read_text(encoding="utf-8").splitlines() if l.startswith("n")]
    assert lines == [f"n{i}" for i in range(1, count + 1)], (len(lines), lines[:2])


def numbered(lines, prefix):
    return [line for line in lines if line.startswith(prefix)]


@pytest.mark.deadline(300)
def test_a_window_in_the_tray_logs_every_line_while_its_pane_keeps_only_its_history(launch):
    # Three times the 10 000 lines of history, written by the shell a line at
    # a time.
    count, pad = 30000, 200
    app = launch(settings={"close_to_tray": True, "log_all_sessions": True})
    wait_prompt(app)
    app.close()  # to the tray: nothing paints from here on
    wait_until(lambda: not app.window_info()["visible"], 10, "the window hidden")
    # The padding scrolls the last numbered line off the screen, into the
    # history and so into the log.
    command = (f"(for /L %i in (1,1,{count}) do @echo line %i) & "
               f"for /L %i in (1,1,{pad}) do @echo pad %i\r")
    started = time.monotonic()
    for c in command:
        assert app.post(WM_CHAR, ord(c))
    [log] = log_files(app, 1)
    text = wait_until(lambda: (t := log.read_text(encoding="utf-8")) and f"\nline {count}\n" in t
                      and t, 180, "the last numbered line in the log", interval=0.5)
    print(f"{count} lines logged from the tray in {time.monotonic() - started:.1f} s")
    assert not app.window_info()["visible"]
    expected = [f"line {i}" for i in range(1, count + 1)]
    lines = numbered(text.splitlines(), "line ")
    assert lines == expected, (len(lines), lines[:2], lines[-2:])

    app.post(WM_APP_TRAY, 1, WM_LBUTTONUP)
    wait_until(lambda: app.window_info()["visible"], 15, "the window back from the tray")
    live = wait_until(lambda: (v := view_lines(app)) and v[-1].rstrip().endswith(">")
                      and v[0].startswith("pad ") and v, 30, "the prompt after the padding")
    # Above the screen's first line, "pad k", the history holds exactly its
    # 10 000 lines: pad 1 .. pad k-1 and the numbered lines before them.
    oldest = f"line {count - 10000 + int(live[0].split()[1])}"
    app.key("ctrl+shift+Home")
    top = wait_until(lambda: (v := view_lines(app)) and v[0].startswith("line ") and v, 10,
                     "the oldest line of the history")
    assert top[0] == oldest, (top[:2], live[:2])
    app.key("ctrl+shift+End")
    wait_until(lambda: view_lines(app) == live, 10, "live again")

    # The shell's end ends the log with the rest of the screen, taken once.
    app.type("exit\n")
    assert app.wait_exit(60) == 0
    lines = log.read_text(encoding="utf-8").splitlines()
    assert numbered(lines, "line ") == expected
    assert numbered(lines, "pad ") == [f"pad {i}" for i in range(1, pad + 1)]

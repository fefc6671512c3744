"""Session logs written by the real program."""
from harness import WM_APP_NEW_TAB, wait_until, windows_path
from test_dialogs import open_tray_menu
from test_input import wait_output, wait_prompt

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

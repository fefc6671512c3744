"""Session logs written by the real program."""
from harness import wait_until
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

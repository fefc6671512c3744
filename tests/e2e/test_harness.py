"""The harness itself, against Wine's own programs: what every other test
relies on (the launcher's environment and job, keys and the clipboard
reaching a Win32 control, the stand-in clients) fails here first, with a
clear name."""

import time

import pytest

from harness import wait_until, windows_path

CMD = "C:\\windows\\system32\\cmd.exe"
NOTEPAD = "C:\\windows\\system32\\notepad.exe"


def test_launcher_sets_and_removes_variables(launch, tmp_path):
    out = tmp_path / "env.txt"
    app = launch(program=CMD, args=["/c", "set", ">", windows_path(out)], wait=False,
                 env={"TEMP": None, "TOLVAR_E2E_VALUE": 'a "quoted" value\\'})
    assert app.wait_exit() == 0
    variables = dict(line.split("=", 1) for line in out.read_text().splitlines() if "=" in line)
    # Wine would otherwise take these two from its own profile.
    assert variables["APPDATA"] == windows_path(app.appdata)
    assert variables["COMSPEC"].endswith("C:\\windows\\system32\\cmd.exe")
    assert "TEMP" not in variables
    assert variables["TOLVAR_E2E_VALUE"] == 'a "quoted" value\\'


def test_a_launcher_that_cannot_start_the_program_says_why(launch, tmp_path):
    # Regression: the failure was reported before the launcher's errors were
    # read, as "the launcher ended before reporting 'pid': " and no cause.
    with pytest.raises(RuntimeError, match=r"status 125, errors .*cannot start the program"):
        launch(program=tmp_path / "missing.exe", wait=False)


def test_stop_ends_what_the_program_left_running(launch):
    # cmd returns at once and leaves notepad running in the launcher's job.
    app = launch(program=CMD, args=["/c", "start", "", NOTEPAD], wait=False)
    assert app.wait_exit() == 0
    notepad = wait_until(lambda: app.probe.windows("Notepad"), 20, "notepad's window")
    app.stop()
    wait_until(lambda: not app.probe.windows("Notepad"), 10,
               f"notepad {notepad[0]['pid']} to end with the launcher")


def test_keys_and_the_clipboard_reach_a_win32_control(launch, screen):
    app = launch(program=NOTEPAD, wait=False)
    window = app.wait_window("Notepad")
    edit = next(c for c in app.probe.controls(window["hwnd"])["controls"] if c["class"] == "Edit")

    def text():
        controls = app.probe.controls(window["hwnd"])["controls"]
        return next(c["text"] for c in controls if c["hwnd"] == edit["hwnd"])

    app.type("hello world", hwnd=window["hwnd"])
    wait_until(lambda: text() == "hello world", 10, "the typed text in the edit control")

    app.key("ctrl+a", "ctrl+c", hwnd=window["hwnd"])
    wait_until(lambda: screen.clipboard() == "hello world", 10, "the copied text on X")

    screen.set_clipboard("pasted")
    app.key("ctrl+a", "ctrl+v", hwnd=window["hwnd"])
    wait_until(lambda: text() == "pasted", 10, "the pasted text in the edit control")


def test_stand_ins_record_how_they_were_started(launch, stand_ins, tmp_path):
    rdp = tmp_path / "connection.rdp"
    rdp.write_text("full address:s:host\r\n")
    starts = [
        (stand_ins.install_ssh(), ["-p", "2222", "user@host"]),
        (stand_ins.install_mstsc(), [windows_path(rdp)]),
        (stand_ins.install_vnc("realvnc", x86=True), ["host:5900"]),
    ]
    for program, args in starts:
        app = launch(program=program, args=args, env=stand_ins.env(), wait=False)
        assert app.wait_exit() == 0

    ssh, mstsc, vnc = stand_ins.wait_records(3)
    assert ssh["program"].endswith("\\Windows\\System32\\OpenSSH\\ssh.exe")
    assert ssh["args"][1:] == ["-p", "2222", "user@host"]
    assert mstsc["program"].endswith("\\Windows\\System32\\mstsc.exe")
    assert mstsc["files"] == {windows_path(rdp): "full address:s:host\r\n"}
    assert vnc["program"].endswith("\\Program Files (x86)\\RealVNC\\VNC Viewer\\vncviewer.exe")
    assert vnc["args"][1:] == ["host:5900"]


def test_text_put_on_the_clipboard_is_whole_there_at_once_and_stays(screen, probe):
    """Regression: text offered from X was taken in by Wine in rounds after
    the wait for it ended, with the clipboard empty between them; a paste
    right after got nothing, and a copy made then could be replaced."""
    for attempt in range(10):
        # As after a program's copy: the Windows side owns the clipboard.
        screen.mark_clipboard(f"a copy {attempt}")
        screen.set_clipboard(f"pasted {attempt}\n")
        put = probe("clipboard")
        assert put["text"], f"attempt {attempt}: no text on the clipboard"
        seen = set()
        until = time.monotonic() + 0.5
        while time.monotonic() < until:
            now = probe("clipboard")
            seen.add((now["sequence"], now["text"]))
        assert seen == {(put["sequence"], True)}, f"attempt {attempt}: it changed after: {seen}"

"""Failures reach the user instead of vanishing: a session that cannot
start, a save that cannot be written, a configuration file that cannot be
read. Each shows as a notice over the terminal area, which blocks nothing; a
click on its text shows it whole in a message box, a click on its "x"
dismisses it."""

import json
import shutil
import subprocess

import pytest

from harness import WM_APP_NEW_TAB, wait_until, windows_path

NO_TRAY = {"close_to_tray": False}
NOTICE = (66, 48, 18)
IDOK = 1
ROW = 34 + 13  # the middle of the first notice row at 96 DPI


def notice_rows(app):
    """How many notice rows show, counted down the left edge below the bar."""
    image = app.screenshot()
    rows = 0
    while image.getpixel((4, ROW + 26 * rows)) == NOTICE:
        rows += 1
    return rows


def read_notice(app, row=0):
    """The whole text of a notice, from the box its click opens."""
    app.click(200, ROW + 26 * row)
    box = app.wait_box()
    app.answer_box(box, IDOK)
    return "\n".join(box["texts"])


def test_a_session_that_cannot_start_says_why(launch, tmp_path):
    missing = tmp_path / "no such shell.exe"
    app = launch(settings=NO_TRAY, env={"COMSPEC": f'"{windows_path(missing)}"'})
    wait_until(lambda: notice_rows(app) == 1, 20, "the start failure's notice")
    text = read_notice(app)
    assert text.startswith(f"Cannot start {windows_path(missing)}: ")
    assert "(os error 2)" in text or "(os error 3)" in text, text
    # The window goes on without tabs; the "x" dismisses the notice, and the
    # next failed start tells it again.
    assert app.running and app.sessions() is None
    width = app.client_box()[2] - app.client_box()[0]
    app.click(width - 15, ROW)
    wait_until(lambda: notice_rows(app) == 0, 10, "the notice to go")
    app.post(WM_APP_NEW_TAB)
    wait_until(lambda: notice_rows(app) == 1, 20, "the second start failure's notice")
    assert read_notice(app) == text


@pytest.fixture
def read_only(tmp_path):
    """Makes folders read-only even for root (the immutable attribute), and
    gives them back at the end."""
    made = []

    def make(path):
        if not shutil.which("chattr"):
            pytest.skip("chattr is not installed")
        result = subprocess.run(["chattr", "+i", str(path)], capture_output=True)
        if result.returncode != 0:
            pytest.skip(f"cannot make a folder read-only here: {result.stderr.decode().strip()}")
        made.append(path)

    yield make
    for path in made:
        subprocess.run(["chattr", "-i", str(path)], check=False)


def test_a_read_only_data_folder_tells_the_failed_save_and_goes_on(launch, tmp_path, read_only):
    first = launch(settings=NO_TRAY)
    first.wait_sessions(1)
    first.close()
    first.wait_exit()
    before = first.read_text("sessions.json")
    read_only(first.data_dir)

    app = launch(appdata=first.appdata)
    wait_until(lambda: notice_rows(app) == 1, 20, "the failed save's notice")
    text = read_notice(app)
    assert text.startswith("Cannot save sessions.json: "), text
    assert text.endswith("Nothing is lost: it is saved again at the next change."), text
    # The program goes on: the shell answers, and a second failing save is
    # not told again.
    app.type("echo still-here\n")
    app.post(WM_APP_NEW_TAB)
    wait_until(lambda: app.running and len(app.windows("TolvarHost")) == 1, 10, "the window")
    assert notice_rows(app) == 1
    assert first.read_text("sessions.json") == before


def test_an_unreadable_file_is_told_with_where_its_copy_is(launch):
    app = launch(settings=NO_TRAY, files={"profiles.json": '{"schema_version": 1, "profiles": ['})
    wait_until(lambda: notice_rows(app) == 1, 20, "the unreadable file's notice")
    text = read_notice(app)
    assert text.startswith("Cannot read profiles.json: "), text
    assert f"a copy is kept as {windows_path(app.data_dir / 'profiles.json.unreadable')}" in text
    assert json.loads(app.read_text("settings.json"))["close_to_tray"] is False

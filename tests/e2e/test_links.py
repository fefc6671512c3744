"""Links in the real program: Ctrl+click on a URL the shell echoed starts the
system's handler with exactly that URL, and on a search-ms: text starts
nothing. The handlers are the test's recorder, registered in the prefix for
the test's length and put back after it."""

import subprocess

import pytest

from harness import WaitTimeout, wait_until, windows_path
from test_input import wait_output, wait_prompt, wait_screen
from test_scrollback import row_tops

NO_TRAY = {"close_to_tray": False}
URL = "https://example.test/docs/page_(1)?id=42"
SEARCH = "search-ms:query=calc"
PROTOCOLS = ("http", "https", "search-ms")


def _command_key(protocol):
    return f"HKCR\\{protocol}\\shell\\open\\command"


@pytest.fixture
def handlers(wine, stand_ins):
    """The recorder as the open command of the http, https and search-ms
    protocols; the values they had before come back after the test."""
    recorder = stand_ins._install(stand_ins.root / "handler" / "browser.exe")
    before = {}
    marked = {}
    for protocol in PROTOCOLS:
        key = _command_key(protocol)
        old = wine.run(["reg", "query", key, "/ve"], check=False)
        before[protocol] = old.stdout.decode(errors="replace") if old.returncode == 0 else None
        marked[protocol] = wine.run(["reg", "query", f"HKCR\\{protocol}", "/v", "URL Protocol"],
                                    check=False).returncode == 0
        wine.run(["reg", "add", f"HKCR\\{protocol}", "/v", "URL Protocol", "/d", "", "/f"])
        wine.run(["reg", "add", key, "/ve", "/d", f'"{windows_path(recorder)}" "%1"', "/f"])
    try:
        yield stand_ins
    finally:
        for protocol, old in before.items():
            key = _command_key(protocol)
            if old is None:
                wine.run(["reg", "delete", f"HKCR\\{protocol}", "/f"], check=False)
                continue
            if not marked[protocol]:
                wine.run(["reg", "delete", f"HKCR\\{protocol}", "/v", "URL Protocol", "/f"],
                         check=False)
            # "(Default)    REG_SZ    value" or "REG_EXPAND_SZ"
            line = next((l for l in old.splitlines() if "REG_" in l), "")
            kind, _, value = line.strip().partition("    ")[2].partition("    ")
            wine.run(["reg", "add", key, "/ve", "/t", kind.strip() or "REG_SZ", "/d",
                      value.strip(), "/f"], check=False)


def handler_running():
    """Whether a handler the fixture installed still runs (Wine's processes
    carry their Windows command line)."""
    return subprocess.run(["pgrep", "-f", r"^[^ ]*\\handler\\browser\.exe"],
                          stdout=subprocess.DEVNULL).returncode == 0


def line_point(app, text):
    """Screen coordinates of the third cell of the first screen row reading
    `text`."""
    lines = wait_screen(app, lambda t: text in t.splitlines(), f"the line {text!r}").splitlines()
    row = lines.index(text)
    tops = row_tops(app.screenshot())
    # The first and the last line (the prompt) both start with ink.
    pitch = (tops[-1] - tops[0]) / (len(lines) - 1)
    left, top, _, _ = app.client_box()
    return left + 6 + 20, top + tops[0] + int(row * pitch + pitch / 3)


def ctrl_click(app, point, clicks=1):
    """Ctrl+click (`clicks` presses in a row) at screen coordinates."""
    x, y = point
    app.focus()
    app.screen.xdotool("mousemove", x, y)
    app.screen.xdotool("keydown", "Control_L")
    app.screen.xdotool("mousemove", x + 4, y)
    app.screen.xdotool("click", "--repeat", clicks, "--delay", 60, 1)
    app.screen.xdotool("keyup", "Control_L")


def ctrl_click_line(app, text):
    """Ctrl+click on the third cell of the first screen row reading `text`."""
    ctrl_click(app, line_point(app, text))


def test_ctrl_click_opens_an_echoed_url_and_never_a_search_ms_text(launch, handlers):
    app = launch(settings=NO_TRAY, env=handlers.env())
    wait_prompt(app)
    # A short prompt keeps every line on one row, so lines count rows.
    app.type("cd \\\n")
    wait_output(app, "Z:\\>")
    app.type(f"echo {SEARCH}\n")
    wait_output(app, SEARCH)
    ctrl_click_line(app, SEARCH)
    app.type(f"echo {URL}\n")
    wait_output(app, URL)
    ctrl_click_line(app, URL)
    # Had the first click started anything, it would be the first record.
    records = handlers.wait_records(1)
    assert len(records) == 1, records
    assert records[0]["args"][1:] == [URL], records[0]


def test_ctrl_double_click_opens_a_link_once(launch, handlers):
    """The second press of a Ctrl+double-click ran the link handler again."""
    other = "https://example.test/after"
    app = launch(settings=NO_TRAY, env=handlers.env())
    wait_prompt(app)
    app.type("cd \\\n")
    wait_output(app, "Z:\\>")
    app.type(f"echo {URL}& echo {other}\n")
    wait_output(app, other)
    # Found first: a started handler takes the keyboard, which reading the
    # screen needs.
    points = line_point(app, URL), line_point(app, other)
    ctrl_click(app, points[0], clicks=2)
    handlers.wait_records(1)
    # The handler's console can map its window after it has written its
    # record and take the keyboard, Ctrl with it, from the next click.
    wait_until(lambda: not handler_running(), 20, "the handler to end")
    # A single click after it: its start comes well after any the
    # double-click made, so once it is recorded every earlier one is too.
    # Once, in a loaded run, this click started nothing in 20 s (likely the
    # handler's console taking the keyboard, Ctrl with it, between the focus
    # and the press): the marker is clicked again then, which can only add
    # starts of `other`.
    def marked():
        records = handlers.records()
        return [other] in [r["args"][1:] for r in records] and records

    records = None
    for _ in range(4):
        ctrl_click(app, points[1])
        try:
            records = wait_until(marked, 8, "the single click's start")
            break
        except WaitTimeout:
            pass
    assert records, "no Ctrl+click on the second link started its handler"
    args = [r["args"][1:] for r in records]
    assert args[0] == [URL] and set(map(tuple, args[1:])) == {(other,)}, records

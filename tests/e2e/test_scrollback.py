"""Scrollback in the real program: the wheel and the keys scroll a pane
through its history, a bar shows where the view sits, typing brings it back,
a drag selection copies across history and screen, the find box finds what
scrolled away, and "Save output..." writes it all to a file."""

import time

import harness
from harness import BACKGROUND, wait_until, windows_path
from test_input import screen_text, wait_output, wait_prompt

NO_TRAY = {"close_to_tray": False}
THUMB = (120, 127, 138)
CURRENT_MATCH = (247, 140, 60)
SHOTS = harness.ARTIFACTS / "screenshots"


def numbered_lines(app, count=300):
    wait_prompt(app)
    app.type(f"for /l %i in (1,1,{count}) do @echo line %i\n")
    wait_output(app, f"line {count}")


def view_lines(app):
    """The lines in view (Ctrl+Insert copies them), without trailing blanks."""
    return screen_text(app).splitlines()


def pane_point(app):
    """The middle of the single pane, in screen coordinates."""
    left, top, right, bottom = app.client_box()
    return (left + right) // 2, (top + bottom) // 2


def wheel(app, button, notches):
    x, y = pane_point(app)
    app.focus()
    app.screen.xdotool("mousemove", x, y)
    app.screen.xdotool("click", "--repeat", notches, "--delay", 10, button)


def thumb_shown(app):
    """Whether the scroll indicator's thumb shows at the pane's right edge."""
    image = app.screenshot()
    width, height = image.size
    return any(image.getpixel((width - 3, y)) == THUMB for y in range(34, height))


def test_the_wheel_scrolls_back_and_typing_returns_to_live(launch):
    app = launch(settings=NO_TRAY)
    numbered_lines(app)
    assert not thumb_shown(app)
    wheel(app, 4, 120)  # far more than the history holds: the oldest line
    oldest = wait_until(lambda: (v := view_lines(app)) and "line 1" in v and v, 20,
                        "line 1 in view")
    assert wait_until(lambda: thumb_shown(app), 10, "the scroll indicator")
    SHOTS.mkdir(parents=True, exist_ok=True)
    app.screenshot().save(SHOTS / "scrolled-back.png")

    wheel(app, 5, 2)  # two notches of three lines forward
    wait_until(lambda: view_lines(app)[:3] == oldest[6:9], 10, "the view six lines on")

    app.type("echo back-to-live\n")
    wait_output(app, "back-to-live")
    wait_until(lambda: not thumb_shown(app), 10, "the indicator gone")


def line_number(text):
    return int(text.split()[1])


def test_keys_scroll_by_page_and_line_and_go_to_the_ends(launch):
    app = launch(settings=NO_TRAY)
    numbered_lines(app)
    live = view_lines(app)
    first = line_number(live[0])  # the screen starts with a numbered line
    app.key("shift+Prior")
    page = wait_until(lambda: (v := view_lines(app)) != live and v, 10, "a page back")
    # A page back ends just above where the screen began.
    assert line_number(page[-1]) == first - 1, page
    app.key("ctrl+shift+Up")
    line_back = wait_until(lambda: (v := view_lines(app)) != page and v, 10, "a line back")
    assert line_number(line_back[0]) == line_number(page[0]) - 1
    assert line_back[1:] == page[:-1]
    app.key("shift+Next", "ctrl+shift+Down")  # a page and a line forward
    wait_until(lambda: view_lines(app) == live, 10, "live again")
    app.key("ctrl+shift+Home")
    wait_until(lambda: "line 1" in view_lines(app), 10, "the oldest lines")
    app.key("ctrl+shift+End")
    wait_until(lambda: view_lines(app) == live, 10, "live again")


def row_tops(image):
    """Where each row of "line N" text starts: the first letter's "l" is
    drawn in each row, with a gap of line spacing between rows."""
    tops, inside = [], False
    for y in range(40, image.size[1]):
        ink = any(image.getpixel((x, y)) != BACKGROUND for x in range(6, 13))
        if ink and not inside:
            tops.append(y)
        inside = ink
    return tops


def test_a_drag_copies_across_history_and_the_live_screen(launch, screen):
    app = launch(settings=NO_TRAY)
    numbered_lines(app)
    for _ in range(5):
        app.key("ctrl+shift+Up")
    view = wait_until(lambda: (v := view_lines(app)) and v[0].startswith("line ") and v, 10,
                      "five lines back")
    left, top, _, _ = app.client_box()
    rows = row_tops(app.screenshot())
    y0 = top + rows[0] + 2
    y1 = top + rows[8] + 2
    screen.mark_clipboard("-- nothing --")
    app.focus()
    screen.xdotool("mousemove", left + 7, y0, "mousedown", 1)
    screen.xdotool("mousemove", left + 400, y1)
    screen.xdotool("mouseup", 1)
    copied = wait_until(lambda: (t := screen.clipboard()) != "-- nothing --" and t, 10,
                        "the selection on the clipboard")
    assert copied.splitlines() == [line.rstrip() for line in view[:9]], copied


def find_status(app):
    controls = app.probe.controls(app.hwnd)["controls"]
    return next((c["text"] for c in controls if c["id"] == 501 and c["visible"]), None)


def test_find_shows_a_marker_that_scrolled_away_and_save_output_writes_it(launch, tmp_path):
    app = launch(settings=NO_TRAY)
    wait_prompt(app)
    app.type("echo MARKER-7^1\n")  # the caret keeps the command line from matching
    wait_output(app, "MARKER-71")
    numbered_lines(app)
    assert "MARKER-71" not in screen_text(app)
    app.key("ctrl+shift+f")
    wait_until(lambda: find_status(app) is not None, 10, "the find box")
    app.type("marker-71")
    wait_until(lambda: find_status(app) == "1 of 1", 10, "1 of 1")
    image = wait_until(lambda: (i := app.screenshot()) and any(
        i.getpixel((x, y)) == CURRENT_MATCH for x in range(0, 200, 2)
        for y in range(40, i.size[1], 4)) and i, 10, "the current match highlighted")
    SHOTS.mkdir(parents=True, exist_ok=True)
    image.save(SHOTS / "find.png")
    app.key("Escape")
    wait_until(lambda: find_status(app) is None, 10, "the find box closed")
    assert "MARKER-71" in screen_text(app)  # the view stayed on the match

    # Save output... from the tab menu, through the save dialog's edit.
    target = tmp_path / "saved output.txt"
    app.click(40, 17, button=3)
    wait_until(lambda: [w for w in app.windows("#32768") if w["visible"]], 10, "the tab menu")
    app.key("End", "Up", "Up", "Return")  # Close, Clear scrollback, Save output...
    dialog = app.wait_window("#32770", 20)
    app.focus(dialog["hwnd"])
    app.screen.key("ctrl+a")
    app.screen.type(windows_path(target))
    app.screen.key("Return")
    wait_until(lambda: target.exists() and "MARKER-71" in target.read_text(encoding="utf-8"),
               20, "the saved output")
    text = target.read_text(encoding="utf-8")
    assert "line 300" in text and text.endswith("\n")

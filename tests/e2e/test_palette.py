"""The command palette: Ctrl+Shift+Space opens it under the tab bar in the
theme's colours over every command, profile and tab; typing narrows its rows,
Enter runs the chosen one on the active tab, and Esc gives the keyboard back
to the shell."""

import json

import harness
from harness import BACKGROUND, wait_until
from test_dialogs import SHELL, profiles_file
from test_dpi import dpi_144  # noqa: F401 (a fixture)
from test_input import client_size, wait_output, wait_prompt

NO_TRAY = {"close_to_tray": False}
SHOTS = harness.ARTIFACTS / "screenshots"  # pictures for the README, copied by hand

QUERY_ID = 510
# The default theme: the box a tenth of the way from the background to the
# foreground, framed in the selection colour, the chosen row in it too.
FILL = (33, 35, 39)
FRAME = (52, 101, 164)
BAR_ACTIVE = (38, 43, 53)
TITLES = ["build", "logs", "db", "web server", "monitoring"]


def launch_tabs(launch):
    records = {"schema_version": 1,
               "sessions": [{"id": f"s-1-{i}", "title": t} for i, t in enumerate(TITLES)]}
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files={"sessions.json": json.dumps(records)})
    app.wait_sessions(len(TITLES))
    return app


def query(app):
    """The palette's query field as the probe sees it; None when hidden."""
    controls = app.probe.controls(app.hwnd)["controls"]
    return next((c for c in controls if c["id"] == QUERY_ID and c["visible"]), None)


class Box:
    """Where the box's parts are, from its query field (at 96 DPI)."""

    def __init__(self, app, field):
        width, _ = client_size(app)
        self.left = (width - min(640, width - 32)) // 2
        _, edit_top, _, edit_bottom = field["rect"]
        self.row_height = max(edit_bottom - edit_top + 8, 24)
        self.first_row = 34 + 6 + 6 + self.row_height + 4

    def bottom(self, rows):
        """The frame's last line for that many rows."""
        return self.first_row + rows * self.row_height + 6 - 1

    def row_middle(self, row):
        return self.first_row + row * self.row_height + self.row_height // 2


def open_palette(app):
    app.key("ctrl+shift+space")
    field = wait_until(lambda: query(app), 10, "the palette's query field")
    return Box(app, field)


def shows_rows(app, box, rows):
    """The box drawn with `rows` rows, the first one chosen."""
    image = app.screenshot()
    return (image.getpixel((box.left, 60)) == FRAME
            and image.getpixel((box.left + 3, 43)) == FILL
            and image.getpixel((box.left + 7, box.first_row + 1)) == FRAME
            and image.getpixel((box.left, box.bottom(rows))) == FRAME
            and image.getpixel((box.left, box.bottom(rows) + 2)) != FRAME)


def active_tab(app):
    """The tab-bar items drawn as the active one (180 pixels each)."""
    image = app.screenshot()
    return [i for i in range(len(TITLES)) if image.getpixel((i * 180 + 2, 17)) == BAR_ACTIVE]


def test_the_palette_goes_to_tabs_duplicates_opens_profiles_and_gives_the_keyboard_back(launch):
    records = {"schema_version": 1,
               "sessions": [{"id": f"s-1-{i}", "title": t} for i, t in enumerate(TITLES)]}
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files={"sessions.json": json.dumps(records),
                        "profiles.json": profiles_file(SHELL)})
    app.wait_sessions(len(TITLES))
    wait_prompt(app)
    start = wait_until(lambda: active_tab(app), 20, "an active tab")
    assert start != [1]

    # Every command is listed; the picture for the README.
    box = open_palette(app)
    wait_until(lambda: (q := query(app)) and q["text"] == "", 10, "an empty query")
    SHOTS.mkdir(parents=True, exist_ok=True)
    app.screenshot().save(SHOTS / "palette.png")

    # "Go to tab" switches.
    app.type("go to tab: logs")
    wait_until(lambda: shows_rows(app, box, 1), 10, "one row left")
    app.key("Return")
    wait_until(lambda: query(app) is None and active_tab(app) == [1], 10,
               "the palette closed on the logs tab")
    left = box.left
    wait_until(lambda: app.screenshot().getpixel((left + 3, 43)) == BACKGROUND, 10,
               "the box gone from the screen")

    # Esc closes it and gives the keys back to the shell.
    open_palette(app)
    app.type("zz")
    wait_until(lambda: (q := query(app)) and q["text"] == "zz", 10, "the query typed")
    app.key("Return")  # no match: nothing runs, the box stays
    assert query(app) is not None
    app.key("Escape")
    wait_until(lambda: query(app) is None, 10, "the palette closed by Esc")
    app.type("echo after-palette\n")
    wait_output(app, "after-palette")

    # "dup" and Enter duplicate the active tab, right after it.
    open_palette(app)
    app.type("dup")
    wait_until(lambda: (q := query(app)) and q["text"] == "dup", 10, "the query typed")
    app.key("Return")
    sessions = app.wait_sessions(len(TITLES) + 1)
    assert [s.get("title") for s in sessions[:3]] == ["build", "logs", "logs"]

    # Part of a profile's name opens it.
    open_palette(app)
    app.type("build box")
    wait_until(lambda: (q := query(app)) and q["text"] == "build box", 10, "the query typed")
    app.key("Return")
    sessions = app.wait_sessions(len(TITLES) + 2)
    assert sessions[-1].get("profile_id") == SHELL["id"]


def test_a_click_outside_closes_the_palette_and_does_what_it_does(launch):
    app = launch_tabs(launch)
    wait_prompt(app)
    open_palette(app)
    app.click(3 * 180 + 60, 17)  # the tab "web server"
    wait_until(lambda: query(app) is None and active_tab(app) == [3], 10,
               "the palette closed and the tab chosen")


def test_at_144_dpi_the_box_grows_by_half(dpi_144, launch):
    app = launch_tabs(launch)
    wait_prompt(app)
    app.key("ctrl+shift+space")
    field = wait_until(lambda: query(app), 10, "the palette's query field")
    width, _ = client_size(app)
    left = (width - min(960, width - 48)) // 2
    top = 51 + 9  # under the 51-pixel tab bar
    _, edit_top, _, edit_bottom = field["rect"]
    row = max(edit_bottom - edit_top + 12, 36)
    first_row = top + 9 + row + 6

    def drawn():
        image = app.screenshot()
        return (image.getpixel((left, top + 20)) == FRAME
                and image.getpixel((left + 1, top - 1)) == BACKGROUND
                and image.getpixel((left + 4, top + 4)) == FILL
                and image.getpixel((left + 11, first_row + 1)) == FRAME)  # the chosen row
    wait_until(drawn, 10, "the palette at one and a half times its size")
    SHOTS.mkdir(parents=True, exist_ok=True)
    app.screenshot().save(SHOTS / "palette-144.png")

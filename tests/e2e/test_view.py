"""What the window draws and how the mouse works on it: the tab bar, the
shell's text in its colours, the cursor bar, colour and group stripes, the
inline rename and the mouse selection that copies to the clipboard."""

import json
import time

import harness
from harness import BACKGROUND, WM_APP_NEW_TAB, wait_until

NO_TRAY = {"close_to_tray": False}

BAR_ITEM = (25, 29, 36)
BAR_ACTIVE = (38, 43, 53)
PLUS = (30, 78, 121)
RED = (231, 72, 86)
BLUE = (59, 120, 255)
CURSOR = (225, 229, 237)
SELECTION_BG = (52, 101, 164)
DARK_BLUE = (0, 55, 218)  # index 4
ANSI_RED = (197, 15, 31)  # index 1
TEXT_TOP = 34 + 6  # the first text row of the single pane


def near(actual, expected, tolerance=40):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


def client_size(app):
    left, top, right, bottom = app.client_box()
    return right - left, bottom - top


def cursor_bar(image, top=TEXT_TOP):
    """The cursor bar as (left, right, bottom): the only 2-pixel-high run of
    the cursor colour in the terminal area."""
    width, height = image.size
    pixels = image.load()
    for y in range(top, height - 1):
        xs = [x for x in range(width) if pixels[x, y] == CURSOR and pixels[x, y + 1] == CURSOR]
        if xs and all(pixels[x, y - 1] != CURSOR for x in xs):
            return xs[0], xs[-1] + 1, y + 2
    return None


def wait_for_prompt(app):
    """Waits until the shell has drawn its prompt and the cursor after it."""
    def after_prompt():
        bar = cursor_bar(app.screenshot())
        return bar if bar and bar[0] > 6 else None
    return wait_until(after_prompt, 30, "the cursor bar after the prompt")


def text_bands(image, top=TEXT_TOP):
    """Rows of text as (top, bottom, left, right) pixel extents."""
    width, height = image.size
    pixels = image.load()
    bands, current = [], None
    for y in range(top, height):
        xs = [x for x in range(width) if pixels[x, y] != BACKGROUND]
        if xs and current:
            current = (current[0], y + 1, min(current[2], xs[0]), max(current[3], xs[-1] + 1))
        elif xs:
            current = (y, y + 1, xs[0], xs[-1] + 1)
        elif current:
            bands.append(current)
            current = None
    return bands


def editor(app):
    """The inline rename editor, if one is open."""
    controls = app.probe.controls(app.hwnd)["controls"]
    return next((c for c in controls if c["class"].lower() == "edit" and c["visible"]), None)


def test_tab_bar_shows_active_and_inactive_tabs_and_the_plus_button(launch):
    app = launch(settings=NO_TRAY)
    app.post(WM_APP_NEW_TAB)
    app.wait_sessions(2)
    width, _ = client_size(app)

    def painted():
        image = app.screenshot()
        return (image.getpixel((2, 17)) == BAR_ITEM          # tab 1, inactive
                and image.getpixel((182, 17)) == BAR_ACTIVE  # tab 2, the new and active one
                and image.getpixel((362, 17)) == BACKGROUND  # no third item
                and image.getpixel((width - 38, 2)) == PLUS
                and image.getpixel((2, 1)) == BAR_ITEM)      # no stripes without colours
    wait_until(painted, 20, "the tab bar's two items and the + button")
    image = app.screenshot()
    # The close marks and the "+" are drawn over their backgrounds.
    assert any(image.getpixel((x, y)) != BAR_ITEM for x in range(158, 176) for y in range(8, 26))
    assert any(image.getpixel((x, y)) != PLUS for x in range(width - 26, width)
               for y in range(8, 26))


def test_a_long_title_ends_in_an_ellipsis_before_the_close_mark(launch):
    # The console's own title, "C:\windows\system32\cmd.exe", is longer than
    # the 146 pixels from 8 to 154 that a 180-pixel tab gives it; its "x" is
    # drawn from 158.
    app = launch(settings=NO_TRAY)

    def text_columns(image):
        return {x: [y for y in range(4, 31) if image.getpixel((x, y)) != BAR_ACTIVE]
                for x in range(8, 180)}

    def clipped():
        columns = text_columns(app.screenshot())
        title = [x for x in range(8, 154) if columns[x]]
        if len(title) < 60 or any(columns[x] for x in range(154, 158)):
            return False
        # The title ends in dots on its baseline, not in a letter cut in half.
        baseline = max(y for x in title for y in columns[x])
        return all(min(columns[x]) >= baseline - 2 for x in title[-2:])
    wait_until(clipped, 20, "the title cut short by an ellipsis before the close mark")
    SHOTS.mkdir(parents=True, exist_ok=True)
    app.screenshot().save(SHOTS / "main-window.png")


def test_plus_button_close_mark_and_middle_click(launch):
    app = launch(settings=NO_TRAY)
    app.wait_sessions(1)
    width, _ = client_size(app)
    app.click(width - 20, 17)  # "+"
    app.wait_sessions(2)
    app.click(width - 15, 20)
    first, _, third = app.wait_sessions(3)
    app.click(180 - 30, 17)  # 30 pixels left of the first item's right edge: selects it
    app.click(360 - 10, 17)  # 10 pixels left of the second's: closes it
    assert app.wait_sessions(2) == [first, third]
    app.click(200, 17, button=2)  # the middle button closes the tab under it
    assert app.wait_sessions(1) == [first]


def test_own_colours_and_groups_draw_stripes(launch):
    records = {"schema_version": 1, "sessions": [
        {"id": "s-1-0", "group": "Web", "color": 5},  # blue, in the first group (red)
        {"id": "s-1-1", "group": "Web"},
        {"id": "s-1-2", "color": 100}]}              # an index past the table: no colour
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files={"sessions.json": json.dumps(records)})
    app.wait_sessions(3)

    def stripes():
        image = app.screenshot()
        return ([image.getpixel((x, y)) for x in (2, 182, 362) for y in (1, 33)]
                == [BLUE, RED, RED, RED, BAR_ACTIVE, BAR_ACTIVE])
    wait_until(stripes, 20, "blue over red, red over red, and no stripes")


def test_shell_text_and_the_cursor_bar_under_the_prompt(launch):
    app = launch(settings=NO_TRAY)
    bar_left, bar_right, bar_bottom = wait_for_prompt(app)
    image = app.screenshot()
    cell_width = bar_right - bar_left
    # The prompt's text ends in the cells just left of the cursor, on its row.
    row = range(bar_bottom - 14, bar_bottom - 2)
    assert any(image.getpixel((x, y)) != BACKGROUND
               for x in range(bar_left - 2 * cell_width, bar_left) for y in row)
    # And nothing is drawn right of the cursor on that row.
    assert all(image.getpixel((x, y)) == BACKGROUND
               for x in range(bar_right + 1, bar_right + 10 * cell_width) for y in row)


def test_shell_output_is_drawn_in_its_colours_in_its_cells(launch):
    # A batch file echoes red text and a word on blue; Wine's console passes
    # the escape sequences through to the pseudo console.
    script = "@echo \x1b[31mRED\x1b[0m \x1b[44mblue\x1b[0m\r\n"
    app = launch(settings=NO_TRAY, files={"sgr.cmd": script})
    bar_left, bar_right, _ = wait_for_prompt(app)
    cell_width = bar_right - bar_left
    app.type("%APPDATA%\\tolvar\\sgr.cmd\n")

    def blue_cells():
        image = app.screenshot()
        pixels = image.load()
        spots = [(x, y) for y in range(TEXT_TOP, image.size[1], 2)
                 for x in range(0, 300) if pixels[x, y] == DARK_BLUE]
        return (image, spots) if spots else None
    image, spots = wait_until(blue_cells, 20, "the word on blue")
    xs = [x for x, _ in spots]
    # Four cells from the fifth: "RED", a space, then "blue".
    assert min(xs) == 6 + 4 * cell_width
    assert max(xs) + 1 == 6 + 8 * cell_width
    row = range(min(y for _, y in spots), max(y for _, y in spots) + 1)
    reds = [x for y in row for x in range(0, 300) if near(image.getpixel((x, y)), ANSI_RED)]
    assert reds and min(reds) >= 6 and max(reds) < 6 + 3 * cell_width


def test_rename_commits_on_enter_and_on_focus_loss_and_esc_cancels(launch):
    app = launch(settings=NO_TRAY)
    app.wait_sessions(1)
    wait_for_prompt(app)

    app.click(60, 17, repeat=2)
    opened = wait_until(lambda: editor(app), 15, "the rename editor")
    # The tab shows the shell's own window title, and so does the editor.
    assert opened["text"].lower().endswith("cmd.exe")
    assert opened["rect"] == [6, 5, 6 + 180 - 32, 29]
    app.screen.type("Build")
    app.screen.key("Return")
    wait_until(lambda: app.sessions()[0]["title"] == "Build", 15, "the title Build saved")
    wait_until(lambda: editor(app) is None, 10, "the editor to close")

    app.click(80, 15, repeat=2)
    wait_until(lambda: editor(app), 15, "the rename editor again")
    app.screen.type("Logs")
    app.click(400, 300)  # in the terminal: the editor loses the focus
    wait_until(lambda: app.sessions()[0]["title"] == "Logs", 15, "the title Logs saved")
    wait_until(lambda: editor(app) is None, 10, "the editor to close")

    app.click(100, 19, repeat=2)
    wait_until(lambda: editor(app), 15, "the rename editor a third time")
    app.screen.type("Nope")
    app.screen.key("Escape")
    wait_until(lambda: editor(app) is None, 10, "the editor to close on Esc")
    assert app.sessions()[0]["title"] == "Logs"


def test_drag_selection_copies_exactly_the_selected_text(launch, screen):
    app = launch(settings=NO_TRAY)
    bar_left, bar_right, _ = wait_for_prompt(app)
    cell_width = bar_right - bar_left
    app.type("echo hello world\n")

    def echoed_line():
        # The only line of text that fits in the 11 cells of "hello world".
        return next((band for band in text_bands(app.screenshot())
                     if band[2] >= 6 and band[3] <= 6 + 11 * cell_width), None)
    line_top, line_bottom, _, _ = wait_until(echoed_line, 20, "the echoed line")
    left, top, _, _ = app.client_box()
    y = top + (line_top + line_bottom) // 2

    def x_of(col):
        return left + 6 + col * cell_width + cell_width // 2
    screen.mark_clipboard("before")
    # A click on one cell selects and copies nothing.
    screen.click(x_of(3), y)
    assert wait_until(screen.clipboard, 15, "the clipboard's text") == "before"

    # From the "d" of "world" back to the "h" of "hello": the same text as forwards.
    screen.xdotool("mousemove", "--sync", x_of(10), y, "mousedown", 1,
                   "mousemove", "--sync", x_of(5), y,
                   "mousemove", "--sync", x_of(0), y, "mouseup", 1)
    wait_until(lambda: screen.clipboard() == "hello world", 15, "hello world on the clipboard")
    # The space between the words is drawn in the selection's background (the
    # paint may come after the copy).
    pixels_become(app, {(x_of(5) - left, y - top): SELECTION_BG}, "the selected space")


# --- tiled views and the group browser ---------------------------------------

FRAME_ACTIVE = (86, 156, 214)
FRAME_OTHER = (45, 50, 60)
CAPTION = (25, 29, 36)
BREADCRUMB = (20, 24, 31)
SHOTS = harness.ARTIFACTS / "screenshots"  # pictures for the README, copied by hand


def launch_grouped(launch):
    """Three shells: two in the group Web (red), the second of them blue
    itself, and one without a group, which is active."""
    records = {"schema_version": 1, "sessions": [
        {"id": "s-1-0", "title": "build", "group": "Web"},
        {"id": "s-1-1", "title": "logs", "group": "Web", "color": 5},
        {"id": "s-1-2", "title": "db"}]}
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files={"sessions.json": json.dumps(records)})
    app.wait_sessions(3)
    return app


def pixels_become(app, expected, what, timeout=20):
    """Waits until every (x, y) of `expected` shows its colour."""
    def check():
        image = app.screenshot()
        return all(image.getpixel(point) == color for point, color in expected.items())
    wait_until(check, timeout, what)


def test_tiled_views_draw_captions_colour_blocks_and_frames(launch):
    app = launch_grouped(launch)
    width, height = client_size(app)
    half, pane = width // 2, (height - 34) // 2

    app.key("ctrl+shift+a")  # all three on a 2 x 2 grid, the third active
    pixels_become(app, {
        (2, 34 + 10): RED,                    # "build": its group's colour
        (half + 2, 34 + 10): BLUE,            # "logs": its own colour
        (2, 34 + pane + 10): CAPTION,         # "db": no colour
        (0, 34 + pane // 2): FRAME_OTHER,
        (0, 34 + pane + pane // 2): FRAME_ACTIVE,
        (half + 10, 34 + pane + 10): BACKGROUND,  # the empty fourth cell
    }, "three captioned panes")

    app.click(half + 100, 34 + pane // 2)  # a click in "logs" makes it active
    pixels_become(app, {(half, 34 + pane // 2): FRAME_ACTIVE,
                        (0, 34 + pane + pane // 2): FRAME_OTHER}, "logs framed as active")

    app.key("ctrl+shift+g")  # the group of the active tab: two panes side by side
    pixels_become(app, {
        (2, 34 + 10): RED, (half + 2, 34 + 10): BLUE,
        (half, 34 + (height - 34) // 2): FRAME_ACTIVE,
        (half - 1, 34 + (height - 34) // 2): FRAME_OTHER,
    }, "the group Web tiled")
    SHOTS.mkdir(parents=True, exist_ok=True)
    app.screenshot().save(SHOTS / "tiled-group.png")

    app.key("ctrl+shift+g")  # again: back to the single view, no captions
    pixels_become(app, {(2, 34 + 10): BACKGROUND, (half, 34 + 100): BACKGROUND},
                  "the single view")


def test_group_browser_cards_enter_and_leave(launch):
    app = launch_grouped(launch)
    width, height = client_size(app)
    half = width // 2

    app.key("ctrl+shift+z")  # top level: the group Web, then the ungrouped "db"
    pixels_become(app, {
        (3, 40): BREADCRUMB,
        (width - 10, 57): (26, 30, 38),        # "↑ Up" looks disabled
        (width - 76, 45): FRAME_OTHER,
        (3, 100): RED,                         # the group card's stripe
        (10, 100): CAPTION,                    # the group card's fill
        (0, 100): FRAME_ACTIVE,                # the selected card
        (half, 100): FRAME_OTHER,
        (half + 2, 64 + 10): CAPTION,          # "db" as a tab card, no colour
    }, "the top level of the browser")

    app.key("Return")  # into Web: its two tabs as cards
    pixels_become(app, {
        (width - 10, 57): (38, 46, 60),        # "↑ Up" enabled
        (width - 76, 45): FRAME_ACTIVE,
        (2, 64 + 10): CAPTION,                 # tab cards show only a tab's own colour
        (half + 2, 64 + 10): BLUE,
        (0, 100): FRAME_ACTIVE,
    }, "the cards of Web")
    SHOTS.mkdir(parents=True, exist_ok=True)
    app.screenshot().save(SHOTS / "browser.png")

    app.click(width - 30, 48)  # "↑ Up"
    pixels_become(app, {(3, 100): RED, (width - 10, 57): (26, 30, 38)}, "back at the top")
    app.click(half + 100, 300, repeat=2)  # double-click "db": it opens in the single view
    pixels_become(app, {(3, 40): BACKGROUND, (3, 100): BACKGROUND}, "the single view")


def test_double_click_on_a_close_mark_closes_one_tab_and_renames_nothing(launch):
    app = launch(settings=NO_TRAY)
    app.wait_sessions(1)
    for count in range(2, 7):
        app.post(WM_APP_NEW_TAB)
        app.wait_sessions(count)
    width, _ = client_size(app)
    narrow = (width - 40) // 6
    assert narrow < 180
    second = app.sessions()[1]
    # The first click closes tab 1; the five left widen, so that the second
    # click lands on the body of the tab that took its place.
    app.click(narrow - 20, 17, repeat=2)
    assert app.wait_sessions(5)[0] == second
    time.sleep(2)  # the double-click comes after the close
    assert editor(app) is None
    assert len(app.sessions()) == 5


def test_double_click_on_a_collapsed_group_label_renames_the_group(launch):
    app = launch_grouped(launch)
    app.click(60, 17)  # "build" becomes active
    app.key("ctrl+shift+e")  # its group Web folds into one label before "db"
    pixels_become(app, {(2, 17): BAR_ACTIVE, (182, 17): BAR_ITEM, (362, 17): BACKGROUND},
                  "the label of Web and db")
    # The first click expands the group again; the double-click still renames it.
    app.click(70, 15, repeat=2)
    opened = wait_until(lambda: editor(app), 15, "the rename editor")
    assert opened["text"] == "Web"
    app.screen.type("Front")
    app.screen.key("Return")
    wait_until(lambda: [r["group"] for r in app.sessions()] == ["Front", "Front", None], 15,
               "the group renamed in the session list")
    assert [r["title"] for r in app.sessions()] == ["build", "logs", "db"]


def test_four_shells_tiled(launch):
    """All four tabs tiled, each shell with some output: the README's picture."""
    log = "".join(f"@echo \x1b[{color}m{level}\x1b[0m {text}\r\n" for color, level, text in [
        (32, "[ ok ]", "web-1 listening on :8080"),
        (32, "[ ok ]", "web-2 listening on :8081"),
        (33, "[warn]", "cache miss rate 12%%"),
        (31, "[fail]", "health check web-3: timeout"),
        (32, "[ ok ]", "web-3 restarted")])
    records = {"schema_version": 1, "sessions": [
        {"id": "s-1-0", "title": "build", "group": "Web"},
        {"id": "s-1-1", "title": "logs", "group": "Web", "color": 5},
        {"id": "s-1-2", "title": "db", "color": 3},
        {"id": "s-1-3", "title": "shell"}]}
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files={"sessions.json": json.dumps(records), "log.cmd": log})
    app.wait_sessions(4)
    width, height = client_size(app)
    half, pane = width // 2, (height - 34) // 2
    app.key("ctrl+shift+a")
    pixels_become(app, {(2, 34 + 10): RED, (half + 2, 34 + 10): BLUE,
                        (2, 34 + pane + 10): (22, 198, 12),
                        (half + 2, 34 + pane + 10): CAPTION}, "four captioned panes")
    commands = ["cd /d C:\\windows\\system32 & prompt $P$G & cls & dir /b *.exe",
                "prompt $G & cls & %APPDATA%\\tolvar\\log.cmd",
                "prompt $G & cls & ver & echo. & set windir",
                "cd /d C:\\ & prompt $P$G & cls & dir"]
    for i, command in enumerate(commands):
        app.click((i % 2) * half + 200, 34 + (i // 2) * pane + pane // 2 + i)
        app.type(command + "\n")
    # The last pane typed in is active; wait for the last listing to show.
    pixels_become(app, {(half, 34 + pane + pane // 2): FRAME_ACTIVE}, "the fourth pane active")
    def listed():
        image = app.screenshot()
        return any(image.getpixel((x, y)) != BACKGROUND for x in range(half + 10, half + 300, 2)
                   for y in range(34 + pane + 150, 34 + pane + 250, 3))
    wait_until(listed, 20, "the listing of C:\\")
    SHOTS.mkdir(parents=True, exist_ok=True)
    app.screenshot().save(SHOTS / "tiled-all.png")

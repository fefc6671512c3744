"""Selection kinds in the real program: a double-click copies the word under
the pointer, a triple-click the whole line, and Ctrl+Shift+C copies the
selection again."""

import harness
from harness import wait_until
from test_input import wait_output, wait_prompt, wait_screen
from test_scrollback import NO_TRAY, row_tops

PATH = "/srv/data/some-dir/file_name.txt"


def line_point(app, text):
    """A screen point a dozen cells into the row that shows `text`."""
    lines = wait_screen(app, lambda t: text in t.splitlines(), f"the line {text!r}").splitlines()
    row = len(lines) - 1 - lines[::-1].index(text)
    left, top, _, _ = app.client_box()
    rows = row_tops(app.screenshot())
    # Rows of text one under the other are a row height apart; glyphs that
    # start lower (a backslash) give odd gaps, so the commonest gap is taken.
    gaps = [b - a for a, b in zip(rows, rows[1:])]
    height = max(set(gaps), key=gaps.count)
    return left + 6 + 100, top + rows[0] + row * height + height // 2


def copied_by(screen, action):
    screen.mark_clipboard("-- nothing --")
    action()
    return wait_until(lambda: (t := screen.clipboard()) != "-- nothing --" and t, 10,
                      "the selection on the clipboard")


def test_double_and_triple_clicks_copy_a_word_and_a_line(launch, screen):
    app = launch(settings=NO_TRAY)
    wait_prompt(app)
    app.type(f"for /l %i in (1,1,12) do @echo l%i {PATH} end\n")
    wait_output(app, f"l12 {PATH} end")
    # The prompt after the output moves nothing under the clicks to come.
    wait_prompt(app)
    x, y = line_point(app, f"l12 {PATH} end")
    app.focus()
    assert copied_by(screen, lambda: screen.click(x, y, repeat=2)) == PATH
    # Copying again with the key takes the same selection.
    assert copied_by(screen, lambda: app.key("ctrl+shift+c")) == PATH
    x, y = line_point(app, f"l11 {PATH} end")
    app.focus()
    assert copied_by(screen, lambda: screen.click(x, y, repeat=3)) == f"l11 {PATH} end"

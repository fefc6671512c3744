"""Mouse reports to an application that asks for them, in the real program."""
import re

from harness import wait_until
from test_input import screen_text, wait_prompt

NO_TRAY = {"close_to_tray": False}
# A batch file turns SGR reports on; Wine's console passes the sequence on
# to the pseudo console, and cmd's line editor echoes what the mouse sends.
REPORTS_ON = "@echo \x1b[?1000;1006h\r\n"
# A press and its release at one cell; mode 1000 reports no drag between.
SGR_CLICK = re.compile(r"\[<0;(\d+);(\d+)M.*\[<0;(\d+);(\d+)m")


def test_a_drag_goes_to_the_application_and_shift_keeps_it_local(launch, screen):
    app = launch(settings=NO_TRAY, files={"reports.cmd": REPORTS_ON})
    prompt = wait_prompt(app)
    app.type("%APPDATA%\\tolvar\\reports.cmd\n")
    wait_until(lambda: screen_text(app).count(prompt) >= 2, 20, "the next prompt")
    left, top, _, _ = app.client_box()
    app.focus()
    screen.xdotool("mousemove", left + 60, top + 50, "mousedown", 1)
    screen.xdotool("mousemove", left + 300, top + 50)
    screen.xdotool("mouseup", 1)
    match = wait_until(lambda: SGR_CLICK.search(screen_text(app)), 20, "the drag's report")
    press_x, press_y, release_x, release_y = map(int, match.groups())
    assert press_y == release_y and release_x > press_x > 1

    # With Shift the drag selects locally: the start of the first row is
    # copied, and nothing more goes to the application.
    first_row = screen_text(app).splitlines()[0]
    screen.mark_clipboard("-- nothing --")
    screen.xdotool("keydown", "shift", "mousemove", left + 7, top + 45, "mousedown", 1)
    screen.xdotool("mousemove", left + 200, top + 45)
    screen.xdotool("mouseup", 1, "keyup", "shift")
    copied = wait_until(lambda: (t := screen.clipboard()) != "-- nothing --" and t, 10,
                        "the selection on the clipboard")
    assert len(copied) > 3 and first_row.startswith(copied), (copied, first_row)
    assert len(SGR_CLICK.findall(screen_text(app))) == 1

"""What output repaints: sixteen tiled panes, one flooding, the other fifteen
left alone, and output frames no more often than the display shows them."""

import json
import time

import pytest

import harness
from harness import BACKGROUND, wait_until

NO_TRAY = {"close_to_tray": False}
TABS = 16
GRID = 4          # sixteen panes tile four by four
TAB_BAR = 34      # at 96 dpi
CAPTION = 28      # a tiled pane's text starts this far below its top


def read_draws(path):
    """{"whole_frames": n, "output_frames": n, "panes": [draws by tab position]}
    from TOLVAR_PANE_DRAWS, or None before the program wrote it."""
    try:
        text = path.read_text()
    except OSError:
        return None
    found = {"panes": []}
    for line in text.splitlines():
        key, *values = line.split()
        if key == "pane_draws":
            found["panes"].append(int(values[1]))
        else:
            found[key] = int(values[0])
    # A file read while it was written half.
    return found if "output_frames" in found else None


def pane_text_boxes(width, height):
    """The first text row of each tiled pane, in client coordinates."""
    cw, ch = width // GRID, (height - TAB_BAR) // GRID
    return [(col * cw + 6, TAB_BAR + row * ch + CAPTION, (col + 1) * cw - 6,
             TAB_BAR + row * ch + CAPTION + 14)
            for row in range(GRID) for col in range(GRID)]


def shows_text(image, box):
    left, top, right, bottom = box
    return any(image.getpixel((x, y)) != BACKGROUND
               for y in range(top, bottom, 2) for x in range(left, min(right, left + 120), 2))


@pytest.mark.deadline(300)
def test_idle_tiled_panes_are_not_drawn_while_one_floods(launch, tmp_path):
    draws_file = tmp_path / "pane-draws.txt"
    flood = tmp_path / "flood.txt"
    done = tmp_path / "flood-done.txt"
    with flood.open("w", newline="\r\n") as out:
        for i in range(16_000):
            out.write(f"flood line {i:06d} the quick brown fox jumps over the lazy dog\n")
    records = [{"id": f"s-1-{i}", "group": "Flood"} for i in range(TABS)]
    app = launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                 files={"sessions.json": json.dumps({"schema_version": 1, "sessions": records})},
                 env={"TOLVAR_PANE_DRAWS": harness.windows_path(draws_file)})
    app.wait_sessions(TABS)
    app.key("ctrl+1", "ctrl+shift+g")
    left, top, right, bottom = app.client_box()
    boxes = pane_text_boxes(right - left, bottom - top)
    # Every pane has drawn its shell's prompt: nothing of theirs is still to come.
    wait_until(lambda: all(shows_text(image := app.screenshot(), box) for box in boxes), 60,
               "a prompt in each of the sixteen panes")
    wait_until(lambda: (d := read_draws(draws_file)) and len(d["panes"]) == TABS
               and all(d["panes"]), 30, "every pane's draws counted")

    started = read_draws(draws_file)
    app.type(f"type {harness.windows_path(flood)} & echo done>{harness.windows_path(done)}\n")
    # Well into the flood, beyond the typing's echo.
    wait_until(lambda: (d := read_draws(draws_file)) and d["panes"][0] >= started["panes"][0] + 30,
               60, "the busy pane drawing the flood")
    during = read_draws(draws_file)
    flood_started = time.monotonic()
    wait_until(done.exists, 120, "the end of the flood")
    app.close()
    assert app.wait_exit() == 0
    flood_seconds = time.monotonic() - flood_started
    ended = read_draws(draws_file)

    assert ended["panes"][1:] == during["panes"][1:], (
        f"idle panes drawn while one flooded: {during} then {ended}")
    assert ended["whole_frames"] == during["whole_frames"], (during, ended)
    frames = ended["output_frames"] - during["output_frames"]
    assert frames >= 10, (during, ended)
    # 60 frames a second (what Xvfb's display counts as), and a frame of slack
    # at each end.
    assert frames <= flood_seconds * 60 * 1.05 + 2, (
        f"{frames} output frames in {flood_seconds:.2f} s")

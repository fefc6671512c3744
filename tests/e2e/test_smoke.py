"""The program starts on the harness's display, paints, is seen by the probe,
and ends when its window closes."""

from harness import BACKGROUND, wait_until

# Closing must end the program, not hide it in the notification area.
NO_TRAY = {"close_to_tray": False}


def test_window_shows_and_paints_the_background(launch):
    app = launch(settings=NO_TRAY)
    window = app.main_window()
    assert window["title"] == "tolvar"
    left, top, right, bottom = window["rect"]
    assert (right - left, bottom - top) == (1000, 650)

    # Low in the terminal area, where no text is drawn.
    width, height = window["client"][2] - window["client"][0], window["client"][3] - window["client"][1]
    point = (width - 10, height - 10)
    wait_until(lambda: app.screenshot().getpixel(point) == BACKGROUND, 15,
               f"the background colour at {point}")


def test_probe_reads_the_window_and_its_process(app):
    assert [w["hwnd"] for w in app.windows("TolvarHost")] == [app.hwnd]
    assert app.probe.controls(app.hwnd)["text"] == "tolvar"
    stats = app.stats()
    assert stats["pid"] == app.pid
    assert stats["handles"] > 0
    assert stats["working_set"] > 0 and stats["private_bytes"] > 0


def test_closing_the_window_ends_the_program(launch):
    app = launch(settings=NO_TRAY)
    app.close()
    assert app.wait_exit() == 0
    assert app.windows("TolvarHost") == []


def test_alt_f4_from_the_keyboard_closes_the_window(launch):
    app = launch(settings=NO_TRAY)
    app.key("alt+F4")
    assert app.wait_exit() == 0

"""The chrome at 144 DPI (150 %, the default of most laptops). Wine takes the
DPI from its registry, so the program starts here as on such a display."""

import pytest

from harness import BACKGROUND, wait_until

NO_TRAY = {"close_to_tray": False}
BAR_ACTIVE = (38, 43, 53)


@pytest.fixture
def dpi_144(wine):
    key = "HKCU\\Control Panel\\Desktop"
    wine.run(["reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f"])
    try:
        yield
    finally:
        wine.run(["reg", "delete", key, "/v", "LogPixels", "/f"], check=False)


def bar_height(image, x=3):
    """Rows from the top that carry the active tab's background at column x."""
    rows = 0
    while rows < image.size[1] and image.getpixel((x, rows)) == BAR_ACTIVE:
        rows += 1
    return rows


def test_chrome_scales_with_the_dpi(dpi_144, launch):
    app = launch(settings=NO_TRAY)
    # Left of the title inset and below the stripes' rows: the bar alone.
    wait_until(lambda: bar_height(app.screenshot()) == 51, 15,
               "a tab bar of 51 pixels (34 at 96 DPI)")
    image = app.screenshot()
    assert image.getpixel((3, 51)) == BACKGROUND
    # The first window is 1000 x 650 at 100 %, 1500 x 975 here, which the
    # system fits to the 1280 x 800 screen.
    left, top, right, bottom = app.window_info()["rect"]
    assert right - left > 1200 and bottom - top > 750

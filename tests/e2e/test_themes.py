"""Colour themes on screen: the Theme menu repaints every pane in the chosen
scheme and keeps the choice in settings.json across starts; the user's own
colours apply on top; a malformed colour is told as a notice while the rest
of the settings still apply."""

import harness
from harness import BACKGROUND, pixel_close, wait_until

NO_TRAY = {"close_to_tray": False}
SHOTS = harness.ARTIFACTS / "screenshots"  # pictures for the README, copied by hand

SOLARIZED_LIGHT_BG = (0xFD, 0xF6, 0xE3)
SOLARIZED_LIGHT_FG = (0x65, 0x7B, 0x83)
NOTICE = (66, 48, 18)
NOTICE_ROW = 34 + 13  # the middle of the first notice row at 96 DPI
IDOK = 1


def pane_corner(image):
    """A pixel of the pane that no text reaches: near its bottom right."""
    width, height = image.size
    return image.getpixel((width - 12, height - 12))


def text_pixels(image, color, tolerance=24):
    """How many pixels of the upper terminal area are drawn in `color`."""
    width, height = image.size
    pixels = image.load()
    return sum(1 for y in range(40, min(height, 160)) for x in range(0, min(width, 500))
               if pixel_close(pixels[x, y], color, tolerance))


def shows(app, background, foreground):
    image = app.screenshot()
    return pixel_close(pane_corner(image), background, 2) and text_pixels(image, foreground) > 20


def visible_menus(app):
    return [w for w in app.windows("#32768") if w["visible"]]


def choose_theme(app, downs):
    """Tab menu, View, Theme, then `downs` entries below Default."""
    for _ in range(3):
        # Under Wine the first right click after a submenu choice may be lost.
        app.click(40, 17, button=3)
        try:
            wait_until(lambda: visible_menus(app), 3, "the tab menu")
            break
        except harness.WaitTimeout:
            continue
    else:
        raise harness.WaitTimeout("no tab menu after three right clicks")
    # Rename, History, Color, Group, View; then Single .. Browse groups, Theme.
    app.key("Home", "Down", "Down", "Down", "Down", "Right")
    wait_until(lambda: len(visible_menus(app)) == 2, 10, "the View submenu")
    app.key("Down", "Down", "Down", "Down", "Right")
    wait_until(lambda: len(visible_menus(app)) == 3, 10, "the Theme submenu")
    app.key(*["Down"] * downs, "Return")
    wait_until(lambda: not visible_menus(app), 10, "the menus to close")


def test_the_theme_menu_repaints_in_the_scheme_saves_it_and_a_second_start_keeps_it(launch):
    app = launch(settings=NO_TRAY)
    wait_until(lambda: pixel_close(pane_corner(app.screenshot()), BACKGROUND)
               and text_pixels(app.screenshot(), (220, 223, 228), 40) > 20, 30,
               "the prompt in the default colours")

    choose_theme(app, 2)  # Default, Solarized Dark, Solarized Light
    wait_until(lambda: shows(app, SOLARIZED_LIGHT_BG, SOLARIZED_LIGHT_FG), 10,
               "the pane in Solarized Light")
    settings = wait_until(lambda: (app.read_json("settings.json") or {}).get("theme")
                          and app.read_json("settings.json"), 10, "the theme saved")
    assert settings["theme"] == "Solarized Light"
    # Only the key the menu sets is new; the rest is the file as it was.
    assert {k: v for k, v in settings.items() if k != "theme"} == dict(
        harness.FRESH_SETTINGS, **NO_TRAY)

    app.type("echo tolvar in Solarized Light\r")
    wait_until(lambda: text_pixels(app.screenshot(), SOLARIZED_LIGHT_FG) > 200, 20,
               "the echoed line")
    SHOTS.mkdir(parents=True, exist_ok=True)
    app.screenshot().save(SHOTS / "light-theme.png")

    appdata = app.appdata
    app.close()
    assert app.wait_exit() == 0
    again = launch(appdata=appdata)
    wait_until(lambda: shows(again, SOLARIZED_LIGHT_BG, SOLARIZED_LIGHT_FG), 30,
               "the second start in Solarized Light")


def test_the_users_own_colours_apply_on_top_of_the_theme(launch):
    app = launch(settings=dict(NO_TRAY, theme="One Half Light",
                               colors={"background": "#203040", "foreground": "#F0E000"}))
    wait_until(lambda: shows(app, (0x20, 0x30, 0x40), (0xF0, 0xE0, 0x00)), 30,
               "the pane in the user's colours")
    assert app.screenshot().getpixel((4, NOTICE_ROW)) != NOTICE


def test_a_malformed_colour_is_told_and_the_rest_still_applies(launch):
    app = launch(settings=dict(NO_TRAY, colors={"background": "#12345",
                                                "foreground": "#00c0ff"}))
    wait_until(lambda: app.screenshot().getpixel((4, NOTICE_ROW)) == NOTICE, 20, "the notice")
    app.click(200, NOTICE_ROW)
    box = app.wait_box()
    app.answer_box(box, IDOK)
    assert "\n".join(box["texts"]) == (
        'settings.json: "colors.background" is "#12345", not a colour like "#1e1e2e"; '
        "the theme's colour is used")
    # The valid colour beside it is used, and the background stays the theme's.
    wait_until(lambda: text_pixels(app.screenshot(), (0x00, 0xC0, 0xFF)) > 20, 20,
               "text in the user's foreground")
    assert pixel_close(pane_corner(app.screenshot()), BACKGROUND)
    # Nothing was copied aside as unreadable, and the value stays for the user.
    assert not (app.data_dir / "settings.json.unreadable").exists()
    assert app.read_json("settings.json")["colors"]["background"] == "#12345"

"""A serial profile talks to a real pseudo-terminal pair: socat joins two
pseudo terminals, one of them is linked into the Wine prefix as a COM port
(as a USB adapter's port appears on Windows), and the test plays the device
at the other. A port that goes away keeps its tab under the reason, and
Enter opens it again."""

import errno
import json
import os
import shutil
import subprocess
import time

import pytest

import harness
from harness import wait_until
from test_dialogs import EM, Dialog, lines, open_manager
from test_failures import notice_rows, read_notice
from test_input import screen_text, wait_screen

NO_TRAY = {"close_to_tray": False}
PORT = "COM40"
ENDED = "[ended \u2014 Enter restarts, Esc closes]"


class Line:
    """A socat pseudo-terminal pair: the program's end linked as PORT, and
    the far end, read and written by the test as the device."""

    def __init__(self, folder):
        if not shutil.which("socat"):
            pytest.fail("socat is not installed (scripts/bootstrap installs it)")
        self.near = folder / "tolvar-end"
        self.far_path = folder / "device-end"
        self.link = harness.PREFIX / "dosdevices" / PORT.lower()
        self.proc = None
        self.fd = None

    def connect(self):
        for path in (self.near, self.far_path):
            path.unlink(missing_ok=True)
        self.proc = subprocess.Popen(
            ["socat", f"pty,raw,echo=0,link={self.near}", f"pty,raw,echo=0,link={self.far_path}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: self.near.exists() and self.far_path.exists(), 10, "socat's pair")
        self.link.unlink(missing_ok=True)
        self.link.symlink_to(self.near)
        self.fd = os.open(self.far_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        self.received = b""

    def write(self, data: bytes):
        os.write(self.fd, data)

    def _take(self):
        try:
            while chunk := os.read(self.fd, 4096):
                self.received += chunk
        except OSError as e:
            if e.errno not in (errno.EAGAIN, errno.EIO):
                raise
        return self.received

    def wait_received(self, data: bytes, what: str, timeout: float = 20) -> bytes:
        return wait_until(lambda: data in self._take() and self.received, timeout, what)

    def cut(self):
        """The device goes away: socat ends and both pseudo terminals close."""
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None
        if self.proc:
            self.proc.kill()
            self.proc.wait(10)
            self.proc = None

    def close(self):
        self.cut()
        self.link.unlink(missing_ok=True)


@pytest.fixture
def line(tmp_path):
    made = Line(tmp_path)
    yield made
    made.close()


def serial_start(launch, port=PORT):
    profiles = {"schema_version": 1, "profiles": [
        {"id": "p-board", "name": "Board", "kind": {
            "type": "serial", "port": port, "baud": 115200, "parity": "none"}}]}
    records = {"schema_version": 1, "sessions": [{"id": "s-1-0", "profile_id": "p-board"}]}
    return launch(settings={**NO_TRAY, "restore_sessions_on_start": True},
                  files={"profiles.json": json.dumps(profiles),
                         "sessions.json": json.dumps(records)})


@pytest.mark.deadline(180)
def test_a_serial_tab_talks_to_the_device_and_reopens_a_lost_port(launch, line):
    line.connect()
    app = serial_start(launch)
    assert [r.get("profile_id") for r in app.wait_sessions(1)] == ["p-board"]

    # What the device sends shows in the tab, as it is.
    line.write(b"Switch console\r\n\x1b[1mlogin:\x1b[0m ")
    wait_screen(app, lambda t: "Switch console" in t and "login:" in t, "the device's text")

    # What is typed goes to the device, and the model answers the device's
    # own questions, since no console host stands between.
    app.focus()
    app.type("admin\n")
    line.wait_received(b"admin\r", "the typed line at the device")
    line.write(b"\x1b[c")
    line.wait_received(b"\x1b[?62;22c", "the answer to a device attributes query")

    # The device goes away: the tab stays, says why, and takes no input.
    line.cut()
    text = wait_screen(app, lambda t: ENDED in t, "the ended line")
    assert f"[{PORT}: " in text, text
    assert app.running and len(app.sessions()) == 1

    # Plugged in again: Enter opens the port anew in the same tab.
    line.connect()
    app.key("Return")
    deadline = time.monotonic() + 30
    while ENDED in screen_text(app):
        assert time.monotonic() < deadline, "the port was not reopened"
        time.sleep(0.3)
    line.write(b"back again\r\n")
    wait_screen(app, lambda t: "back again" in t, "the device's text after the reopening")
    app.type("x")
    line.wait_received(b"x", "typing after the reopening")
    assert [r["id"] for r in app.sessions()] == ["s-1-0"]


@pytest.mark.parametrize("port, told", [
    ("COM41", "Cannot connect: COM41: "),
    # Opens, but is no port: refused before anything is written to it.
    ("NUL", "Cannot connect: NUL is not a serial port"),
])
def test_a_port_that_cannot_open_says_why(launch, port, told):
    app = serial_start(launch, port=port)
    wait_until(lambda: notice_rows(app) >= 1, 30, "the open failure's notice")
    text = read_notice(app)
    assert text.startswith(told), text
    if port == "COM41":
        assert "(os error" in text, text


def test_a_serial_profile_made_in_the_editor_opens_from_the_manager(launch, line):
    line.connect()
    app = launch(settings=NO_TRAY)
    app.wait_sessions(1)
    manager = open_manager(app)
    manager.key("Insert")
    editor = Dialog(app, "TolvarProfileEd")
    editor.type("Board")
    editor.key("shift+Tab", "End")  # the kind: Serial
    wait_until(lambda: editor.control(232)["visible"], 10, "the serial rows")
    assert {"Port", "Baud rate", "Data bits", "Parity", "Stop bits", "Flow control"} <= set(
        editor.visible_labels())
    assert not editor.control(213)["visible"] and not editor.control(230)["visible"]
    assert editor.items(232) == (["None", "Odd", "Even", "Mark", "Space"], 0)
    assert editor.items(234) == (["None", "XON/XOFF", "RTS/CTS"], 0)
    for cid, text in ((210, PORT), (211, "115200")):
        editor.click(cid)
        editor.type(text)
    # A click opens the list; the choice and Enter close it and the editor.
    editor.click(232)
    editor.key("Down", "Down", "Return")
    editor.wait_closed()

    wait_until(lambda: lines(manager)[-1] == f"Board {EM} serial {PORT} 115200 8E1", 10,
               "the serial profile in the list")
    manager.key("Return")
    manager.wait_closed()
    saved = app.read_json("profiles.json")["profiles"][-1]
    assert saved["kind"] == {"type": "serial", "port": PORT, "baud": 115200, "data_bits": 8,
                             "parity": "even", "stop_bits": "1", "flow_control": "none"}
    app.wait_sessions(2)
    line.write(b"board ready\r\n")
    wait_screen(app, lambda t: "board ready" in t, "the device's text in the new tab")


def test_double_width_and_double_height_lines_from_the_device_are_drawn_doubled(launch, line):
    from test_view import TEXT_TOP, text_bands
    line.connect()
    app = serial_start(launch)
    app.wait_sessions(1)
    # A banner as a device prints one: a normal line, the same text double
    # width, and a double-height line as its top and bottom halves.
    line.write(b"\x1b[2J\x1b[HMMMMMM\r\n\x1b#6MMMMMM\r\n\x1b#3MMM\r\n\x1b#4MMM\r\n")

    def bands():
        # Left of the scroll indicator; the cursor's bar below is the last band.
        image = app.screenshot()
        found = text_bands(image.crop((0, 0, min(image.size[0], 400), image.size[1])), TEXT_TOP)
        return found if len(found) >= 3 and found[0][0] < found[1][0] < found[2][0] else None
    normal, wide, tall = wait_until(bands, 30, "the three lines drawn")[:3]
    width = normal[3] - normal[2]
    height = normal[1] - normal[0]
    assert abs(wide[2] - normal[2]) <= 2, (normal, wide)
    assert 1.8 * width <= wide[3] - wide[2] <= 2.2 * width, (normal, wide)
    assert abs((wide[1] - wide[0]) - height) <= 1, (normal, wide)
    # Both halves join into glyphs twice as tall and as wide as the normal ones.
    assert 0.9 * width <= tall[3] - tall[2] <= 1.1 * width, (normal, tall)
    assert 1.8 * height <= tall[1] - tall[0] <= 2.2 * height, (normal, tall)

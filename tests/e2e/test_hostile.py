"""Hostile output end to end: a session writes streams meant to exhaust a
terminal (a line that never ends, a CSI with a million parameters, a huge OSC
string, a million combining marks on one cell, alternate-screen switches in a
loop, a title change per byte) while the window's answer time and the
program's memory are measured. The bytes go through cmd's `type` and Wine's
console, which passes escape sequences on to the pseudo console unread;
it swallows BEL, so the strings end with ST."""

import contextlib
import os
import statistics
import subprocess
import threading
import time

import pytest

import harness
from harness import Probe, WaitTimeout, wait_until, windows_path
from test_input import wait_output, wait_prompt
from test_view import editor

NO_TRAY = {"close_to_tray": False}
MB = 1 << 20
# What the model may hold beyond a fresh one: its grids, a full history of
# the widest cells and the capped stores beside them (docs/reliability.md).
MODEL_BOUND = 64 * MB
ANSWER_MS = 100
# TOLVAR_HOSTILE_MB scales the long streams (the line and the OSC string).
SCALE = int(os.environ.get("TOLVAR_HOSTILE_MB", "100"))
# Wine's console host, which redraws what `type` writes, sets the pace: up to
# about 3 s a megabyte on a loaded two-core machine.
STREAM_S = 600 + 6 * SCALE


def _streams():
    """Name and bytes of each stream, as a program would write them, one at
    a time: the long ones are large."""
    yield "line", b"x" * (SCALE * MB)
    yield "csi", b"\x1b[" + b"1;" * 1_000_000 + b"31mred\x1b[0m\r\n"
    yield "osc", b"\x1b]2;" + b"A" * (SCALE * MB) + b"\x1b\\\r\n"
    yield "marks", b"e" + "\u0301".encode() * 1_000_000 + b"\r\n"
    yield "alternate", b"\x1b[?1049hx\x1b[?1049l" * 200_000 + b"\r\n"
    # The last title is "hostile 199999", which the tab then shows.
    yield "titles", b"".join(b"\x1b]2;hostile %d\x1b\\x" % i for i in range(200_000)) + b"\r\n"


class Pinger:
    """WM_NULL round trips to the window every ~100 ms from a probe of its own,
    so that the other questions of the test never wait behind them."""

    def __init__(self, wine, hwnd):
        self.probe = Probe(wine)
        self.hwnd = hwnd
        self.trips_ms: list[float] = []
        self.unanswered = 0
        self.failure = None
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def _run(self):
        try:
            while not self._stop.is_set():
                answer = self.probe("ping", self.hwnd, 20, 100)
                self.trips_ms += [us / 1000 for us in answer["trips_us"]]
                self.unanswered += answer["unanswered"]
        except Exception as error:  # the test reports it
            self.failure = error

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join(30)
        self.probe.stop()


@contextlib.contextmanager
def idle_window(wine, app):
    """An idle window of another program in the same prefix, minimized
    without the focus: its round trips are what Wine and the machine cost
    meanwhile, apart from ours."""
    process = subprocess.Popen([*harness.WINE, str(harness.BIN / "startup-floor.exe"), "--stay"],
                               env=wine.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        found = wait_until(lambda: app.probe.windows(class_name="TolvarStartupFloor"), 60,
                           "the idle window")
        # Wine makes the new program the active one all the same.
        app.focus()
        app.click(400, 300)
        yield found[0]["hwnd"]
    finally:
        harness._end(process)


def _summary(trips_ms):
    trips = sorted(trips_ms) or [0.0]
    return (f"{len(trips_ms)} round trips, median {statistics.median(trips):.1f} ms, "
            f"max {trips[-1]:.1f} ms, over 100 ms: {sum(t > 100 for t in trips)}")


def _report(took, pinger, control, idle, before, peak):
    """Prints the figures, also of a run cut short, and returns the sorted
    round trips."""
    print(f"hostile output (scale {SCALE} MB): "
          + ", ".join(f"{n} {t:.0f} s" for n, t in took.items())
          + f"; {_summary(pinger.trips_ms)}, unanswered {pinger.unanswered} (idle: median "
            f"{statistics.median(idle):.1f} ms, max {idle[-1]:.1f} ms); an idle window "
            f"meanwhile: {_summary(control.trips_ms)}, unanswered {control.unanswered}; "
            f"private bytes {before / MB:.1f} MB before, {peak / MB:.1f} MB at most")
    return sorted(pinger.trips_ms) or [0.0]


@pytest.mark.soak
@pytest.mark.deadline(1800 + 2 * STREAM_S)
def test_soak_hostile_output_keeps_the_window_answering_and_memory_bounded(launch, wine,
                                                                           tmp_path):
    app = launch(settings=NO_TRAY)
    wait_prompt(app)
    folder = tmp_path / "streams"
    folder.mkdir()
    script = ["@echo off", "chcp 65001 >nul"]
    names = []
    for name, data in _streams():
        names.append(name)
        (folder / f"{name}.bin").write_bytes(data)
        del data
        marker = folder / f"{name}.done"
        script += [f'type "{windows_path(folder / f"{name}.bin")}"',
                   f'echo done> "{windows_path(marker)}"']
    (folder / "flood.cmd").write_text("\r\n".join(script) + "\r\n", encoding="utf-8")
    # The same round trip with the session idle: what Wine itself costs.
    idle = sorted(us / 1000 for us in app.probe("ping", app.hwnd, 20, 100)["trips_us"])
    before = app.stats()["private_bytes"]
    peak = before
    took = {}
    with idle_window(wine, app) as other, Pinger(wine, other) as control, \
            Pinger(wine, app.hwnd) as pinger:
        app.type(f'"{windows_path(folder / "flood.cmd")}"\n')
        started = time.monotonic()
        try:
            for name in names:
                def done():
                    nonlocal peak
                    peak = max(peak, app.stats()["private_bytes"])
                    return (folder / f"{name}.done").exists()
                wait_until(done, STREAM_S, f"the {name} stream written", interval=1)
                took[name] = time.monotonic() - started
                started = time.monotonic()
        except WaitTimeout:
            _report(took, pinger, control, idle, before, peak)
            raise
    # The session goes on: what is typed after the flood echoes.
    app.type("echo after-the-flood\n")
    wait_output(app, "after-the-flood", timeout=120)
    # The titles reached the terminal: the tab shows the last one.
    app.click(60, 17, repeat=2)
    title = wait_until(lambda: editor(app), 15, "the rename editor")["text"]
    app.key("Escape")
    assert title == "hostile 199999"
    peak = max(peak, app.stats()["private_bytes"])
    trips = _report(took, pinger, control, idle, before, peak)
    assert pinger.failure is None and pinger.unanswered == 0
    assert trips[-1] < ANSWER_MS, f"the slowest round trip took {trips[-1]:.1f} ms"
    assert peak - before < MODEL_BOUND

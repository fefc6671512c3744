"""Fixtures of the end-to-end tests: one Xvfb display and one Wine server per
run, and per test a fresh data directory and the program started through the
launcher. Teardown ends every process, also when a test fails; a failing
test leaves a screenshot and the window list under build/e2e-artifacts/.
"""

from __future__ import annotations

import json
import re
import signal

import pytest

import harness
from harness import App, Display, Probe, Screen, StandIns, Wine, seed_data_dir, windows_path

DEFAULT_DEADLINE = 120  # seconds a test's body may take


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "deadline(seconds): fail the test when its body runs longer (default "
        f"{DEFAULT_DEADLINE}s)")
    config.addinivalue_line("markers", "soak: long-running; deselect with -m 'not soak'")


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_call(item):
    # Every wait has its own deadline; this one catches whatever is left
    # (a wedged subprocess call, a loop that never ends). Setup and teardown
    # are not covered: interrupting a teardown would leak its processes.
    marker = item.get_closest_marker("deadline")
    seconds = int(marker.args[0]) if marker else DEFAULT_DEADLINE

    def expired(signum, frame):
        raise harness.WaitTimeout(f"the test ran longer than its deadline of {seconds}s")

    previous = signal.signal(signal.SIGALRM, expired)
    signal.alarm(seconds)
    try:
        yield
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGALRM, previous)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    setattr(item, f"report_{report.when}", report)


def _failed(node) -> bool:
    return any(getattr(node, f"report_{when}", None) is not None
               and getattr(node, f"report_{when}").failed for when in ("setup", "call"))


@pytest.fixture(scope="session")
def display():
    d = Display()
    yield d
    d.stop()


@pytest.fixture(scope="session")
def wine(display):
    w = Wine(display)
    try:
        w.start()
        yield w
    finally:
        w.stop()


@pytest.fixture(scope="session")
def probe(wine):
    if not (harness.BIN / "probe.exe").exists():
        pytest.fail(f"{harness.BIN / 'probe.exe'} is not built")
    p = Probe(wine)
    yield p
    p.stop()


@pytest.fixture
def screen(display, probe):
    s = Screen(display, probe)
    yield s
    s.release_clipboard()


@pytest.fixture
def stand_ins(tmp_path):
    """Stand-in outside clients; skips the test while the recorder is not built."""
    s = StandIns(tmp_path / "clients")
    if not s.available:
        pytest.skip(f"{s.recorder} is not built yet")
    return s


@pytest.fixture
def launch(request, wine, probe, screen, tmp_path):
    """Starts the program; call it as launch(...) once or more per test.

    appdata: True (default) for a fresh folder of this test, None for no
    APPDATA at all, or a path. settings: keys replacing fresh settings,
    written as settings.json before the start. files: other files of the data
    directory, name -> text. env: more variables (None removes one).
    wait: wait for the main window to show. program, args: another program
    to start the same way (harness tests). wine_debug: WINEDEBUG for this
    program and what it starts ("warn+heap" checks the heap).
    """
    started: list[App] = []
    counts_files: list = []

    def start(appdata=True, settings: dict | None = None, files: dict | None = None,
              env: dict | None = None, wait: bool = True, program=None, args=(),
              wine_debug: str | None = None) -> App:
        if appdata is True:
            appdata = tmp_path / f"appdata{len(started) or ''}"
            appdata.mkdir()
        if settings is not None or files:
            assert appdata, "a data directory needs APPDATA"
            seed_data_dir(appdata, settings, files)
        variables = {"APPDATA": windows_path(appdata) if appdata else None}
        shim = harness.BIN / "console-shim.exe"
        if shim.exists():
            program_path = windows_path(shim)
            if " " in program_path:
                program_path = f'"{program_path}"'
            variables["COMSPEC"] = f"{program_path} C:\\windows\\system32\\cmd.exe"
        # How the program's state changes went: none may be dropped.
        counts = tmp_path / f"state-counts{len(started) or ''}.txt"
        variables["TOLVAR_STATE_COUNTS"] = windows_path(counts)
        counts_files.append(counts)
        variables.update(env or {})
        # Its own working folder, so a stray relative write shows up here and
        # nowhere else.
        cwd = tmp_path / f"cwd{len(started) or ''}"
        cwd.mkdir()
        app = App(wine, probe, screen, program or harness.BIN / "tolvar.exe", variables,
                  appdata or None, args=tuple(args), cwd=cwd, name=f"app{len(started)}",
                  wine_debug=wine_debug)
        started.append(app)
        if wait:
            app.main_window()
        return app

    yield start

    if _failed(request.node):
        _save_artifacts(request.node, screen, probe)
    for app in started:
        app.stop()
    dropped = []
    for path in counts_files:
        counts = read_state_counts(path)
        for key, value in counts.items():
            STATE_COUNTS[key] = STATE_COUNTS.get(key, 0) + value
        if counts.get("dropped"):
            dropped.append(f"{path.name}: {counts}")
    assert not dropped, f"state changes were dropped: {dropped}"


# Summed over the whole run; a run that wrote no file deferred and dropped
# nothing (the program writes when either moves, and at its end).
STATE_COUNTS: dict[str, int] = {}


def read_state_counts(path) -> dict[str, int]:
    try:
        text = path.read_text()
    except OSError:
        return {}
    return {key: int(value) for key, value in (line.split() for line in text.splitlines() if line)}


def pytest_terminal_summary(terminalreporter):
    if STATE_COUNTS:
        terminalreporter.write_line(
            "state changes over every run: " +
            ", ".join(f"{key} {value}" for key, value in sorted(STATE_COUNTS.items())))


@pytest.fixture
def app(launch):
    """The program started on a fresh data directory, its window showing."""
    return launch()


def _save_artifacts(node, screen: Screen, probe: Probe):
    harness.ARTIFACTS.mkdir(parents=True, exist_ok=True)
    stem = re.sub(r"[^A-Za-z0-9_.-]+", "_", node.nodeid)
    try:
        screen.screenshot().save(harness.ARTIFACTS / f"{stem}.png")
        (harness.ARTIFACTS / f"{stem}.windows.json").write_text(
            json.dumps(probe.windows(), indent=2))
    except Exception as error:  # the artifacts must never hide the failure
        (harness.ARTIFACTS / f"{stem}.error.txt").write_text(repr(error))
